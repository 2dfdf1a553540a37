// Start-up: one instance per program copy, the hand-over file, the first
// argument. The single-instance behaviour is tested on real processes: copies
// of the built program in temporary folders, started with the test seams
// VELTO_REPORT_VISIBILITY (prints "hidden"/"visible") and VELTO_START_HIDDEN.

#include "appdirs.h"
#include "codecs.h"
#include "pathcodec.h"
#include "singleinstance.h"
#include "startup.h"
#include "timescale.h"
#include "treebuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTextCodec>
#include <QTranslator>
#include <QWidget>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t nobodyId = 65534;
const QRegularExpression stampPattern(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"));

// The permission bits, as ls shows them in octal.
int modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Gives `path` to the account nobody; false where this process may not.
bool ownedByNobody(const QString &path)
{
    return ::chown(QFile::encodeName(path).constData(), nobodyId, nobodyId) == 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A copy of the built program in a folder of its own.
struct ProgramCopy
{
    TreeBuilder tree;
    QString dir;
    QString exe;

    ProgramCopy()
    {
        dir = tree.folder(QStringLiteral("prog"));
        exe = dir + QStringLiteral("/velto-search");
        if (!QFile::copy(QStringLiteral(VELTO_BIN_DIR "/velto-search"), exe))
            qFatal("cannot copy the program");
        // Readable and runnable by an unprivileged account too.
        ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        ::chmod(QFile::encodeName(exe).constData(), 0755);
    }

    QString lockFile(const QString &runtimeDir, const QString &user) const
    {
        return runtimeDir + QLatin1Char('/') + SingleInstance::identifier(exe, user)
                + QStringLiteral(".lock");
    }
};

// One start of the program; collects what it prints and ends it if still
// running when it goes.
class Start
{
public:
    Start(const QString &exe, const QProcessEnvironment &env, const QStringList &args = {},
          const QStringList &wrapper = {}, const QString &workingDir = QString())
    {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workingDir);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        if (wrapper.isEmpty())
            process.start(exe, args);
        else
            process.start(wrapper.first(), wrapper.mid(1) + QStringList {exe} + args);
    }
    ~Start()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Waits until the program has printed `line` (one of "hidden", "visible").
    bool waitForLine(const QByteArray &line, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!lines().contains(line)) {
            if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return lines().contains(line);
            process.waitForReadyRead(50);
        }
        return true;
    }

    QList<QByteArray> lines()
    {
        output += process.readAllStandardOutput();
        return output.split('\n');
    }

    QProcess process;

private:
    QByteArray output;
};

}  // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void secondStartWakesTheHiddenWindowAndExits_data();
    void secondStartWakesTheHiddenWindowAndExits();
    void copiesInDifferentFoldersAreBothFirstInstances();
    void lockOfAKilledInstanceDoesNotBlock();
    void lockLivesInAPrivateFolder_data();
    void lockLivesInAPrivateFolder();
    void secondStartHandsOverItsFolders_data();
    void secondStartHandsOverItsFolders();
    void readOnlyProgramFolderHandsOverThroughThePerUserFolder();
    void workingDirectoryIsTheProgramFolder();

    void identifierNamesOneCopyForOneUser_data();
    void identifierNamesOneCopyForOneUser();
    void secondObjectOfTheSameCopyFindsItRunning();
    void messageOnTheLocalChannel_data();
    void messageOnTheLocalChannel();

    void stampFormat_data();
    void stampFormat();
    void handOverFileHoldsOnlyTheLatestStamp();
    void handOverFileInAMissingFolderIsPassedOver();
    void handOverFileIsNeverWrittenThroughALink_data();
    void handOverFileIsNeverWrittenThroughALink();
    void handOverFileLocation_data();
    void handOverFileLocation();
    void startFoldersAreTakenWhole_data();
    void startFoldersAreTakenWhole();
    void styleAndLocaleCodec();
    void qtTextsInChinese_data();
    void qtTextsInChinese();

private:
    QProcessEnvironment environment(bool startHidden) const;

    QTemporaryDir runtimeDir;
    QTemporaryDir dataHome;  // the per-user folders of this test and its starts
};

