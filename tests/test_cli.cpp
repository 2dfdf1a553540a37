// Runs velto-find on trees built at run time and checks what it prints, its
// exit status, its stop on signals, and that it writes no file of its own.
#include "archivebuilder.h"
#include "diagnostics.h"
#include "hitprinter.h"
#include "pathcodec.h"
#include "progressline.h"
#include "queryrows.h"
#include "rawzip.h"
#include "timescale.h"
#include "treebuilder.h"
#include "walkrows.h"
#include "zipbuilder.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString program = QStringLiteral(VELTO_BIN_DIR "/velto-find");

struct FindResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment environmentWithTmp(const QString &tmpDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!tmpDir.isEmpty())
        env.insert(QStringLiteral("TMPDIR"), tmpDir);
    return env;
}

FindResult runProgram(const QString &executable, const QStringList &args, const QString &workDir,
                      const QString &tmpDir, const QStringList &extraEnvironment = {})
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    QProcessEnvironment env = environmentWithTmp(tmpDir);
    for (const QString &variable : extraEnvironment)
        env.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(executable, args);
    FindResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

FindResult runFind(const QStringList &args, const QString &workDir,
                   const QString &tmpDir = QString())
{
    return runProgram(program, args, workDir, tmpDir);
}

// What velto-find writes to a pseudo-terminal as its standard output.
QByteArray runFindOnTerminal(const QStringList &args)
{
    int terminal = -1;
    int side = -1;
    if (::openpty(&terminal, &side, nullptr, nullptr, nullptr) != 0)
        return QByteArray();
    QList<QByteArray> words {program.toLocal8Bit()};
    for (const QString &arg : args)
        words << arg.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(side, STDOUT_FILENO);
        ::close(terminal);
        ::close(side);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(side);
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;  // EIO once the child has closed its side
        out.append(buffer, int(got));
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return out;
}

// Why velto-find cannot run here as the unprivileged account nobody, whom
// root's modes bar; null when it can.
const char *whyNotAsNobody()
{
    if (::geteuid() != 0)
        return "needs root to search as an unprivileged account";
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return "setpriv is not installed";
    return nullptr;
}

FindResult runFindAsNobody(const QStringList &args)
{
    return runProgram(QStringLiteral("setpriv"),
                      QStringList {"--reuid=65534", "--regid=65534", "--clear-groups", program}
                              + args,
                      QString(), QString());
}

QStringList replaceRoot(QStringList texts, const QString &root)
{
    for (QString &text : texts)
        text.replace(QLatin1String("ROOT"), root);
    return texts;
}

QStringList outputLines(const QByteArray &out)
{
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// Bytes the process has read so far (rchar of /proc/PID/io), or -1.
qint64 bytesRead(qint64 pid)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// The peak resident memory of the process in KiB (VmHWM), or 0 once it is gone.
long peakMemoryKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Standard output of a started process through a named pipe that the test
// reads at its own pace: a process that writes more than the pipe holds
// waits until the test reads.
class PacedOutput
{
public:
    explicit PacedOutput(QProcess &process)
    {
        const QByteArray path = QFile::encodeName(dir.path()) + "/out";
        if (::mkfifo(path.constData(), 0600) == 0)
            fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        process.setStandardOutputFile(QFile::decodeName(path));
    }
    ~PacedOutput() { ::close(fd); }

    // True once the pipe is full: the process waits in a write.
    bool waitUntilFull(int timeoutMs) const
    {
        const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
        return QTest::qWaitFor(
                [&] {
                    int queued = 0;
                    return ::ioctl(fd, FIONREAD, &queued) == 0 && queued >= capacity;
                },
                timeoutMs);
    }
    // Up to `max` bytes, waiting for them; empty at the end of the output.
    QByteArray read(int max) const
    {
        std::vector<char> bytes(size_t(max), '\0');
        for (;;) {
            pollfd watched = {fd, POLLIN, 0};
            if (::poll(&watched, 1, 60000) <= 0)
                return QByteArray();
            const ssize_t got = ::read(fd, bytes.data(), bytes.size());
            if (got >= 0)
                return QByteArray(bytes.data(), int(got));
            if (errno != EAGAIN && errno != EINTR)
                return QByteArray();
        }
    }

private:
    QTemporaryDir dir;
    int fd = -1;
};

// Sends `signalNumber` once the search has run for a while; returns the
// milliseconds from the signal to the end of the process, or -1 when the
// search ended before the signal or did not end after it.
qint64 interruptRunningSearch(QProcess &process, int signalNumber, int runMs)
{
    if (process.waitForFinished(runMs))
        return -1;
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(process.processId()), signalNumber);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return clock.elapsed();
}

// Runs the row's arguments in `root` and compares exit status, output lines
// and standard error with the row's.
void expectRun(const QString &root)
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QString, err);

    const FindResult result = runFind(replaceRoot(args, root), root);
    QCOMPARE(result.exitCode, exitCode);
    // A NUL (-0) reads "\\0" in a row.
    QCOMPARE(outputLines(QByteArray(result.out).replace('\0', "\\0")), replaceRoot(out, root));
    if (err.isEmpty())
        QVERIFY2(result.err.isEmpty(), result.err.constData());
    else
        QVERIFY2(QString::fromUtf8(result.err).contains(err), result.err.constData());
    if (err.startsWith(QLatin1String("velto-find:")))
        QCOMPARE(result.err.count('\n'), 1);  // one sentence, no usage text
}

}  // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void searchRules_data();
    void searchRules();
    void grepOptions_data();
    void grepOptions();
    void controlsOnATerminalAreShownNotSent();
    void queryRowsAsTheWindow_data();
    void queryRowsAsTheWindow();
    void walkRowsAsTheWindow_data();
    void walkRowsAsTheWindow();
    void helpWrapsEachOptionAsOneParagraph();
    void jsonOutput_data();
    void jsonOutput();
    void documentsAreSearchedByTheirText_data();
    void documentsAreSearchedByTheirText();
    void documentReadersAreLoadedForTheFirstDocument_data();
    void documentReadersAreLoadedForTheFirstDocument();
    void damagedArchivesAreOneLineEachOnStandardError();
    void archiveMembersLeaveNoFile();
    void archiveNameEncoding_data();
    void archiveNameEncoding();
    void signalStopsSearch_data();
    void signalStopsSearch();
    void closedOutputEndsSearch();
    void progressLineMakesRoomForDiagnostics();
    void gbkLocaleReadsArgumentsNamesAndOutput_data();
    void gbkLocaleReadsArgumentsNamesAndOutput();
    void namesArePrintedAsTheirBytes_data();
    void namesArePrintedAsTheirBytes();
    void folderArgumentsAreThoseFolders_data();
    void folderArgumentsAreThoseFolders();
    void printerWritesLineNumbersPast32Bits_data();
    void printerWritesLineNumbersPast32Bits();
    void treeDeeperThanPathMaxIsSearchedToTheBottom();
    void stopPrintsTheHitsOfTheFolderInProgress();
    void stopWithASlowReaderPrintsEveryHit();
    void millionHitsOfOneFolderLeaveInBoundedMemory();
    void unreadableFoldersAndFilesAreCounted_data();
    void unreadableFoldersAndFilesAreCounted();
    void fewDescriptorsLoseNoFolder_data();
    void fewDescriptorsLoseNoFolder();
    void workersPrintWhatOneThreadPrints();

private:
    // A big tree that keeps a deep search busy for seconds, with archives in it.
    void buildSlowTree(TreeBuilder &tree);
    // 1.2 MB of lines that keep a deep search busy for a while.
    static QByteArray slowText();

    TreeBuilder tree;
    QString root;
    // Files for grep's options, apart from the tree the other rows list.
    TreeBuilder grepTree;
    QString grepRoot;
    // Documents made by real writers, a damaged and an encrypted one, one
    // in a ZIP in a tar.gz, and a text file after them.
    TreeBuilder documentTree;
    QString documentRoot;
};

