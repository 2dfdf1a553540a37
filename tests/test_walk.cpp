// The directory walk: what is listed, in which order, and how a search stops.
#include "archivebuilder.h"
#include "diagnostics.h"
#include "directorylister.h"
#include "folderstack.h"
#include "namefilter.h"
#include "pathcodec.h"
#include "rawzip.h"
#include "readerjobs.h"
#include "readerprocesspool.h"
#include "searchthread.h"
#include "temporaryspace.h"
#include "threadhandover.h"
#include "timescale.h"
#include "treebuilder.h"
#include "zipbuilder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>

#include <climits>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Batch
{
    QString dir;
    QList<TFileInfo> hits;
};

bool operator==(const Batch &a, const Batch &b)
{
    return a.dir == b.dir && a.hits == b.hits;
}

// Runs one search to its end and returns its batches in emission order; a
// search that runs for minutes is stopped there (a walk without end), and
// `foldersEntered` tells how many folders it entered. Archives are read in
// the processes of `readers`; null: in the test's own.
QList<Batch> runSearch(const QStringList &dirs, const QStringList &patterns,
                       const QString &text = QString(), bool recursive = true, bool exact = false,
                       int workers = 1, bool deep = false,
                       ReaderProcessPool *readers = sharedReaderProcesses(),
                       quint64 *foldersEntered = nullptr)
{
    searchThread thread;
    thread.setWorkerCount(workers);
    thread.setReaderProcesses(readers);
    QList<Batch> batches;
    QObject::connect(&thread, &searchThread::PushGotFiles,
                     [&batches](const QString &dir, const QList<TFileInfo> &hits) {
                         batches.append(Batch {dir, hits});
                     });
    QList<QDir> dirList;
    for (const QString &d : dirs)
        dirList << QDir(d);
    thread.setParameters(dirList, patterns, text, Qt::CaseSensitive, recursive, exact, deep);
    thread.start();
    if (!thread.wait(120000 * kTimeScale)) {
        qWarning("the search ran for minutes and was stopped");
        thread.stop();
        thread.wait();
    }
    takeOver(&thread);
    QCoreApplication::processEvents();
    if (foldersEntered)
        *foldersEntered = thread.visitedDirectories();
    return batches;
}

// A tree of folders, files, links and archives drawn from `seed`: names that
// differ only in case, files with and without hits (some with thousands, so
// that folders leave in several pieces), links to folders and back up to an
// ancestor, a link to a file, ZIP archives good and bad, and a few files in
// other encodings for deep search.
void randomTree(TreeBuilder &tree, quint32 seed)
{
    QRandomGenerator random(seed);
    const QStringList names {"a", "A", "b", "c.txt", "C.TXT", "d.log", "e", "needle", "x.zip", "y"};
    QStringList folders {QString()};
    for (int i = 0; i < 40; ++i) {
        const QString parent = folders.at(random.bounded(folders.size()));
        const QString name = names.at(random.bounded(names.size()));
        const QString path = parent.isEmpty() ? name : parent + QLatin1Char('/') + name;
        if (QFileInfo::exists(tree.path(path)))
            continue;
        switch (random.bounded(8)) {
        case 0:
        case 1:
            tree.folder(path);
            folders << path;
            break;
        case 2:
            tree.link(path, tree.path(folders.at(random.bounded(folders.size()))));
            break;
        case 3: {
            ZipBuilder zip(tree.path(path + QStringLiteral(".zip")));
            zip.add("m/needle.txt", "one\nneedle two\n").add("n.txt", "no\n");
            break;
        }
        case 4:
            tree.file(path, QByteArray("needle line\n").repeated(int(random.bounded(3000))));
            break;
        case 5:
            tree.file(path,
                      QTextCodec::codecForName("UTF-16LE")
                              ->fromUnicode(QStringLiteral("x\nneedle in utf-16\n")));
            break;
        case 6:
            tree.file(path + QStringLiteral(".zip"), "not an archive");
            break;
        default:
            tree.file(path, "nothing here\nneedle\n");
            break;
        }
    }
    tree.link(QStringLiteral("l/up"), tree.root());
}