void TestStartup::initTestCase()
{
    QVERIFY(runtimeDir.isValid());
    QVERIFY(dataHome.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    // Locks and sockets of every start in this test go to a private folder
    // (0700, as the runtime folder must be); the children inherit it.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    QVERIFY(QFile::exists(QStringLiteral(VELTO_BIN_DIR "/velto-search")));
}

QProcessEnvironment TestStartup::environment(bool startHidden) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    env.insert(QStringLiteral("VELTO_REPORT_VISIBILITY"), QStringLiteral("1"));
    if (startHidden)
        env.insert(QStringLiteral("VELTO_START_HIDDEN"), QStringLiteral("1"));
    else
        env.remove(QStringLiteral("VELTO_START_HIDDEN"));
    return env;
}

void TestStartup::secondStartWakesTheHiddenWindowAndExits_data()
{
    QTest::addColumn<bool>("linkPlanted");
    QTest::newRow("the hand-over file in the program folder") << false;
    QTest::newRow("a link planted at the hand-over path is passed over for the per-user folder")
            << true;
}

void TestStartup::secondStartWakesTheHiddenWindowAndExits()
{
    QFETCH(bool, linkPlanted);
    ProgramCopy copy;
    const QString victim = copy.tree.file(QStringLiteral("victim"), "not to be touched");
    const QString inProgramFolder = copy.dir + QStringLiteral("/shownow.cmd");
    if (linkPlanted)
        copy.tree.link(QStringLiteral("prog/shownow.cmd"), victim);
    const HandOverFile handOver = handOverFileFor(copy.dir);
    QCOMPARE(handOver.path == inProgramFolder, !linkPlanted);

    Start first(copy.exe, environment(true));
    QVERIFY(first.waitForLine("hidden"));
    QVERIFY(!first.lines().contains("visible"));

    QElapsedTimer clock;
    clock.start();
    Start second(copy.exe, environment(false));
    QVERIFY(second.process.waitForFinished(5000));
    QVERIFY2(clock.elapsed() < 2000 * kTimeScale, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process.exitCode(), 0);
    // A start that builds a window reports it at once; this one built none.
    QVERIFY(second.lines().join().isEmpty());

    QVERIFY(first.waitForLine("visible", 3000));
    QCOMPARE(first.process.state(), QProcess::Running);
    const QByteArray stamp = readAll(handOver.path);
    QCOMPARE(stamp.size(), 23);
    QVERIFY2(stampPattern.match(QString::fromLatin1(stamp)).hasMatch(), stamp.constData());

    // Each start says once, on standard error, that it passed the link over.
    const QByteArray said = second.process.readAllStandardError();
    QCOMPARE(said.count('\n'), linkPlanted ? 1 : 0);
    if (linkPlanted) {
        QVERIFY2(said.contains(QFile::encodeName(inProgramFolder) + " is a link"),
                 said.constData());
        QCOMPARE(readAll(victim), QByteArray("not to be touched"));
        QVERIFY(handOver.path.startsWith(dataHome.path() + QStringLiteral("/velto/")));
        QCOMPARE(modeOf(handOver.path), 0600);
        QCOMPARE(modeOf(QFileInfo(handOver.path).absolutePath()), 0700);
    }
}

void TestStartup::copiesInDifferentFoldersAreBothFirstInstances()
{
    ProgramCopy copyA, copyB;
    Start a(copyA.exe, environment(true));
    Start b(copyB.exe, environment(true));
    QVERIFY(a.waitForLine("hidden"));
    QVERIFY(b.waitForLine("hidden"));

    // Each watches its own hand-over file: waking A leaves B hidden.
    Start secondA(copyA.exe, environment(false));
    QVERIFY(secondA.process.waitForFinished(5000));
    QCOMPARE(secondA.process.exitCode(), 0);
    QVERIFY(a.waitForLine("visible", 3000));
    QTest::qWait(300);
    QVERIFY(!b.lines().contains("visible"));
    QCOMPARE(b.process.state(), QProcess::Running);
}