void TestCli::initTestCase()
{
    QVERIFY(QFileInfo(program).isExecutable());
    QVERIFY(tree.isValid());
    root = QDir(tree.root()).canonicalPath();
    tree.file("a/b/x.txt", "hello\nworld hello\n");
    tree.file("a/y.doc", "hi\n");
    tree.file("B/t.TXT", "Hello again\n");
    tree.file("c/z.txt", "hello\n");
    tree.file("c/w.pdf", "hello pdf\n");
    tree.file("blank.txt", "a  b\nab\n");
    tree.file(".hidden/h.txt", "hello\n");
    grepRoot = QDir(grepTree.root()).canonicalPath();
    grepTree.file("g/notes.txt",
                  "error 42 here\nnothing\nerrno 7\nthe cat sat\nconcatenate\n中文 搜索\n");
    grepTree.file("g/other.txt", "cat and dog\nalpha\n");
    grepTree.file("opt/flags.txt", "use --color here\n");
    grepTree.file("bin/data.bin", QByteArray("key\0 zz\nkey two\n", 16));
    grepTree.file("damaged/bad.zip", QByteArray("PK\x03\x04 not a zip at all"));
    grepTree.file("compressed/notes.conf.gz", "no gzip at all\n");

    const auto sample = [](const char *name) {
        QFile file(QStringLiteral(VELTO_FIXTURES_DIR "/documents/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    documentRoot = QDir(documentTree.root()).canonicalPath();
    documentTree.file("a.docx", sample("sample.docx"));
    documentTree.file("b.pdf", sample("sample.pdf"));
    documentTree.file("c.pptx", sample("sample.pptx"));
    documentTree.file("d.xlsx", sample("sample.xlsx"));
    documentTree.file("e.docx", sample("sample.docx").left(900));
    documentTree.file("f.pdf", sample("encrypted.pdf"));
    documentTree.file("g.txt", "the QUICK brown fox in plain text\n");
    ZipBuilder(documentTree.path("inner.zip"))
            .add("s.odt", sample("sample.odt"))
            .add("s.pptx", sample("sample.pptx"))
            .close();
    QFile inner(documentTree.path("inner.zip"));
    QVERIFY(inner.open(QIODevice::ReadOnly));
    ArchiveBuilder::write(documentTree.path("nested.tar.gz"), {{"inner.zip", inner.readAll()}});
    inner.remove();
    // Links to a document, a text and an archive: passed over unless followed.
    documentTree.link("linked-a.docx", documentTree.path("a.docx"));
    documentTree.link("linked-g.txt", documentTree.path("g.txt"));
    documentTree.link("linked.tar.gz", documentTree.path("nested.tar.gz"));
}

void TestCli::searchRules_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");

    const QStringList allTxt {"ROOT/a/b/x.txt", "ROOT/B/t.TXT", "ROOT/c/z.txt", "ROOT/blank.txt"};
    const QStringList usage {};

    QTest::newRow("name hits come folder by folder, each after its subfolders, ignoring case")
            << QStringList {"-n", "txt"} << 0 << allTxt << QString();
    QTest::newRow("empty pattern parts are dropped")
            << QStringList {"-n", "*.txt;;*.doc;"} << 0
            << QStringList {"ROOT/a/b/x.txt", "ROOT/a/y.doc", "ROOT/B/t.TXT", "ROOT/c/z.txt",
                            "ROOT/blank.txt"}
            << QString();
    QTest::newRow("patterns are trimmed one by one")
            << QStringList {"-n", " doc ; pdf "} << 0
            << QStringList {"ROOT/a/y.doc", "ROOT/c/w.pdf"} << QString();
    QTest::newRow("exact patterns are used as typed")
            << QStringList {"-x", "-n", "*.txt"} << 0 << allTxt << QString();
    QTest::newRow("an exact pattern without wildcards matches whole names only")
            << QStringList {"-x", "-n", "x"} << 1 << QStringList() << QString();
    QTest::newRow("a blank name field with a content text searches every file")
            << QStringList {"-n", " ; ", "-c", "hello"} << 0
            << QStringList {"ROOT/a/b/x.txt:1:hello", "ROOT/a/b/x.txt:2:world hello",
                            "ROOT/c/w.pdf:1:hello pdf", "ROOT/c/z.txt:1:hello"}
            << QString();
    QTest::newRow("content is matched case-sensitively by default")
            << QStringList {"-c", "HELLO"} << 1 << QStringList() << QString();
    QTest::newRow("ignore-case matches content in any case")
            << QStringList {"-i", "-n", "t.txt", "-c", "HELLO"} << 0
            << QStringList {"ROOT/B/t.TXT:1:Hello again"} << QString();
    QTest::newRow("blank content with a name pattern is a search for the blanks")
            << QStringList {"-n", "blank", "-c", "  "} << 0 << QStringList {"ROOT/blank.txt:1:a  b"}
            << QString();
    QTest::newRow("a name hit in JSON has line 0 and an empty text")
            << QStringList {"--json", "-n", "y.doc"} << 0
            << QStringList {R"({"dir": "ROOT/a", "file": "y.doc", "line": 0, "text": ""})"}
            << QString();
    QTest::newRow("an unknown option is a usage error")
            << QStringList {"-n", "txt", "--frobnicate"} << 2 << QStringList() << QString("Usage:");
    QTest::newRow("no-recursive stays in the start folder")
            << QStringList {"--no-recursive", "-n", "txt"} << 0 << QStringList {"ROOT/blank.txt"}
            << QString();
    QTest::newRow("an empty directory field is the current directory")
            << QStringList {"--dirs", "  ", "-n", "doc"} << 0 << QStringList {"ROOT/a/y.doc"}
            << QString();
    QTest::newRow("a trailing separator in the directory field adds the current directory")
            << QStringList {"--dirs", "a/b;", "-n", "x.txt"} << 0
            << QStringList {"ROOT/a/b/x.txt", "ROOT/a/b/x.txt"} << QString();
    QTest::newRow("the directory field takes absolute paths with forward slashes")
            << QStringList {"--dirs", "ROOT/c;ROOT/a", "-n", "*.*"} << 0
            << QStringList {"ROOT/c/w.pdf", "ROOT/c/z.txt", "ROOT/a/b/x.txt", "ROOT/a/y.doc"}
            << QString();
    QTest::newRow("no option at all is a usage error")
            << QStringList() << 2 << QStringList() << QString("Usage:");
    QTest::newRow("a missing start directory argument is named as written")
            << QStringList {"-n", "txt", "c", "nowhere/else"} << 2 << QStringList()
            << QString("velto-find: the start directory \"nowhere/else\" does not exist.\n");
    QTest::newRow("a file given as a start directory is named as one")
            << QStringList {"-n", "txt", "c/z.txt"} << 2 << QStringList()
            << QString("velto-find: the start directory \"c/z.txt\" is not a directory.\n");
    QTest::newRow("positional directories are searched in the order given, after the field")
            << QStringList {"-n", "txt", "--dirs", "B", "c", "a"} << 0
            << QStringList {"ROOT/B/t.TXT", "ROOT/c/z.txt", "ROOT/a/b/x.txt"} << QString();
    QTest::newRow("the root folder is joined with a single slash")
            << QStringList {"-x", "-n", "usr", "--no-recursive", "/"} << 0 << QStringList {"/usr"}
            << QString();
}

void TestCli::searchRules()
{
    expectRun(root);
}

void TestCli::grepOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");
    const QString notes = QStringLiteral("ROOT/g/notes.txt");
    const QString other = QStringLiteral("ROOT/g/other.txt");

    QTest::newRow("-E reads the text as an expression")
            << QStringList {"-E", "-c", "err(or|no)\\s+\\d+", "g"} << 0
            << QStringList {notes + ":1:error 42 here", notes + ":3:errno 7"} << QString();
    QTest::newRow("the later of -E and -F decides")
            << QStringList {"-E", "-F", "-c", "c.t", "g"} << 1 << QStringList() << QString();
    QTest::newRow("-w takes whole words only")
            << QStringList {"-w", "-c", "cat", "g"} << 0
            << QStringList {notes + ":4:the cat sat", other + ":1:cat and dog"} << QString();
    QTest::newRow("-w: a CJK text between blanks is a word")
            << QStringList {"-w", "-c", "中文", "g"} << 0 << QStringList {notes + ":6:中文 搜索"}
            << QString();
    QTest::newRow("-w: a CJK character beside another is no word")
            << QStringList {"-w", "-c", "中", "g"} << 1 << QStringList() << QString();
    QTest::newRow("-e: a line with any of the texts")
            << QStringList {"-e", "alpha", "-e", "sat", "g"} << 0
            << QStringList {notes + ":4:the cat sat", other + ":2:alpha"} << QString();
    QTest::newRow("--and: only files that also hold a text")
            << QStringList {"-c", "cat", "--and", "alpha", "g"} << 0
            << QStringList {other + ":1:cat and dog"} << QString();
    QTest::newRow("--not: only files that hold none of the texts")
            << QStringList {"-c", "cat", "--not", "alpha", "g"} << 0
            << QStringList {notes + ":4:the cat sat", notes + ":5:concatenate"} << QString();
    QTest::newRow("-l prints the files with a hit")
            << QStringList {"-l", "-c", "cat", "g"} << 0 << QStringList {notes, other} << QString();
    QTest::newRow("-L prints the files without a hit")
            << QStringList {"-L", "-c", "alpha", "g"} << 0 << QStringList {notes} << QString();
    QTest::newRow("--count prints each file's number of lines")
            << QStringList {"--count", "-c", "a", "g"} << 0
            << QStringList {notes + ":2", other + ":2"} << QString();
    QTest::newRow("--count of nothing found exits 1")
            << QStringList {"--count", "-c", "zebra", "g"} << 1
            << QStringList {notes + ":0", other + ":0"} << QString();
    QTest::newRow("-m stops each file after so many hits")
            << QStringList {"-m", "1", "-c", "cat", "g"} << 0
            << QStringList {notes + ":4:the cat sat", other + ":1:cat and dog"} << QString();
    QTest::newRow("-B prints lines before a hit")
            << QStringList {"-B", "1", "-c", "errno", "g"} << 0
            << QStringList {notes + "-2-nothing", notes + ":3:errno 7"} << QString();
    QTest::newRow("-A with groups apart puts -- between them")
            << QStringList {"-A", "1", "-e", "error", "-e", "concatenate", "g"} << 0
            << QStringList {notes + ":1:error 42 here", notes + "-2-nothing", "--",
                            notes + ":5:concatenate", notes + "-6-中文 搜索"}
            << QString();
    QTest::newRow("-h prints no path before a line")
            << QStringList {"-h", "-c", "alpha", "g"} << 0 << QStringList {"2:alpha"} << QString();
    QTest::newRow("-H after -h puts the path back")
            << QStringList {"-h", "-H", "-c", "alpha", "g"} << 0 << QStringList {other + ":2:alpha"}
            << QString();
    QTest::newRow("-q prints nothing and exits 0 on a hit")
            << QStringList {"-q", "-c", "cat", "g"} << 0 << QStringList() << QString();
    QTest::newRow("-q exits 1 without a hit")
            << QStringList {"-q", "-c", "zebra", "g"} << 1 << QStringList() << QString();
    QTest::newRow("binary files are searched as text by default")
            << QStringList {"-c", "two", "bin"} << 0 << QStringList {"ROOT/bin/data.bin:2:key two"}
            << QString();
    QTest::newRow("-I passes binary files over")
            << QStringList {"-I", "-c", "two", "bin"} << 1 << QStringList() << QString();
    QTest::newRow("--binary-files=without-match passes them over")
            << QStringList {"--binary-files=without-match", "-c", "two", "bin"} << 1
            << QStringList() << QString();
    QTest::newRow("--binary-files takes only its two words")
            << QStringList {"--binary-files=binary", "-c", "two", "bin"} << 2 << QStringList()
            << QString("--binary-files takes without-match or text");
    QTest::newRow("an invalid expression names the library's reason and the place")
            << QStringList {"-E", "-c", "a(b", "g"} << 2 << QStringList()
            << QString("velto-find: the expression \"a(b\" is not valid: missing closing "
                       "parenthesis at character 4.\n");
    QTest::newRow("--color=always colours line number, separator and match")
            << QStringList {"--color=always", "-h", "-c", "alpha", "g"} << 0
            << QStringList {"\033[32m\033[K2\033[m\033[K\033[36m\033[K:\033[m\033[K"
                            "\033[01;31m\033[Kalpha\033[m\033[K"}
            << QString();
    QTest::newRow("--color without a value colours nothing in a pipe")
            << QStringList {"--color", "-c", "alpha", "g"} << 0 << QStringList {other + ":2:alpha"}
            << QString();
    QTest::newRow("a content text that reads --color stays that text")
            << QStringList {"-c", "--color", "opt"} << 0
            << QStringList {"ROOT/opt/flags.txt:1:use --color here"} << QString();
    QTest::newRow("-0 ends each listed path with a NUL")
            << QStringList {"-0", "-l", "-c", "alpha", "g"} << 0 << QStringList {other + "\\0"}
            << QString();
    QTest::newRow("--json with lines around hits marks each line's type")
            << QStringList {"--json", "-A", "1", "-c", "cat sat", "g"} << 0
            << QStringList {R"({"dir": "ROOT/g", "file": "notes.txt", "line": 4, "text": "the cat sat", "type": "match"})",
                            R"({"dir": "ROOT/g", "file": "notes.txt", "line": 5, "text": "concatenate", "type": "context"})"}
            << QString();
    QTest::newRow("--json --count gives each file's count")
            << QStringList {"--json", "--count", "-c", "alpha", "g"} << 0
            << QStringList {R"({"dir": "ROOT/g", "file": "notes.txt", "count": 0})",
                            R"({"dir": "ROOT/g", "file": "other.txt", "count": 1})"}
            << QString();
    QTest::newRow("a damaged archive is reported")
            << QStringList {"-c", "x", "damaged"} << 1 << QStringList() << QString("bad.zip");
    QTest::newRow("a damaged archive is counted with what could not be read")
            << QStringList {"-c", "x", "damaged"} << 1 << QStringList()
            << QString("1 file could not be read");
    QTest::newRow("a name search names a compressed file once, without opening it")
            << QStringList {"-n", "conf", "compressed"} << 0
            << QStringList {"ROOT/compressed/notes.conf.gz"} << QString();
    QTest::newRow("-s reports nothing")
            << QStringList {"-s", "-c", "x", "damaged"} << 1 << QStringList() << QString();
}

void TestCli::grepOptions()
{
    expectRun(grepRoot);
}

void TestCli::queryRowsAsTheWindow_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < queryRows().size(); ++i)
        QTest::newRow(queryRows()[i].name) << i;
}