// The archive formats the search reads, each in a folder of its own beside
// files, with a nested archive and damaged ones, and the RAR fixtures.
void archivesOfEveryFormat(TreeBuilder &tree)
{
    const ArchiveBuilder::Members members {{"d/", ""},
                                           {"d/needle.txt", "one\nneedle two\n"},
                                           {"n\xc3\xa9"
                                            "edle.log",
                                            "needle\n"},
                                           {"empty", ""}};
    const auto read = [&tree](const QString &relative) {
        QFile file(tree.path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    {
        ZipBuilder zip(tree.path("formats/nested.zip"));
        zip.add("inner/needle.txt", "needle inside\n");
    }
    const QByteArray nested = read("formats/nested.zip");
    const QStringList suffixes {".tar", ".tgz", ".tar.bz2", ".txz",     ".tzst",    ".cpio", ".7z",
                                ".iso", ".cab", ".txt.gz",  ".txt.bz2", ".txt.lzo", ".tzo"};
    for (int i = 0; i < suffixes.size(); ++i) {
        const QString folder = QStringLiteral("formats/%1").arg(i);
        tree.file(folder + "/needle.txt", "needle\n");
        ArchiveBuilder::Members these = members;
        if (!suffixes.at(i).startsWith(".txt"))
            these.append({"nested.zip", nested});
        else
            these = {{"a.txt", "needle in a compressed file\n"}};
        ArchiveBuilder::write(tree.path(folder + "/a" + suffixes.at(i)), these);
    }
    // A compressed file keeping no time, inside an archive that keeps one.
    ArchiveBuilder::write(tree.path("formats/inside.tar"),
                          {{"b.txt.bz2", read("formats/10/a.txt.bz2")}});
    tree.file("formats/damaged/cut.7z", read("formats/6/a.7z").left(100));
    tree.file("formats/damaged/cut.tgz", read("formats/1/a.tgz").left(60));
    tree.file("formats/damaged/cut.tzo", read("formats/12/a.tzo").left(200));
    // A program is a file, and a self-extracting one an archive too.
    tree.file("formats/sfx/plain.exe", "MZ\nneedle in a program\n");
    tree.file("formats/sfx/setup.exe", "MZ" + QByteArray(4094, '\0') + nested);
    tree.folder("rar");
    for (const QString &name :
         QDir(QStringLiteral(VELTO_FIXTURES_DIR "/rar")).entryList(QDir::Files))
        QFile::copy(QStringLiteral(VELTO_FIXTURES_DIR "/rar/") + name, tree.path("rar/" + name));
}

QByteArray sampleDocument(const QString &name)
{
    QFile file(QStringLiteral(VELTO_FIXTURES_DIR "/documents/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A document of every family as a file, and one in a ZIP in a tar.gz; a
// PDF and an Office file cut short, an encrypted PDF, and a text file whose
// name lies that it is a PDF. The samples all hold "quick brown fox".
void documentsOfEveryFamily(TreeBuilder &tree)
{
    const QStringList samples {"sample.pdf", "sample.docx",  "sample.xlsx", "sample.pptx",
                               "sample.odt", "sample.ods",   "sample.fodt", "sample.epub",
                               "sample.rtf", "sample.doc",   "sample.xls",  "sample.ppt",
                               "runs.docx",  "encrypted.pdf"};
    for (const QString &name : samples)
        tree.file("documents/" + name, sampleDocument(name));
    tree.file("documents/damaged/cut.pdf", sampleDocument("sample.pdf").left(2000));
    tree.file("documents/damaged/cut.docx", sampleDocument("sample.docx").left(3000));
    tree.file("documents/plain.pdf", "the quick brown fox as plain text\n");
    QFile zip(ZipBuilder(tree.path("documents/nested/inner.zip"))
                      .add("deep/sample.odt", sampleDocument("sample.odt"))
                      .close());
    zip.open(QIODevice::ReadOnly);
    ArchiveBuilder::write(tree.path("documents/nested/outer.tar.gz"),
                          {{"inner.zip", zip.readAll()}});
    zip.remove();
}

// The diagnostics the engine writes while `run` runs.
QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray diagnosticsOf(const std::function<void()> &run)
{
    FILE *stream = std::tmpfile();
    setDiagnosticStream(stream);
    run();
    setDiagnosticStream(nullptr);
    QFile text;
    text.open(stream, QIODevice::ReadOnly);
    text.seek(0);
    const QByteArray written = text.readAll();
    text.close();
    std::fclose(stream);
    return written;
}

// "relative dir: name name ..." per batch, paths relative to `root`.
QStringList describe(const QList<Batch> &batches, const QString &root)
{
    QStringList out;
    for (const Batch &b : batches) {
        QStringList names;
        for (const TFileInfo &h : b.hits)
            names << (h.lineNo ? h.fileName + QLatin1Char(':') + QString::number(h.lineNo)
                               : h.fileName);
        QString dir = b.dir;
        dir.remove(0, root.size());
        out << (dir.isEmpty() ? QStringLiteral(".") : dir.mid(1)) + QLatin1String(": ")
                        + names.join(QLatin1Char(' '));
    }
    return out;
}

QStringList qdirList(const QString &path, const QStringList &filters, QDir::Filters flags)
{
    return QDir(path).entryList(filters, flags);
}

}  // namespace

class TestWalk : public QObject
{
    Q_OBJECT

private slots:
    void listingEqualsQDir_data();
    void listingEqualsQDir();
    void walkOrderAndContent();
    void patterns_data();
    void patterns();
    void patternsMatchAlikeOnDiskAndInArchives_data();
    void patternsMatchAlikeOnDiskAndInArchives();
    void manyPatternsFilterLikeEachAlone();
    void linkCycleEndsAndOtherLinksAreFollowed();
    void linksLeadingManyWaysToAFolderCostOneWalk();
    void contentSearchLeavesArchivesToArchiveSearch();
    void noHitsNoBatch();
    void stopInsideHugeFileIsPromptAndSilent();
    void descriptorsStayFewWhileWorkersAreBusy();
    void stopInsideLargeDirectoryIsPrompt();
    void stopBetweenDirectoriesEmitsNothingMore();
    void pseudoFileSystemFilesAreNotOpened_data();
    void pseudoFileSystemFilesAreNotOpened();
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
    void undecodableAndDeepTreesAreWalkedToTheBottom();
    void aChainDeeperThanTheStackIsWalkedToTheBottom_data();
    void aChainDeeperThanTheStackIsWalkedToTheBottom();
    void aFolderIsDeliveredInPieces();
    void workersDeliverWhatOneThreadDelivers_data();
    void workersDeliverWhatOneThreadDelivers();
    void aSmallFolderWaitsForItsBigSibling();
    void readerProcessesDeliverWhatTheSearchFinds_data();
    void readerProcessesDeliverWhatTheSearchFinds();
    void anArchiveThatTakesAllMemoryCostsItselfOnly();
    void aDocumentWhoseReaderFailsCostsItselfOnly_data();
    void aDocumentWhoseReaderFailsCostsItselfOnly();
    void stopIsPromptWhileADocumentIsParsed();
    void nestedArchivesKeepToTheirLimits_data();
    void nestedArchivesKeepToTheirLimits();
    void cleanupTestCase() { deepChain.reset(); }

private:
    std::unique_ptr<TreeBuilder> deepChain;  // made by the first test that needs it
    QByteArray deepChainFile;
};

void TestWalk::listingEqualsQDir_data()
{
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<int>("extraFiles");  // long names, so the folder takes several reads
    QTest::newRow("listing/every name") << QStringList {"*"} << 0;
    QTest::newRow("listing/every name of a large folder") << QStringList {"*"} << 3000;
    QTest::newRow("listing/some names of a large folder") << QStringList {"*7*.zip"} << 3000;
    QTest::newRow("listing/wrapped letters") << QStringList {"*a*"} << 0;
    QTest::newRow("listing/wrapped upper case") << QStringList {"*B*", "*E*"} << 0;
    QTest::newRow("listing/suffix pattern") << QStringList {"*.zip"} << 0;
    QTest::newRow("listing/exact name") << QStringList {"readme"} << 0;
    QTest::newRow("listing/question mark and set") << QStringList {"?", "[ab]*", "*[!x]"} << 0;
    QTest::newRow("listing/non-ascii pattern") << QStringList {QString::fromUtf8("*ä*")} << 0;
    QTest::newRow("listing/kelvin sign and long s") << QStringList {"*k*", "*S*"} << 0;
    QTest::newRow("listing/inner star") << QStringList {"r*e", "a*b*c"} << 0;
}

void TestWalk::listingEqualsQDir()
{
    QFETCH(QStringList, filters);
    QFETCH(int, extraFiles);
    TreeBuilder tree;
    for (int i = 0; i < extraFiles; ++i)
        tree.file(QString("%1-a-name-long-enough-to-fill-the-folder-reads-soon.zip")
                          .arg(i, 4, 10, QChar('0')));
    const QStringList files {"a",
                             "A",
                             "b",
                             "B",
                             "abc",
                             "ABC",
                             "aXbXc",
                             "readme",
                             "README",
                             "rEadme.txt",
                             QString::fromUtf8("ä"),
                             QString::fromUtf8("Ä"),
                             QString::fromUtf8("é"),
                             "e",
                             "E",
                             QString::fromUtf8("\u212Aelvin"),
                             QString::fromUtf8("ſ"),
                             "x.zip",
                             "y.ZIP",
                             "z.Rar",
                             "zip",
                             "_1",
                             "10",
                             "9",
                             "~",
                             "t.tar.gz",
                             "u.TGZ",
                             "s.7z",
                             "i.iso",
                             "c.cab",
                             "j.jar",
                             "n.txt.zst",
                             "cpio",
                             "gz"};
    for (const QString &f : files)
        tree.file(f);
    for (const QString &d :
         QStringList {"dirA", "dira", "Dirb", "zip.zip", QString::fromUtf8("Ödir")})
        tree.folder(d);
    tree.file(".hidden");
    tree.folder(".hiddendir");
    tree.file("dirA/inner");
    tree.link("linkdir", tree.path("dirA"));
    tree.link("linkfile.zip", tree.path("x.zip"));
    tree.link("broken", tree.path("nowhere"));
    tree.link(".hiddenlink", tree.path("dirA"));
    tree.fifo("pipe.zip");

    std::atomic_bool cancel {false};
    const auto nameFilter = std::make_shared<NameFilter>(filters);
    DirectoryLister lister(nameFilter, &cancel);
    const auto listRootWith = [&](DirectoryLister &lister) {
        DirectoryListing listing;
        const int fd = ::open(QFile::encodeName(tree.root()).constData(), O_RDONLY | O_DIRECTORY);
        struct stat info;
        const bool listed = ::fstat(fd, &info) == 0 && lister.list(fd, info.st_dev, true, &listing);
        ::close(fd);
        return listed ? listing : DirectoryListing();
    };
    const auto listRoot = [&] { return listRootWith(lister); };
    const auto names = [](const QVector<ListedEntry> &entries) {
        QStringList list;
        for (const ListedEntry &entry : entries)
            list << entry.name;
        return list;
    };
    const DirectoryListing listing = listRoot();
    QCOMPARE(names(listing.subdirs), qdirList(tree.root(), {}, QDir::Dirs | QDir::NoDotAndDotDot));
    QCOMPARE(names(listing.matches),
             qdirList(tree.root(), filters,
                      QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot));
    const QStringList archivePatterns {"*.zip", "*.jar",  "*.war",  "*.ear", "*.apk",
                                       "*.rar", "*.7z",   "*.tar",  "*.tgz", "*.tbz2",
                                       "*.txz", "*.tzst", "*.cpio", "*.iso", "*.cab",
                                       "*.gz",  "*.bz2",  "*.xz",   "*.zst"};
    QCOMPARE(names(listing.archives),
             qdirList(tree.root(), archivePatterns,
                      QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot));

    // Without single compressed files among the archives (a name search),
    // the tar files compressed stay, and the names listed are the same.
    auto namesOnlyRules = std::make_shared<WalkRules>();
    namesOnlyRules->compressedFilesAsArchives = false;
    DirectoryLister namesOnlyLister(nameFilter, &cancel, namesOnlyRules);
    const DirectoryListing namesOnly = listRootWith(namesOnlyLister);
    QStringList archivesButCompressed = names(listing.archives);
    QCOMPARE(archivesButCompressed.removeAll("n.txt.zst"), 1);
    QCOMPARE(names(namesOnly.archives), archivesButCompressed);
    QCOMPARE(names(namesOnly.matches), names(listing.matches));
    QCOMPARE(names(namesOnly.subdirs), names(listing.subdirs));

    // QDir leaves out a name that is not valid UTF-8; the lister keeps it,
    // with its bytes, wherever a pattern takes it.
    const QByteArray rawBytes("raw\xff"
                              "a");
    const QByteArray rawPath = QFile::encodeName(tree.root()) + '/' + rawBytes;
    ::close(::open(rawPath.constData(), O_WRONLY | O_CREAT, 0644));
    const DirectoryListing withRaw = listRoot();
    ::unlink(rawPath.constData());
    const bool rawListed = std::any_of(withRaw.matches.begin(), withRaw.matches.end(),
                                       [&](const ListedEntry &e) { return e.bytes == rawBytes; });
    QCOMPARE(rawListed, QDir::match(filters, QString::fromUtf8("raw\uFFFDa")));
    QCOMPARE(withRaw.matches.size(), listing.matches.size() + (rawListed ? 1 : 0));
}

void TestWalk::walkOrderAndContent()
{
    TreeBuilder tree;
    tree.file("x1");
    tree.file("b/x2");
    tree.file("A/x3");
    tree.file("a2/sub/x4");
    tree.file("a2/.hidden/x5");
    tree.file(".x6");
    tree.file("C/.x7");
    tree.file("C/x8");
    tree.link("C/linked", tree.path("b"));
    tree.link("C/xlink", tree.path("x1"));
    tree.link("C/xbroken", tree.path("none"));
    tree.fifo("C/xpipe");
    tree.folder("C/xfolder");

    // C/linked leads to b, walked before by its own name.
    QCOMPARE(describe(runSearch({tree.root()}, {"x"}), tree.root()),
             QStringList({"A: x3", "a2/sub: x4", "b: x2", "C: x8 xfolder", ".: x1"}));
    QCOMPARE(describe(runSearch({tree.root()}, {"x"}, QString(), false), tree.root()),
             QStringList({".: x1"}));
    // A start directory given twice is searched twice; the name is native and absolute.
    const QList<Batch> twice = runSearch({tree.path("b"), tree.path("b/../b")}, {"x"});
    QCOMPARE(twice.size(), 2);
    QCOMPARE(twice[1].dir, QDir::toNativeSeparators(tree.path("b")));
}

void TestWalk::patterns_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QString>("expected");
    QTest::newRow("patterns/wrapped suffix also finds longer names")
            << QStringList {"*.doc"} << false << "a.doc a.doc.bak report.DOCX";
    QTest::newRow("patterns/wrapped word finds it anywhere in any case")
            << QStringList {"doc"} << false << "a.doc a.doc.bak DOC report.DOCX";
    QTest::newRow("patterns/exact suffix finds only that suffix")
            << QStringList {"*.doc"} << true << "a.doc";
    QTest::newRow("patterns/exact name finds only that name")
            << QStringList {"readme"} << true << "README";
    QTest::newRow("patterns/blanks around a wrapped pattern are trimmed")
            << QStringList {" read "} << false << "README";
    QTest::newRow("patterns/several patterns, one listing")
            << QStringList {"*.bak", "readme"} << true << "a.doc.bak README";
}

void TestWalk::patterns()
{
    QFETCH(QStringList, patterns);
    QFETCH(bool, exact);
    QFETCH(QString, expected);
    TreeBuilder tree;
    for (const char *name : {"a.doc", "a.doc.bak", "report.DOCX", "README", "DOC", "other"})
        tree.file(name);
    const QList<Batch> batches = runSearch({tree.root()}, patterns, QString(), true, exact);
    QCOMPARE(describe(batches, tree.root()), QStringList {".: " + expected});
}

// The names of one folder, written again as the members of a ZIP, a tar.gz
// and a 7z archive beside it: one wildcard engine answers for all of them.
const QList<QByteArray> kPatternNames {
        "a.txt",    "B.TXT",   "ab.txt",        "a*b",    "a\\b",      "a\\xb",
        "a]",       "x]y",     "5x.log",        "-dash",  "a^b",       "é",
        "café.txt", "CAFÉ.md", "photo (1).jpg", "readme", "[bracket]", "Ärger",
};

void TestWalk::patternsMatchAlikeOnDiskAndInArchives_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("wildcards/a set negated with ! excludes its members")
            << "[!a]*.txt" << true << QStringList {"B.TXT", "café.txt"};
    QTest::newRow("wildcards/a set negated with ^ too")
            << "[^a]*.txt" << true << QStringList {"B.TXT", "café.txt"};
    QTest::newRow("wildcards/a backslash stands for itself")
            << "a\\*b" << true << QStringList {"a\\b", "a\\xb"};
    QTest::newRow("wildcards/a lone ] stands for itself") << "a]" << true << QStringList {"a]"};
    QTest::newRow("wildcards/] first in a set is a member")
            << "x[]]y" << true << QStringList {"x]y"};
    QTest::newRow("wildcards/brackets in a set")
            << "[[]bracket[]]" << true << QStringList {"[bracket]"};
    QTest::newRow("wildcards/a dash first in a set is a member")
            << "[-]*" << true << QStringList {"-dash"};
    QTest::newRow("wildcards/a range ignores case")
            << "[A-B].txt" << true << QStringList {"a.txt", "B.TXT"};
    QTest::newRow("wildcards/a posix class") << "[[:digit:]]*" << true << QStringList {"5x.log"};
    QTest::newRow("wildcards/question mark is one character, not one byte")
            << "?" << true << QStringList {"é"};
    QTest::newRow("wildcards/case is ignored beyond ascii")
            << "café*" << true << QStringList {"café.txt", "CAFÉ.md"};
    QTest::newRow("wildcards/a non-ascii range ignores case")
            << "[ä-ö]rger" << true << QStringList {"Ärger"};
    QTest::newRow("wildcards/parentheses and carets are plain")
            << "*(1)*;a^b" << true << QStringList {"a^b", "photo (1).jpg"};
    QTest::newRow("wildcards/a wrapped pattern is found anywhere")
            << "TXT" << false << QStringList {"B.TXT", "a.txt", "ab.txt", "café.txt"};
    QTest::newRow("wildcards/a star alone takes every name") << "*" << true << [] {
        QStringList all;
        for (const QByteArray &name : kPatternNames)
            all << QString::fromUtf8(name);
        return all;
    }();
}

void TestWalk::patternsMatchAlikeOnDiskAndInArchives()
{
    QFETCH(QString, pattern);
    QFETCH(bool, exact);
    QFETCH(QStringList, expected);
    TreeBuilder tree;
    ArchiveBuilder::Members members;
    {
        ZipBuilder zip(tree.path("names.zip"));
        for (const QByteArray &name : kPatternNames) {
            tree.rawFile("disk/" + name);
            zip.add(name);
            members.append({name, QByteArray()});
        }
    }
    ArchiveBuilder::write(tree.path("names.tar.gz"), members);
    ArchiveBuilder::write(tree.path("names.7z"), members);
    expected.sort();
    const QStringList patterns = pattern.split(QLatin1Char(';'));
    // Alone, and among many patterns that match none of the names, which
    // the filter finds through its index instead of trying each.
    QStringList many = patterns;
    for (int i = 0; i < 40; ++i)
        many << QStringLiteral("nothing%1*").arg(i);
    for (const QStringList &list : {patterns, many}) {
        QMap<QString, QStringList> found;  // "disk" or the archive: the names that matched
        for (const Batch &batch : runSearch({tree.root()}, list, QString(), true, exact)) {
            for (const TFileInfo &hit : batch.hits) {
                if (batch.dir.endsWith(QLatin1String("/disk")))
                    found[QStringLiteral("disk")] << hit.fileName;
                else if (hit.fileName.contains(QLatin1Char('/')))
                    found[hit.fileName.section(QLatin1Char('/'), 0, 0)]
                            << hit.fileName.section(QLatin1Char('/'), 1);
            }
        }
        for (const char *where : {"disk", "names.zip", "names.tar.gz", "names.7z"}) {
            QStringList names = found.value(QLatin1String(where));
            names.sort();
            QVERIFY2(names == expected,
                     qPrintable(QLatin1String(where) + QLatin1String(": ") + names.join(' ')));
        }
    }
}

// One filter made of many patterns passes exactly the names that one of its
// patterns alone would pass, whether it tries them in turn or finds them
// through the runs of plain characters they hold.
void TestWalk::manyPatternsFilterLikeEachAlone()
{
    QRandomGenerator random(3);
    const QString letters = QStringLiteral("abAB.é1-");
    const QStringList wildcards {"*", "?", "[ab]", "[!a]", "[[:digit:]]"};
    const auto letter = [&] { return letters.at(int(random.bounded(letters.size()))); };
    QStringList patterns;
    while (patterns.size() < 1500) {
        QString pattern;
        int plain = 0;
        for (int token = 2 + int(random.bounded(4)); token > 0; --token) {
            if (random.bounded(10) < 3) {
                pattern += wildcards.at(int(random.bounded(wildcards.size())));
            } else {
                pattern += letter();
                ++plain;
            }
        }
        if (plain >= 2)
            patterns << pattern;
    }
    std::vector<NameFilter> alone;
    for (const QString &pattern : patterns)
        alone.emplace_back(QStringList {pattern});
    for (const int count : {10, 200, 1500}) {
        const NameFilter together(patterns.mid(0, count));
        int passed = 0;
        for (int n = 0; n < 400; ++n) {
            QString name;
            for (int length = 2 + int(random.bounded(5)); length > 0; --length)
                name += letter();
            bool any = false;
            for (int i = 0; i < count && !any; ++i)
                any = alone[size_t(i)].acceptsText(name);
            passed += any;
            QString decoded;
            QVERIFY2(together.acceptsText(name) == any, qPrintable(name));
            QVERIFY2(together.accepts(name.toUtf8(), decoded) == any, qPrintable(name));
        }
        // Both answers come often enough for the comparison to mean something.
        QVERIFY2(passed > count / 40 + 5 && passed < 400, qPrintable(QString::number(passed)));
    }
}

void TestWalk::linkCycleEndsAndOtherLinksAreFollowed()
{
    TreeBuilder tree;
    tree.file("top/x");
    tree.link("top/down/back", tree.path("top"));  // loops to an ancestor
    tree.link("top/self", tree.path("top"));
    tree.file("other/x");
    tree.link("top/toother", tree.path("other"));  // searched again through the link
    const QList<Batch> batches = runSearch({tree.path("top")}, {"x"});
    QCOMPARE(describe(batches, tree.root()), QStringList({"top/toother: x", "top: x"}));
}

// Thirty folders, each holding two links to the next, make 2^29 paths to the
// last; each folder is walked once, by the first path in walk order.
void TestWalk::linksLeadingManyWaysToAFolderCostOneWalk()
{
    TreeBuilder tree;
    constexpr int kFolders = 30;
    tree.file(QStringLiteral("f%1/x").arg(kFolders - 1));
    for (int i = 0; i + 1 < kFolders; ++i) {
        for (const char *link : {"a", "b"})
            tree.link(QStringLiteral("f%1/%2").arg(i).arg(QLatin1String(link)),
                      tree.path(QStringLiteral("f%1").arg(i + 1)));
    }
    for (const int workers : {1, 3}) {
        quint64 folders = 0;
        const QList<Batch> batches = runSearch({tree.path("f0")}, {"x"}, QString(), true, false,
                                               workers, false, sharedReaderProcesses(), &folders);
        QCOMPARE(folders, quint64(kFolders));
        QCOMPARE(describe(batches, tree.path("f0")),
                 QStringList {QStringLiteral("a/").repeated(kFolders - 1).chopped(1) + ": x"});
    }
}

void TestWalk::contentSearchLeavesArchivesToArchiveSearch()
{
    TreeBuilder tree;
    tree.file("Report.ZIP", "needle\n");
    tree.file("notes.rar", "needle\n");
    tree.file("a.txt", "x\nneedle\n");
    tree.folder("needle-folder");
    const QList<Batch> batches = runSearch({tree.root()}, {"*"}, QStringLiteral("needle"));
    QCOMPARE(describe(batches, tree.root()), QStringList {".: a.txt:2"});
    QCOMPARE(batches[0].hits[0].lineText, QStringLiteral("needle"));
}

void TestWalk::noHitsNoBatch()
{
    TreeBuilder tree;
    tree.file("a/b/c.txt", "text");
    QVERIFY(runSearch({tree.root()}, {"zzz"}).isEmpty());
    QVERIFY(runSearch({tree.root()}, {"*"}, QStringLiteral("absent")).isEmpty());
}

namespace {

// Starts a search, stops it once `ready` says so, and returns how long the
// thread took to finish after stop(); fails on any batch after stop().
qint64 stopAndTime(searchThread &thread, const std::function<bool()> &ready, bool *emittedLate)
{
    std::atomic_bool stopped {false};
    std::atomic_bool late {false};
    const QMetaObject::Connection watch = QObject::connect(
            &thread, &searchThread::PushGotFiles, &thread,
            [&](const QString &, const QList<TFileInfo> &) {
                if (stopped)
                    late = true;
            },
            Qt::DirectConnection);
    thread.start();
    QElapsedTimer wait;
    wait.start();
    while (!ready() && wait.elapsed() < 20000)
        QThread::msleep(5);
    QElapsedTimer timer;
    timer.start();
    thread.stop();
    stopped = true;
    thread.wait();
    const qint64 ms = timer.elapsed();
    // A later run of the same thread must not reach this function's locals.
    QObject::disconnect(watch);
    *emittedLate = late;
    return ms;
}

}  // namespace

// A stop ends the search within 100 ms and nothing is delivered after it,
// also while every worker is deep inside a huge file.
void TestWalk::stopInsideHugeFileIsPromptAndSilent()
{
    // 1 GiB sparse files read as NULs without using the disk.
    TreeBuilder tree;
    for (const char *name : {"huge1.txt", "huge2.txt", "huge3.txt", "huge4.txt"})
        tree.sparseFile(name, qint64(1) << 30);
    tree.file("sub/hit.txt", "needle\n");
    for (const int workers : {1, 3}) {
        for (const bool deep : {false, true}) {
            // The fastest of up to three stops: on a machine busy with other
            // work one may wait for a core, while a stop that is not seen
            // takes seconds every time.
            qint64 fastest = std::numeric_limits<qint64>::max();
            for (int attempt = 0; attempt < 3 && fastest >= 100 * kTimeScale; ++attempt) {
                searchThread thread;
                thread.setWorkerCount(workers);
                thread.setParameters({QDir(tree.root())}, {"*"}, QStringLiteral("needle"),
                                     Qt::CaseSensitive, true, false, deep);
                QElapsedTimer since;
                since.start();
                bool late = false;
                fastest = std::min(fastest,
                                   stopAndTime(
                                           thread, [&] { return since.elapsed() > 300; }, &late));
                QVERIFY(!late);
            }
            QVERIFY2(fastest < 100 * kTimeScale,
                     qPrintable(QStringLiteral("took %1 ms").arg(fastest)));
        }
    }
}

// The workers close the folders the walk has left; while they are busy in
// huge files the walk closes them itself rather than let them pile up.
void TestWalk::descriptorsStayFewWhileWorkersAreBusy()
{
    TreeBuilder tree;
    for (const char *name : {"a1/huge.txt", "a2/huge.txt"})
        tree.sparseFile(name, qint64(1) << 30);
    for (int i = 0; i < 3000; ++i)
        tree.folder(QStringLiteral("b/d%1").arg(i));
    const auto openDescriptors = [] {
        return int(QDir(QStringLiteral("/proc/self/fd"))
                           .entryList(QDir::AllEntries | QDir::System)
                           .size());
    };
    const int before = openDescriptors();
    int most = before;
    searchThread thread;
    thread.setWorkerCount(2);
    thread.setParameters({QDir(tree.root())}, {"*"}, QStringLiteral("needle"), Qt::CaseSensitive,
                         true, false, false);
    QElapsedTimer since;
    since.start();
    bool late = false;
    stopAndTime(
            thread,
            [&] {
                most = qMax(most, openDescriptors());
                return since.elapsed() > 1000;
            },
            &late);
    QVERIFY2(most - before < 500,
             qPrintable(QStringLiteral("%1 descriptors open").arg(most - before)));
}

void TestWalk::stopInsideLargeDirectoryIsPrompt()
{
    TreeBuilder tree;
    const QByteArray root = QFile::encodeName(tree.path("big"));
    QDir().mkpath(tree.path("big"));
    for (int i = 0; i < 100000; ++i) {
        FILE *f = fopen((root + "/entry" + QByteArray::number(i)).constData(), "w");
        QVERIFY(f);
        fclose(f);
    }
    for (const QString &text : {QString(), QStringLiteral("needle")}) {
        searchThread thread;
        thread.setParameters({QDir(tree.path("big"))}, {"entry"}, text, Qt::CaseSensitive, true,
                             false, false);
        QElapsedTimer since;
        since.start();
        bool late = false;
        const qint64 ms = stopAndTime(
                thread, [&] { return since.elapsed() > 20; }, &late);
        QVERIFY2(ms < 100 * kTimeScale, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
        QVERIFY(!late);
    }
}

void TestWalk::stopBetweenDirectoriesEmitsNothingMore()
{
    TreeBuilder tree;
    for (int i = 0; i < 3000; ++i)
        tree.file(QStringLiteral("d%1/hit").arg(i));
    searchThread thread;
    thread.setParameters({QDir(tree.root())}, {"hit"}, QString(), Qt::CaseSensitive, true, false,
                         false);
    std::atomic_int batches {0};
    QObject::connect(
            &thread, &searchThread::PushGotFiles, &thread,
            [&](const QString &, const QList<TFileInfo> &) { ++batches; }, Qt::DirectConnection);
    bool late = false;
    stopAndTime(
            thread, [&] { return batches > 100; }, &late);
    QVERIFY(!late);
    QVERIFY(batches < 3000);

    // The next search starts afresh.
    batches = 0;
    thread.setParameters({QDir(tree.path("d1"))}, {"hit"}, QString(), Qt::CaseSensitive, true,
                         false, false);
    thread.start();
    thread.wait();
    QCOMPARE(int(batches), 1);
}

// A content search over /proc or /sys passes their files over without even
// opening them: opening some of them alone has effects. inotify sees opens.
void TestWalk::pseudoFileSystemFilesAreNotOpened_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("walk/a file of proc is not opened") << QStringLiteral("/proc/version");
    QTest::newRow("walk/a file of sysfs is not opened")
            << QStringLiteral("/sys/kernel/uevent_seqnum");
}

void TestWalk::pseudoFileSystemFilesAreNotOpened()
{
    QFETCH(QString, file);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    if (inotify_add_watch(watch, QFile::encodeName(file).constData(), IN_OPEN) < 0) {
        ::close(watch);
        QSKIP("the file cannot be watched here");
    }
    const QFileInfo info(file);
    // A folder of an ordinary file system first: the kernel one is told
    // apart when the walk comes to it all the same.
    TreeBuilder before;
    before.file(info.fileName());
    runSearch({before.root(), info.path()}, {info.fileName()}, QStringLiteral("Linux"), false,
              true);
    char event[sizeof(inotify_event) + 256];
    const ssize_t got = ::read(watch, event, sizeof event);
    ::close(watch);
    QCOMPARE(got, ssize_t(-1));
}

// A name decodes in the locale's encoding; a byte that does not decode
// there stands for itself, so the text always encodes back to the bytes.
void TestWalk::namesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");  // null: only the round trip is checked
    QTest::addColumn<bool>("undecoded");
    const QByteArray gbkReport("\xb1\xa8\xb8\xe6.txt");  // 报告.txt in GBK
    QTest::newRow("names/ascii") << QByteArray("UTF-8") << QByteArray("a b.txt") << "a b.txt"
                                 << false;
    QTest::newRow("names/utf-8 of every length")
            << QByteArray("UTF-8") << QByteArray("\xc3\xa4\xe4\xb8\xad\xf0\x9f\x98\x80")
            << QString::fromUtf8("ä中😀") << false;
    QTest::newRow("names/utf-8 of a noncharacter")
            << QByteArray("UTF-8") << QByteArray("\xef\xbf\xbe") << QString(QChar(0xFFFE)) << false;
    QTest::newRow("names/a stray byte")
            << QByteArray("UTF-8") << QByteArray("b\xff.txt") << QString() << true;
    QTest::newRow("names/gbk bytes under utf-8")
            << QByteArray("UTF-8") << gbkReport << QString() << true;
    QTest::newRow("names/overlong and surrogate forms")
            << QByteArray("UTF-8") << QByteArray("\xc0\xaf\xed\xa0\x80\xed\xb2\x80") << QString()
            << true;
    QTest::newRow("names/cut sequences")
            << QByteArray("UTF-8") << QByteArray("\xe4\xb8 \xf0\x9f\x98") << QString() << true;
    QTest::newRow("names/gbk under a gbk locale")
            << QByteArray("GBK") << gbkReport << QString::fromUtf8("报告.txt") << false;
    QTest::newRow("names/a stray byte under a gbk locale")
            << QByteArray("GBK") << QByteArray("\xb1\xa8\x81\x20x\x81") << QString() << true;
}

void TestWalk::namesKeepTheirBytes()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, undecoded);
    QTextCodec *const before = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(locale));
    const QString decoded = decodePath(bytes);
    const QByteArray encoded = encodePath(decoded);
    const bool escapes = hasUndecodedBytes(decoded);
    QTextCodec::setCodecForLocale(before);
    QCOMPARE(encoded, bytes);
    QCOMPARE(escapes, undecoded);
    if (!text.isNull())
        QCOMPARE(decoded, text);
}