void TestStartup::lockOfAKilledInstanceDoesNotBlock()
{
    ProgramCopy copy;
    const QString lock = copy.lockFile(runtimeDir.path(), SingleInstance::currentUser());
    {
        Start killed(copy.exe, environment(true));
        QVERIFY(killed.waitForLine("hidden"));
        killed.process.kill();  // SIGKILL: no clean-up of lock or socket
        QVERIFY(killed.process.waitForFinished(5000));
    }
    QVERIFY2(QFile::exists(lock), "the killed instance should leave its lock behind");

    Start next(copy.exe, environment(true));
    QVERIFY(next.waitForLine("hidden"));
    QCOMPARE(next.process.state(), QProcess::Running);

    // It listens on the name the dead one left a socket file under.
    QLocalSocket socket;
    socket.connectToServer(SingleInstance::serverName(
            SingleInstance::identifier(copy.exe, SingleInstance::currentUser())));
    QVERIFY(socket.waitForConnected(3000));

    Start second(copy.exe, environment(false));
    QVERIFY(second.process.waitForFinished(5000));
    QVERIFY(next.waitForLine("visible", 3000));
}

void TestStartup::lockLivesInAPrivateFolder_data()
{
    QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR: "own", "another user's" or "unset"
    QTest::addColumn<QString>("planted");  // what stands in the way beforehand
    QTest::addColumn<bool>("starts");

    QTest::newRow("without XDG_RUNTIME_DIR the lock goes to a folder made 0700 in TMPDIR")
            << "unset"
            << "nothing" << true;
    QTest::newRow("another user's XDG_RUNTIME_DIR is passed over for that folder")
            << "another user's"
            << "nothing" << true;
    QTest::newRow("another user's folder under that name stops the start with a message")
            << "unset"
            << "another user's folder" << false;
    QTest::newRow("a lock no running instance wrote is an error, not a running window")
            << "own"
            << "folder at the lock" << false;
}

void TestStartup::lockLivesInAPrivateFolder()
{
    QFETCH(QString, runtime);
    QFETCH(QString, planted);
    QFETCH(bool, starts);

    ProgramCopy copy;
    QTemporaryDir temp;
    QTemporaryDir ownRuntime;
    const QString fallback = temp.path() + QStringLiteral("/velto-%1").arg(::geteuid());
    QProcessEnvironment env = environment(true);
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    if (runtime == QLatin1String("own"))
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), ownRuntime.path());
    const bool needsNobody = runtime == QLatin1String("another user's")
            || planted == QLatin1String("another user's folder");
    if (needsNobody && ::geteuid() != 0)
        QSKIP("needs root to give a folder to another user");
    if (runtime == QLatin1String("another user's")) {
        QVERIFY(ownedByNobody(ownRuntime.path()));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), ownRuntime.path());
    }
    if (planted == QLatin1String("another user's folder")) {
        QVERIFY(QDir().mkdir(fallback));
        QVERIFY(ownedByNobody(fallback));
    } else if (planted == QLatin1String("folder at the lock")) {
        QVERIFY(QDir().mkdir(copy.lockFile(ownRuntime.path(), SingleInstance::currentUser())));
    }

    Start first(copy.exe, env);
    if (starts) {
        QVERIFY(first.waitForLine("hidden"));
        QVERIFY(QFile::exists(copy.lockFile(fallback, SingleInstance::currentUser())));
        QCOMPARE(modeOf(fallback), 0700);
        return;
    }
    QVERIFY(first.process.waitForFinished(10000));
    QCOMPARE(first.process.exitCode(), 1);
    const QByteArray said = first.process.readAllStandardError();
    QVERIFY2(said.contains("velto-search: cannot start: "), said.constData());
    QVERIFY(!first.lines().contains("hidden"));
}

void TestStartup::secondStartHandsOverItsFolders_data()
{
    QTest::addColumn<QString>("folder");  // below the tree, as a printf format
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said");  // "@root" stands for the tree

    QTest::newRow("a folder whose name holds a semicolon goes over whole")
            << "a;b" << 0 << QByteArray();
    QTest::newRow("a missing folder is refused with a message")
            << "nowhere" << 2 << QByteArray("velto-search: 目录名:@root/nowhere 不存在\n");
    QTest::newRow("a missing folder that is not UTF-8 is named by its bytes")
            << "e\\377" << 2 << QByteArray("velto-search: 目录名:@root/e\xff 不存在\n");
}

void TestStartup::secondStartHandsOverItsFolders()
{
    QFETCH(QString, folder);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    ProgramCopy copy;
    copy.tree.folder(QStringLiteral("a;b"));
    said.replace("@root", QFile::encodeName(copy.tree.root()));

    Start first(copy.exe, environment(true));
    QVERIFY(first.waitForLine("hidden"));
    // Through a shell, which hands the program the folder's bytes as they are.
    const QStringList shell {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                             QStringLiteral("exec \"$0\" \"$1/$(printf \"$2\")\"")};
    Start second(copy.exe, environment(false), {copy.tree.root(), folder}, shell);
    QVERIFY(second.process.waitForFinished(5000));
    QCOMPARE(second.process.exitCode(), exitCode);
    QCOMPARE(second.process.readAllStandardError(), said);
    QVERIFY(first.waitForLine("visible", 3000));
}