// The rows test_searchrequest runs through the window.
void TestCli::queryRowsAsTheWindow()
{
    QFETCH(int, row);
    static TreeBuilder queryTree;
    static const bool built = (buildQueryTree(queryTree), true);
    Q_UNUSED(built);
    const QueryRow &query = queryRows()[row];
    const FindResult result = runFind(findArguments(query, queryTree.root()), root);
    QCOMPARE(result.exitCode, query.hits.isEmpty() ? 1 : 0);
    QStringList hits;
    for (const QString &line : outputLines(QByteArray(result.out).replace('\0', ' '))) {
        const QString file = line.section(QLatin1Char('/'), -1).section(QLatin1Char(':'), 0, 1);
        hits << file;
    }
    hits.sort();
    QCOMPARE(hits, query.hits);
}

void TestCli::walkRowsAsTheWindow_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < walkRows().size(); ++i)
        QTest::newRow(walkRows()[i].name) << i;
}

// The rows test_searchrequest runs through the window.
void TestCli::walkRowsAsTheWindow()
{
    QFETCH(int, row);
    static TreeBuilder walkTree;
    static const QString start = buildWalkTree(walkTree);
    const WalkRow &walk = walkRows()[row];
    const FindResult result = runFind(walkArguments(walk, start), root);
    QCOMPARE(result.exitCode, walk.hits.isEmpty() ? 1 : 0);
    QStringList hits;
    for (const QString &line : outputLines(result.out))
        hits << QDir(start).relativeFilePath(line);
    hits.sort();
    QCOMPARE(hits, walk.hits);
}