// Names that are not valid UTF-8 are found, folders with such names are
// entered, and a tree deeper than PATH_MAX, and than the descriptors kept
// open, is searched to the bottom, coming back up through every level.
void TestWalk::undecodableAndDeepTreesAreWalkedToTheBottom()
{
    TreeBuilder tree;
    tree.rawFile("b\xff.txt", "NEEDLE\n");
    tree.rawFile("d\xff/x.txt", "NEEDLE\n");
    const int depth = 2 * FolderStack::kMaxOpen;
    const QByteArray level(60, 'l');
    int fd = ::open(QFile::encodeName(tree.root()).constData(), O_RDONLY | O_DIRECTORY);
    QStringList expected;  // batches, deepest first
    QByteArray relative;
    for (int i = 0; i < depth; ++i) {
        QVERIFY(::mkdirat(fd, level.constData(), 0755) == 0 && ::mkdirat(fd, "z", 0755) == 0);
        const int z = ::openat(fd, "z", O_RDONLY | O_DIRECTORY);
        ::close(::openat(z, "n.txt", O_WRONLY | O_CREAT, 0644));
        QVERIFY(::write(::openat(z, "n.txt", O_WRONLY), "NEEDLE\n", 7) == 7);
        ::close(z);
        const int next = ::openat(fd, level.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        expected.prepend(QString::fromLatin1(relative + "z: n.txt:1"));
        relative += level + '/';
    }
    ::close(fd);
    expected.prepend(QString::fromLatin1(relative.chopped(1)) + QStringLiteral(": "));
    expected.removeFirst();                                      // the bottom folder holds nothing
    expected.prepend(decodePath(QByteArray("d\xff: x.txt:1")));  // "d" sorts before "l"
    expected << decodePath(QByteArray(".: b\xff.txt:1"));
    QVERIFY(QFile::encodeName(tree.root()).size() + relative.size() > PATH_MAX);

    const QList<Batch> batches = runSearch({tree.root()}, {"*"}, QStringLiteral("NEEDLE"));
    QCOMPARE(describe(batches, tree.root()), expected);
    // Workers reading folders ahead of the walk and searching files change nothing.
    QCOMPARE(describe(runSearch({tree.root()}, {"*"}, QStringLiteral("NEEDLE"), true, false, 3),
                      tree.root()),
             expected);
    // The texts encode back to the bytes of the files.
    const QByteArray rawPath = encodePath(batches.last().dir + QLatin1Char('/')
                                          + batches.last().hits.first().fileName);
    QCOMPARE(rawPath, QFile::encodeName(tree.root()) + "/b\xff.txt");
    QVERIFY(::access(rawPath.constData(), R_OK) == 0);
}

// The walk is a loop: a search thread with a small stack walks a chain far
// deeper than a recursion of it could, and finds the file at its bottom,
// whoever reads the folders and the file.
void TestWalk::aChainDeeperThanTheStackIsWalkedToTheBottom_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("workers");
    QTest::newRow("deep chain/name search, one thread") << QString() << 1;
    QTest::newRow("deep chain/content search, one thread") << QStringLiteral("needle") << 1;
    QTest::newRow("deep chain/content search, workers read ahead") << QStringLiteral("needle") << 3;
}