void TestStartup::readOnlyProgramFolderHandsOverThroughThePerUserFolder()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run the program as an unprivileged account");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv is not installed");

    // Root writes anywhere, so the program runs as "nobody" from a folder
    // owned by root; its home and runtime folders belong to "nobody".
    ProgramCopy copy;
    TreeBuilder home;
    const QString runtime = home.folder(QStringLiteral("runtime"));
    const QString data = home.folder(QStringLiteral("share"));
    for (const QString &path : {home.root(), runtime, data})
        QCOMPARE(::chown(QFile::encodeName(path).constData(), nobodyId, nobodyId), 0);
    ::chmod(QFile::encodeName(home.root()).constData(), 0755);

    QProcessEnvironment env = environment(true);
    env.insert(QStringLiteral("HOME"), home.root());
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    const QStringList asNobody {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                                QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};

    Start first(copy.exe, env, {}, asNobody);
    QVERIFY(first.waitForLine("hidden"));
    env.remove(QStringLiteral("VELTO_START_HIDDEN"));
    Start second(copy.exe, env, {}, asNobody);
    QVERIFY(second.process.waitForFinished(5000));
    QCOMPARE(second.process.exitCode(), 0);
    QVERIFY(first.waitForLine("visible", 3000));

    QVERIFY(!QFile::exists(copy.dir + QStringLiteral("/shownow.cmd")));
    const QStringList handOver
            = QDir(data + QStringLiteral("/velto"))
                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                      .filter(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$")));
    QCOMPARE(handOver.size(), 1);
    const QByteArray stamp = readAll(data + QStringLiteral("/velto/") + handOver.first()
                                     + QStringLiteral("/shownow.cmd"));
    QVERIFY2(stampPattern.match(QString::fromLatin1(stamp)).hasMatch(), stamp.constData());
}

void TestStartup::workingDirectoryIsTheProgramFolder()
{
    if (!QFileInfo::exists(QStringLiteral("/proc/self/cwd")))
        QSKIP("needs /proc to see another process's working directory");
    ProgramCopy copy;
    TreeBuilder elsewhere;
    Start first(copy.exe, environment(true), {}, {}, elsewhere.root());
    QVERIFY(first.waitForLine("hidden"));
    const QString cwd = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(first.process.processId()))
                                .symLinkTarget();
    QCOMPARE(cwd, QFileInfo(copy.dir).canonicalFilePath());
}

void TestStartup::identifierNamesOneCopyForOneUser_data()
{
    QTest::addColumn<QString>("otherPath");
    QTest::addColumn<QString>("otherUser");
    QTest::addColumn<bool>("same");

    QTest::newRow("the same path and user name the same copy")
            << QStringLiteral("prog/velto-search") << QStringLiteral("1000") << true;
    QTest::newRow("a path through a symbolic link names the same copy")
            << QStringLiteral("link/velto-search") << QStringLiteral("1000") << true;
    QTest::newRow("a path with dot segments names the same copy")
            << QStringLiteral("prog/../prog/./velto-search") << QStringLiteral("1000") << true;
    QTest::newRow("a copy in another folder is another program")
            << QStringLiteral("other/velto-search") << QStringLiteral("1000") << false;
    QTest::newRow("another user runs an instance of its own")
            << QStringLiteral("prog/velto-search") << QStringLiteral("1001") << false;
}

void TestStartup::identifierNamesOneCopyForOneUser()
{
    QFETCH(QString, otherPath);
    QFETCH(QString, otherUser);
    QFETCH(bool, same);

    TreeBuilder tree;
    tree.file(QStringLiteral("prog/velto-search"));
    tree.file(QStringLiteral("other/velto-search"));
    tree.link(QStringLiteral("link"), tree.path(QStringLiteral("prog")));

    const QString id = SingleInstance::identifier(tree.path(QStringLiteral("prog/velto-search")),
                                                  QStringLiteral("1000"));
    QCOMPARE(SingleInstance::identifier(tree.path(otherPath), otherUser) == id, same);
}

