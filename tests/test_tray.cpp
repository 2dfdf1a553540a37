// The tray icon, the background question on close and Escape, and quitting
// from the tray while a search runs.
#include "mainwindow.h"
#include "messageboxanswerer.h"
#include "privatesessionbus.h"
#include "searchthread.h"
#include "trayicon.h"
#include "treebuilder.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

std::atomic_int messagesSeen {0};
void countMessages(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++messagesSeen;
}

}  // namespace

class TestTray : public QObject
{
    Q_OBJECT

    TreeBuilder tree;
    std::unique_ptr<MainWindow> window;

    trayicon *tray() const { return window->findChild<trayicon *>(); }
    searchThread *worker() const { return window->findChild<searchThread *>(); }
    QAction *trayEntry(int position) const
    {
        return tray()->contextMenu()->actions().value(position);
    }
    void doubleClickTray() { emit tray()->activated(QSystemTrayIcon::DoubleClick); }

    // A deep search for a text that is nowhere: it reads the tree line by line
    // through every codec and runs far longer than any test waits.
    void startLongSearch()
    {
        worker()->setParameters({QDir(tree.root())}, {QStringLiteral(".txt")},
                                QStringLiteral("zzz-not-there"), Qt::CaseSensitive, true, false,
                                true);
        worker()->start();
        QVERIFY(worker()->isRunning());
    }

private slots:
    void initTestCase()
    {
        const QByteArray shortLines = QByteArray("a\n").repeated(250000);
        for (int i = 0; i < 40; ++i)
            tree.file(QStringLiteral("lines%1.txt").arg(i), shortLines);
    }