void TestWalk::aChainDeeperThanTheStackIsWalkedToTheBottom()
{
    QFETCH(QString, text);
    QFETCH(int, workers);
    constexpr int kDepth = 20000;
    if (!deepChain) {
        // In memory where it can be: a disk mounted with discard takes a
        // minute to remove 20,000 folders.
        const QString memory = QStringLiteral("/dev/shm");
        deepChain = QFileInfo(memory).isWritable() ? std::make_unique<TreeBuilder>(memory)
                                                   : std::make_unique<TreeBuilder>();
        deepChainFile = deepChain->deepFile("d", kDepth, "needle.txt", "needle\n");
    }
    searchThread thread;
    thread.setStackSize(256 * 1024);
    thread.setWorkerCount(workers);
    QList<Batch> batches;
    QObject::connect(&thread, &searchThread::PushGotFiles,
                     [&batches](const QString &dir, const QList<TFileInfo> &hits) {
                         batches.append(Batch {dir, hits});
                     });
    thread.setParameters({QDir(deepChain->root())}, {"needle.txt"}, text, Qt::CaseSensitive, true,
                         true, false);
    thread.start();
    QVERIFY(thread.wait());
    takeOver(&thread);
    QCOMPARE(batches.size(), 1);
    QCOMPARE(batches.first().dir,
             deepChain->root() + QLatin1Char('/') + QString::fromLatin1(deepChainFile.chopped(11)));
    const TFileInfo hit = text.isEmpty() ? TFileInfo {"needle.txt", 0, QString()}
                                         : TFileInfo {"needle.txt", 1, QStringLiteral("needle")};
    QCOMPARE(batches.first().hits, QList<TFileInfo>({hit}));
    QCOMPARE(thread.visitedDirectories(), quint64(kDepth + 1));
    QCOMPARE(thread.unreadableFolders(), quint64(0));
}