// A file name and a line holding ESC sequences (one sets the window title,
// one clears the screen): on a terminal both show as symbols, through a pipe
// both stay bytes.
void TestCli::controlsOnATerminalAreShownNotSent()
{
    TreeBuilder controls;
    const QByteArray hostile = "\033]0;owned\007\033[2J";
    controls.rawFile("name" + hostile + ".txt", "key " + hostile + "\n");
    const QStringList args {"-c", "key", controls.root()};

    const FindResult piped = runFind(args, root);
    QCOMPARE(piped.exitCode, 0);
    QCOMPARE(piped.out.count(hostile), 2);

    const QByteArray onTerminal = runFindOnTerminal(args);
    QVERIFY2(!onTerminal.contains('\033'), onTerminal.toPercentEncoding().constData());
    const QByteArray shown = QString::fromUtf8("\u241b]0;owned\u2407\u241b[2J").toUtf8();
    QCOMPARE(onTerminal.count(shown), 2);
}

// The help lays each option's text out as one paragraph, filled to the
// width: a line feed inside an option's text would end a line early, which
// shows as a line that had room for the next line's first word.
void TestCli::helpWrapsEachOptionAsOneParagraph()
{
    const FindResult result = runFind({"--help"}, root);
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = result.out.split('\n');
    const int options = lines.indexOf("Options:");
    QVERIFY(options >= 0);
    // The options' texts start where the first one's does, after its names.
    const QByteArray &first = lines.value(options + 1);
    int column = first.indexOf("  ", 2);
    while (column > 0 && column < first.size() && first.at(column) == ' ')
        ++column;
    QVERIFY(column > 2);
    const QByteArray continuation(column, ' ');
    int checked = 0;
    for (int i = options + 1; i + 1 < lines.size() && !lines.at(i).isEmpty(); ++i) {
        const QByteArray &next = lines.at(i + 1);
        if (!next.startsWith(continuation))
            continue;
        const QByteArray nextWord = next.mid(continuation.size()).split(' ').value(0);
        QVERIFY2(!nextWord.isEmpty(), next.constData());
        QVERIFY2(lines.at(i).size() + 1 + nextWord.size() > 79,
                 (lines.at(i) + "\n" + next).constData());
        ++checked;
    }
    QVERIFY(checked >= 4);  // the options whose texts take two lines or more
}

void TestCli::jsonOutput_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expectedText");

    QTest::newRow("plain ASCII") << "plain"
                                 << "a.txt" << QByteArray("key value") << "key value";
    QTest::newRow("quotes and backslashes in names and text")
            << "q\"uo\\te"
            << "say \"hi\\\".txt" << QByteArray("key \"quoted\" C:\\path\\")
            << "key \"quoted\" C:\\path\\";
    QTest::newRow("control characters are escaped")
            << "ctl"
            << "tab.txt" << QByteArray("key\there\x01\x1f\b\f\r end")
            << QString::fromUtf8("key\there\x01\x1f\b\f\r end");
    QTest::newRow("non-ASCII text stays UTF-8")
            << QString::fromUtf8("目录") << QString::fromUtf8("文件.txt")
            << QByteArray("key 中文 é 😀") << QString::fromUtf8("key 中文 é 😀");
    QTest::newRow("a pair cut at the 80th unit leaves valid UTF-8")
            << "cut"
            << "long.txt" << (QByteArray("key") + QByteArray(76, 'x') + "😀 tail")
            << (QString("key") + QString(76, 'x') + QChar(0xFFFD));
}

void TestCli::jsonOutput()
{
    QFETCH(QString, folder);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, line);
    QFETCH(QString, expectedText);

    TreeBuilder json;
    json.file(folder + "/" + fileName, "first\n" + line + "\n");
    const QString jsonRoot = QDir(json.root()).canonicalPath();
    const FindResult result = runFind({"--json", "-c", "key", jsonRoot}, jsonRoot);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(isValidUtf8(result.out));
    QVERIFY(result.out.endsWith('\n'));
    const QByteArray record = result.out.left(result.out.size() - 1);
    QVERIFY2(!record.contains('\n'), "one line per hit");
    for (const char byte : record)
        QVERIFY2(uchar(byte) >= 0x20, "no raw control characters");

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(record, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject hit = document.object();
    QCOMPARE(hit.keys(), (QStringList {"dir", "file", "line", "text"}));
    QCOMPARE(hit.value("dir").toString(), jsonRoot + "/" + folder);
    QCOMPARE(hit.value("file").toString(), fileName);
    QCOMPARE(hit.value("line").toInt(), 2);
    QCOMPARE(hit.value("text").toString(), expectedText);
}

void TestCli::documentsAreSearchedByTheirText_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");  // texts standard error holds

    const QString fox = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    const QStringList bad {"e.docx is damaged", "f.pdf is encrypted"};
    QTest::newRow("each document's line with its place; bad ones are named and passed")
            << QStringList {"-i", "-c", "QUICK brown fox"} << 0
            << QStringList {"ROOT/a.docx:3:" + fox,
                            "ROOT/b.pdf:3:[page 1]\t" + fox,
                            "ROOT/c.pptx:3:[slide 2]\t" + fox,
                            "ROOT/d.xlsx:2:[sheet Summary]\tThe quick brown fox\t42",
                            "ROOT/g.txt:1:the QUICK brown fox in plain text",
                            "ROOT/nested.tar.gz/inner.zip/s.odt:3:" + fox,
                            "ROOT/nested.tar.gz/inner.zip/s.pptx:3:[slide 2]\t" + fox}
            << bad;
    QTest::newRow("a Chinese phrase, on its own line of a spreadsheet's second sheet")
            << QStringList {"-n", "*.xlsx;*.pptx", "-c", "棕色狐狸"} << 0
            << QStringList {"ROOT/c.pptx:4:[slide 2]\t敏捷的棕色狐狸跳过了懒狗。",
                            "ROOT/d.xlsx:5:[sheet 数据]\t敏捷的棕色狐狸\t7",
                            "ROOT/nested.tar.gz/inner.zip/s.pptx:4:[slide "
                            "2]\t敏捷的棕色狐狸跳过了懒狗。"}
            << QStringList();
    QTest::newRow("without documents their bytes are searched, the text file alone matches")
            << QStringList {"--no-documents", "-i", "-c", "quick brown fox"} << 0
            << QStringList {"ROOT/g.txt:1:the QUICK brown fox in plain text"} << QStringList();
    QTest::newRow("deep search reads a document's text once and shows its place")
            << QStringList {"-d", "-n", "b.pdf", "-c", "棕色狐狸"} << 0
            << QStringList {"ROOT/b.pdf:4:[page 1]\t敏捷的棕色狐狸跳过了懒狗。"} << QStringList();
    QTest::newRow("the place is a field of its own in JSON")
            << QStringList {"--json", "-n", "d.xlsx", "-c", "Pi"} << 0
            << QStringList {R"({"dir": "ROOT", "file": "d.xlsx", "line": 3, "text": "Pi\t3.25", )"
                            R"("place": "sheet Summary"})"}
            << QStringList();
    QTest::newRow("a text the document must also hold chooses it")
            << QStringList {"-n", "*.xlsx", "-c", "brown fox", "--and", "3.25"} << 0
            << QStringList {"ROOT/d.xlsx:2:[sheet Summary]\tThe quick brown fox\t42"}
            << QStringList();
    QTest::newRow("a text the document must not hold passes it over")
            << QStringList {"-n", "*.xlsx", "-c", "brown fox", "--not", "far cell"} << 1
            << QStringList() << QStringList();
    QTest::newRow("lines around a hit keep their places")
            << QStringList {"-n", "c.pptx", "-c", "Split word", "-B", "1"} << 0
            << QStringList {"ROOT/c.pptx-4-[slide 2]\t敏捷的棕色狐狸跳过了懒狗。",
                            "ROOT/c.pptx:5:[slide 2]\tSplit word here."}
            << QStringList();
    const QStringList throughLinks {"-n", "linked;s.odt;s.pptx", "-i", "-c", "QUICK brown fox"};
    const QStringList nestedHits {"ROOT/nested.tar.gz/inner.zip/s.odt:3:" + fox,
                                  "ROOT/nested.tar.gz/inner.zip/s.pptx:3:[slide 2]\t" + fox};
    QTest::newRow("links to files are passed over unless followed")
            << throughLinks << 0 << nestedHits << QStringList();
    QTest::newRow("a followed link is searched as what it points to: document, text, archive")
            << (QStringList {"--follow"} + throughLinks) << 0
            << (QStringList {"ROOT/linked-a.docx:3:" + fox,
                             "ROOT/linked-g.txt:1:the QUICK brown fox in plain text",
                             "ROOT/linked.tar.gz/inner.zip/s.odt:3:" + fox,
                             "ROOT/linked.tar.gz/inner.zip/s.pptx:3:[slide 2]\t" + fox}
                + nestedHits)
            << QStringList();
    QTest::newRow("a name search lists documents, never their parts")
            << QStringList {"-n", "docx;odt"} << 0
            << QStringList {"ROOT/a.docx", "ROOT/e.docx", "ROOT/nested.tar.gz/inner.zip/s.odt"}
            << QStringList();
}

