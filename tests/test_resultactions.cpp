// The result table's actions: menu, Open, Browse, Copy information, and the
// collection of files for Copy and Cut (read back from the in-process clipboard).
#include "desktopopen.h"
#include "filemanager.h"
#include "messageboxanswerer.h"
#include "pathcodec.h"
#include "privatesessionbus.h"
#include "resultwindowfixture.h"
#include "treebuilder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <csignal>

// Records the paths the program asks the desktop to open.
struct OpenRecorder
{
    QStringList opened;
    QList<QByteArray> encoded;  // the same paths as the bytes handed over
};

// Stands in for the desktop's file manager on the test's own session bus:
// records each request as "uri,uri|startup id", also in a file when given one.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FakeFileManager(const QString &logPath = QString()) : logPath(logPath) { }
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shown << uris.join(QLatin1Char(',')) + QLatin1Char('|') + startupId;
        QFile log(logPath);
        if (!logPath.isEmpty() && log.open(QIODevice::Append))
            log.write(shown.last().toUtf8() + '\n');
    }

private:
    QString logPath;
};

const char standInOption[] = "--stand-in-file-manager";

// The file manager the bus starts: this program run with the option above
// and a log file. It serves on the bus that started it until that bus goes.
int runStandInFileManager(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::ActivationBus,
                                                        QStringLiteral("starter"));
    FakeFileManager fileManager(QString::fromLocal8Bit(argv[2]));
    if (!bus.registerObject("/org/freedesktop/FileManager1", &fileManager,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService("org.freedesktop.FileManager1"))
        return 1;
    QTimer busCheck;
    QObject::connect(&busCheck, &QTimer::timeout, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::quit();
    });
    busCheck.start(1000);
    return app.exec();
}

class TestResultActions : public QObject
{
    Q_OBJECT

    enum Row {
        Plan1,
        Plan2,
        Plan3,
        PlanUpper,
        ZipMember1,
        ZipMember2,
        Folder,
        Gone,
        Notes,
        RowCount
    };

    PrivateSessionBus &sessionBus;
    TreeBuilder tree;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ResultTable> results;
    OpenRecorder urls;
    QStringList browsed;

    QString relative(QString text) const
    {
        return text
                .replace(QUrl::fromLocalFile(tree.root()).toString(QUrl::FullyEncoded) + '/',
                         QString())
                .replace(tree.root() + '/', QString());
    }
    // What the last action did, with the tree's root left out of every path.
    QString observedEffect() const
    {
        QStringList seen;
        for (const QString &path : urls.opened)
            seen << "open " + relative(path);
        for (const QString &path : browsed)
            seen << "browse " + relative(path);
        const QMimeData *clip = QApplication::clipboard()->mimeData();
        if (clip->hasFormat("x-special/gnome-copied-files"))
            seen << relative(QString::fromUtf8(clip->data("x-special/gnome-copied-files")))
                            .replace('\n', ' ');
        else if (clip->text() != QLatin1String("before"))
            seen << "text " + relative(clip->text().section('\n', 0, 0));
        return seen.join(QLatin1String("; "));
    }
    QString modified(const QString &name) const
    {
        return QFileInfo(tree.path(name))
                .lastModified()
                .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    }
    void runAction(const QString &slot) { results->run(qPrintable(slot)); }
    void recordOpens()
    {
        setDesktopOpenHandler([this](const QString &path) {
            urls.opened << path;
            urls.encoded << encodePath(path);
        });
    }
    void deliverCopies(const QString &name, int count)
    {
        QList<TFileInfo> hits;
        for (int i = 0; i < count; ++i)
            hits << nameHit(name);
        QVERIFY(results->deliver(tree.root(), hits));
    }

public:
    explicit TestResultActions(PrivateSessionBus &sessionBus) : sessionBus(sessionBus) { }

private slots:
    void initTestCase()
    {
        tree.file(QStringLiteral("sub/inner.txt"));
        tree.file(QStringLiteral("sub/other.txt"));
        tree.file(QStringLiteral("plan.txt"));
        tree.file(QStringLiteral("Plan.txt"));
        tree.file(QStringLiteral("a.zip"));
        tree.folder(QStringLiteral("sub"));
        tree.file(QStringLiteral("notes.txt"));
        tree.setModified(QStringLiteral("plan.txt"), QDateTime(QDate(2012, 9, 10), QTime(14, 18)));
        recordOpens();
    }

