// The tray icon on a panel that speaks the D-Bus tray protocol, as current
// panels do: Qt then registers a StatusNotifierItem, which the panel
// activates once per click, and sends the tray's messages as desktop
// notifications. Qt chooses the protocol once per process, as it makes its
// first tray icon, so this runs apart from test_tray: on a private bus with
// a stand-in panel (a StatusNotifierWatcher with a host) and notification
// server, on a real X server, the only platform on which Qt 5 weighs the two.
// The stand-ins answer on a connection and in a thread of their own, as
// another process would: Qt asks the panel with blocking calls from the GUI
// thread, on the session bus connection and on one of its own.
#include "mainwindowparts.h"
#include "privatesessionbus.h"
#include "treebuilder.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QMutex>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// What a stand-in received, written by its thread and read by the test.
class Record
{
public:
    void add(const QString &entry)
    {
        QMutexLocker lock(&mutex);
        entries << entry;
    }
    QStringList all() const
    {
        QMutexLocker lock(&mutex);
        return entries;
    }
    void clear()
    {
        QMutexLocker lock(&mutex);
        entries.clear();
    }

private:
    mutable QMutex mutex;
    QStringList entries;
};

// The panel: its watcher, with a host, takes the items' registrations.
class FakePanel : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    bool isHostRegistered() const { return true; }
    Record items;

public slots:
    void RegisterStatusNotifierItem(const QString &service) { items.add(service); }
};

// The desktop's notification server: records "summary|body" of each message.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    Record shown;

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown.add(summary + QLatin1Char('|') + body);
        return 1;
    }
};

// Counts the times a widget is shown or hidden.
class VisibilityChanges : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Show || event->type() == QEvent::Hide;
        return false;
    }
};

}  // namespace

class TestTrayPanel : public QObject
{
    Q_OBJECT

    QThread standIns;
    FakePanel panel;
    FakeNotifications notifications;
    std::unique_ptr<MainWindow> window;

    // One click of the panel on the program's item.
    QDBusPendingCall click()
    {
        QDBusMessage activate = QDBusMessage::createMethodCall(
                panel.items.all().value(0), QStringLiteral("/StatusNotifierItem"),
                QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
        activate << 0 << 0;
        return QDBusConnection::sessionBus().asyncCall(activate);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("No X server (DISPLAY is unset): run under xvfb-run to test the D-Bus tray");
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("stand-ins"));
        if (!bus.isConnected())
            QSKIP("dbus-daemon is not installed: no panel to talk to");
        standIns.start();
        panel.moveToThread(&standIns);
        notifications.moveToThread(&standIns);
        QVERIFY(bus.registerObject("/StatusNotifierWatcher", &panel,
                                   QDBusConnection::ExportAllSlots
                                           | QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService("org.kde.StatusNotifierWatcher"));
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &notifications,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
    }

    void cleanupTestCase()
    {
        standIns.quit();
        standIns.wait();
    }

    void init()
    {
        panel.items.clear();
        notifications.shown.clear();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Qt chose the D-Bus protocol: its item registers with the panel.
        QTRY_COMPARE(panel.items.all().size(), 1);
    }

    void cleanup() { window.reset(); }

    void panelClicksToggleTheWindow_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("apart");  // further apart than a double-click
        QTest::addColumn<int>("changes");
        QTest::newRow("one click hides the window") << 1 << false << 1;
        QTest::newRow("a second click, later, shows it again") << 2 << true << 2;
        QTest::newRow("the two activations of a double-click hide it once") << 2 << false << 1;
    }
    void panelClicksToggleTheWindow()
    {
        QFETCH(int, clicks);
        QFETCH(bool, apart);
        QFETCH(int, changes);
        VisibilityChanges seen;
        window->installEventFilter(&seen);
        for (int i = 0; i < clicks; ++i) {
            if (i > 0 && apart)
                QTest::qWait(QApplication::doubleClickInterval() + 100);
            const QDBusPendingCall call = click();
            QTRY_VERIFY(call.isFinished());
            QVERIFY2(!call.isError(), qPrintable(call.error().message()));
        }
        QTRY_COMPARE(seen.count, changes);
        QTest::qWait(100);
        QCOMPARE(seen.count, changes);
        QCOMPARE(window->isHidden(), changes % 2 == 1);
    }

    void searchEndingHiddenIsAnnounced_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("a search that ends hidden in the tray tells the found count")
                << true << QStringList {"搜索完成|找到目标数:3"};
        QTest::newRow("a search that ends in view tells nothing") << false << QStringList {};
    }
    void searchEndingHiddenIsAnnounced()
    {
        QFETCH(bool, hidden);
        QFETCH(QStringList, messages);
        TreeBuilder tree;
        for (const char *name : {"a.txt", "b.txt", "sub/c.txt"})
            tree.file(QLatin1String(name));
        MainWindowParts parts(*window);
        parts.find->setEditText(QStringLiteral("*.txt"));
        parts.dir->setEditText(tree.root());
        if (hidden)
            window->hide();
        QMetaObject::invokeMethod(window.get(), "do_search", Qt::DirectConnection);
        QTRY_COMPARE(parts.searchButton->text(), QStringLiteral("搜索"));
        QTRY_COMPARE(notifications.shown.all(), messages);
        QTest::qWait(100);
        QCOMPARE(notifications.shown.all(), messages);
    }
};

int main(int argc, char *argv[])
{
    PrivateSessionBus bus;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");  // the test skips itself
    QApplication app(argc, argv);
    TestTrayPanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_traypanel.moc"