// A folder's hits leave in pieces while the folder is searched, in order,
// each with the folder's name.
void TestWalk::aFolderIsDeliveredInPieces()
{
    TreeBuilder tree;
    tree.file("many.txt", QByteArray("NEEDLE\n").repeated(2 * searchThread::kPieceSize + 500));
    const QList<Batch> batches = runSearch({tree.root()}, {"*"}, QStringLiteral("NEEDLE"));
    QCOMPARE(batches.size(), 3);
    qint64 next = 1;
    for (const Batch &batch : batches) {
        QCOMPARE(batch.dir, QDir::toNativeSeparators(tree.root()));
        for (const TFileInfo &hit : batch.hits)
            QCOMPARE(hit.lineNo, next++);
    }
    QCOMPARE(batches.last().hits.size(), 500);
}

// Any number of workers delivers the same batches, with the same folder
// names, in the same order, hits in the same order, as one thread does.
void TestWalk::workersDeliverWhatOneThreadDelivers_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("deep");
    for (quint32 seed = 1; seed <= 4; ++seed) {
        const QByteArray tag = QByteArray::number(seed);
        QTest::newRow("workers/names, tree " + tag) << seed << QString() << false;
        QTest::newRow("workers/content, tree " + tag) << seed << QStringLiteral("needle") << false;
    }
    QTest::newRow("workers/deep, tree 5") << quint32(5) << QStringLiteral("needle") << true;
}