void TestStartup::secondObjectOfTheSameCopyFindsItRunning()
{
    TreeBuilder tree;
    const QString exe = tree.file(QStringLiteral("velto-search"));
    const QString user = SingleInstance::currentUser();
    {
        SingleInstance first(exe, user);
        QVERIFY(!first.isRunning());
        QVERIFY(!first.isRunning());  // asking again does not change the answer
        SingleInstance second(exe, user);
        QVERIFY(second.isRunning());
    }
    SingleInstance afterwards(exe, user);
    QVERIFY2(!afterwards.isRunning(), "the lock goes with the first instance");
}

void TestStartup::messageOnTheLocalChannel_data()
{
    QTest::addColumn<bool>("activateOnMessage");
    QTest::newRow("with activation a message restores the minimised window") << true;
    QTest::newRow("without activation a message changes nothing") << false;
}

void TestStartup::messageOnTheLocalChannel()
{
    QFETCH(bool, activateOnMessage);
    TreeBuilder tree;
    const QString exe = tree.file(QStringLiteral("velto-search"));
    SingleInstance instance(exe, SingleInstance::currentUser());
    QVERIFY(!instance.isRunning());
    QSignalSpy received(&instance, &SingleInstance::messageReceived);

    QWidget window;
    window.showMinimized();
    QVERIFY(window.isMinimized());
    instance.setActivationWindow(&window, activateOnMessage);

    // A later start hands over its folders, each whole and in its own bytes.
    const QStringList folders {decodePath("/tmp/a;b"), decodePath("/tmp/d\xff"), QString()};
    SingleInstance later(exe, SingleInstance::currentUser());
    QVERIFY(later.isRunning());
    QVERIFY(later.sendMessage(startFoldersMessage(folders)));
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(startFoldersInMessage(received.first().first().toByteArray()), folders);
    QCOMPARE(window.isMinimized(), !activateOnMessage);
    QCOMPARE(startFoldersInMessage("wake up"), QStringList());
}

void TestStartup::stampFormat_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("stamp");

    QTest::newRow("single-digit fields are padded with zeros")
            << QDateTime(QDate(2024, 3, 7), QTime(9, 5, 1, 4))
            << QStringLiteral("07.03.2024 09:05:01.004");
    QTest::newRow("the afternoon counts in 24 hours")
            << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999))
            << QStringLiteral("31.12.1999 23:59:59.999");
}

void TestStartup::stampFormat()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, stamp);
    QCOMPARE(showNowStamp(when), stamp);
}

void TestStartup::handOverFileHoldsOnlyTheLatestStamp()
{
    TreeBuilder tree;
    const QString path
            = tree.file(QStringLiteral("shownow.cmd"), QByteArray(100, 'x') + "\nolder content\n");
    writeShowNowFile(path, QDateTime(QDate(2024, 3, 7), QTime(9, 5, 1, 4)));
    QCOMPARE(readAll(path), QByteArray("07.03.2024 09:05:01.004"));
}

void TestStartup::handOverFileInAMissingFolderIsPassedOver()
{
    TreeBuilder tree;
    const QString path = tree.path(QStringLiteral("missing/shownow.cmd"));
    writeShowNowFile(path, QDateTime::currentDateTime());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(tree.path(QStringLiteral("missing"))));
}

void TestStartup::handOverFileIsNeverWrittenThroughALink_data()
{
    QTest::addColumn<QString>("standing");  // what stands at the hand-over path beforehand
    QTest::addColumn<bool>("written");

    QTest::newRow("nothing: a new file, the user's alone") << "nothing" << true;
    QTest::newRow("a plain file: stamped") << "plain file" << true;
    QTest::newRow("a symbolic link to another file: neither is written")
            << "symbolic link" << false;
    QTest::newRow("a dangling link: no file is created where it points")
            << "dangling link" << false;
    QTest::newRow("a second hard link of another file: it is left alone") << "hard link" << false;
    QTest::newRow("a named pipe: passed over without waiting for a reader")
            << "named pipe" << false;
    QTest::newRow("a file of another user: left alone") << "other user's file" << false;
}