void TestCli::documentsAreSearchedByTheirText()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);

    const FindResult result = runFind(args << "-j"
                                           << "2",
                                      documentRoot);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(outputLines(result.out), replaceRoot(out, documentRoot));
    // One line for each bad document, naming it.
    QCOMPARE(result.err.count('\n'), err.size());
    for (const QString &text : err)
        QVERIFY2(QString::fromUtf8(result.err).contains(text), result.err.constData());
}

// Poppler and libgsf are loaded with the document readers' module, by the
// process that reads the first document, never by one that reads none; a
// program without the module names each document it cannot read and
// searches everything else.
void TestCli::documentReadersAreLoadedForTheFirstDocument_data()
{
    QTest::addColumn<bool>("alone");  // velto-find copied to a folder of its own
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("loaded");  // libpoppler mapped by one of the processes
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");

    const QString fox = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    QTest::newRow("a name search, also inside an archive, loads no document reader")
            << false << QStringList {"-n", "docx;odt"} << false
            << QStringList {"ROOT/a.docx", "ROOT/e.docx", "ROOT/nested.tar.gz/inner.zip/s.odt"}
            << QString();
    QTest::newRow("a content search of plain files loads none")
            << false << QStringList {"-n", "*.txt", "-i", "-c", "quick brown"} << false
            << QStringList {"ROOT/g.txt:1:the QUICK brown fox in plain text"} << QString();
    QTest::newRow("the first document loads them")
            << false << QStringList {"-n", "b.pdf", "-c", "brown fox"} << true
            << QStringList {"ROOT/b.pdf:3:[page 1]\t" + fox} << QString();
    QTest::newRow("without the module a document is named as unread, the rest searched")
            << true << QStringList {"-n", "b.pdf;g.txt", "-i", "-c", "quick brown fox"} << false
            << QStringList {"ROOT/g.txt:1:the QUICK brown fox in plain text"}
            << QStringLiteral("ROOT/b.pdf cannot be read: the document readers are missing");
}

void TestCli::documentReadersAreLoadedForTheFirstDocument()
{
    QFETCH(bool, alone);
    QFETCH(QStringList, args);
    QFETCH(bool, loaded);
    QFETCH(QStringList, out);
    QFETCH(QString, err);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QString executable = program;
    if (alone) {
        if (QFileInfo::exists(QStringLiteral(VELTO_INSTALL_LIBEXECDIR "/velto/velto-documents.so")))
            QSKIP("the document readers are installed on this machine");
        executable = scratch.filePath(QStringLiteral("velto-find"));
        QVERIFY(QFile::copy(program, executable));
    }
    // The dynamic loader's list of what each process loads, a file per process.
    const QString loaderLog = scratch.filePath(QStringLiteral("loaded"));
    const FindResult result = runProgram(executable,
                                         args << "-j"
                                              << "2",
                                         documentRoot, QString(),
                                         {"LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + loaderLog});
    QCOMPARE(outputLines(result.out), replaceRoot(out, documentRoot));
    QCOMPARE(QString::fromUtf8(result.err).trimmed().section(QLatin1String(" ("), 0, 0),
             replaceRoot({err}, documentRoot).constFirst());
    QCOMPARE(result.exitCode, 0);
    QByteArray log;
    const QStringList logs = QDir(scratch.path()).entryList({"loaded.*"}, QDir::Files);
    QVERIFY2(!logs.isEmpty(), "the dynamic loader wrote its list");
    for (const QString &name : logs) {
        QFile file(scratch.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        log += file.readAll();
    }
    QCOMPARE(log.contains("libpoppler"), loaded);
}

// Each damaged archive is one line on standard error naming it, ended by its
// line feed; standard output keeps the hits only. The count of what could
// not be read follows.
void TestCli::damagedArchivesAreOneLineEachOnStandardError()
{
    TreeBuilder broken;
    broken.file("damaged.zip", QByteArray("PK\x03\x04", 4) + QByteArray(200, '\x7f'));
    broken.file("damaged.rar", QByteArray("Rar!\x1a\x07\x00", 7) + QByteArray(200, '\x7f'));
    broken.file("sub/damaged.7z", QByteArray("7z\xbc\xaf\x27\x1c", 6) + QByteArray(200, '\x7f'));
    broken.file("note.txt", "needle\n");
    const QString brokenRoot = QDir(broken.root()).canonicalPath();

    const FindResult result = runFind({"-c", "needle", "-j", "1"}, brokenRoot);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputLines(result.out), QStringList {brokenRoot + "/note.txt:1:needle"});
    QVERIFY2(result.err.endsWith('\n'), result.err.constData());
    const QList<QByteArray> lines = result.err.chopped(1).split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.last(), QByteArray("velto-find: 3 files could not be read"));
    const QByteArray root = QFile::encodeName(brokenRoot);
    // Subfolders first, then the folder's own entries in name order.
    const QList<QByteArray> archives {root + "/sub/damaged.7z", root + "/damaged.rar",
                                      root + "/damaged.zip"};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(lines.at(i).contains(archives.at(i)), lines.at(i).constData());
}

void TestCli::archiveMembersLeaveNoFile()
{
    TreeBuilder archives;
    ZipBuilder(archives.path("docs.zip"))
            .add("x/readme.txt", "one\ntwo\nthree\nneedle here\n")
            .close();
    const QString archivesRoot = QDir(archives.root()).canonicalPath();
    QTemporaryDir tmp;

    const FindResult result = runFind({"-c", "needle"}, archivesRoot, tmp.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(outputLines(result.out),
             QStringList {archivesRoot + "/docs.zip/x/readme.txt:4:needle here"});
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestCli::archiveNameEncoding_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");

    const QString member = QString::fromUtf8("ROOT/legacy.zip/说明文档/说明.txt");
    QTest::newRow("a forced code page names legacy members in the name test and the hits")
            << QStringList {"--name-encoding", "GBK", "-n", QString::fromUtf8("说明")} << 0
            << QStringList {member} << QString();
    QTest::newRow("a forced code page names legacy members in content hits")
            << QStringList {"--name-encoding", "gbk", "-c", "needle"} << 0
            << QStringList {member + ":2:a needle"} << QString();
    QTest::newRow("another code page reads other names")
            << QStringList {"--name-encoding", "IBM866", "-n", QString::fromUtf8("说明")} << 1
            << QStringList() << QString();
    QTest::newRow("an unknown code page is a usage error")
            << QStringList {"--name-encoding", "no-such-page", "-n", "txt"} << 2 << QStringList()
            << QString("unknown code page: no-such-page");
}

void TestCli::archiveNameEncoding()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QString, err);

    TreeBuilder legacy;
    const QByteArray gbkName
            = QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8("说明文档/说明.txt"));
    legacy.file("legacy.zip", rawZip({RawZipEntry(gbkName, "one\na needle\n")}));
    const QString legacyRoot = QDir(legacy.root()).canonicalPath();
    const FindResult result = runFind(args, legacyRoot);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(outputLines(result.out), replaceRoot(out, legacyRoot));
    QVERIFY2(QString::fromUtf8(result.err).contains(err), result.err.constData());
}