    void init()
    {
        tree.file(QStringLiteral("gone.txt"));
        window.reset(new MainWindow);
        results.reset(new ResultTable(*window));
        QVERIFY(results->deliver(tree.root(),
                                 {contentHit("plan.txt", 1, "one"),
                                  contentHit("plan.txt", 12, "  meeting at noon \t"),
                                  contentHit("plan.txt", 3, "three"), nameHit("Plan.txt"),
                                  nameHit("a.zip/doc/x.txt"), contentHit("a.zip/doc/y.txt", 4, "y"),
                                  nameHit("sub"), nameHit("gone.txt"), nameHit("notes.txt")}));
        QCOMPARE(results->cell(Notes, 0), QStringLiteral("notes.txt"));
        QVERIFY(QFile::remove(tree.path(QStringLiteral("gone.txt"))));
        urls.opened.clear();
        urls.encoded.clear();
        browsed.clear();
        setFileManagerHandler([this](const QString &path) { browsed << path; });
        QApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup()
    {
        results.reset();
        window.reset();
        setFileManagerHandler({});
    }

    void menuEntriesReachTheirActions_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("effect");
        QTest::newRow("entry 1 opens the file") << 0 << "打开文件"
                                                << "open notes.txt";
        QTest::newRow("entry 2 shows it in its folder") << 1 << "浏览文件所在目录"
                                                        << "browse notes.txt";
        QTest::newRow("entry 4 copies the file") << 3 << "复制选中文件"
                                                 << "copy notes.txt";
        QTest::newRow("entry 5 cuts the file") << 4 << "剪切选中文件"
                                               << "cut notes.txt";
        QTest::newRow("entry 7 copies the row as text") << 6 << "复制选中列表信息"
                                                        << "text 文件名：notes.txt";
    }
    void menuEntriesReachTheirActions()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        QFETCH(QString, effect);
        const QList<QAction *> entries = results->table()->actions();
        QCOMPARE(entries.size(), 8);
        QVERIFY(entries.at(2)->isSeparator() && entries.at(5)->isSeparator());
        QCOMPARE(entries.at(7)->text(), QStringLiteral("停止显示"));
        QCOMPARE(results->table()->contextMenuPolicy(), Qt::ActionsContextMenu);