void TestStartup::handOverFileIsNeverWrittenThroughALink()
{
    QFETCH(QString, standing);
    QFETCH(bool, written);

    TreeBuilder tree;
    const QString path = tree.path(QStringLiteral("shownow.cmd"));
    const QString other = tree.path(QStringLiteral("other"));
    if (standing != QLatin1String("dangling link"))
        tree.file(QStringLiteral("other"), "another file");
    if (standing == QLatin1String("plain file"))
        tree.file(QStringLiteral("shownow.cmd"), "older stamp");
    else if (standing.endsWith(QLatin1String(" link")) && standing != QLatin1String("hard link"))
        tree.link(QStringLiteral("shownow.cmd"), other);
    else if (standing == QLatin1String("hard link"))
        QCOMPARE(::link(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()),
                 0);
    else if (standing == QLatin1String("named pipe"))
        tree.fifo(QStringLiteral("shownow.cmd"));
    else if (standing == QLatin1String("other user's file")
             && !ownedByNobody(tree.file(QStringLiteral("shownow.cmd"), "another file")))
        QSKIP("needs root to give a file to another user");

    const QDateTime when(QDate(2024, 3, 7), QTime(9, 5, 1, 4));
    QCOMPARE(writeShowNowFile(path, when), written);
    if (written) {
        QCOMPARE(readAll(path), QByteArray("07.03.2024 09:05:01.004"));
        if (standing == QLatin1String("nothing"))
            QCOMPARE(modeOf(path), 0600);
    } else if (standing == QLatin1String("dangling link")) {
        QVERIFY(!QFileInfo::exists(other));
    } else if (standing == QLatin1String("other user's file")) {
        QCOMPARE(readAll(path), QByteArray("another file"));
    } else if (standing != QLatin1String("named pipe")) {
        QCOMPARE(readAll(other), QByteArray("another file"));
    }
}

void TestStartup::handOverFileLocation_data()
{
    QTest::addColumn<QString>("programDir");  // "@" a writable folder of the test's own
    QTest::addColumn<QString>("planted");     // what stands at "shownow.cmd" there
    QTest::addColumn<QString>("why");         // why it is passed over; empty: it is used

    QTest::newRow("a writable program folder holds the hand-over file") << "@"
                                                                        << "nothing"
                                                                        << "";
    QTest::newRow("the user's own file there is used") << "@"
                                                       << "own file"
                                                       << "";
    QTest::newRow("a link there sends it to the per-user folder")
            << "@"
            << "link"
            << "is a link and is not followed";
    QTest::newRow("another user's file there sends it to the per-user folder")
            << "@"
            << "other user's file"
            << "belongs to another user";
    QTest::newRow("a file others may write sends it to the per-user folder")
            << "@"
            << "file others may write"
            << "can be written by other users";
    QTest::newRow("a folder there sends it to the per-user folder") << "@"
                                                                    << "folder"
                                                                    << "is not a plain file";
    QTest::newRow("the folder the program is installed to is never written to")
            << installedProgramDir() << "nothing"
            << "-";
}

void TestStartup::handOverFileLocation()
{
    QFETCH(QString, programDir);
    QFETCH(QString, planted);
    QFETCH(QString, why);

    TreeBuilder tree;
    if (programDir == QLatin1String("@"))
        programDir = tree.root();
    const QString name = QStringLiteral("shownow.cmd");
    if (planted == QLatin1String("own file"))
        tree.file(name, "stamp");
    else if (planted == QLatin1String("link"))
        tree.link(name, tree.file(QStringLiteral("other")));
    else if (planted == QLatin1String("other user's file") && !ownedByNobody(tree.file(name)))
        QSKIP("needs root to give a file to another user");
    else if (planted == QLatin1String("file others may write"))
        QVERIFY(QFile::setPermissions(tree.file(name),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::WriteGroup
                                              | QFile::WriteOther));
    else if (planted == QLatin1String("folder"))
        tree.folder(name);

    const HandOverFile handOver = handOverFileFor(programDir);
    const QString folder = QFileInfo(handOver.path).absolutePath();
    const bool inProgramDir = why.isEmpty();
    QCOMPARE(QFileInfo(handOver.path).fileName(), name);
    QCOMPARE(folder == programDir, inProgramDir);
    if (why != QLatin1String("-")) {
        QCOMPARE(handOver.passedOver, inProgramDir ? QString() : programDir + '/' + name);
        QCOMPARE(handOver.why, why);
    }
    if (!inProgramDir) {
        // The per-user folder and the one above it are the user's alone.
        QVERIFY(folder.startsWith(dataHome.path() + QStringLiteral("/velto/")));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(QFileInfo(folder).absolutePath()), 0700);
    }
}