void TestWalk::workersDeliverWhatOneThreadDelivers()
{
    QFETCH(quint32, seed);
    QFETCH(QString, text);
    QFETCH(bool, deep);
    TreeBuilder tree;
    randomTree(tree, seed);
    const QList<Batch> one = runSearch({tree.root()}, {"*"}, text, true, false, 1, deep);
    QVERIFY(!one.isEmpty());
    for (const int workers : {2, 5}) {
        const QList<Batch> many = runSearch({tree.root()}, {"*"}, text, true, false, workers, deep);
        QCOMPARE(describe(many, tree.root()), describe(one, tree.root()));
        QVERIFY(many == one);
    }
}

// Archives read in reader processes give what they give read in the search's
// own process: the same batches in the same order, the same diagnostics.
// Archives and documents parsed in reader processes give what they give
// parsed in the search's own process: the same batches in the same order,
// with the same places and times, the same diagnostics.
void TestWalk::readerProcessesDeliverWhatTheSearchFinds_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("workers");
    QTest::newRow("readers/names, one thread") << quint32(6) << QString() << 1;
    QTest::newRow("readers/names, three workers") << quint32(7) << QString() << 3;
    QTest::newRow("readers/content, one thread") << quint32(8) << QStringLiteral("needle") << 1;
    QTest::newRow("readers/content, three workers") << quint32(9) << QStringLiteral("needle") << 3;
    QTest::newRow("readers/documents, one thread") << quint32(10) << QStringLiteral("quick") << 1;
    QTest::newRow("readers/documents, three workers")
            << quint32(11) << QStringLiteral("quick") << 3;
}