// Not ASCII and with an HZ shift: deep search decodes every line in several
// codecs, as it must for text in a code page of its own.
QByteArray TestCli::slowText()
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + QByteArray::number(i)
                + " of some ordinary text without the word, ~{ \xC3\xBC\n";
    return text;
}

void TestCli::buildSlowTree(TreeBuilder &slow)
{
    const QByteArray text = slowText();
    for (int i = 0; i < 100; ++i)
        slow.file(QString("d%1/f%2.txt").arg(i % 8).arg(i), text);
    ZipBuilder(slow.path("d0/docs.zip")).add("member.txt", text).close();
    // Searched first, so its hit is emitted before any stop.
    slow.file("aa/early.txt", "absent word\n");
}

void TestCli::signalStopsSearch_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("SIGINT stops the search and exits 130") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM stops the search and exits 143") << int(SIGTERM) << 143;
}

void TestCli::signalStopsSearch()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);

    TreeBuilder slow;
    buildSlowTree(slow);
    QTemporaryDir tmp;
    QProcess process;
    process.setWorkingDirectory(slow.root());
    process.setProcessEnvironment(environmentWithTmp(tmp.path()));
    process.start(program, {"-d", "-c", "absent word"});
    QVERIFY(process.waitForStarted());

    // Nothing is written to the temporary folder while the search runs...
    // The signal comes once the search reads the big files, which come after
    // aa/, so that the early hit is out however slow the build is.
    QTRY_VERIFY_WITH_TIMEOUT(bytesRead(process.processId()) > (2 << 20), 60000);
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    const qint64 stopMs = interruptRunningSearch(process, signalNumber, 200);
    QVERIFY2(stopMs >= 0, "the search must still run when the signal comes, and end after it");
    // Generous for a loaded machine; the engine itself is expected to stop within 100 ms.
    QVERIFY2(stopMs < 1000 * kTimeScale, qPrintable(QString("took %1 ms").arg(stopMs)));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    // Hits emitted before the stop are printed, in whole lines.
    const QByteArray out = process.readAllStandardOutput();
    QVERIFY2(out.startsWith(QDir(slow.root()).canonicalPath().toUtf8() + "/aa/early.txt:1:"),
             out.constData());
    QVERIFY(out.endsWith('\n'));
    // ...nor afterwards.
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestCli::closedOutputEndsSearch()
{
    TreeBuilder many;
    for (int i = 0; i < 3000; ++i)
        many.file(QString("d%1/name%2.txt").arg(i % 30).arg(i));
    QTemporaryDir tmp;
    QProcess process;
    process.setWorkingDirectory(many.root());
    process.setProcessEnvironment(environmentWithTmp(tmp.path()));
    // The reader takes a few bytes and leaves; the shell reports velto-find's status.
    const QString pipeline
            = QStringLiteral("\"$0\" \"$@\" | head -c 100 >/dev/null; exit \"${PIPESTATUS[0]}\"");
    process.start("bash",
                  {"-c", pipeline, program, "-n", "name", "--dirs", QString(";").repeated(200)});
    QVERIFY2(process.waitForFinished(10000), "a reader that went away must end the search");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestCli::progressLineMakesRoomForDiagnostics()
{
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    {
        ProgressLine line(fds[1]);
        QVERIFY(line.diagnostics());
        setDiagnosticStream(line.diagnostics());
        line.show("1 folder");
        diagnostic("%s is not ZIP archive", "a.zip");
        line.show("2 folders");
        diagnostic("\n%s: archive header or data are damaged", "b.rar");  // a stray line feed
        line.show("3 folders");
        setDiagnosticStream(nullptr);
        std::fputs("written past the sink", line.diagnostics());
        std::fflush(line.diagnostics());
        line.show("4 folders");
    }
    ::close(fds[1]);
    QFile readEnd;
    QVERIFY(readEnd.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    // The status line is erased before each diagnostic, which is a line of
    // its own; a text without a line end gets one before the next status
    // line, and the last status line is erased.
    QCOMPARE(readEnd.readAll(),
             QByteArray("\r\033[K1 folder"
                        "\r\033[K"
                        "a.zip is not ZIP archive\n"
                        "\r\033[K2 folders"
                        "\r\033[K"
                        "b.rar: archive header or data are damaged\n"
                        "\r\033[K3 folders"
                        "\r\033[K"
                        "written past the sink"
                        "\n"
                        "\r\033[K4 folders"
                        "\r\033[K"));
}

void TestCli::gbkLocaleReadsArgumentsNamesAndOutput_data()
{
    QTest::addColumn<QString>("arguments");  // shell words; \\x.. escapes are printf's
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");  // ROOT stands for the tree, in GBK bytes
    QTest::addColumn<QByteArray>("err");
    const QByteArray beijing("\xB1\xB1\xBE\xA9");
    QTest::newRow("locale/a gbk text finds the gbk line of the file with a gbk name")
            << "-c \"$(printf '\\261\\261\\276\\251')\" ." << 0
            << "ROOT/" + beijing + ".txt:2:" + beijing + " is here\n"
            << QByteArray();
    QTest::newRow("locale/deep search names the line by its gbk codec, once")
            << "-d -c \"$(printf '\\261\\261\\276\\251')\" ." << 0
            << "ROOT/" + beijing + ".txt:2:[GBK]\t" + beijing + " is here\n"
            << QByteArray();
    QTest::newRow("locale/a text that is not gbk is a usage error")
            << "-c \"$(printf 'ab\\261')\" ." << 2 << QByteArray()
            << QByteArray("velto-find: the content text is not valid GBK, the encoding of the "
                          "locale.\n");
}

void TestCli::gbkLocaleReadsArgumentsNamesAndOutput()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    // A GBK locale of our own, made from the charmaps of Debian's locales package.
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {"-i", "zh_CN", "-f", "GBK", locales.filePath(QStringLiteral("zh_CN.GBK"))});
    QVERIFY(localedef.waitForFinished(120000));
    QVERIFY2(QFileInfo(locales.filePath(QStringLiteral("zh_CN.GBK"))).isDir(),
             localedef.readAllStandardError());

    TreeBuilder gbkTree;
    const QByteArray beijing("\xB1\xB1\xBE\xA9");
    const QByteArray root = QDir(gbkTree.root()).canonicalPath().toUtf8();  // ASCII
    {
        // The name's bytes are GBK, which this process's locale cannot say.
        QFile named;
        FILE *file = std::fopen(root + "/" + beijing + ".txt", "w");
        QVERIFY(file && named.open(file, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        named.write("first ?? line\n" + beijing + " is here\n");
    }
    gbkTree.file(QStringLiteral("other.txt"), "what ?? and ??\n");
    out.replace("ROOT", root);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LOCPATH"), locales.path());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.GBK"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromUtf8(root));
    process.start(QStringLiteral("/bin/sh"), {"-c", "exec \"$0\" " + arguments, program});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), exitCode);
    QCOMPARE(process.readAllStandardOutput(), out);
    QCOMPARE(process.readAllStandardError(), err);
}