void TestStartup::startFoldersAreTakenWhole_data()
{
    QTest::addColumn<QByteArray>("argument");  // "@root" stands for the tree
    QTest::addColumn<bool>("usable");

    // Relative names are taken below the working directory, which start-up
    // has made the program's folder; "prog" plays that folder here.
    QTest::newRow("an existing absolute folder is one start folder")
            << QByteArray("@root/data") << true;
    QTest::newRow("a folder whose name holds a semicolon stays one folder")
            << QByteArray("@root/a;b") << true;
    QTest::newRow("a folder whose name is not UTF-8 keeps its bytes")
            << QByteArray("@root/d\xff") << true;
    QTest::newRow("a folder keeps its trailing slash") << QByteArray("@root/data/") << true;
    QTest::newRow("a relative folder below the program folder is taken")
            << QByteArray("sub") << true;
    QTest::newRow("a relative name that exists only elsewhere is refused")
            << QByteArray("data") << false;
    QTest::newRow("a file is refused, not replaced by the drives")
            << QByteArray("@root/data/notes.txt") << false;
    QTest::newRow("a missing path is refused") << QByteArray("@root/nowhere") << false;
}

void TestStartup::startFoldersAreTakenWhole()
{
    QFETCH(QByteArray, argument);
    QFETCH(bool, usable);

    TreeBuilder tree;
    tree.file(QStringLiteral("data/notes.txt"), "x");
    tree.folder(QStringLiteral("prog/sub"));
    tree.folder(QStringLiteral("a;b"));
    tree.rawFile("d\xff/x.txt");
    argument.replace("@root", QFile::encodeName(tree.root()));

    const char *const argv[] = {"velto-search", argument.constData()};
    const QStringList folders = startFolders(2, argv);
    QCOMPARE(folders.size(), 1);
    QCOMPARE(encodePath(folders.first()), argument);
    QCOMPARE(startFoldersInMessage(startFoldersMessage(folders)), folders);

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tree.path(QStringLiteral("prog"))));
    const QString unusable = unusableStartFolder(folders);
    QDir::setCurrent(previous);
    QCOMPARE(unusable, usable ? QString() : folders.first());
}

void TestStartup::styleAndLocaleCodec()
{
    installStyleAndCodecs();
    const QString style = QApplication::style()->objectName().toLower();
    QVERIFY2(style == QLatin1String("cleanlooks") || style == QLatin1String("fusion"),
             qPrintable(style));
    QCOMPARE(QTextCodec::codecForLocale(), systemCodec());
}

void TestStartup::qtTextsInChinese_data()
{
    QTest::addColumn<bool>("installed");  // the Qt translations are where Qt keeps them
    QTest::addColumn<int>("button");  // a message box's standard button, or 0: the folder chooser's
    QTest::addColumn<QString>("text");

    QTest::newRow("a question's Yes button") << true << int(QMessageBox::Yes) << "是(&Y)";
    QTest::newRow("a question's Cancel button") << true << int(QMessageBox::Cancel) << "取消";
    QTest::newRow("a message's OK button") << true << int(QMessageBox::Ok) << "确定";
    QTest::newRow("the folder chooser's Choose button") << true << 0 << "选择(&C)";
    QTest::newRow("without the translations Qt's texts stay English")
            << false << int(QMessageBox::Yes) << "&Yes";
}

void TestStartup::qtTextsInChinese()
{
    QFETCH(bool, installed);
    QFETCH(int, button);
    QFETCH(QString, text);

    QTemporaryDir empty;
    QTranslator *translator = installQtTranslations(
            installed ? QLibraryInfo::location(QLibraryInfo::TranslationsPath) : empty.path());
    QCOMPARE(translator != nullptr, installed);
    const auto uninstall = qScopeGuard([translator] {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    });

    QString shown;
    if (button) {
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::StandardButton(button));
        shown = box.button(QMessageBox::StandardButton(button))->text();
    } else {
        // The folder chooser as the Directory button opens it.
        QFileDialog chooser(nullptr, QString(), QDir::tempPath());
        chooser.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        chooser.setFileMode(QFileDialog::Directory);
        shown = chooser.labelText(QFileDialog::Accept);
    }
    QCOMPARE(shown, text);
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