void TestWalk::readerProcessesDeliverWhatTheSearchFinds()
{
    QFETCH(quint32, seed);
    QFETCH(QString, text);
    QFETCH(int, workers);
    TreeBuilder tree;
    randomTree(tree, seed);
    archivesOfEveryFormat(tree);
    documentsOfEveryFamily(tree);
    QList<Batch> here;
    const QByteArray hereDiagnostics = diagnosticsOf([&] {
        here = runSearch({tree.root()}, {"*"}, text, true, false, workers, false, nullptr);
    });
    QList<Batch> apart;
    const QByteArray apartDiagnostics = diagnosticsOf(
            [&] { apart = runSearch({tree.root()}, {"*"}, text, true, false, workers); });
    QCOMPARE(describe(apart, tree.root()), describe(here, tree.root()));
    QVERIFY(apart == here);
    const auto times = [](const QList<Batch> &batches) {
        QList<qint64> modified;
        for (const Batch &batch : batches)
            for (const TFileInfo &hit : batch.hits)
                modified << hit.modified;
        return modified;
    };
    QCOMPARE(times(apart), times(here));
    // Each content hit, of a file, a member or a document, has a time to show.
    if (!text.isEmpty())
        QVERIFY(!times(here).contains(TFileInfo::kNoTime));
    QCOMPARE(apartDiagnostics, hereDiagnostics);
    QVERIFY(hereDiagnostics.contains("cut.7z"));
    int inArchives = 0;
    int placed = 0;
    for (const Batch &batch : qAsConst(here)) {
        for (const TFileInfo &hit : batch.hits) {
            inArchives += hit.fileName.contains(QLatin1Char('/')) ? 1 : 0;
            placed += hit.place.isEmpty() ? 0 : 1;
        }
    }
    if (text == QLatin1String("quick")) {
        // Every family found, places kept, the damaged ones named.
        QVERIFY2(placed >= 6, qPrintable(QString::number(placed)));
        QVERIFY2(inArchives >= 1, qPrintable(QString::number(inArchives)));
        QVERIFY(hereDiagnostics.contains("cut.pdf"));
        QVERIFY(hereDiagnostics.contains("encrypted.pdf"));
    } else {
        QVERIFY2(inArchives > 25, qPrintable(QString::number(inArchives)));
        const QString found = describe(here, tree.root()).join('\n');
        // The program's own bytes hold the member's name.
        QVERIFY(found.contains(text.isEmpty()
                                       ? "setup.exe/inner/needle.txt"
                                       : "plain.exe:2 setup.exe:1 setup.exe/inner/needle.txt:1"));
    }
}

// libarchive loops on an ISO whose Rock Ridge continuation points at itself
// until memory runs out, and then ends the process it runs in: in a reader
// process, that costs the ISO and one line, and the search goes on. A gzip
// file that decompresses to itself is opened once: as a compressed file its
// member is searched (no hit), as a tar.gz it is no tar.
void TestWalk::anArchiveThatTakesAllMemoryCostsItselfOnly()
{
    TreeBuilder tree;
    tree.file("a/before.txt", "needle\n");
    QVERIFY(QFile::copy(QStringLiteral(VELTO_FIXTURES_DIR "/iso/rockridge-ce-loop.iso"),
                        tree.path("a/loop.iso")));
    for (const char *name : {"a/self.gz", "a/self.tar.gz"})
        QVERIFY(QFile::copy(QStringLiteral(VELTO_FIXTURES_DIR "/gzip/recursive.gz"),
                            tree.path(name)));
    tree.file("a/z.txt", "needle\n");
    ArchiveBuilder::write(tree.path("a/z.tgz"), {{"m.txt", "needle\n"}});
    tree.file("b/after.txt", "needle\n");
    ReaderLimits limits;
    limits.memoryBytes = qint64(64) << 20;
    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-worker"), limits);
    QList<Batch> batches;
    const QByteArray diagnostics = diagnosticsOf([&] {
        batches = runSearch({tree.root()}, {"*"}, QStringLiteral("needle"), true, false, 2, false,
                            &readers);
    });
    QCOMPARE(describe(batches, tree.root()),
             QStringList({"a: before.txt:1 z.txt:1 z.tgz/m.txt:1", "b: after.txt:1"}));
    QCOMPARE(diagnostics,
             encodePath(tree.path("a/loop.iso")) + " stopped: the reader used more than 64 MiB\n"
                     + encodePath(tree.path("a/self.tar.gz"))
                     + ": not a tar archive, or damaged at its start\n");
}

