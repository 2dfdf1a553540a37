// What the window keeps between runs, in a settings file of the test's own.
#include "mainwindowparts.h"
#include "treebuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QStringList entries(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

}  // namespace

class FormHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void historySurvivesARestart();
    void moreConditionsChoicesSurviveARestart_data();
    void moreConditionsChoicesSurviveARestart();
    void historyKeepsTheLastTwentyOfEachField();
    void clearedHistoryStaysCleared();
    void windowWithoutSettingsRemembersNothing();

private:
    // A window as the program starts one: settings first, then the folders.
    void start();
    void restart();
    void search(const QString &names, const QString &text);

    QTemporaryDir config;
    TreeBuilder tree;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowParts> parts;
};

void FormHistoryTest::init()
{
    QVERIFY(QFile::remove(config.filePath("velto.conf"))
            || !QFile::exists(config.filePath("velto.conf")));
    tree.file(QStringLiteral("a.txt"), "hello\n");
    start();
}

void FormHistoryTest::cleanup()
{
    parts.reset();
    window.reset();
    settings.reset();
}

void FormHistoryTest::start()
{
    settings = std::make_unique<QSettings>(config.filePath("velto.conf"), QSettings::IniFormat);
    window = std::make_unique<MainWindow>();
    window->useSettings(settings.get());
    window->initTargetDir(QString());
    parts = std::make_unique<MainWindowParts>(*window);
    QVERIFY(parts->complete());
}

void FormHistoryTest::restart()
{
    parts.reset();
    window.reset();  // the window keeps its layout as it goes
    settings.reset();
    start();
}

void FormHistoryTest::search(const QString &names, const QString &text)
{
    parts->find->setEditText(names);
    parts->grep->setEditText(text);
    parts->dir->setEditText(tree.root());
    QMetaObject::invokeMethod(&*window, "do_search", Qt::DirectConnection);
    QVERIFY(parts->worker->wait(10000));
    QTRY_COMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
}

void FormHistoryTest::historySurvivesARestart()
{
    const QStringList presets = entries(parts->find);
    parts->window.findChild<QCheckBox *>("checkBox_deepSearch")->setChecked(true);
    parts->recursive->setChecked(false);
    search("*.txt", "hello");
    window->resize(700, 500);
    window->findChild<QAction *>("previewAction")->trigger();
    parts->table->setColumnWidth(1, 123);
    restart();

    QCOMPARE(entries(parts->find), presets + QStringList {"*.txt"});
    QCOMPARE(entries(parts->grep), QStringList {"hello"});
    QVERIFY(entries(parts->dir).contains(tree.root()));
    QCOMPARE(parts->grep->currentText(), QString());  // the fields start as before
    QCOMPARE(parts->find->currentText(), QStringLiteral("*"));
    QVERIFY(window->findChild<QCheckBox *>("checkBox_deepSearch")->isChecked());
    QVERIFY(!parts->recursive->isChecked());
    QCOMPARE(window->size(), QSize(700, 500));
    QVERIFY(window->findChild<QAction *>("previewAction")->isChecked());
    QCOMPARE(parts->table->columnWidth(1), 123);
}

void FormHistoryTest::moreConditionsChoicesSurviveARestart_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("unfolded");  // after the restart
    QTest::newRow("hidden files ticked unfold the panel") << "checkBox_hidden" << 2 << true;
    QTest::newRow("links followed, all of them") << "checkBox_followLinks" << 2 << true;
    QTest::newRow("links followed, none") << "checkBox_followLinks" << 0 << true;
    QTest::newRow("links as they start leave the panel folded")
            << "checkBox_followLinks" << 1 << false;
    QTest::newRow("binary files skipped") << "checkBox_skipBinary" << 2 << true;
    QTest::newRow("ignore files honoured") << "checkBox_ignoreFiles" << 2 << true;
}

// A tick box of the folded part keeps its state; one that differs from how
// it starts shows itself, while the fields (here an exclusion) start empty.
void FormHistoryTest::moreConditionsChoicesSurviveARestart()
{
    QFETCH(QString, box);
    QFETCH(int, state);
    QFETCH(bool, unfolded);
    window->findChild<QCheckBox *>(box)->setCheckState(Qt::CheckState(state));
    window->findChild<QLineEdit *>("lineEdit_excluded")->setText("*.log");
    search("*.txt", QString());
    restart();
    window->show();
    QCOMPARE(int(window->findChild<QCheckBox *>(box)->checkState()), state);
    QCOMPARE(window->findChild<QCheckBox *>(box)->isVisible(), unfolded);
    QCOMPARE(window->findChild<QLineEdit *>("lineEdit_excluded")->text(), QString());
}

void FormHistoryTest::historyKeepsTheLastTwentyOfEachField()
{
    for (int i = 0; i < 22; ++i)
        search(QStringLiteral("n%1").arg(i), QStringLiteral("t%1").arg(i % 21));
    restart();
    QStringList texts;
    for (int i = 1; i <= 20; ++i)
        texts << QStringLiteral("t%1").arg(i);
    texts.removeAll("t1");
    texts.append(QStringLiteral("t0"));  // searched again last: the newest
    QCOMPARE(entries(parts->grep), texts);
    QCOMPARE(entries(parts->find).mid(parts->find->count() - 20).first(), QStringLiteral("n2"));
}

void FormHistoryTest::clearedHistoryStaysCleared()
{
    const QStringList presets = entries(parts->find);
    const QStringList folders = entries(parts->dir);
    search("*.txt", "hello");
    window->findChild<QAction *>("clearHistoryAction")->trigger();
    QCOMPARE(entries(parts->find), presets);
    QCOMPARE(entries(parts->grep), QStringList());
    QCOMPARE(entries(parts->dir), folders);
    QCOMPARE(parts->grep->currentText(), QStringLiteral("hello"));  // the fields keep their text
    restart();
    QCOMPARE(entries(parts->find), presets);
    QCOMPARE(entries(parts->grep), QStringList());
}

void FormHistoryTest::windowWithoutSettingsRemembersNothing()
{
    search("*.txt", "hello");
    restart();
    MainWindow plain;
    MainWindowParts plainParts(plain);
    QCOMPARE(plainParts.grep->count(), 0);
    QVERIFY(QSettings(config.filePath("velto.conf"), QSettings::IniFormat)
                    .contains("history/texts"));
}

QTEST_MAIN(FormHistoryTest)
#include "test_formhistory.moc"