        QCOMPARE(entries.at(position)->text(), text);
        results->select({Notes});
        entries.at(position)->trigger();
        QCOMPARE(observedEffect(), effect);
    }

    void doubleClickOpensTheRow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTableView *table = results->table();
        table->scrollTo(table->model()->index(Folder, 0));
        const QRect cell = table->visualRect(table->model()->index(Folder, 0));
        // A real double-click: the first click's press and release, then the double-click.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(observedEffect(), QStringLiteral("open sub"));
    }

    void manyRowsAskBeforeActing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("acted");
        const QString open = QStringLiteral("执行%1个打开操作，是否继续？");
        const QString copy = QStringLiteral("执行%1个复制操作，是否继续？");
        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        for (const QString action : {"openFileDefault", "openExplorerDir"}) {
            QTest::newRow(qPrintable(action + "/three rows act without a question"))
                    << action << 3 << no << "" << true;
            QTest::newRow(qPrintable(action + "/four rows ask and act on yes"))
                    << action << 4 << yes << open.arg(4) << true;
            QTest::newRow(qPrintable(action + "/four rows ask and do nothing on no"))
                    << action << 4 << no << open.arg(4) << false;
        }
        for (const QString action : {"copyfiles", "cutfiles"}) {
            QTest::newRow(qPrintable(action + "/29 rows go without a question"))
                    << action << 29 << no << "" << true;
            QTest::newRow(qPrintable(action + "/30 rows ask and go on yes"))
                    << action << 30 << yes << copy.arg(30) << true;
            QTest::newRow(qPrintable(action + "/30 rows ask and keep the clipboard on no"))
                    << action << 30 << no << copy.arg(30) << false;
        }
    }
    void manyRowsAskBeforeActing()
    {
        QFETCH(QString, action);
        QFETCH(int, rows);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, acted);
        deliverCopies(QStringLiteral("notes.txt"), rows);
        QList<int> selection;
        for (int row = 0; row < rows; ++row)
            selection << RowCount + row;
        results->select(selection);

        MessageBoxAnswerer answerer(QMessageBox::StandardButton(answer), 2000);
        runAction("do_" + action);
        QCOMPARE(answerer.text(), question);
        if (answerer.answered()) {
            QCOMPARE(answerer.title(), QStringLiteral("警告"));
            QCOMPARE(answerer.buttons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(answerer.defaultButton(), QMessageBox::No);
        }
        const int handled = urls.opened.size() + browsed.size()
                + (QApplication::clipboard()->text() == QLatin1String("before") ? 0 : 1);
        QCOMPARE(handled, acted ? (action.endsWith("files") ? 1 : rows) : 0);
    }

    void rowsBecomePaths_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("effect");
        const QString open = "openFileDefault", browse = "openExplorerDir", copy = "copyfiles";
        QTest::newRow("open/archive member rows open the archive")
                << open << QList<int> {ZipMember1} << "open a.zip";
        QTest::newRow("open/a directory row opens the directory")
                << open << QList<int> {Folder} << "open sub";
        QTest::newRow("open/a vanished file is passed over, the rest opened")
                << open << QList<int> {Gone, Notes} << "open notes.txt";
        QTest::newRow("open/two rows of one file open it twice")
                << open << QList<int> {Plan1, Plan2} << "open plan.txt; open plan.txt";
        QTest::newRow("open/no selection does nothing") << open << QList<int> {} << "";
        QTest::newRow("browse/archive member rows show the archive")
                << browse << QList<int> {ZipMember2} << "browse a.zip";
        QTest::newRow("browse/a directory row is shown in its parent")
                << browse << QList<int> {Folder} << "browse sub";
        QTest::newRow("browse/a vanished file is passed over, the rest shown")
                << browse << QList<int> {Gone, Notes} << "browse notes.txt";
        QTest::newRow("browse/two rows of one file ask twice")
                << browse << QList<int> {Plan1, Plan3} << "browse plan.txt; browse plan.txt";
        QTest::newRow("copy/three rows of one file give it once")
                << copy << QList<int> {Plan1, Plan2, Plan3} << "copy plan.txt";
        QTest::newRow("copy/members of one archive give the archive once")
                << copy << QList<int> {ZipMember1, ZipMember2} << "copy a.zip";
        QTest::newRow("copy/a directory row goes like a file")
                << copy << QList<int> {Folder} << "copy sub";
        QTest::newRow("copy/paths differing only in case both stay")
                << copy << QList<int> {PlanUpper, Plan1} << "copy Plan.txt plan.txt";
        QTest::newRow("copy/the order is that of first appearance")
                << copy << QList<int> {Notes, Plan2, Folder, Plan1}
                << "copy notes.txt plan.txt sub";
        QTest::newRow("copy/a vanished file is left out")
                << copy << QList<int> {Gone, Notes} << "copy notes.txt";
        QTest::newRow("copy/no file left still empties the clipboard")
                << copy << QList<int> {Gone} << "copy";
        QTest::newRow("cut/no selection still empties the clipboard")
                << QString("cutfiles") << QList<int> {} << "cut";
    }
    void rowsBecomePaths()
    {
        QFETCH(QString, action);
        QFETCH(QList<int>, rows);
        QFETCH(QString, effect);
        results->select(rows);
        runAction("do_" + action);
        QCOMPARE(observedEffect(), effect);
    }

    void cutMarksTheClipboardForMoving()
    {
        results->select({Notes, Folder});
        runAction("do_cutfiles");
        QCOMPARE(QApplication::clipboard()->mimeData()->data("application/x-kde-cutselection"),
                 "1");
        QCOMPARE(QApplication::clipboard()->text(),
                 tree.path("notes.txt") + '\n' + tree.path("sub"));
        runAction("do_copyfiles");
        QCOMPARE(QApplication::clipboard()->mimeData()->data("application/x-kde-cutselection"),
                 "0");
    }

    void copyInformationWritesEachRow_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("text");
        const QString root = tree.root() + '/';
        QTest::newRow("a content hit gives four trimmed lines") << QList<int> {Plan2}
                                                                << "文件名：" + root
                        + "plan.txt\n行号：12\n行内容：meeting at noon\n修改时间：2012-09-10 "
                          "14:18\n\n\n";
        QTest::newRow("a name hit gives no line number and no content")
                << QList<int> {PlanUpper, ZipMember1}
                << "文件名：" + root + "Plan.txt\n修改时间：" + modified("Plan.txt")
                        + "\n\n\n"
                          "文件名："
                        + root + "a.zip/doc/x.txt\n\n\n";
        QTest::newRow("an archive hit gives the member path and no time")
                << QList<int> {ZipMember2}
                << "文件名：" + root + "a.zip/doc/y.txt\n行号：4\n行内容：y\n\n\n";
        QTest::newRow("no selection leaves empty text") << QList<int> {} << "";
    }
    void copyInformationWritesEachRow()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QString, text);
        results->select(rows);
        runAction("do_copyPathName_Clipboard");
        QCOMPARE(QApplication::clipboard()->text(), text);
        QVERIFY(!QApplication::clipboard()->mimeData()->hasFormat("x-special/gnome-copied-files"));
    }

    // Names that are not valid text, or hold blanks, line feeds and
    // direction controls: the rows show them readably and hand the desktop
    // exactly the files the search found.
    void rowsKeepExactNames_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("effect");  // ROOT stands for the tree's root
        const int odd = RowCount, blank = RowCount + 1, override = RowCount + 2,
                  lineFeed = RowCount + 3;
        const QString oddShown("b\uFFFD.txt"), overrideShown("invoice<U+202E>fdp.sh");
        QTest::newRow("open/an odd name is opened by its exact bytes")
                << "openFileDefault" << odd << oddShown << QByteArray("open ROOT/d\xff/b\xff.txt");
        QTest::newRow("browse/an odd name is shown by its bytes")
                << "openExplorerDir" << odd << oddShown
                << QByteArray("browse ROOT/d\xff/b\xff.txt");
        QTest::newRow("copy/an odd name goes to the clipboard by its bytes")
                << "copyfiles" << odd << oddShown << QByteArray("copy\nfile://ROOT/d%FF/b%FF.txt");
        QTest::newRow("copy information/an odd name is written as its URL")
                << "copyPathName_Clipboard" << odd << oddShown
                << QByteArray("文件名：file://ROOT/d%FF/b%FF.txt");
        QTest::newRow("open/a leading blank belongs to the name")
                << "openFileDefault" << blank << "lead.txt" << QByteArray("open ROOT/ lead.txt");
        QTest::newRow("copy/a leading blank belongs to the name")
                << "copyfiles" << blank << "lead.txt"
                << QByteArray("copy\nfile://ROOT/%20lead.txt");
        QTest::newRow("open/a right-to-left override shows as its code and opens the file")
                << "openFileDefault" << override << overrideShown
                << QByteArray("open ROOT/invoice\u202Efdp.sh");
        QTest::newRow("copy information/a name with a line feed is quoted on one line")
                << "copyPathName_Clipboard" << lineFeed << "two\u240Alines.txt"
                << QByteArray("文件名：'ROOT/two'$'\\n''lines.txt'");
    }
    void rowsKeepExactNames()
    {
        QFETCH(QString, action);
        QFETCH(int, row);
        QFETCH(QString, shown);
        QFETCH(QByteArray, effect);
        tree.rawFile("d\xff/b\xff.txt");
        for (const char *name : {" lead.txt", "invoice\u202Efdp.sh", "two\nlines.txt"})
            tree.file(QString::fromUtf8(name));
        QVERIFY(results->deliver(decodePath(QFile::encodeName(tree.root()) + "/d\xff"),
                                 {nameHit(decodePath(QByteArray("b\xff.txt")))}));
        QVERIFY(results->deliver(
                tree.root(),
                {nameHit(" lead.txt"), nameHit("invoice\u202Efdp.sh"), nameHit("two\nlines.txt")}));
        QCOMPARE(results->cell(row, 0), shown);
        results->select({row});
        runAction("do_" + action);

        QByteArray seen;
        for (const QByteArray &path : qAsConst(urls.encoded))
            seen += "open " + path;
        for (const QString &path : qAsConst(browsed))
            seen += "browse " + encodePath(path);
        const QMimeData *clip = QApplication::clipboard()->mimeData();
        if (clip->hasFormat("x-special/gnome-copied-files"))
            seen += clip->data("x-special/gnome-copied-files");
        else if (clip->text() != QLatin1String("before"))
            seen += clip->text().section('\n', 0, 0).toUtf8();
        QCOMPARE(seen, effect.replace("ROOT", QFile::encodeName(tree.root())));
    }

    // Open through the desktop's own opener, xdg-open, played by a script
    // that records its argument and answers with the given exit status.
    void openSaysWhyItFailed_data()
    {
        QTest::addColumn<int>("exitCode");  // -1: no xdg-open at all
        QTest::addColumn<QString>("remark");
        QTest::newRow("no opener installed: the status bar says so")
                << -1 << "无法打开b\uFFFD.txt:没有安装打开文件的程序xdg-open(xdg-utils)";
        QTest::newRow("no application for the type: the status bar says so")
                << 3 << "无法打开b\uFFFD.txt:没有设置打开这类文件的程序";
        QTest::newRow("a file the opener cannot find: the status bar says so")
                << 2 << "无法打开b\uFFFD.txt:文件不存在";
        QTest::newRow("an opener that fails otherwise: the status bar says so")
                << 4 << "无法打开b\uFFFD.txt:打开文件的程序出错";
        QTest::newRow("an opened file: nothing to say, the name reached it as its bytes")
                << 0 << "";
    }
    void openSaysWhyItFailed()
    {
        QFETCH(int, exitCode);
        QFETCH(QString, remark);
        TreeBuilder bin;
        const QString argumentLog = bin.path(QStringLiteral("argument"));
        if (exitCode >= 0) {
            bin.file(QStringLiteral("xdg-open"),
                     QStringLiteral("#!/bin/sh\nprintf %s \"$1\" >'%1.part'\n"
                                    "/bin/mv '%1.part' '%1'\nexit %2\n")
                             .arg(argumentLog)
                             .arg(exitCode)
                             .toUtf8());
            QVERIFY(QFile::setPermissions(bin.path(QStringLiteral("xdg-open")),
                                          QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.root()));
        setDesktopOpenHandler({});
        const auto restore = qScopeGuard([this, path] {
            qputenv("PATH", path);
            recordOpens();
        });

        const QString odd = tree.rawFile("d\xff/b\xff.txt");
        QVERIFY(results->deliver(odd.left(odd.lastIndexOf('/')),
                                 {nameHit(decodePath(QByteArray("b\xff.txt")))}));
        results->select({RowCount});
        runAction("do_openFileDefault");
        QLabel *status = window->statusBar()
                                 ->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)
                                 .value(1);
        QVERIFY(status);
        if (exitCode < 0)
            QCOMPARE(status->text(), remark);
        else
            QTRY_VERIFY(QFile::exists(argumentLog));
        QTRY_COMPARE(status->text(), remark);
        if (exitCode >= 0) {
            QFile argument(argumentLog);
            QVERIFY(argument.open(QIODevice::ReadOnly));
            QCOMPARE(argument.readAll(), encodePath(odd));
        }
    }

    void browseAsksTheDesktopFileManager_data()
    {
        QTest::addColumn<QString>("fileManager");
        QTest::addColumn<QStringList>("requests");  // "@" stands for the tree's root as a URL
        QTest::addColumn<QStringList>("openedFolders");
        // Rows selected from the top: plan.txt twice, the folder sub, notes.txt,
        // then sub/inner.txt and sub/other.txt: one request for each.
        const QStringList oneRequestPerRow {"@/notes.txt|",     "@/plan.txt|",      "@/plan.txt|",
                                            "@/sub/inner.txt|", "@/sub/other.txt|", "@/sub|"};
        QTest::newRow("no file manager to start: the folder of each row is opened")
                << "none" << QStringList {} << QStringList {"", "", "", "", "/sub", "/sub"};
        QTest::newRow("a running file manager gets one request per row")
                << "running" << oneRequestPerRow << QStringList {};
        QTest::newRow("the bus starts the file manager, which gets one request per row")
                << "activatable" << oneRequestPerRow << QStringList {};
    }
    void browseAsksTheDesktopFileManager()
    {
        QFETCH(QString, fileManager);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, openedFolders);
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            QSKIP("dbus-daemon is not installed: the file manager request cannot be tested");
        const QString service = QStringLiteral("org.freedesktop.FileManager1");
        const QString rootUrl = QUrl::fromLocalFile(tree.root()).toString(QUrl::FullyEncoded);
        for (QString &request : requests)
            request.replace('@', rootUrl);
        for (QString &folder : openedFolders)
            folder.prepend(tree.root());

        FakeFileManager running;
        TreeBuilder logDir;
        const QString log = logDir.path(QStringLiteral("requests.log"));
        // Gone again however the row ends, so that no row leaves its file manager to the next.
        const auto leaveNoFileManager = qScopeGuard([&] {
            if (const uint pid = bus.interface()->servicePid(service);
                fileManager == "activatable" && pid > 0)
                kill(pid_t(pid), SIGTERM);
            bus.unregisterService(service);
            (void)QTest::qWaitFor([&] { return !bus.interface()->isServiceRegistered(service); },
                                  5000);
            sessionBus.removeActivatableService(service);
        });
        if (fileManager == "running") {
            QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &running,
                                       QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(service));
        } else if (fileManager == "activatable") {
            QVERIFY(sessionBus.addActivatableService(service,
                                                     QCoreApplication::applicationFilePath() + ' '
                                                             + standInOption + ' ' + log));
        }
        const auto received = [&] {
            QStringList lines = running.shown;
            QFile file(log);
            if (file.open(QIODevice::ReadOnly))
                lines << QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            lines.sort();  // the requests go out without waiting: either may come first
            return lines;
        };
        const auto opened = [this] {
            QStringList folders = urls.opened;
            folders.sort();
            return folders;
        };

        QVERIFY(results->deliver(tree.path("sub"), {nameHit("inner.txt"), nameHit("other.txt")}));
        setFileManagerHandler({});
        results->select({Plan1, Plan3, Folder, Notes, RowCount, RowCount + 1});
        MessageBoxAnswerer answerer(QMessageBox::Yes);  // six rows: the open question
        runAction("do_openExplorerDir");
        QVERIFY(answerer.answered());
        QTRY_COMPARE_WITH_TIMEOUT(received(), requests, 10000);
        QTRY_COMPARE(opened(), openedFolders);
        QTest::qWait(200);  // a fallback would follow the file manager's answer
        QCOMPARE(opened(), openedFolders);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], standInOption) == 0)
        return runStandInFileManager(argc, argv);
    PrivateSessionBus bus;
    QApplication app(argc, argv);
    TestResultActions test(bus);
    return QTest::qExec(&test, argc, argv);
}

#include "test_resultactions.moc"