// A document whose reader crashes or loops costs that document and one
// line; its hits sent before the fault are kept, the files around it are
// found, and the next document is read by a fresh reader.
void TestWalk::aDocumentWhoseReaderFailsCostsItselfOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("why");
    QTest::newRow("document fault/a reader that aborts")
            << QStringLiteral("crash.pdf") << QByteArray("crashed (SIGABRT)");
    QTest::newRow("document fault/a reader that spins")
            << QStringLiteral("spin.docx") << QByteArray("took more than 1 s of processor time");
}

void TestWalk::aDocumentWhoseReaderFailsCostsItselfOnly()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, why);
    TreeBuilder tree;
    const QString suffix = name.mid(name.lastIndexOf(QLatin1Char('.')));
    tree.file("a/before.txt", "quick\n");
    tree.file("a/" + name, sampleDocument("sample" + suffix));
    tree.file("a/zlast" + suffix, sampleDocument("sample" + suffix));
    tree.file("b/after.txt", "quick\n");
    ReaderLimits limits;
    limits.processorTime = std::chrono::seconds(1);
    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-standin-worker"), limits);
    for (const int workers : {1, 3}) {
        QList<Batch> batches;
        const QByteArray diagnostics = diagnosticsOf([&] {
            batches = runSearch({tree.root()}, {"*"}, QStringLiteral("quick"), true, false, workers,
                                false, &readers);
        });
        QCOMPARE(describe(batches, tree.root()),
                 QStringList({"a: before.txt:1 " + name + ":3 zlast" + suffix + ":3",
                              "b: after.txt:1"}));
        QCOMPARE(diagnostics,
                 encodePath(tree.path("a/" + name)) + " stopped: the reader " + why + '\n');
    }
}

// Stop ends the search at once while a reader is deep in a document: its
// process is killed, nothing more is delivered.
void TestWalk::stopIsPromptWhileADocumentIsParsed()
{
    TreeBuilder tree;
    tree.file("spin.pdf", sampleDocument("sample.pdf"));
    ReaderLimits limits;
    limits.processorTime = std::chrono::minutes(10);
    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-standin-worker"), limits);
    searchThread thread;
    thread.setWorkerCount(1);
    thread.setReaderProcesses(&readers);
    int pieces = 0;
    QObject::connect(&thread, &searchThread::PushGotFiles,
                     [&pieces](const QString &, const QList<TFileInfo> &) { ++pieces; });
    thread.setParameters({QDir(tree.root())}, {"*"}, QStringLiteral("quick"), Qt::CaseSensitive,
                         true, false, false);
    thread.start();
    // The document is the search's only job: once its reader has run for a
    // while, it is in the loop that never ends.
    QTRY_VERIFY_WITH_TIMEOUT(!readers.processIds().empty(), 10000 * kTimeScale);
    QThread::msleep(300);
    QElapsedTimer timer;
    timer.start();
    thread.stop();
    QVERIFY(thread.wait(10000 * kTimeScale));
    QVERIFY2(timer.elapsed() < 100 * kTimeScale, qPrintable(QString::number(timer.elapsed())));
    takeOver(&thread);
    QCoreApplication::processEvents();
    QCOMPARE(pieces, 0);
    QVERIFY(readers.processIds().empty());
}

// A folder whose file takes long is delivered before the small folder after
// it, though the small one is searched first.
void TestWalk::aSmallFolderWaitsForItsBigSibling()
{
    TreeBuilder tree;
    tree.file("a/big.txt", QByteArray(48 << 20, 'x') + "\nneedle\n");
    tree.file("b/small.txt", "needle\n");
    QCOMPARE(describe(runSearch({tree.root()}, {"*"}, QStringLiteral("needle"), true, false, 3),
                      tree.root()),
             QStringList({"a: big.txt:2", "b: small.txt:1"}));
}

QTEST_GUILESS_MAIN(TestWalk)
#include "test_walk.moc"

void TestWalk::nestedArchivesKeepToTheirLimits_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("budgetTaken");  // all but 16 bytes of the temporary space is held
    QTest::addColumn<QStringList>("hits");
    QTest::addColumn<QByteArray>("diagnostics");  // "ROOT" stands for the tree's root

    const QByteArray bombLine = "ROOT/bomb.zip: searched no further: its members expand to more "
                                "than 1000 times its size\n";
    QTest::newRow("limits/16x16x16 zips of 256 GiB stop at the expansion limit, said once")
            << "bomb" << false << QStringList() << bombLine;
    QTest::newRow("limits/a jar in a war is read from its outer member, no copy needed")
            << "war" << true << QStringList {".: app.war/WEB-INF/lib/x.jar/com/readme.txt:2"}
            << QByteArray();
    QTest::newRow("limits/a 7z in a zip is copied and searched in full")
            << "7z" << false << QStringList {".: outer.zip/inner.7z/readme.txt:2"} << QByteArray();
    QTest::newRow("limits/a 7z in a zip is not looked into once the search's space is used")
            << "7z" << true << QStringList()
            << QByteArray("ROOT/outer.zip/inner.7z: not looked into: reading it needs a copy, and "
                          "copies would take more than the 512 MiB of temporary space a search "
                          "may use\n");
}

// Archives inside archives cost what their limits allow, the same in the
// search's process and in reader processes: one budget of temporary space
// (held here, seen by the readers), one expansion limit per archive on disk.
void TestWalk::nestedArchivesKeepToTheirLimits()
{
    QFETCH(QString, layout);
    QFETCH(bool, budgetTaken);
    QFETCH(QStringList, hits);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder tree;
    const QByteArray readme = "one\nneedle\n";
    if (layout == "bomb") {
        const QByteArray bomb = nestedZips(16, 3, qint64(64) << 20, "all work and no play\n");
        QVERIFY2(bomb.size() < 64 * 1024, qPrintable(QString::number(bomb.size())));
        tree.file("bomb.zip", bomb);
    } else if (layout == "war") {
        const QString jar
                = ZipBuilder(tree.path("tmp/x.jar")).add("com/readme.txt", readme).close();
        ZipBuilder(tree.path("app.war")).add("WEB-INF/lib/x.jar", readFileBytes(jar)).close();
        QVERIFY(QFile::remove(jar) && QDir(tree.path("tmp")).removeRecursively());
    } else {
        const QString inner
                = ArchiveBuilder::write(tree.path("tmp/inner.7z"), {{"readme.txt", readme}});
        ZipBuilder(tree.path("outer.zip")).add("inner.7z", readFileBytes(inner)).close();
        QVERIFY(QDir(tree.path("tmp")).removeRecursively());
    }
    TemporaryShare held;
    if (budgetTaken)
        QVERIFY(held.grow(TemporarySpace::kBudget - 16));
    diagnostics.replace("ROOT", QFile::encodeName(tree.root()));

    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-worker"));
    for (ReaderProcessPool *pool : {static_cast<ReaderProcessPool *>(nullptr), &readers}) {
        QElapsedTimer clock;
        clock.start();
        QList<Batch> batches;
        const QByteArray written = diagnosticsOf([&] {
            batches = runSearch({tree.root()}, {"*"}, QStringLiteral("needle"), true, false, 2,
                                false, pool);
        });
        QCOMPARE(describe(batches, tree.root()), hits);
        QCOMPARE(written, diagnostics);
        QVERIFY2(clock.elapsed() < 30000 * kTimeScale,
                 qPrintable(QString::number(clock.elapsed())));
        // Every copy gave its space back, in the readers too.
        QCOMPARE(TemporarySpace::inUse(), held.size());
    }
}