    void init()
    {
        window.reset(new MainWindow);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() { window.reset(); }

    void iconAndMenu()
    {
        QVERIFY(!tray()->icon().isNull());
        QCOMPARE(tray()->toolTip(), QStringLiteral("Velto深度文件搜索"));
        QCOMPARE(tray()->contextMenu()->actions().size(), 3);
        QCOMPARE(trayEntry(0)->text(), QStringLiteral("打开"));
        QVERIFY(trayEntry(1)->isSeparator());
        QCOMPARE(trayEntry(2)->text(), QStringLiteral("退出"));
        QVERIFY(!trayEntry(0)->icon().isNull() && !trayEntry(2)->icon().isNull());
    }

    void doubleClickTogglesTheWindow()
    {
        // A minimised window is out of sight: one double-click brings it back.
        window->showMinimized();
        doubleClickTray();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        doubleClickTray();
        QVERIFY(window->isHidden());
        doubleClickTray();
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized),
                 Qt::WindowNoState);
        doubleClickTray();
        QVERIFY(window->isHidden());
    }

    void otherActivationsChangeNothing_data()
    {
        QTest::addColumn<int>("reason");
        QTest::newRow("a single click") << int(QSystemTrayIcon::Trigger);
        QTest::newRow("a context request") << int(QSystemTrayIcon::Context);
        QTest::newRow("a middle click") << int(QSystemTrayIcon::MiddleClick);
        QTest::newRow("an unknown reason") << int(QSystemTrayIcon::Unknown);
    }
    void otherActivationsChangeNothing()
    {
        QFETCH(int, reason);
        emit tray()->activated(QSystemTrayIcon::ActivationReason(reason));
        QVERIFY(window->isVisible());
        window->hide();
        emit tray()->activated(QSystemTrayIcon::ActivationReason(reason));
        QVERIFY(window->isHidden());
    }

    void activationTogglesOncePerClickOrDoubleClick_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QList<int>>("reasons");  // -1: a pause longer than a double-click
        QTest::addColumn<int>("toggles");
        const int single = int(TrayClicks::SingleOnly), both = int(TrayClicks::SingleAndDouble);
        const int trigger = QSystemTrayIcon::Trigger, dbl = QSystemTrayIcon::DoubleClick;
        const int context = QSystemTrayIcon::Context, middle = QSystemTrayIcon::MiddleClick;
        QTest::newRow("D-Bus tray: one Activate toggles") << single << QList<int> {trigger} << 1;
        QTest::newRow("D-Bus tray: the two Activates of a double-click toggle once")
                << single << QList<int> {trigger, trigger} << 1;
        QTest::newRow("D-Bus tray: two clicks apart toggle twice")
                << single << QList<int> {trigger, -1, trigger} << 2;
        QTest::newRow("D-Bus tray: context and middle clicks change nothing")
                << single << QList<int> {context, middle} << 0;
        QTest::newRow("XEmbed tray: a double-click, Trigger then DoubleClick, toggles once")
                << both << QList<int> {trigger, dbl} << 1;
        QTest::newRow("XEmbed tray: a single click changes nothing")
                << both << QList<int> {trigger} << 0;
        QTest::newRow("XEmbed tray: two double-clicks toggle twice")
                << both << QList<int> {trigger, dbl, trigger, dbl} << 2;
    }
    void activationTogglesOncePerClickOrDoubleClick()
    {
        QFETCH(int, clicks);
        QFETCH(QList<int>, reasons);
        QFETCH(int, toggles);
        trayicon icon(window.get(), nullptr, TrayClicks(clicks));
        int seen = 0;
        for (const int reason : reasons) {
            if (reason < 0) {
                QTest::qWait(QApplication::doubleClickInterval() + 100);
                continue;
            }
            const bool hidden = window->isHidden();
            emit icon.activated(QSystemTrayIcon::ActivationReason(reason));
            seen += window->isHidden() != hidden;
        }
        QCOMPARE(seen, toggles);
    }

    void openEntryBringsTheWindowBackNormal()
    {
        window->showMinimized();
        trayEntry(0)->trigger();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        window->hide();
        trayEntry(0)->trigger();
        QVERIFY(window->isVisible());
    }

    void backgroundQuestion_data()
    {
        QTest::addColumn<bool>("byClose");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("searching");
        QTest::addColumn<bool>("closed");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        QTest::newRow("close/yes hides the window and the search goes on")
                << true << yes << false << true << false;
        QTest::newRow("close/no stops the search and closes the window")
                << true << no << false << false << true;
        QTest::newRow("close/cancel changes nothing") << true << cancel << true << true << false;
        QTest::newRow("escape/yes hides the window and the search goes on")
                << false << yes << false << true << false;
        QTest::newRow("escape/no stops the search and the window stays")
                << false << no << true << false << false;
        QTest::newRow("escape/cancel changes nothing") << false << cancel << true << true << false;
    }
    void backgroundQuestion()
    {
        QFETCH(bool, byClose);
        QFETCH(int, answer);
        QFETCH(bool, visible);
        QFETCH(bool, searching);
        QFETCH(bool, closed);
        startLongSearch();
        MessageBoxAnswerer answerer {QMessageBox::StandardButton(answer)};
        bool accepted = false;
        if (byClose)
            accepted = window->close();
        else
            QTest::keyClick(window.get(), Qt::Key_Escape);

        QVERIFY(answerer.answered());
        QCOMPARE(answerer.title(), QStringLiteral("警告"));
        QCOMPARE(answerer.text(), QStringLiteral("正在执行搜索任务，是否转入后台运行？"));
        QCOMPARE(answerer.buttons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(answerer.defaultButton(), QMessageBox::Cancel);
        QCOMPARE(accepted, closed);
        QCOMPARE(window->isVisible(), visible);
        if (!searching)
            QVERIFY(worker()->wait(2000));
        QCOMPARE(worker()->isRunning(), searching);
        QVERIFY(tray()->isVisible());
    }

    void withoutSearchNothingIsAsked_data()
    {
        QTest::addColumn<bool>("byClose");
        QTest::newRow("close/the window closes") << true;
        QTest::newRow("escape/nothing happens") << false;
    }
    void withoutSearchNothingIsAsked()
    {
        QFETCH(bool, byClose);
        MessageBoxAnswerer answerer(QMessageBox::Cancel, 300);
        if (byClose)
            QVERIFY(window->close());
        else
            QTest::keyClick(window.get(), Qt::Key_Escape);
        QTest::qWait(400);
        QVERIFY(!answerer.answered());
        QCOMPARE(window->isVisible(), !byClose);
    }

    void quitWhileHiddenAndSearchingEndsCleanly()
    {
        startLongSearch();
        doubleClickTray();
        QVERIFY(window->isHidden());
        std::atomic_bool finished {false};
        QPointer<searchThread> thread = worker();
        connect(
                thread, &QThread::finished, thread, [&finished] { finished = true; },
                Qt::DirectConnection);

        MessageBoxAnswerer answerer(QMessageBox::Cancel, 1000);
        QTimer::singleShot(0, trayEntry(2), &QAction::trigger);
        QCOMPARE(qApp->exec(), 0);  // the tray's quit ends the event loop
        QVERIFY(!answerer.answered());
        QVERIFY(thread->isRunning());

        QElapsedTimer clock;
        clock.start();
        const QtMessageHandler previous = qInstallMessageHandler(countMessages);
        window.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        qInstallMessageHandler(previous);
        QVERIFY2(clock.elapsed() < 2000, "the search ends promptly when the window goes");
        QVERIFY(finished);
        QVERIFY(thread.isNull());
        QCOMPARE(messagesSeen.load(), 0);
    }
};

int main(int argc, char *argv[])
{
    // The tray's kind is asked of the session bus: a bus of the test's own,
    // with no D-Bus panel on it (test_traypanel has one), whatever desktop
    // runs the test.
    PrivateSessionBus bus;
    QApplication app(argc, argv);
    TestTray test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_tray.moc"