void TestCli::namesArePrintedAsTheirBytes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("out");

    // ROOT stands for the root's bytes; B64(...) for the base64 of ROOT + the bytes.
    QTest::newRow("lines/odd bytes in file and folder names are written as they are")
            << QStringList {"-n", "*"}
            << QByteArray(
                       "ROOT/d\xff/x.txt\nROOT/b\xff.txt\nROOT/d\xff\nROOT/\xb1\xa8\xb8\xe6.txt\n");
    QTest::newRow("lines/content hits name the file by its bytes")
            << QStringList {"-c", "NEEDLE"}
            << QByteArray("ROOT/d\xff/x.txt:1:NEEDLE\nROOT/b\xff.txt:1:NEEDLE\nROOT/"
                          "\xb1\xa8\xb8\xe6.txt:1:NEEDLE\n");
    QTest::newRow("json/a folder or file name that does not decode gets its bytes beside it")
            << QStringList {"--json", "-c", "NEEDLE"}
            << QByteArray("{\"dir\": \"ROOT/d\xef\xbf\xbd\", \"dir_bytes\": \"B64(/d\xff)\", "
                          "\"file\": \"x.txt\", "
                          "\"line\": 1, \"text\": \"NEEDLE\"}\n"
                          "{\"dir\": \"ROOT\", \"file\": \"b\xef\xbf\xbd.txt\", \"file_bytes\": "
                          "\"Yv8udHh0\", "
                          "\"line\": 1, \"text\": \"NEEDLE\"}\n"
                          "{\"dir\": \"ROOT\", \"file\": "
                          "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.txt\", "
                          "\"file_bytes\": \"sai45i50eHQ=\", \"line\": 1, \"text\": \"NEEDLE\"}\n");
}

void TestCli::namesArePrintedAsTheirBytes()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, out);

    TreeBuilder odd;
    odd.rawFile("b\xff.txt", "NEEDLE\n");
    odd.rawFile("d\xff/x.txt", "NEEDLE\n");
    odd.rawFile("\xb1\xa8\xb8\xe6.txt", "NEEDLE\n");  // 报告.txt in GBK
    const QByteArray oddRoot = QFile::encodeName(QDir(odd.root()).canonicalPath());
    const FindResult result = runFind(args << QFile::decodeName(oddRoot), odd.root());
    QCOMPARE(result.exitCode, 0);
    const int b64 = out.indexOf("B64(");
    if (b64 >= 0) {
        const int end = out.indexOf(')', b64);
        out.replace(b64, end + 1 - b64, (oddRoot + out.mid(b64 + 4, end - b64 - 4)).toBase64());
    }
    QCOMPARE(result.out, out.replace("ROOT", oddRoot));
}

void TestCli::folderArgumentsAreThoseFolders_data()
{
    QTest::addColumn<QString>("arguments");  // shell words; \\ooo escapes are printf's
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");  // ROOT stands for the tree's root
    QTest::newRow("a DIR whose name is not UTF-8 is that folder")
            << "-n '*.txt' \"$(printf 'd\\377')\"" << 0 << QByteArray("ROOT/d\xff/x.txt\n");
    QTest::newRow("a DIR whose name holds a semicolon is one folder")
            << "-n '*.txt' 'a;b'" << 0 << QByteArray("ROOT/a;b/ab.txt\n");
    QTest::newRow("--dirs keeps bytes that are not UTF-8")
            << "-n '*.txt' --dirs \"$(printf 'd\\377;a')\"" << 0
            << QByteArray("ROOT/d\xff/x.txt\nROOT/a/a.txt\n");
    QTest::newRow("a missing DIR that is not UTF-8 is refused")
            << "-n x \"$(printf 'e\\377')\"" << 2 << QByteArray();
}

void TestCli::folderArgumentsAreThoseFolders()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    TreeBuilder odd;
    odd.rawFile("d\xff/x.txt", "x\n");
    odd.file(QStringLiteral("a;b/ab.txt"));
    odd.file(QStringLiteral("a/a.txt"));
    const QByteArray oddRoot = QFile::encodeName(QDir(odd.root()).canonicalPath());
    const FindResult result = runProgram(
            QStringLiteral("/bin/sh"), {"-c", "exec \"$0\" " + arguments, program}, odd.root(), {});
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, out.replace("ROOT", oddRoot));
    if (exitCode == 2)
        QVERIFY2(result.err.contains("\xff"), result.err.constData());
}

void TestCli::printerWritesLineNumbersPast32Bits_data()
{
    QTest::addColumn<bool>("json");
    QTest::addColumn<qint64>("lineNo");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("lines/line 2^31 + 1")
            << false << (qint64(1) << 31) + 1 << QByteArray("/d/f:2147483649:t\n");
    QTest::newRow("lines/line 2^32, which a 32-bit count would make a name hit")
            << false << (qint64(1) << 32) << QByteArray("/d/f:4294967296:t\n");
    QTest::newRow("json/line 2^32 + 1") << true << (qint64(1) << 32) + 1
                                        << QByteArray("{\"dir\": \"/d\", \"file\": \"f\", "
                                                      "\"line\": 4294967297, \"text\": \"t\"}\n");
}

void TestCli::printerWritesLineNumbersPast32Bits()
{
    QFETCH(bool, json);
    QFETCH(qint64, lineNo);
    QFETCH(QByteArray, out);

    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    HitPrinter printer(fds[1], json ? HitPrinter::Format::Json : HitPrinter::Format::Lines);
    printer.printBatch("/d", {TFileInfo {"f", lineNo, "t"}});
    // The watchdog's way out writes what is buffered as well.
    printer.flushBeforeExit(std::chrono::milliseconds(1000));
    ::close(fds[1]);
    QFile readEnd;
    QVERIFY(readEnd.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QCOMPARE(readEnd.readAll(), out);
}

void TestCli::treeDeeperThanPathMaxIsSearchedToTheBottom()
{
    TreeBuilder deep;
    const QByteArray bottom = deep.deepFile(QByteArray(200, 'd'), 25, "bottom.txt", "NEEDLE\n");
    const QByteArray deepRoot = QFile::encodeName(QDir(deep.root()).canonicalPath());
    QVERIFY(deepRoot.size() + bottom.size() > PATH_MAX);

    const FindResult result = runFind({"-c", "NEEDLE", QFile::decodeName(deepRoot)}, deep.root());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, deepRoot + '/' + bottom + ":1:NEEDLE\n");
    QCOMPARE(result.err, QByteArray());
}

// The folder in progress keeps its hits until it ends or a piece is full; a
// stop must print them. Deep search takes a while over each slow file, which
// come after a.txt in the same folder.
void TestCli::stopPrintsTheHitsOfTheFolderInProgress()
{
    TreeBuilder busy;
    QByteArray head;
    for (int i = 1; i <= 10; ++i)
        head += "absent word " + QByteArray::number(i) + '\n';
    const QString first = busy.file("d/a.txt", head);
    for (int i = 0; i < 40; ++i)
        busy.file(QString("d/f%1.txt").arg(i), slowText());
    QProcess process;
    process.start(program, {"-d", "-c", "absent word", busy.root()});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bytesRead(process.processId()) > (2 << 20), 60000);
    QVERIFY2(interruptRunningSearch(process, SIGINT, 0) >= 0, "the search must still run");
    QCOMPARE(process.exitCode(), 130);
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), 11);  // and the empty rest after the last line end
    for (int i = 1; i <= 10; ++i) {
        QVERIFY(lines.at(i - 1).startsWith(first.toUtf8() + ':' + QByteArray::number(i) + ':'));
        QVERIFY(lines.at(i - 1).endsWith("absent word " + QByteArray::number(i)));
    }
}

// A stop while standard output is slow: the hits found before it still go
// out, as long as the reader takes them, even when that takes longer than
// the watchdog's grace period.
void TestCli::stopWithASlowReaderPrintsEveryHit()
{
    TreeBuilder many;
    many.file("d/many.txt", QByteArray("NEEDLE\n").repeated(200000));
    QProcess process;
    PacedOutput out(process);
    process.start(program, {"-c", "NEEDLE", many.root()});
    QVERIFY(process.waitForStarted());
    QVERIFY2(out.waitUntilFull(60000), "the hits fill the pipe");
    ::kill(pid_t(process.processId()), SIGINT);
    QByteArray printed;
    for (QByteArray piece; !(piece = out.read(8192)).isEmpty(); QTest::qWait(100))
        printed += piece;  // about 80 KiB a second
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 130);

    // Whole lines, none left out; at least the block being written at the stop.
    QVERIFY(printed.endsWith('\n'));
    const QList<QByteArray> lines = printed.trimmed().split('\n');
    QVERIFY2(printed.size() >= HitPrinter::kFlushThreshold,
             QByteArray::number(printed.size()).constData());
    const QByteArray prefix = QFile::encodeName(many.path("d/many.txt")) + ':';
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), prefix + QByteArray::number(i + 1) + ":NEEDLE");
}

// A million hits in one folder: they leave in pieces while the folder is
// still being read, and memory does not grow with them.
void TestCli::millionHitsOfOneFolderLeaveInBoundedMemory()
{
    TreeBuilder many;
    const QByteArray file = QByteArray("NEEDLE\n").repeated(1000000);
    many.file("d/many.txt", file);
    QProcess process;
    PacedOutput out(process);
    process.start(program, {"-c", "NEEDLE", many.root()});
    QVERIFY(process.waitForStarted());
    QVERIFY2(out.waitUntilFull(60000), "the hits fill the pipe");
    QVERIFY2(bytesRead(process.processId()) < file.size(),
             "hits are out before the folder is read");
    const long firstPeak = peakMemoryKb(process.processId());
    long peak = firstPeak;
    qint64 lines = 0;
    for (QByteArray piece; !(piece = out.read(1 << 16)).isEmpty();) {
        lines += piece.count('\n');
        peak = qMax(peak, peakMemoryKb(process.processId()));
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(lines, qint64(1000000));
    // Held hits would take about 100 MB. AddressSanitizer keeps freed memory
    // in quarantine for a while (16 MB in the tests), and its own allocator
    // on top, so it is given more room.
#ifdef VELTO_SANITIZED
    const long growthKb = 48 * 1024;
#else
    const long growthKb = 16 * 1024;
    QVERIFY2(peak < 64 * 1024, qPrintable(QString("peak %1 KiB").arg(peak)));
#endif
    QVERIFY2(peak - firstPeak < growthKb,
             qPrintable(QString("grew from %1 to %2 KiB").arg(firstPeak).arg(peak)));
}

void TestCli::unreadableFoldersAndFilesAreCounted_data()
{
    QTest::addColumn<QStringList>("locked");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("nothing locked, no line") << QStringList() << QByteArray();
    QTest::newRow("a locked folder and a locked file")
            << QStringList {"closed", "secret.txt"}
            << QByteArray("ROOT/closed: the folder could not be read\n"
                          "velto-find: 1 folder and 1 file could not be read\n");
    QTest::newRow("locked files only") << QStringList {"secret.txt", "open/also.txt"}
                                       << QByteArray("velto-find: 2 files could not be read\n");
    QTest::newRow("a locked start folder")
            << QStringList {"."}
            << QByteArray("ROOT: the folder could not be read\n"
                          "velto-find: 1 folder could not be read\n");
}

void TestCli::unreadableFoldersAndFilesAreCounted()
{
    if (const char *why = whyNotAsNobody())
        QSKIP(why);
    QFETCH(QStringList, locked);
    QFETCH(QByteArray, err);

    TreeBuilder tree;
    tree.file("closed/inner.txt", "NEEDLE\n");
    tree.file("secret.txt", "NEEDLE\n");
    tree.file("open/also.txt", "NEEDLE\n");
    tree.file("open/seen.txt", "NEEDLE\n");
    for (const QString &dir : {QString("."), QString("closed"), QString("open")})
        ::chmod(QFile::encodeName(tree.path(dir)).constData(), 0755);
    for (const QString &path : locked)
        ::chmod(QFile::encodeName(tree.path(path)).constData(), 0);

    const FindResult result = runFindAsNobody({"-c", "NEEDLE", tree.root()});
    QVERIFY(result.exitCode >= 0);
    QCOMPARE(result.err, QByteArray(err).replace("ROOT", QFile::encodeName(tree.root())));
    QCOMPARE(result.out.contains("open/seen.txt:1:NEEDLE"), !locked.contains("."));
}

void TestCli::fewDescriptorsLoseNoFolder_data()
{
    QTest::addColumn<QStringList>("search");
    QTest::newRow("a name search") << QStringList {"-n", "hit"};
    QTest::newRow("a content search") << QStringList {"-c", "needle"};
    QTest::newRow("a content search on one thread") << QStringList {"-c", "needle", "-j", "1"};
}

// Under a low limit of open descriptors (ulimit -n 64, in a child process),
// a tree 80 folders deep gives every one of its 80 hits and says nothing of
// folders it could not read.
void TestCli::fewDescriptorsLoseNoFolder()
{
    QFETCH(QStringList, search);
    static TreeBuilder deep;
    static const int levels = [] {
        QString folder;
        for (int i = 0; i < 80; ++i) {
            folder += QStringLiteral("level%1/").arg(i);
            deep.file(folder + QStringLiteral("hit.txt"), "needle\n");
        }
        return 80;
    }();
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                QStringList {"-c", "ulimit -n 64 && exec \"$0\" \"$@\"", program, "-j", "4"}
                        + search + QStringList {deep.root()});
    QVERIFY(shell.waitForFinished(60000 * kTimeScale));
    QCOMPARE(shell.readAllStandardError(), QByteArray());
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(outputLines(shell.readAllStandardOutput()).size(), levels);
}

// The workers change nothing a user sees: the same lines in the same order
// and the same count of what could not be read, locked folders and files,
// links back up and archives included, as an account that root's modes bar.
void TestCli::workersPrintWhatOneThreadPrints()
{
    if (const char *why = whyNotAsNobody())
        QSKIP(why);
    TreeBuilder tree;
    QStringList locked;
    for (int i = 0; i < 12; ++i) {
        const QString folder = QString("f%1/g%2").arg(i % 4).arg(i);
        tree.file(folder + "/a.txt", QByteArray("NEEDLE\n").repeated(200 * i + 1));
        tree.file(folder + "/B.txt", "x\nNEEDLE b\n");
        ZipBuilder(tree.path(folder + "/c.zip")).add("m/n.txt", "NEEDLE in a member\n").close();
        tree.link(folder + "/up", tree.root());
        if (i % 3 == 0)
            locked << folder;
        if (i % 5 == 0)
            locked << folder + "/B.txt";
    }
    QDirIterator folders(tree.root(), QDir::Dirs | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (folders.hasNext())
        ::chmod(QFile::encodeName(folders.next()).constData(), 0755);
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    for (const QString &path : qAsConst(locked))
        ::chmod(QFile::encodeName(tree.path(path)).constData(), 0);

    const auto run = [&](const QStringList &options) {
        const FindResult result
                = runFindAsNobody(options + QStringList {"-n", "*", "-c", "NEEDLE", tree.root()});
        return QByteArray::number(result.exitCode) + "\n" + result.out + "\n--\n" + result.err;
    };
    for (const QStringList &mode : {QStringList(), QStringList {"-d"}}) {
        const QByteArray one = run(QStringList {"-j", "1"} + mode);
        QVERIFY(one.contains("could not be read"));
        QCOMPARE(run(QStringList {"-j", "3"} + mode), one);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
