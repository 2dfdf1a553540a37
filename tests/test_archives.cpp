#include "archivebuilder.h"
#include "archivefile.h"
#include "archiveformat.h"
#include "archivemember.h"
#include "archivesearch.h"
#include "archivewalkers.h"
#include "contentmatcher.h"
#include "decodeahead.h"
#include "diagnostics.h"
#include "libarchiveinput.h"
#include "libarchivewalker.h"
#include "lzopstream.h"
#include "membermatcher.h"
#include "membernames.h"
#include "namefilter.h"
#include "pathcodec.h"
#include "rarlayout.h"
#include "rarvolumeset.h"
#include "rawzip.h"
#include "timescale.h"
#include "treebuilder.h"
#include "uniquefd.h"
#include "zipbuilder.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtEndian>
#include <QtTest>

#include <zlib.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

const QString kFixtures = QStringLiteral(VELTO_FIXTURES_DIR "/rar");
const QString kSep = QDir::separator();

// Hits written as "name|line|text" so that rows compare at a glance.
QStringList describe(const QList<TFileInfo> &hits)
{
    QStringList out;
    for (const TFileInfo &hit : hits)
        out << QStringLiteral("%1|%2|%3").arg(hit.fileName).arg(hit.lineNo).arg(hit.lineText);
    return out;
}

// A search as the archive room meets it: the content matcher and the name
// patterns of the members wanted.
struct TestSearch
{
    ContentMatcher content;
    std::shared_ptr<const NameFilter> names;
    MemberMatcher members() const { return MemberMatcher(content, names); }
};

// Patterns become what the search request makes of them: wrapped in "*"
// unless `exact` (or written as "=pattern"), wildcard syntax, case-insensitive.
TestSearch makeMatcher(const QStringList &patterns, const QString &text, bool exact = false)
{
    TestSearch search;
    QStringList wildcards;
    for (const QString &pattern : patterns) {
        const bool asTyped = exact || pattern.startsWith(QLatin1Char('='));
        const QString wildcard = pattern.startsWith(QLatin1Char('=')) ? pattern.mid(1) : pattern;
        wildcards << (asTyped ? wildcard : QLatin1Char('*') + wildcard + QLatin1Char('*'));
    }
    if (!wildcards.isEmpty())
        search.names = std::make_shared<NameFilter>(wildcards);
    search.content.grepText = text;
    search.content.caseSensitivity = Qt::CaseSensitive;
    search.content.localeCodec = QTextCodec::codecForLocale();
    return search;
}

// The hits of one archive, all kept.
QList<TFileInfo> archiveHits(const QString &path, const TestSearch &search,
                             const ArchiveNameRules &names = ArchiveNameRules())
{
    HitSink sink;
    searchArchive(path, sink, search.members(), names);
    return sink.take();
}

QByteArray encoded(const char *codec, const QString &text)
{
    return QTextCodec::codecForName(codec)->fromUnicode(text);
}

const QByteArray kReadme = "one\ntwo\nthree\nfourth needle line\nfive\n";

QString writeZip(const QString &path, const ArchiveBuilder::Members &members,
                 qint64 extendedTime = 0)
{
    ZipBuilder zip(path);
    if (extendedTime != 0)
        zip.setExtendedTime(extendedTime);
    for (const auto &member : members)
        zip.add(member.first, member.second);
    return zip.close();
}

// Writes an archive of any kind the search reads, by its name.
QString writeArchive(const QString &path, const ArchiveBuilder::Members &members)
{
    if (archiveFormatOf(QFile::encodeName(path)) != ArchiveFormat::Zip)
        return ArchiveBuilder::write(path, members);
    return writeZip(path, members);
}

// Sends the diagnostics sink into a temporary file while it lives.
class DiagnosticCapture
{
public:
    DiagnosticCapture()
    {
        file.open();
        stream = fdopen(dup(file.handle()), "w+");
        setDiagnosticStream(stream);
    }
    ~DiagnosticCapture()
    {
        setDiagnosticStream(nullptr);
        std::fclose(stream);
    }
    QByteArray text()
    {
        std::fflush(stream);
        QFile reader(file.fileName());
        reader.open(QIODevice::ReadOnly);
        return reader.readAll();
    }

private:
    QTemporaryFile file;
    FILE *stream = nullptr;
};

long maxResidentKb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestArchives : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void zipNameSearch_data();
    void zipNameSearch();
    void zipContentSearch_data();
    void zipContentSearch();
    void zipClimbingMemberNameStaysText();
    void fakeZipWritesOpenError_data();
    void fakeZipWritesOpenError();
    void largeZipMemberStreamsAndStops();

    void rarFixtures_data();
    void rarFixtures();
    void fakeRarIsReported();
    void rarVolumeWithoutItsNeighbours_data();
    void rarVolumeWithoutItsNeighbours();
    void everyRarFixtureFinishes();

    void rarLayoutOfFixtures_data();
    void rarLayoutOfFixtures();
    void volumeNames_data();
    void volumeNames();
    void membersAreWantedByTheirOwnName_data();
    void membersAreWantedByTheirOwnName();

    void nothingIsWrittenAtTheOldTemporaryPaths();
    void twoSearchesAtOnceKeepTheirOwnLines();
    void pipeInPlaceOfAnArchiveCannotHang_data();
    void pipeInPlaceOfAnArchiveCannotHang();
    void overlappingEntriesAreDiagnosedOnce();
    void zip64SizesAreReadFromTheirField();
    void zipMemberNames_data();
    void zipMemberNames();
    void directoryListingIsTheWalksNameSearch_data();
    void directoryListingIsTheWalksNameSearch();
    void headerListingIsTheWalksNameSearch_data();
    void headerListingIsTheWalksNameSearch();
    void legacyNamesReadByTheirMakersFamily_data();
    void legacyNamesReadByTheirMakersFamily();
    void codePageOfLocale_data();
    void codePageOfLocale();
    void everyFormatByNameAndContent_data();
    void everyFormatByNameAndContent();
    void archivesInsideArchives_data();
    void archivesInsideArchives();
    void rarInsideAZip();
    void encrypted7zIsReportedWithoutReadingInput_data();
    void encrypted7zIsReportedWithoutReadingInput();
    void damagedArchivesKeepWhatCameBefore_data();
    void damagedArchivesKeepWhatCameBefore();
    void archiveNamesAreTheOneRule_data();
    void archiveNamesAreTheOneRule();
    void archivesAsTheirMakersWroteThem_data();
    void archivesAsTheirMakersWroteThem();
    void programsPiecesAndPackages_data();
    void programsPiecesAndPackages();
    void lzopFilesDecodeAsLzopWroteThem_data();
    void lzopFilesDecodeAsLzopWroteThem();
    void damagedLzopFilesAreReportedOnce_data();
    void damagedLzopFilesAreReportedOnce();
    void compressedArchivesDecodedAheadReadAsInPlace_data();
    void compressedArchivesDecodedAheadReadAsInPlace();

private:
    TreeBuilder tree;
};

void TestArchives::initTestCase()
{
    QVERIFY(tree.isValid());
    QVERIFY(QFileInfo(kFixtures + QStringLiteral("/basic-rar4.rar")).isFile());
}

void TestArchives::zipNameSearch_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QByteArrayList>("members");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QStringList>("expected");

    const QByteArrayList docs {"x/readme.txt", "x/a.doc"};
    QTest::newRow("zip/a txt pattern finds the nested member with separators")
            << "docs.zip" << docs << QStringList {"*.txt"} << true
            << QStringList {"docs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/an upper-case suffix is searched like a lower-case one")
            << "DOCS.ZIP" << docs << QStringList {"*.txt"} << true
            << QStringList {"DOCS.ZIP" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/a mixed-case suffix is searched too")
            << "docs.Zip" << docs << QStringList {"a.doc"} << true
            << QStringList {"docs.Zip" + kSep + "x" + kSep + "a.doc|0|"};
    QTest::newRow("zip/only the part after the last slash is matched")
            << "docs.zip" << docs << QStringList {"x*"} << true << QStringList();
    QTest::newRow("zip/a directory entry is reported when a pattern matches the empty name")
            << "dirs.zip" << QByteArrayList {"x/", "x/readme.txt"} << QStringList {""} << false
            << QStringList {"dirs.zip" + kSep + "x" + kSep + "|0|",
                            "dirs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/a directory entry is left out when no pattern matches the empty name")
            << "dirs.zip" << QByteArrayList {"x/", "x/readme.txt"} << QStringList {"readme"}
            << false << QStringList {"dirs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/an empty pattern list gives no hits")
            << "docs.zip" << docs << QStringList() << false << QStringList();
    QTest::newRow("zip/a climbing member name is only text in the hit")
            << "climb.zip" << QByteArrayList {"../escape.txt"} << QStringList {"escape"} << false
            << QStringList {"climb.zip" + kSep + ".." + kSep + "escape.txt|0|"};
    const QByteArray longName = "deep/" + QByteArray(290, 'n') + ".txt";
    QTest::newRow("zip/a member name of 300 bytes is read in full")
            << "long.zip" << QByteArrayList {longName} << QStringList {"*.txt"} << true
            << QStringList {"long.zip" + kSep + "deep" + kSep + QString(290, 'n') + ".txt|0|"};
}

void TestArchives::zipNameSearch()
{
    QFETCH(QString, archiveName);
    QFETCH(QByteArrayList, members);
    QFETCH(QStringList, patterns);
    QFETCH(bool, exact);
    QFETCH(QStringList, expected);

    TreeBuilder dir;
    ZipBuilder zip(dir.path(archiveName));
    for (const QByteArray &member : members)
        zip.add(member, "line\n");
    const QString path = zip.close();

    DiagnosticCapture diagnostics;
    QList<TFileInfo> hits;
    hits = archiveHits(path, makeMatcher(patterns, QString(), exact));
    QCOMPARE(describe(hits), expected);
    QCOMPARE(diagnostics.text(), QByteArray());
}

void TestArchives::zipContentSearch_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QString readme = "docs.zip" + kSep + "x" + kSep + "readme.txt";
    QTest::newRow("zip/a line inside a member keeps its number")
            << QStringList {"txt"} << "needle" << QStringList {readme + "|4|fourth needle line"};
    QTest::newRow("zip/a member whose name does not match is not searched")
            << QStringList {"doc"} << "needle"
            << QStringList {"docs.zip" + kSep + "x" + kSep + "a.doc|1|needle in a doc"};
    QTest::newRow("zip/a directory entry is never extracted")
            << QStringList {""} << "needle"
            << QStringList {readme + "|4|fourth needle line",
                            "docs.zip" + kSep + "x" + kSep + "a.doc|1|needle in a doc"};
    QTest::newRow("zip/an empty pattern list gives no hits")
            << QStringList() << "needle" << QStringList();
}

void TestArchives::zipContentSearch()
{
    QFETCH(QStringList, patterns);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);

    TreeBuilder dir;
    const QString path = ZipBuilder(dir.path("docs.zip"))
                                 .add("x/")
                                 .add("x/readme.txt", "one\ntwo\nthree\nfourth needle line\nfive\n")
                                 .add("x/a.doc", "needle in a doc\n")
                                 .close();
    DiagnosticCapture diagnostics;
    QList<TFileInfo> hits;
    hits = archiveHits(path, makeMatcher(patterns, text));
    QCOMPARE(describe(hits), expected);
    QCOMPARE(diagnostics.text(), QByteArray());
}

void TestArchives::zipClimbingMemberNameStaysText()
{
    TreeBuilder dir;
    const QString archive = ZipBuilder(dir.path("in/climb.zip"))
                                    .add("../escape.txt", "escaped needle\n")
                                    .add("last.txt", "the last member\n")
                                    .close();
    QList<TFileInfo> hits;
    hits = archiveHits(archive, makeMatcher({"txt"}, "needle"));

    QCOMPARE(describe(hits),
             QStringList {"climb.zip" + kSep + ".." + kSep + "escape.txt|1|escaped needle"});
    QCOMPARE(QDir(dir.path("in")).entryList(QDir::Files), QStringList {"climb.zip"});
    QVERIFY(!QFile::exists(dir.path("escape.txt")));
}

void TestArchives::fakeZipWritesOpenError_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zip/a text file named .zip")
            << "fake.zip" << QByteArray("needle, but no archive\n");
    QTest::newRow("zip/an empty file named .ZIP") << "empty.ZIP" << QByteArray();
}

void TestArchives::fakeZipWritesOpenError()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    TreeBuilder dir;
    const QString path = dir.file(name, bytes);
    DiagnosticCapture diagnostics;
    QList<TFileInfo> hits;
    hits = archiveHits(path, makeMatcher({""}, "needle"));
    QVERIFY(hits.isEmpty());
    QCOMPARE(diagnostics.text(),
             path.toLocal8Bit() + ": not a ZIP archive, or damaged at its start\n");
}

void TestArchives::largeZipMemberStreamsAndStops()
{
    constexpr qint64 kZeros = 200 * 1024 * 1024;
    TreeBuilder dir;
    const QString path = ZipBuilder(dir.path("zeros.zip")).addZeros("zeros.bin", kZeros).close();

    // Streaming alone (the text matches no line of zeros) stays in bounded memory.
    const long before = maxResidentKb();
    QList<TFileInfo> hits;
    TestSearch matcher = makeMatcher({"bin"}, "needle");
    hits = archiveHits(path, matcher);
    QVERIFY(hits.isEmpty());
    QVERIFY2(maxResidentKb() - before < 64 * 1024,
             qPrintable(QStringLiteral("grew by %1 kB").arg(maxResidentKb() - before)));

    // A stop inside the member ends the walk promptly.
    std::atomic_bool stop {false};
    matcher.content.cancelFlag = &stop;
    QElapsedTimer timer;
    std::thread walker([&] {
        timer.start();
        hits = archiveHits(path, matcher);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop = true;
    walker.join();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(hits.isEmpty());
}

void TestArchives::rarFixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("diagnostics");

    const auto in = [](const char *archive, const QString &member) {
        return QString::fromLatin1(archive) + kSep + member;
    };
    const QByteArray fixtures = QFile::encodeName(kFixtures);

    QTest::newRow("rar/rar4 name search lists members, folders and links in order")
            << "basic-rar4.rar" << QStringList {""} << QString()
            << QStringList {in("basic-rar4.rar", "test.txt|0|"),
                            in("basic-rar4.rar", "testlink|0|"),
                            in("basic-rar4.rar", "testdir/test.txt|0|"),
                            in("basic-rar4.rar", "testdir|0|"),
                            in("basic-rar4.rar", "testemptydir|0|")}
            << QByteArray();
    QTest::newRow("rar/a member name is matched after its last slash only")
            << "basic-rar4.rar" << QStringList {"testd"} << QString()
            << QStringList {in("basic-rar4.rar", "testdir|0|")} << QByteArray();
    QTest::newRow("rar/rar4 content search finds lines in stored members")
            << "basic-rar4.rar" << QStringList {"test.txt"} << "text document"
            << QStringList {in("basic-rar4.rar", "test.txt|1|test text document"),
                            in("basic-rar4.rar", "testdir/test.txt|1|test text document")}
            << QByteArray();
    QTest::newRow("rar/rar4 content search decompresses members")
            << "compressed-rar4.rar" << QStringList {"test.txt"} << "document"
            << QStringList {in("compressed-rar4.rar", "testdir/test.txt|1|test text document")}
            << QByteArray();
    QTest::newRow("rar/rar5 stored member is searched")
            << "stored-rar5.rar" << QStringList {""} << "libarchive"
            << QStringList {in("stored-rar5.rar", "helloworld.txt|1|hello libarchive test suite!")}
            << QByteArray();
    QTest::newRow("rar/rar5 name search lists every member")
            << "multiple-files-rar5.rar" << QStringList {"bin"} << QString()
            << QStringList {in("multiple-files-rar5.rar", "test1.bin|0|"),
                            in("multiple-files-rar5.rar", "test2.bin|0|"),
                            in("multiple-files-rar5.rar", "test3.bin|0|"),
                            in("multiple-files-rar5.rar", "test4.bin|0|")}
            << QByteArray();
    QTest::newRow("rar/Unicode member names come out as Unicode")
            << "unicode-names.rar" << QStringList {"テスト", "漢字"} << QString()
            << QStringList {in("unicode-names.rar",
                               "表だよ/漢字長いファイル名long-filename-in-漢字.txt|0|"),
                            in("unicode-names.rar", "abcdefghijklmnopqrsテスト.txt|0|")}
            << QByteArray();
    QTest::newRow("rar/a member with a Unicode name is searched")
            << "unicode-names.rar" << QStringList {"漢字"} << "kanji"
            << QStringList {in("unicode-names.rar",
                               "表だよ/漢字長いファイル名long-filename-in-漢字.txt|1|kanji")}
            << QByteArray();
    QTest::newRow("rar/an empty pattern list gives no hits")
            << "basic-rar4.rar" << QStringList() << QString() << QStringList() << QByteArray();
    QTest::newRow("rar/rar4 encrypted members are counted in one line, never asked for")
            << "encrypted-data-rar4.rar" << QStringList {"txt"} << "foo" << QStringList()
            << fixtures
                    + "/encrypted-data-rar4.rar: encrypted; 2 members could not be read without"
                      " a password\n";
    QTest::newRow("rar/rar4 encrypted members are still listed by name")
            << "encrypted-data-rar4.rar" << QStringList {"txt"} << QString()
            << QStringList {in("encrypted-data-rar4.rar", "foo.txt|0|"),
                            in("encrypted-data-rar4.rar", "bar.txt|0|")}
            << QByteArray();
    QTest::newRow("rar/rar5 members around the encrypted ones are searched")
            << "encrypted-rar5.rar" << QStringList {"txt"} << "This is from"
            << QStringList {in("encrypted-rar5.rar", "a.txt|1|This is from a.txt"),
                            in("encrypted-rar5.rar", "c.txt|1|This is from c.txt")}
            << fixtures
                    + "/encrypted-rar5.rar: encrypted; 2 members could not be read without a"
                      " password\n";
    QTest::newRow("rar/damaged data is reported and ends the walk")
            << "invalid.rar" << QStringList {""} << "x" << QStringList()
            << fixtures
                    + "/invalid.rar: member \"test\" is damaged; it was searched up to the "
                      "damage\n";
    QTest::newRow("rar/a damaged header after a listed member is reported")
            << "invalid.rar" << QStringList {""} << QString()
            << QStringList {in("invalid.rar", "test|0|")}
            << fixtures
                    + "/invalid.rar: damaged after member \"test\"; the members after it could"
                      " not be read\n";
    QTest::newRow("rar/a missing archive cannot be opened")
            << "absent.rar" << QStringList {""} << QString() << QStringList()
            << fixtures + "/absent.rar: cannot be opened\n";
    QTest::newRow("rar/the first volume reads the whole set")
            << "multivolume.part0001.rar" << QStringList {"test.txt", "testemptydir"} << QString()
            << QStringList {in("multivolume.part0001.rar", "ppmd_lzss_conversion_test.txt|0|"),
                            in("multivolume.part0001.rar", "testdir/test.txt|0|"),
                            in("multivolume.part0001.rar", "testemptydir|0|")}
            << "  ... volume " + fixtures
                    + "/multivolume.part0002.rar\n"
                      "  ... volume "
                    + fixtures
                    + "/multivolume.part0003.rar\n"
                      "  ... volume "
                    + fixtures + "/multivolume.part0004.rar\n";
    QTest::newRow("rar/a member of the last volume is searched from the first")
            << "multivolume.part0001.rar" << QStringList {"=test.txt"} << "document"
            << QStringList {in("multivolume.part0001.rar", "testdir/test.txt|1|test text document")}
            << "  ... volume " + fixtures
                    + "/multivolume.part0002.rar\n"
                      "  ... volume "
                    + fixtures
                    + "/multivolume.part0003.rar\n"
                      "  ... volume "
                    + fixtures + "/multivolume.part0004.rar\n";
    QTest::newRow("rar/a later volume is passed over when its first volume is beside it")
            << "multivolume.part0004.rar" << QStringList {""} << QString() << QStringList()
            << QByteArray();
}

void TestArchives::rarFixtures()
{
    QFETCH(QString, fixture);
    QFETCH(QStringList, patterns);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, diagnostics);

    DiagnosticCapture capture;
    QList<TFileInfo> hits;
    hits = archiveHits(kFixtures + QLatin1Char('/') + fixture, makeMatcher(patterns, text));
    QCOMPARE(describe(hits), expected);
    QCOMPARE(capture.text(), diagnostics);
    // Every member of the fixtures carries its time (they were made after 2000).
    for (const TFileInfo &hit : hits)
        QVERIFY2(hit.modified > 946684800, qPrintable(hit.fileName));
}

void TestArchives::fakeRarIsReported()
{
    TreeBuilder dir;
    const QString fake = dir.file("fake.rar", "Rar? not really\n");
    QList<TFileInfo> hits;
    DiagnosticCapture capture;
    hits = archiveHits(fake, makeMatcher({""}, "nowhere"));
    QCOMPARE(capture.text(), fake.toLocal8Bit() + ": not a RAR archive, or damaged at its start\n");
    QVERIFY(hits.isEmpty());
}

void TestArchives::rarVolumeWithoutItsNeighbours_data()
{
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("missing");

    QTest::newRow("rar/a first volume alone abandons the missing next volume")
            << QStringList {"multivolume.part0001.rar"} << QString()
            << QStringList {"multivolume.part0001.rar" + kSep + "ppmd_lzss_conversion_test.txt|0|"}
            << "multivolume.part0002.rar";
    QTest::newRow("rar/a later volume alone abandons the missing previous volume")
            << QStringList {"multivolume.part0003.rar", "multivolume.part0004.rar"} << "document"
            << QStringList() << "multivolume.part0002.rar";
}

void TestArchives::rarVolumeWithoutItsNeighbours()
{
    QFETCH(QStringList, copied);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QString, missing);

    TreeBuilder dir;
    for (const QString &name : copied)
        QVERIFY(QFile::copy(kFixtures + QLatin1Char('/') + name, dir.path(name)));
    DiagnosticCapture capture;
    QList<TFileInfo> hits;
    QElapsedTimer timer;
    timer.start();
    hits = archiveHits(dir.path(copied.first()), makeMatcher({""}, text));
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(describe(hits), expected);
    const QByteArray output = capture.text();
    // One line, and no prompt.
    QCOMPARE(output,
             QFile::encodeName(dir.path(copied.first()))
                     + ": member \"ppmd_lzss_conversion_test.txt\" goes on in volume "
                     + QFile::encodeName(dir.path(missing)) + ", which is missing\n");
}

void TestArchives::everyRarFixtureFinishes()
{
    const QStringList fixtures = QDir(kFixtures).entryList({"*.rar"}, QDir::Files);
    QVERIFY(fixtures.size() >= 12);
    for (const QString &text : {QString(), QStringLiteral("e")}) {
        for (const QString &fixture : fixtures) {
            DiagnosticCapture capture;
            // Hits handed on and dropped: the member that spans the volumes
            // gives millions of them before its damaged data.
            HitSink hits(1000, [](const QList<TFileInfo> &) { return true; });
            QElapsedTimer timer;
            timer.start();
            searchArchive(kFixtures + QLatin1Char('/') + fixture, hits,
                          makeMatcher({""}, text).members());
            QVERIFY2(timer.elapsed() < 30000 * kTimeScale, qPrintable(fixture));
        }
    }
}

void TestArchives::rarLayoutOfFixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("members");  // one letter a member: p plain, e encrypted, < > split
    QTest::addColumn<bool>("isVolume");
    QTest::addColumn<bool>("isFirstVolume");

    QTest::newRow("layout/rar5 marks its encrypted members") << "encrypted-rar5.rar"
                                                             << "pepe" << false << true;
    QTest::newRow("layout/rar4 marks its encrypted members") << "encrypted-data-rar4.rar"
                                                             << "ee" << false << true;
    QTest::newRow("layout/first volume ends with a member split after")
            << "multivolume.part0001.rar"
            << ">" << true << true;
    QTest::newRow("layout/middle volume continues the member both ways")
            << "multivolume.part0002.rar"
            << "x" << true << false;
    QTest::newRow("layout/last volume starts with a continued member") << "multivolume.part0004.rar"
                                                                       << "<ppppp" << true << false;
}

void TestArchives::rarLayoutOfFixtures()
{
    QFETCH(QString, fixture);
    QFETCH(QString, members);
    QFETCH(bool, isVolume);
    QFETCH(bool, isFirstVolume);

    QFile file(kFixtures + QLatin1Char('/') + fixture);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const RarVolumeLayout layout = scanRarLayout(file);
    QVERIFY(layout.recognized);
    QString letters;
    for (const RarMemberLayout &member : layout.members) {
        if (member.splitBefore && member.splitAfter)
            letters += 'x';
        else if (member.splitBefore)
            letters += '<';
        else if (member.splitAfter)
            letters += '>';
        else
            letters += member.encrypted ? 'e' : 'p';
    }
    QCOMPARE(letters, members);
    QCOMPARE(layout.isVolume, isVolume);
    QCOMPARE(layout.isFirstVolume, isFirstVolume);

    // Every cut of the file scans without running past its end.
    const QByteArray bytes = readFile(file.fileName());
    for (int size = 0; size < qMin(bytes.size(), 4096); ++size) {
        QByteArray cut = bytes.left(size);
        QBuffer buffer(&cut);
        buffer.open(QIODevice::ReadOnly);
        QVERIFY(scanRarLayout(buffer).members.size() <= layout.members.size());
    }
}

void TestArchives::volumeNames_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("newNumbering");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("first");

    QTest::newRow("volumes/new numbering keeps the digits' width")
            << QByteArray("/d/set.part0009.rar") << true << 1 << QByteArray("/d/set.part0010.rar")
            << QByteArray("/d/set.part0001.rar");
    QTest::newRow("volumes/new numbering steps back")
            << QByteArray("/d/set.part2.RAR") << true << -1 << QByteArray("/d/set.part1.RAR")
            << QByteArray("/d/set.part1.RAR");
    QTest::newRow("volumes/nothing comes before the first new-numbered volume")
            << QByteArray("/d/set.part1.rar") << true << -1 << QByteArray()
            << QByteArray("/d/set.part1.rar");
    QTest::newRow("volumes/old numbering goes from rar to r00")
            << QByteArray("/d/set.rar") << false << 1 << QByteArray("/d/set.r00")
            << QByteArray("/d/set.rar");
    QTest::newRow("volumes/old numbering goes back from r00 to rar")
            << QByteArray("/d/set.r00") << false << -1 << QByteArray("/d/set.rar")
            << QByteArray("/d/set.rar");
    QTest::newRow("volumes/a name outside both numberings has no neighbour")
            << QByteArray("/d/set.zip") << true << 1 << QByteArray() << QByteArray();
    QTest::newRow("volumes/a name that is no text keeps its bytes")
            << QByteArray("/d/s\xe9t\xff.part1.rar") << true << 1
            << QByteArray("/d/s\xe9t\xff.part2.rar") << QByteArray("/d/s\xe9t\xff.part1.rar");
}

void TestArchives::volumeNames()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, newNumbering);
    QFETCH(int, step);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, first);
    QCOMPARE(adjacentVolumeName(path, newNumbering, step), expected);
    QCOMPARE(firstVolumeName(path, newNumbering), first);
}

// The search is asked about the part of a member's name after its last "/".
void TestArchives::membersAreWantedByTheirOwnName_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("expected");
    QTest::newRow("archive name/member in a folder matches by its own name")
            << QStringList {"*.txt"} << "docs/a.TXT" << true;
    QTest::newRow("archive name/folder part does not count")
            << QStringList {"docs*"} << "docs/a.txt" << false;
    QTest::newRow("archive name/folder entry has an empty name")
            << QStringList {"*doc*"} << "doc/" << false;
    QTest::newRow("archive name/star matches the empty name of a folder entry")
            << QStringList {"*"} << "doc/" << true;
    QTest::newRow("archive name/any pattern of the list")
            << QStringList {"*.c", "read?e"} << "readme" << true;
    QTest::newRow("archive name/no patterns match nothing") << QStringList {} << "a.txt" << false;
}

void TestArchives::membersAreWantedByTheirOwnName()
{
    QFETCH(QStringList, patterns);
    QFETCH(QString, member);
    QFETCH(bool, expected);
    const ContentMatcher matcher;
    const MemberMatcher search(
            matcher, patterns.isEmpty() ? nullptr : std::make_shared<NameFilter>(patterns));
    QCOMPARE(searchWantsMember(search, member), expected);
}

void TestArchives::nothingIsWrittenAtTheOldTemporaryPaths()
{
    // "tmp" beside the program and in the working folder is a link that an
    // attacker put there, to a folder whose files must stay untouched.
    TreeBuilder dir;
    const QByteArray precious = "precious\n";
    dir.file("victim/zip.tmp", precious);
    dir.file("victim/rar.tmp", precious);
    dir.folder("work");
    dir.link("work/tmp", dir.path("victim"));
    const QString programTmp = QCoreApplication::applicationDirPath() + "/tmp";
    const bool ownLink = !QFileInfo(programTmp).exists() && !QFileInfo(programTmp).isSymLink()
            && QFile::link(dir.path("victim"), programTmp);
    const QString zip = ZipBuilder(dir.path("a/docs.zip")).add("x/readme.txt", kReadme).close();
    const QString tar
            = ArchiveBuilder::write(dir.path("a/docs.tar.gz"), {{"x/readme.txt", kReadme}});
    QVERIFY(QFile::copy(kFixtures + "/compressed-rar4.rar", dir.path("a/docs.rar")));

    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path("work")));
    QStringList found;
    for (const QString &archive : {zip, tar, dir.path("a/docs.rar")})
        found += describe(archiveHits(archive, makeMatcher({"txt"}, "e")));
    QDir::setCurrent(before);
    if (ownLink)
        QFile::remove(programTmp);

    QCOMPARE(found,
             (QStringList {"docs.zip" + kSep + "x" + kSep + "readme.txt|1|one",
                           "docs.zip" + kSep + "x" + kSep + "readme.txt|3|three",
                           "docs.zip" + kSep + "x" + kSep + "readme.txt|4|fourth needle line",
                           "docs.zip" + kSep + "x" + kSep + "readme.txt|5|five",
                           "docs.tar.gz" + kSep + "x" + kSep + "readme.txt|1|one",
                           "docs.tar.gz" + kSep + "x" + kSep + "readme.txt|3|three",
                           "docs.tar.gz" + kSep + "x" + kSep + "readme.txt|4|fourth needle line",
                           "docs.tar.gz" + kSep + "x" + kSep + "readme.txt|5|five",
                           "docs.rar" + kSep + "testdir/test.txt|1|test text document"}));
    QCOMPARE(QDir(dir.path("victim"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList {"rar.tmp", "zip.tmp"}));
    QCOMPARE(readFile(dir.path("victim/zip.tmp")), precious);
    QCOMPARE(readFile(dir.path("victim/rar.tmp")), precious);
    QCOMPARE(QDir(dir.path("work"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                | QDir::NoDotAndDotDot),
             QStringList {"tmp"});
    QCOMPARE(QDir(dir.path("a")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList {"docs.rar", "docs.tar.gz", "docs.zip"}));
}

void TestArchives::twoSearchesAtOnceKeepTheirOwnLines()
{
    // Once, two windows started from one folder shared one temporary file:
    // rows showed another member's line and hits were lost.
    TreeBuilder dir;
    constexpr int kMembers = 300;
    QStringList expected[2];
    QString archives[2];
    for (int side = 0; side < 2; ++side) {
        ArchiveBuilder::Members members;
        for (int i = 0; i < kMembers; ++i) {
            const QByteArray line
                    = "needle " + QByteArray::number(side) + "-" + QByteArray::number(i);
            members.append(qMakePair("m" + QByteArray::number(i) + ".txt", "x\n" + line + "\n"));
            expected[side] << QStringLiteral("%1%2m%3.txt|2|%4")
                                      .arg(side ? "b.tar" : "a.zip", kSep)
                                      .arg(i)
                                      .arg(QString::fromLatin1(line));
        }
        archives[side] = writeArchive(dir.path(side ? "b.tar" : "a.zip"), members);
    }
    // Each search has its own matcher, as each search thread has.
    const TestSearch matchers[2] = {makeMatcher({"txt"}, "needle"), makeMatcher({"txt"}, "needle")};
    QStringList found[2];
    std::thread other([&] { found[1] = describe(archiveHits(archives[1], matchers[1])); });
    found[0] = describe(archiveHits(archives[0], matchers[0]));
    other.join();
    QCOMPARE(found[0], expected[0]);
    QCOMPARE(found[1], expected[1]);
}

void TestArchives::pipeInPlaceOfAnArchiveCannotHang_data()
{
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QString>("junk");  // a file of junk at `searched`, else nothing
    QTest::addColumn<QString>("pipe");
    QTest::addColumn<QByteArray>("diagnostics");

    QTest::newRow("fifo/junk zip with a FIFO at the .zip retry name")
            << "a.zip"
            << "a.zip"
            << "a.zip.zip"
            << QByteArray("ROOT/a.zip: not a ZIP archive, or damaged at its start\n");
    QTest::newRow("fifo/a zip replaced by a FIFO after the listing")
            << "b.zip"
            << ""
            << "b.zip" << QByteArray("ROOT/b.zip: cannot be opened\n");
    QTest::newRow("fifo/a rar replaced by a FIFO after the listing")
            << "c.rar"
            << ""
            << "c.rar" << QByteArray("ROOT/c.rar: cannot be opened\n");
    QTest::newRow("fifo/a tar.gz replaced by a FIFO after the listing")
            << "d.tar.gz"
            << ""
            << "d.tar.gz" << QByteArray("ROOT/d.tar.gz: cannot be opened\n");
    QTest::newRow("fifo/a 7z replaced by a FIFO after the listing")
            << "e.7z"
            << ""
            << "e.7z" << QByteArray("ROOT/e.7z: cannot be opened\n");
    QTest::newRow("fifo/a FIFO as the next volume of a RAR set")
            << "multivolume.part0001.rar"
            << ""
            << "multivolume.part0002.rar" << QByteArray();
}

void TestArchives::pipeInPlaceOfAnArchiveCannotHang()
{
    QFETCH(QString, searched);
    QFETCH(QString, junk);
    QFETCH(QString, pipe);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder dir;
    if (!junk.isEmpty())
        dir.file(junk, "no archive at all\n");
    if (searched.startsWith("multivolume"))
        QVERIFY(QFile::copy(kFixtures + "/" + searched, dir.path(searched)));
    dir.fifo(pipe);
    for (const QString &text : {QString(), QStringLiteral("needle")}) {
        DiagnosticCapture capture;
        auto search = std::async(std::launch::async, [&] {
            return archiveHits(dir.path(searched), makeMatcher({""}, text));
        });
        if (search.wait_for(std::chrono::seconds(10 * kTimeScale)) != std::future_status::ready) {
            // Release the reader before failing, so that the test run ends.
            ::close(::open(QFile::encodeName(dir.path(pipe)).constData(), O_WRONLY | O_NONBLOCK));
            QFAIL("the search waits on the FIFO");
        }
        search.get();
        const QByteArray root = QFile::encodeName(dir.root());
        if (!diagnostics.isEmpty())
            QCOMPARE(capture.text(), QByteArray(diagnostics).replace("ROOT", root));
    }
}

void TestArchives::overlappingEntriesAreDiagnosedOnce()
{
    // The zip bomb of many central entries that all point at one member's data.
    constexpr int kEntries = 3000;
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data += i == 2 ? "a needle line\n" : "filler text of no interest\n";
    QList<RawZipEntry> entries {RawZipEntry {"m00000.txt", data}};
    for (int i = 1; i < kEntries; ++i) {
        RawZipEntry repeat;
        repeat.name = QStringLiteral("m%1.txt").arg(i, 5, 10, QLatin1Char('0')).toLatin1();
        repeat.sameDataAs = 0;
        entries.append(repeat);
    }
    TreeBuilder dir;
    const QString path = dir.file("bomb.zip", rawZip(entries));

    DiagnosticCapture capture;
    QElapsedTimer timer;
    timer.start();
    const QList<TFileInfo> hits = archiveHits(path, makeMatcher({"txt"}, "needle"));
    QCOMPARE(describe(hits), QStringList {"bomb.zip" + kSep + "m00000.txt|3|a needle line"});
    const QByteArray overlap = QFile::encodeName(path)
            + ": entries overlap; data already read is not expanded again\n";
    QCOMPARE(capture.text(), overlap);
    // Every entry is still there by name; a name search expands no data
    // (nor reads where it starts), so it has nothing to say.
    QCOMPARE(archiveHits(path, makeMatcher({"txt"}, QString())).size(), kEntries);
    QCOMPARE(capture.text(), overlap);
    QVERIFY2(timer.elapsed() < 10000 * kTimeScale, qPrintable(QString::number(timer.elapsed())));
}

void TestArchives::zip64SizesAreReadFromTheirField()
{
    // Sizes of 4 GiB and more stand in the ZIP64 field; the library once
    // stopped reading at the mark (the 4 GiB member is in bench/stress.sh).
    RawZipEntry entry {"big.txt", kReadme};
    entry.zip64Sizes = true;
    TreeBuilder dir;
    const QString path
            = dir.file("big.zip", rawZip({entry, RawZipEntry {"after.txt", "needle after\n"}}));
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(path, makeMatcher({"txt"}, "needle"))),
             (QStringList {"big.zip" + kSep + "big.txt|4|fourth needle line",
                           "big.zip" + kSep + "after.txt|1|needle after"}));
    QCOMPARE(capture.text(), QByteArray());
}

void TestArchives::zipMemberNames_data()
{
    QTest::addColumn<QByteArray>("rawName");
    QTest::addColumn<bool>("utf8Flag");
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QByteArray>("localName");       // null: the central name
    QTest::addColumn<QByteArrayList>("companions");  // more legacy names in the archive
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("forced");
    QTest::addColumn<QString>("expected");

    const QString chinese = QString::fromUtf8("说明文档/说明.txt");
    const QString japanese = QString::fromUtf8("テスト資料/議事録.txt");
    const QString russian = QString::fromUtf8("Документы/отчёт за год.txt");
    const QByteArrayList chineseMore {
            encoded("GBK", QString::fromUtf8("会议记录/二零二三年第一季度财务报告.doc")),
            encoded("GBK", QString::fromUtf8("项目计划书与人员安排.xls")),
            encoded("GBK", QString::fromUtf8("产品使用说明书中文版.pdf"))};
    const QByteArrayList japaneseMore {
            encoded("Shift_JIS", QString::fromUtf8("会議の議事録と資料一覧.doc")),
            encoded("Shift_JIS", QString::fromUtf8("プロジェクト計画書.xls")),
            encoded("Shift_JIS", QString::fromUtf8("製品マニュアル日本語版.pdf"))};
    const QByteArrayList russianMore {
            encoded("IBM866", QString::fromUtf8("Протоколы заседаний и решения.doc")),
            encoded("IBM866", QString::fromUtf8("План работы отдела на квартал.xls")),
            encoded("IBM866", QString::fromUtf8("Руководство пользователя.pdf"))};
    const QByteArray none;
    const QByteArrayList alone;

    QTest::newRow("names/GBK without the flag in a Chinese locale")
            << encoded("GBK", chinese) << false << none << none << alone
            << QByteArray("zh_CN.UTF-8") << none << chinese;
    QTest::newRow("names/GBK without the flag, detected where the locale names no language")
            << encoded("GBK", chinese) << false << none << none << chineseMore
            << QByteArray("C.UTF-8") << none << chinese;
    QTest::newRow("names/Chinese with the flag in a Russian locale")
            << chinese.toUtf8() << true << none << none << alone << QByteArray("ru_RU.UTF-8")
            << none << chinese;
    QTest::newRow("names/CP932 without the flag in a Japanese locale")
            << encoded("Shift_JIS", japanese) << false << none << none << alone
            << QByteArray("ja_JP.UTF-8") << none << japanese;
    QTest::newRow("names/CP932 without the flag, detected where the locale names no language")
            << encoded("Shift_JIS", japanese) << false << none << none << japaneseMore
            << QByteArray("C.UTF-8") << none << japanese;
    QTest::newRow("names/Japanese with the flag in a Chinese locale")
            << japanese.toUtf8() << true << none << none << alone << QByteArray("zh_CN.UTF-8")
            << none << japanese;
    QTest::newRow("names/CP866 without the flag in a Russian locale")
            << encoded("IBM866", russian) << false << none << none << alone
            << QByteArray("ru_RU.UTF-8") << none << russian;
    QTest::newRow("names/CP866 without the flag in a Bulgarian locale")
            << encoded("IBM866", russian) << false << none << none << alone << QByteArray("bg_BG")
            << none << russian;
    QTest::newRow("names/CP866 without the flag, detected where the locale names no language")
            << encoded("IBM866", russian) << false << none << none << russianMore
            << QByteArray("C.UTF-8") << none << russian;
    QTest::newRow("names/Russian with the flag in a Japanese locale")
            << russian.toUtf8() << true << none << none << alone << QByteArray("ja_JP.UTF-8")
            << none << russian;
    QTest::newRow("names/valid UTF-8 without the flag is UTF-8 in any locale")
            << chinese.toUtf8() << false << none << none << alone << QByteArray("ru_RU.UTF-8")
            << none << chinese;
    QTest::newRow("names/a Unicode Path field whose CRC matches gives the name")
            << encoded("GBK", chinese) << false
            << unicodePathExtra(chinese.toUtf8(), encoded("GBK", chinese)) << none << alone
            << QByteArray("de_DE.UTF-8") << none << chinese;
    QTest::newRow("names/a stale Unicode Path field is passed over")
            << encoded("GBK", chinese) << false << unicodePathExtra("renamed.txt", "old name.txt")
            << none << alone << QByteArray("zh_CN.UTF-8") << none << chinese;
    QTest::newRow("names/a forced code page wins over the locale's")
            << encoded("GBK", chinese) << false << none << none << alone
            << QByteArray("ru_RU.UTF-8") << QByteArray("GBK") << chinese;
    QTest::newRow("names/a forced code page leaves a valid UTF-8 name alone")
            << chinese.toUtf8() << false << none << none << alone << QByteArray("C.UTF-8")
            << QByteArray("IBM866") << chinese;
    QTest::newRow("names/other languages read CP437")
            << QByteArray("\x81"
                          "ber Gr\x94\xe1"
                          "e.txt")
            << false << none << none << alone << QByteArray("de_DE.UTF-8") << none
            << QString::fromUtf8("über Größe.txt");
    QTest::newRow("names/a NUL inside a name shows as a mark and cuts nothing")
            << QByteArray("a\0b.txt", 7) << false << none << none << alone << QByteArray("C.UTF-8")
            << none << QString::fromUtf8("a\u2400b.txt");
    QTest::newRow("names/a local name unlike the central one is read as bsdtar reads it")
            << chinese.toUtf8() << true << none << encoded("GBK", chinese) << alone
            << QByteArray("C.UTF-8") << none << chinese;
}

void TestArchives::zipMemberNames()
{
    QFETCH(QByteArray, rawName);
    QFETCH(bool, utf8Flag);
    QFETCH(QByteArray, extra);
    QFETCH(QByteArray, localName);
    QFETCH(QByteArrayList, companions);
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, forced);
    QFETCH(QString, expected);

    RawZipEntry entry(rawName, "needle in the member\n");
    entry.localName = localName;
    entry.utf8Flag = utf8Flag;
    entry.centralExtra = extra;
    QList<RawZipEntry> entries {entry};
    for (const QByteArray &name : companions)
        entries.append(RawZipEntry {name, "other\n"});
    TreeBuilder dir;
    const QString path = dir.file("names.zip", rawZip(entries));
    ArchiveNameRules rules;
    rules.localeName = locale;
    rules.forcedCodec = forced.isEmpty() ? nullptr : QTextCodec::codecForName(forced);

    // The name test takes the decoded name: its own base name finds it.
    const QString baseName = expected.mid(expected.lastIndexOf('/') + 1);
    const QString hitName = "names.zip" + kSep + QDir::toNativeSeparators(expected);
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(path, makeMatcher({baseName}, QString(), true), rules)),
             QStringList {hitName + "|0|"});
    QCOMPARE(describe(archiveHits(path, makeMatcher({baseName}, "needle", true), rules)),
             QStringList {hitName + "|1|needle in the member"});
    QCOMPARE(capture.text(), QByteArray());
}

namespace {

// A ZIP member of `madeOn`'s system, with the Unix mode `mode` when it has one.
RawZipEntry madeOnSystem(int madeOn, const QByteArray &name, const QByteArray &data,
                         quint32 mode = 0)
{
    RawZipEntry entry(name, data);
    entry.madeBy = (madeOn << 8) | 20;
    entry.externalAttributes = mode << 16;
    return entry;
}

// The offset of the end record: the last "PK\5\6" of the archive.
int endRecordOf(const QByteArray &zip)
{
    return zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
}

// What the name search finds in the archive at `path`, listed from its
// directory here and walked in full: whether the directory was listed, and
// each way's hits as "name|time" and the walk's diagnostics.
struct TwoListings
{
    bool listed = false;
    QStringList fromDirectory;
    QStringList fromWalk;
    QByteArray walkDiagnostics;

    // How the listing differs from the walk (other names, or the walk saw
    // damage); empty when it agrees, or listed nothing and said nothing.
    QByteArray difference() const
    {
        if (!listed)
            return fromDirectory.isEmpty()
                    ? QByteArray()
                    : "not listed, yet: " + fromDirectory.join(", ").toUtf8();
        if (fromDirectory != fromWalk)
            return fromDirectory.join(", ").toUtf8() + " | " + fromWalk.join(", ").toUtf8();
        return walkDiagnostics;
    }
};

using Listing = bool (*)(const ArchiveJob &, const MemberSearch &, HitSink &);

TwoListings listBothWays(const QString &path, const ArchiveNameRules &rules,
                         Listing list = listZipNamesByDirectory)
{
    const TestSearch search = makeMatcher({"*"}, QString(), true);
    const MemberMatcher members = search.members();
    const auto named = [](const QList<TFileInfo> &hits) {
        QStringList out;
        for (const TFileInfo &hit : hits)
            out << hit.fileName + '|' + QString::number(hit.modified);
        return out;
    };
    TwoListings both;
    const QFileInfo file(path);
    const int folder = ::open(QFile::encodeName(file.path()).constData(), O_RDONLY | O_DIRECTORY);
    HitSink sink;
    {
        DiagnosticCapture capture;
        both.listed = list(ArchiveJob {folder, QFile::encodeName(file.fileName()), file.fileName(),
                                       QFile::encodeName(path), rules, false},
                           members, sink);
        if (!capture.text().isEmpty())
            both.fromDirectory << "diagnostics: " + QString::fromUtf8(capture.text());
    }
    ::close(folder);
    both.fromDirectory += named(sink.take());
    DiagnosticCapture capture;
    both.fromWalk = named(archiveHits(path, search, rules));
    both.walkDiagnostics = capture.text();
    return both;
}

// Which byte of a mutant changed how, and how its listing differs.
QByteArray mutantReport(int at, char change, const TwoListings &mutated)
{
    return "byte " + QByteArray::number(at) + " ^ " + QByteArray::number(quint8(change)) + ": "
            + mutated.difference();
}

// The checksum field of a tar header as tar writes it: the sum of its bytes,
// the field itself counted as spaces.
QByteArray tarChecksum(const QByteArray &header)
{
    int sum = 0;
    for (int i = 0; i < 512; ++i)
        sum += i >= 148 && i < 156 ? ' ' : quint8(header.at(i));
    return QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2);
}

// One tar member as its header says it: GNU or POSIX ustar, the type
// letter, the data (a link's target for a link), and the header's
// checksum as written.
QByteArray tarMember(const QByteArray &name, char type, const QByteArray &data, bool gnu = true)
{
    QByteArray header(512, '\0');
    const auto put = [&header](int offset, const QByteArray &bytes) {
        header.replace(offset, bytes.size(), bytes);
    };
    const bool link = type == '2' || type == '1';
    put(0, name);
    put(100, "0000644");
    put(108, "0001750");
    put(116, "0001750");
    put(124, QByteArray::number(link ? 0 : data.size(), 8).rightJustified(11, '0'));
    put(136, QByteArray::number(1700000000 + name.size(), 8).rightJustified(11, '0'));
    put(148, QByteArray(8, ' '));
    header[156] = type;
    if (link)
        put(157, data);
    put(257,
        gnu ? QByteArray("ustar  \0", 8)
            : QByteArray("ustar\0"
                         "00",
                         8));
    put(265, "user");
    put(297, "user");
    int sum = 0;
    for (const char byte : header)
        sum += quint8(byte);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
    if (link)
        return header;
    QByteArray padded = data;
    padded.append(QByteArray((512 - data.size() % 512) % 512, '\0'));
    return header + padded;
}

QByteArray tarOf(const QList<QByteArray> &members)
{
    return members.join(QByteArray()) + QByteArray(1024, '\0');
}

// `data` as one gzip stream.
QByteArray gzipped(const QByteArray &data)
{
    z_stream stream {};
    deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

}  // namespace

void TestArchives::directoryListingIsTheWalksNameSearch_data()
{
    QTest::addColumn<QByteArray>("zip");
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<bool>("listed");   // the directory is read without the walk
    QTest::addColumn<bool>("mutants");  // and so is every mutant that the walk reads alike

    const QByteArray chinese = encoded("GBK", QString::fromUtf8("说明文档/会议记录.txt"));
    QList<RawZipEntry> legacy {RawZipEntry(chinese, "x\n")};
    for (const char *name : {"项目计划书与人员安排.xls", "产品使用说明书中文版.pdf"})
        legacy.append(RawZipEntry(encoded("GBK", QString::fromUtf8(name)), "y\n"));
    RawZipEntry flagged(QString::fromUtf8("说明.txt").toUtf8(), "z\n");
    flagged.utf8Flag = true;
    legacy.append(flagged);
    const QList<RawZipEntry> plain {madeOnSystem(3, "docs/", QByteArray(), 0040755),
                                    madeOnSystem(3, "docs/readme.txt", kReadme, 0100644),
                                    madeOnSystem(3, "docs/link", "readme.txt", 0120777),
                                    madeOnSystem(0, "dos\\path\\file.txt", "dos\n"),
                                    madeOnSystem(11, "ntfs\\file.txt", "ntfs\n"),
                                    deflatedEntry("deflated.txt", QByteArray(5000, 'a')),
                                    RawZipEntry("unicode-path.txt", "u\n")};
    QList<RawZipEntry> withUnicodePath = plain;
    withUnicodePath.last().centralExtra
            = unicodePathExtra(QString::fromUtf8("统一.txt").toUtf8(), "unicode-path.txt");
    const QByteArray base = rawZip(withUnicodePath);
    const int end = endRecordOf(base);
    RawZipEntry big("big.txt", "big\n");
    big.zip64Sizes = true;
    QByteArray commented = base;
    commented[end + 20] = 7;
    commented.append("comment");
    QByteArray signatureInComment = base;
    signatureInComment[end + 20] = 22;
    signatureInComment.append(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    QByteArray overcounted = base;
    overcounted[end + 8] = char(overcounted[end + 8] + 1);
    overcounted[end + 10] = char(overcounted[end + 10] + 1);
    const QByteArray none;

    QTest::newRow("listed/folders, files, links, DOS and NTFS paths, a Unicode Path field")
            << base << QByteArray("C.UTF-8") << true << true;
    QTest::newRow("listed/legacy names whose code page is picked over the archive")
            << rawZip(legacy) << QByteArray("C.UTF-8") << true << true;
    QTest::newRow("listed/legacy names in the locale's code page")
            << rawZip(legacy) << QByteArray("zh_CN.UTF-8") << true << false;
    QTest::newRow("listed/an archive with a comment") << commented << none << true << false;
    QTest::newRow("walked/an empty archive") << rawZip({}) << none << false << false;
    QTest::newRow("walked/an archive inside it")
            << rawZip({RawZipEntry("a.txt", "a\n"), RawZipEntry("inner.zip", rawZip({}))}) << none
            << false << false;
    QTest::newRow("walked/ZIP64 sizes") << rawZip({big}) << none << false << false;
    QTest::newRow("walked/bytes before the first member, as a self-extractor has")
            << QByteArray("MZ stub of a self-extracting program") + base << none << false << false;
    QTest::newRow("walked/an end record signature inside the comment")
            << signatureInComment << none << false << false;
    QTest::newRow("walked/an end record that counts more entries than there are")
            << overcounted << none << false << false;
    QTest::newRow("walked/cut short") << base.left(base.size() - 5) << none << false << false;
    QTest::newRow("walked/no ZIP at all") << QByteArray(300, 'x') << none << false << false;
}

// Where the directory is read without the walk, its hits, their times and
// their order are the walk's, and the walk has nothing to say; every byte of
// the directory and end record changed gives either that or the walk.
void TestArchives::directoryListingIsTheWalksNameSearch()
{
    QFETCH(QByteArray, zip);
    QFETCH(QByteArray, locale);
    QFETCH(bool, listed);
    QFETCH(bool, mutants);
    ArchiveNameRules rules;
    rules.localeName = locale;
    TreeBuilder dir;
    const QString path = dir.file("list.zip", zip);
    const TwoListings both = listBothWays(path, rules);
    QCOMPARE(both.listed, listed);
    QVERIFY2(both.difference().isEmpty(), both.difference().constData());
    if (!mutants)
        return;
    const int end = endRecordOf(zip);
    const int directory = end < 0 ? 0 : int(qFromLittleEndian<quint32>(zip.constData() + end + 16));
    int listedMutants = 0;
    for (int at = directory; at < zip.size(); ++at) {
        for (const char change : {char(0x01), char(0xFF)}) {
            QByteArray mutant = zip;
            mutant[at] = char(mutant[at] ^ change);
            QFile::remove(path);
            dir.file("list.zip", mutant);
            const TwoListings mutated = listBothWays(path, rules);
            QVERIFY2(mutated.difference().isEmpty(), mutantReport(at, change, mutated).constData());
            listedMutants += mutated.listed;
        }
    }
    QVERIFY(zip.size() == directory || listedMutants > 0);
}

void TestArchives::headerListingIsTheWalksNameSearch_data()
{
    QTest::addColumn<QByteArray>("tar");  // uncompressed
    QTest::addColumn<QString>("name");    // as it lies on disk
    QTest::addColumn<bool>("compress");   // the file is `tar` in one gzip stream
    QTest::addColumn<bool>("listed");     // the headers are read without the walk
    QTest::addColumn<bool>("mutants");    // and so is every mutant that the walk reads alike

    const QByteArray plain = tarOf(
            {tarMember("docs/", '5', QByteArray()), tarMember("docs/readme.txt", '0', kReadme),
             tarMember("docs/link", '2', "readme.txt"), tarMember("docs/empty", '0', QByteArray()),
             tarMember("docs/big.log", '0', QByteArray(70000, 'b'))});
    const QByteArray posix = tarOf({tarMember("notes.conf", '0', "x\n", false),
                                    tarMember("dir/", '5', QByteArray(), false)});
    const QByteArray inner = tarOf({tarMember("a.txt", '0', "a\n"),
                                    tarMember("inner.zip", '0', rawZip({RawZipEntry("b", "b")}))});
    QByteArray longName = tarMember("././@LongLink", 'L', QByteArray(120, 'n') + '\0')
            + tarMember(QByteArray(99, 'n'), '0', "l\n");
    QByteArray prefixed = tarMember("name.txt", '0', "p\n", false);
    prefixed.replace(345, 6, "folder");
    const QByteArray hardLink
            = tarOf({tarMember("a.txt", '0', "a\n"), tarMember("b.txt", '1', "a.txt")});
    const QByteArray twoStreams = gzipped(plain.left(2048)) + gzipped(plain.mid(2048));
    const QByteArray unicode = tarOf({tarMember(QString::fromUtf8("说明.txt").toUtf8(), '0', "u")});

    QTest::newRow("listed/GNU headers of folders, files, a link, empty and long data, gzip")
            << plain << "list.tar.gz" << true << true << false;
    QTest::newRow("listed/GNU headers, every byte of them changed")
            << tarOf({tarMember("docs/", '5', QByteArray()), tarMember("docs/a.txt", '0', "a\n"),
                      tarMember("docs/link", '2', "a.txt")})
            << "list.tar.gz" << true << true << true;
    QTest::newRow("listed/POSIX ustar headers, uncompressed")
            << posix << "list.tar" << false << true << true;
    QTest::newRow("listed/a .tgz") << posix << "list.tgz" << true << true << false;
    QTest::newRow("walked/an archive inside it")
            << inner << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/a GNU long name")
            << tarOf({longName}) << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/a POSIX prefix")
            << tarOf({prefixed}) << "list.tar" << false << false << false;
    QTest::newRow("walked/a hard link") << hardLink << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/a name not in ASCII")
            << unicode << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/no member") << tarOf({}) << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/cut short") << plain.left(3000) << "list.tar" << false << false << false;
    QTest::newRow("walked/cut short, gzip")
            << plain.left(3000) << "list.tar.gz" << true << false << false;
    QTest::newRow("walked/two gzip streams")
            << twoStreams << "list.tar.gz#raw" << false << false << false;
    QTest::newRow("walked/no tar at all")
            << QByteArray(3000, 'x') << "list.tar" << false << false << false;
}

// Where the headers are read without the walk, the hits, their times and
// their order are the walk's, and the walk has nothing to say; every byte of
// every header changed gives either that or the walk.
void TestArchives::headerListingIsTheWalksNameSearch()
{
    QFETCH(QByteArray, tar);
    QFETCH(QString, name);
    QFETCH(bool, compress);
    QFETCH(bool, listed);
    QFETCH(bool, mutants);
    TreeBuilder dir;
    const bool raw = name.endsWith(QLatin1String("#raw"));
    name.remove(QLatin1String("#raw"));
    const auto write = [&](const QByteArray &bytes) {
        QFile::remove(dir.path(name));
        return dir.file(name, compress ? gzipped(bytes) : bytes);
    };
    const QString path = raw ? dir.file(name, tar) : write(tar);
    const ArchiveNameRules rules;
    const TwoListings both = listBothWays(path, rules, listTarNamesByHeaders);
    QCOMPARE(both.listed, listed);
    QVERIFY2(both.difference().isEmpty(), both.difference().constData());
    if (!mutants)
        return;
    // Each header: the first block, and the one after each member's data.
    QList<int> headers;
    for (int at = 0; at + 512 <= tar.size() && tar.mid(at, 512) != QByteArray(512, '\0');) {
        headers << at;
        const qint64 size = tar.mid(at + 124, 11).toLongLong(nullptr, 8);
        at += 512 + int((size + 511) / 512 * 512);
    }
    int listedMutants = 0;
    for (const int header : headers) {
        for (int at = header; at < header + 512; ++at) {
            for (const char change : {char(0x01), char(0xFF)}) {
                QByteArray mutant = tar;
                mutant[at] = char(mutant[at] ^ change);
                // The checksum made to agree, unless it is what changed.
                if (at < header + 148 || at >= header + 156)
                    mutant.replace(header + 148, 8, tarChecksum(mutant.mid(header, 512)));
                write(mutant);
                const TwoListings mutated = listBothWays(path, rules, listTarNamesByHeaders);
                QVERIFY2(mutated.difference().isEmpty(),
                         mutantReport(at, change, mutated).constData());
                listedMutants += mutated.listed;
            }
        }
    }
    QVERIFY(listedMutants > 0);
}

void TestArchives::legacyNamesReadByTheirMakersFamily_data()
{
    QTest::addColumn<QString>("archive");  // names.zip made on DOS or Unix, or names.cpio
    QTest::addColumn<int>("madeOn");       // a ZIP's maker: 0 DOS, 3 Unix
    QTest::addColumn<QByteArrayList>("rawNames");
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("forced");
    QTest::addColumn<QStringList>("expected");

    const QStringList russian {QString::fromUtf8("Отчёт о работе.txt"),
                               QString::fromUtf8("Протокол собрания.txt")};
    const QStringList japanese {QString::fromUtf8("議事録の資料.txt"),
                                QString::fromUtf8("プロジェクト計画.txt")};
    const auto in = [](const char *codec, const QStringList &names) {
        QByteArrayList raw;
        for (const QString &name : names)
            raw << encoded(codec, name);
        return raw;
    };
    const QByteArray none;
    QTest::newRow("family/a DOS maker's CP437 reads as CP437, never a Windows page")
            << "names.zip" << 0
            << QByteArrayList {"Gr\x94\xe1"
                               "e.txt"}
            << QByteArray("C.UTF-8") << none << QStringList {QString::fromUtf8("Größe.txt")};
    QTest::newRow("family/a DOS maker's lone CP437 letter reads as CP437")
            << "names.zip" << 0 << QByteArrayList {"File 2 - \x94.txt"} << QByteArray("C.UTF-8")
            << none << QStringList {QString::fromUtf8("File 2 - ö.txt")};
    QTest::newRow("family/a Unix maker's KOI8-R is detected among Unix charsets")
            << "names.zip" << 3 << in("KOI8-R", russian) << QByteArray("C.UTF-8") << none
            << russian;
    QTest::newRow("family/a Unix maker's KOI8-R stays KOI8-R in a Russian UTF-8 locale")
            << "names.zip" << 3 << in("KOI8-R", russian) << QByteArray("ru_RU.UTF-8") << none
            << russian;
    QTest::newRow("family/a DOS maker's names in a Russian locale are CP866")
            << "names.zip" << 0 << in("IBM866", russian) << QByteArray("ru_RU.UTF-8") << none
            << russian;
    QTest::newRow("family/a Unix locale's own charset reads Unix names")
            << "names.cpio" << 0 << in("KOI8-R", russian) << QByteArray("ru_RU.KOI8-R") << none
            << russian;
    QTest::newRow("family/EUC-JP cpio names in a Japanese locale are EUC-JP, not CP932")
            << "names.cpio" << 0 << in("EUC-JP", japanese) << QByteArray("ja_JP.UTF-8") << none
            << japanese;
    QTest::newRow("family/Latin-1 cpio names are detected among Unix charsets")
            << "names.cpio" << 0 << in("ISO-8859-1", {QString::fromUtf8("Größe.txt")})
            << QByteArray("C.UTF-8") << none << QStringList {QString::fromUtf8("Größe.txt")};
    QTest::newRow("family/a forced code page leaves a UTF-8 cpio name alone")
            << "names.cpio" << 0 << QByteArrayList {japanese.first().toUtf8()}
            << QByteArray("C.UTF-8") << QByteArray("IBM866") << QStringList {japanese.first()};
    QTest::newRow("family/a forced code page reads a Unix maker's legacy name")
            << "names.cpio" << 0 << in("KOI8-R", russian) << QByteArray("ja_JP.UTF-8")
            << QByteArray("KOI8-R") << russian;
    // A pax name is UTF-8 or the bytes of a file's name: kept as the walk
    // keeps such a name, whatever the locale or a forced code page.
    const QByteArray rawByte = "dir/caf\xe9.txt";
    QTest::newRow("family/a pax name marked as bytes (hdrcharset=BINARY) keeps them")
            << "names.tar" << 0 << QByteArrayList {rawByte} << QByteArray("C.UTF-8") << none
            << QStringList {decodePath(rawByte)};
    QTest::newRow("family/a pax name that is not UTF-8, unmarked, keeps its bytes")
            << "unmarked.tar" << 0 << QByteArrayList {rawByte} << QByteArray("ru_RU.KOI8-R")
            << QByteArray("IBM866") << QStringList {decodePath(rawByte)};
}

// Names that do not say their encoding are read in a code page of their
// maker's family: OEM pages for DOS and Windows, locale charsets for Unix.
void TestArchives::legacyNamesReadByTheirMakersFamily()
{
    QFETCH(QString, archive);
    QFETCH(int, madeOn);
    QFETCH(QByteArrayList, rawNames);
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, forced);
    QFETCH(QStringList, expected);

    TreeBuilder dir;
    QString path;
    if (archive.endsWith(".zip")) {
        QList<RawZipEntry> entries;
        for (const QByteArray &name : rawNames) {
            RawZipEntry entry(name, "needle\n");
            entry.madeBy = (madeOn << 8) | 20;
            entries << entry;
        }
        path = dir.file(archive, rawZip(entries));
    } else {
        ArchiveBuilder::Members members;
        for (const QByteArray &name : rawNames)
            members.append({name, "needle\n"});
        path = ArchiveBuilder::write(dir.path(archive), members);
        if (archive == "unmarked.tar") {
            // The same pax record length, so that nothing else moves.
            QByteArray bytes = readFile(path);
            QVERIFY(bytes.contains("hdrcharset=BINARY"));
            dir.file(archive, bytes.replace("hdrcharset=BINARY", "comment=not-utf-8"));
        }
    }
    ArchiveNameRules rules;
    rules.localeName = locale;
    rules.forcedCodec = forced.isEmpty() ? nullptr : QTextCodec::codecForName(forced);
    QStringList hits;
    for (const QString &name : expected)
        hits << archive + kSep + name + "|0|";
    const QList<TFileInfo> named = archiveHits(path, makeMatcher({""}, QString()), rules);
    QCOMPARE(describe(named), hits);
    // Open and copy act on the name's exact bytes.
    if (archive.endsWith(".tar"))
        QCOMPARE(encodePath(named.first().fileName), archive.toUtf8() + '/' + rawNames.first());
}

void TestArchives::codePageOfLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("codePage");  // empty: none, the names decide

    QTest::newRow("locale/zh_CN reads GBK") << QByteArray("zh_CN.UTF-8") << QByteArray("GBK");
    QTest::newRow("locale/zh_SG reads GBK") << QByteArray("zh_SG") << QByteArray("GBK");
    QTest::newRow("locale/zh_TW reads Big5") << QByteArray("zh_TW.UTF-8") << QByteArray("Big5");
    QTest::newRow("locale/zh_HK reads Big5")
            << QByteArray("zh_HK.UTF-8@stroke") << QByteArray("Big5");
    QTest::newRow("locale/ja reads CP932")
            << QByteArray("ja_JP.UTF-8") << QByteArray("windows-31j");
    QTest::newRow("locale/ko reads CP949")
            << QByteArray("ko_KR.UTF-8") << QByteArray("windows-949");
    QTest::newRow("locale/ru reads CP866") << QByteArray("ru_RU.UTF-8") << QByteArray("IBM866");
    QTest::newRow("locale/uk reads CP866") << QByteArray("uk_UA") << QByteArray("IBM866");
    QTest::newRow("locale/be reads CP866") << QByteArray("be_BY.UTF-8") << QByteArray("IBM866");
    QTest::newRow("locale/de reads CP437") << QByteArray("de_DE.UTF-8") << QByteArray("IBM437");
    QTest::newRow("locale/en reads CP437") << QByteArray("en_US") << QByteArray("IBM437");
    QTest::newRow("locale/C.UTF-8 names no language") << QByteArray("C.UTF-8") << QByteArray();
    QTest::newRow("locale/POSIX names no language") << QByteArray("POSIX") << QByteArray();
    QTest::newRow("locale/an empty locale names no language") << QByteArray() << QByteArray();
}

void TestArchives::codePageOfLocale()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, codePage);
    QTextCodec *codec = codePageForLocale(locale);
    if (codePage.isEmpty()) {
        QVERIFY(!codec);
        return;
    }
    QVERIFY(codec);
    QCOMPARE(codec->name(), QTextCodec::codecForName(codePage)->name());
}

void TestArchives::everyFormatByNameAndContent_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QByteArray>("memberPath");
    QTest::addColumn<qint64>("extendedTime");  // of a ZIP's members; 0 for none
    // The hits' time; -1: about when written, -2: the archive file's own.
    QTest::addColumn<qint64>("memberTime");

    for (const char *name :
         {"docs.tar",    "docs.tar.gz",   "docs.tgz",  "docs.tar.bz2", "docs.tbz2",
          "docs.tbz",    "docs.tar.xz",   "docs.txz",  "docs.tar.zst", "docs.tzst",
          "DOCS.TAR.GZ", "docs.tar.Z",    "docs.taz",  "docs.tar.lz4", "docs.tar.lz",
          "docs.tlz",    "docs.tar.lzma", "docs.cpio", "docs.7z",      "docs.iso",
          "docs.cab",    "docs.jar",      "docs.war",  "docs.ear",     "docs.apk",
          "docs.zipx",   "docs.whl",      "docs.xpi",  "docs.xar",     "docs.pkg",
          "docs.warc",   "docs.tar.lzo",  "docs.tzo"})
        QTest::newRow(qPrintable(QStringLiteral("formats/%1").arg(name)))
                << name << QByteArray("x/readme.txt") << qint64(0) << ArchiveBuilder::kMemberTime;
    QTest::newRow("formats/a zip's extended timestamp comes before its DOS time")
            << "docs.zip" << QByteArray("x/readme.txt") << qint64(1234567890) << qint64(1234567890);
    // An ar archive keeps its members' times; of the single compressed files
    // gzip and lzop keep one, when the file was compressed; the others show
    // the compressed file's.
    const auto topMemberTime = [](const QByteArray &name) {
        if (name.endsWith(".ar") || name.endsWith(".a"))
            return ArchiveBuilder::kMemberTime;
        return name.endsWith(".gz") || name.endsWith(".lzo") ? qint64(-1) : qint64(-2);
    };
    for (const char *name :
         {"readme.txt.gz", "readme.txt.bz2", "readme.txt.xz", "readme.txt.zst", "readme.txt.Z",
          "readme.txt.lz4", "readme.txt.lz", "readme.txt.lzma", "readme.txt.lzo",
          // ar holds no folders
          "docs.ar", "libdocs.a"})
        QTest::newRow(
                qPrintable(QStringLiteral("formats/%1 holding its member at the top").arg(name)))
                << name << QByteArray("readme.txt") << qint64(0) << topMemberTime(name);
}

void TestArchives::everyFormatByNameAndContent()
{
    QFETCH(QString, archiveName);
    QFETCH(QByteArray, memberPath);
    QFETCH(qint64, extendedTime);
    QFETCH(qint64, memberTime);

    TreeBuilder dir;
    ArchiveBuilder::Members members {{memberPath, kReadme}};
    if (memberPath.contains('/'))
        members.append(qMakePair(QByteArray("x/a.doc"), QByteArray("needle in a doc\n")));
    const QString path = extendedTime != 0 ? writeZip(dir.path(archiveName), members, extendedTime)
                                           : writeArchive(dir.path(archiveName), members);
    const QString hitName
            = archiveName + kSep + QDir::toNativeSeparators(QString::fromLatin1(memberPath));

    DiagnosticCapture capture;
    const QList<TFileInfo> named = archiveHits(path, makeMatcher({"*.txt"}, QString(), true));
    QCOMPARE(describe(named), QStringList {hitName + "|0|"});
    const QList<TFileInfo> found = archiveHits(path, makeMatcher({"txt"}, "needle"));
    QCOMPARE(describe(found), QStringList {hitName + "|4|fourth needle line"});
    QCOMPARE(capture.text(), QByteArray());
    const qint64 fileTime = QFileInfo(path).lastModified().toSecsSinceEpoch();
    if (memberTime == -1) {
        memberTime = named.first().modified;
        QVERIFY(qAbs(memberTime - fileTime) < 600);
    } else if (memberTime == -2) {
        memberTime = fileTime;
    }
    QCOMPARE(named.first().modified, memberTime);
    QCOMPARE(found.first().modified, memberTime);
}

void TestArchives::archivesInsideArchives_data()
{
    QTest::addColumn<QStringList>("levels");  // outermost first; the last holds readme.txt
    QTest::addColumn<bool>("found");

    QTest::newRow("nesting/a zip in a tar.gz") << QStringList {"outer.tar.gz", "inner.zip"} << true;
    QTest::newRow("nesting/a gz in a tar") << QStringList {"outer.tar", "notes.gz"} << true;
    QTest::newRow("nesting/a Debian package's data.tar.xz")
            << QStringList {"tool.deb", "data.tar.xz"} << true;
    QTest::newRow("nesting/three levels: a tar in a 7z in a zip")
            << QStringList {"outer.zip", "middle.7z", "inner.tar"} << true;
    QTest::newRow("nesting/three levels: a rar-free chain of zips")
            << QStringList {"l1.zip", "l2.zip", "l3.zip"} << true;
    QTest::newRow("nesting/a fourth level is only named")
            << QStringList {"l1.zip", "l2.zip", "l3.zip", "l4.zip"} << false;
}

void TestArchives::archivesInsideArchives()
{
    QFETCH(QStringList, levels);
    QFETCH(bool, found);

    TreeBuilder dir;
    QByteArray memberName = "readme.txt";
    QByteArray bytes = kReadme;
    for (int i = levels.size() - 1; i >= 0; --i) {
        const QString path = writeArchive(dir.path(QString::number(i) + "/" + levels.at(i)),
                                          {{memberName, bytes}});
        memberName = levels.at(i).toUtf8();
        bytes = readFile(path);
    }
    // A compressed file's one member is named after it.
    QString hitName = levels.join(kSep) + kSep + "readme.txt";
    if (levels.last().endsWith(".gz"))
        hitName = levels.join(kSep) + kSep + "notes";
    const QString outer = dir.path("0/" + levels.first());

    DiagnosticCapture capture;
    const QStringList expectedContent
            = found ? QStringList {hitName + "|4|fourth needle line"} : QStringList();
    QCOMPARE(describe(archiveHits(outer, makeMatcher({""}, "needle"))), expectedContent);
    QStringList names;
    for (int i = 1; i < levels.size(); ++i)
        names << levels.mid(0, i + 1).join(kSep) + "|0|";
    // A name search names a compressed file, not its one member again.
    if (found && !levels.last().endsWith(".gz"))
        names << hitName + "|0|";
    QCOMPARE(describe(archiveHits(outer, makeMatcher({""}, QString()))), names);
    // Each search names the level it does not look into, once.
    const QByteArray tooDeep = QFile::encodeName(dir.root()) + "/0/" + levels.join('/').toUtf8()
            + ": not looked into: more than 3 archives deep\n";
    QCOMPARE(capture.text(), found ? QByteArray() : tooDeep + tooDeep);
}

void TestArchives::rarInsideAZip()
{
    TreeBuilder dir;
    const QString path = ZipBuilder(dir.path("outer.zip"))
                                 .add("inner.rar", readFile(kFixtures + "/compressed-rar4.rar"))
                                 .close();
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(path, makeMatcher({"=test.txt"}, "document"))),
             QStringList {"outer.zip" + kSep + "inner.rar" + kSep
                          + "testdir/test.txt|1|test text document"});
    QCOMPARE(capture.text(), QByteArray());
}

void TestArchives::encrypted7zIsReportedWithoutReadingInput_data()
{
    QTest::addColumn<bool>("headers");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("7z/encrypted data: names listed, content reported")
            << false << QStringList {"secret.7z" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("7z/encrypted names: nothing listed, reported") << true << QStringList();
}

void TestArchives::encrypted7zIsReportedWithoutReadingInput()
{
    QFETCH(bool, headers);
    QFETCH(QStringList, names);

    TreeBuilder dir;
    const QString path = ArchiveBuilder::writeEncrypted(
            dir.path("secret.7z"), {{"x/readme.txt", kReadme}}, "secret", headers);
    // Standard input holds an answer that nothing may read.
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    QCOMPARE(::write(fds[1], "Q\n", 2), 2);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(fds[0], STDIN_FILENO);

    DiagnosticCapture nameCapture;
    const QStringList nameHits = describe(archiveHits(path, makeMatcher({"txt"}, QString())));
    const QByteArray nameDiagnostics = nameCapture.text();
    DiagnosticCapture contentCapture;
    const QStringList contentHits = describe(archiveHits(path, makeMatcher({"txt"}, "needle")));
    const QByteArray contentDiagnostics = contentCapture.text();

    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char left[4];
    QCOMPARE(::read(fds[0], left, sizeof left), ssize_t(2));
    ::close(fds[0]);
    ::close(fds[1]);

    const QByteArray archive = QFile::encodeName(path);
    const QByteArray hidden
            = archive + ": encrypted, names included; nothing could be read without a password\n";
    QCOMPARE(nameHits, names);
    QCOMPARE(nameDiagnostics, headers ? hidden : QByteArray());
    QCOMPARE(contentHits, QStringList());
    QCOMPARE(contentDiagnostics,
             headers ? hidden
                     : archive + ": encrypted; 1 member could not be read without a password\n");
}

void TestArchives::damagedArchivesKeepWhatCameBefore_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("damageAt");  // the byte from which junk replaces the archive's end
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("diagnostics");

    QTest::newRow("damaged/a tar with a damaged second header")
            << "broken.tar" << 1024 << QStringList {"broken.tar" + kSep + "a.txt|1|needle a"}
            << QByteArray("ROOT/broken.tar: damaged after member \"a.txt\"; the members after it"
                          " could not be read\n");
    QTest::newRow("damaged/a 7z that is junk from its start")
            << "junk.7z" << 0 << QStringList()
            << QByteArray("ROOT/junk.7z: not a 7z archive, or damaged at its start\n");
    QTest::newRow("damaged/a gz that is no gzip")
            << "plain.txt.gz" << 0 << QStringList()
            << QByteArray("ROOT/plain.txt.gz: not a compressed archive, or damaged at its start\n");
}

void TestArchives::damagedArchivesKeepWhatCameBefore()
{
    QFETCH(QString, name);
    QFETCH(int, damageAt);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder dir;
    const QString path = dir.path(name);
    QByteArray bytes;
    if (name.endsWith(".gz")) {
        bytes = "needle in plain text\n";
    } else {
        bytes = readFile(writeArchive(path, {{"a.txt", "needle a\n"}, {"b.txt", "needle b\n"}}));
        bytes = bytes.left(damageAt) + QByteArray(bytes.size() - damageAt, '\x5a');
    }
    dir.file(name, bytes);
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(path, makeMatcher({"txt"}, "needle"))), expected);
    QCOMPARE(capture.text(), diagnostics.replace("ROOT", QFile::encodeName(dir.root())));
}

void TestArchives::archiveNamesAreTheOneRule_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("member");  // a compressed file's one member

    const auto row = [](const char *name, ArchiveFormat format, const char *member = "") {
        QTest::newRow(qPrintable(QStringLiteral("rule/%1").arg(name)))
                << QByteArray(name) << int(format) << QByteArray(member);
    };
    row("a.zip", ArchiveFormat::Zip);
    row("A.JaR", ArchiveFormat::Zip);
    row("app.apk", ArchiveFormat::Zip);
    row("x.war", ArchiveFormat::Zip);
    row("x.ear", ArchiveFormat::Zip);
    row("Report.RAR", ArchiveFormat::Rar);
    row("s.7Z", ArchiveFormat::SevenZip);
    row("t.tar.gz", ArchiveFormat::Tar);
    row("t.TAR.BZ2", ArchiveFormat::Tar);
    row("t.tar.xz", ArchiveFormat::Tar);
    row("t.tar.zst", ArchiveFormat::Tar);
    row("t.tgz", ArchiveFormat::Tar);
    row("t.tzst", ArchiveFormat::Tar);
    row("c.cpio", ArchiveFormat::Cpio);
    row("disc.iso", ArchiveFormat::Iso);
    row("setup.cab", ArchiveFormat::Cab);
    row("notes.txt.gz", ArchiveFormat::Compressed, "notes.txt");
    row("notes.BZ2", ArchiveFormat::Compressed, "notes");
    row("log.xz", ArchiveFormat::Compressed, "log");
    row("data.zst", ArchiveFormat::Compressed, "data");
    row("zip", ArchiveFormat::None);
    row("a.zipx", ArchiveFormat::Zip);
    row("tool_1.0_amd64.deb", ArchiveFormat::Ar);
    row("libm.a", ArchiveFormat::Ar);
    row("x.rpm", ArchiveFormat::Rpm);
    row("t.tbz", ArchiveFormat::Tar);
    row("t.tar.Z", ArchiveFormat::Tar);
    row("t.tar.lz4", ArchiveFormat::Tar);
    row("notes.Z", ArchiveFormat::Compressed, "notes");
    row("notes.lz", ArchiveFormat::Compressed, "notes");
    row("t.tzo", ArchiveFormat::Tar);
    row("notes.lzo", ArchiveFormat::Compressed, "notes");
    row("Setup.EXE", ArchiveFormat::SelfExtracting);
    row("docs.zip.001", ArchiveFormat::Split);
    row("docs.7Z.001", ArchiveFormat::Split);
    row("docs.zip.002", ArchiveFormat::None);
    row("docs.001", ArchiveFormat::None);
    row("a.tlzx", ArchiveFormat::None);
    row("a.gzip", ArchiveFormat::None);
    row("readme.txt", ArchiveFormat::None);
}

void TestArchives::archiveNamesAreTheOneRule()
{
    QFETCH(QByteArray, name);
    QFETCH(int, format);
    QFETCH(QByteArray, member);
    QCOMPARE(int(archiveFormatOf(name)), format);
    QCOMPARE(isArchiveName(name), format != int(ArchiveFormat::None));
    if (!member.isEmpty())
        QCOMPARE(compressedMemberName(name), member);
}

namespace {

// The RAR 4 archive `rar` with the data CRC of its member `name` changed
// and the header's own CRC made right again, so that only the data fails.
QByteArray withWrongRarDataCrc(QByteArray rar, const QByteArray &name)
{
    const auto le = [&rar](int at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | quint8(rar.at(at + i));
        return value;
    };
    for (int at = 7; at + 7 <= rar.size();) {
        const quint32 flags = le(at + 3, 2);
        const quint32 headerSize = le(at + 5, 2);
        const bool fileHeader = quint8(rar.at(at + 2)) == 0x74;
        if (fileHeader && rar.mid(at + 32, int(le(at + 26, 2))) == name) {
            rar[at + 16] = char(rar.at(at + 16) ^ 0x55);
            const quint32 crc
                    = quint32(crc32(0, reinterpret_cast<const Bytef *>(rar.constData()) + at + 2,
                                    uInt(headerSize - 2)));
            rar[at] = char(crc & 0xff);
            rar[at + 1] = char((crc >> 8) & 0xff);
            return rar;
        }
        at += int(headerSize) + int((flags & 0x8000) ? le(at + 7, 4) : 0);
    }
    qFatal("no member %s", name.constData());
}

}  // namespace

void TestArchives::archivesAsTheirMakersWroteThem_data()
{
    QTest::addColumn<QVariantMap>("files");  // written into the folder; the first is searched
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("diagnostics");  // ROOT: the folder

    const QByteArray twoMembers
            = rawZip({RawZipEntry("a.txt", "needle a\n"), RawZipEntry("docs/b.txt", "needle b\n")});
    const auto madeOn
            = [](int system, const QByteArray &name, const QByteArray &data, quint32 mode = 0) {
                  RawZipEntry entry(name, data);
                  entry.madeBy = (system << 8) | 20;
                  entry.externalAttributes = mode << 16;
                  return entry;
              };
    RawZipEntry badCrc("a.txt", "one\nneedle a\n");
    badCrc.wrongCrc = true;

    QTest::newRow("a damaged foo.zip is reported, not replaced by foo.zip.zip")
            << QVariantMap {{"foo.zip", QByteArray("not a zip\n")}, {"foo.zip.zip", twoMembers}}
            << "foo.zip" << QStringList {""} << "needle" << QStringList()
            << QByteArray("ROOT/foo.zip: not a ZIP archive, or damaged at its start\n");
    QTest::newRow("a ZIP without its central directory is read from its local headers")
            << QVariantMap {{"cut.zip", twoMembers.left(twoMembers.indexOf("PK\x01\x02"))}}
            << "cut.zip" << QStringList {"txt"} << "needle"
            << QStringList {"cut.zip" + kSep + "a.txt|1|needle a",
                            "cut.zip" + kSep + "docs" + kSep + "b.txt|1|needle b"}
            << QByteArray("ROOT/cut.zip: damaged ZIP archive (its table of contents is missing);"
                          " read up to member \"docs/b.txt\"\n");
    QTest::newRow("a ZIP member with a wrong CRC keeps its hits and is reported")
            << QVariantMap {{"crc.zip", rawZip({badCrc, RawZipEntry("b.txt", "needle b\n")})}}
            << "crc.zip" << QStringList {"txt"} << "needle"
            << QStringList {"crc.zip" + kSep + "a.txt|2|needle a",
                            "crc.zip" + kSep + "b.txt|1|needle b"}
            << QByteArray("ROOT/crc.zip: member \"a.txt\" does not match its checksum; its data"
                          " is damaged\n");
    QTest::newRow("a ZIP symlink made on Unix is named, its target never read as text")
            << QVariantMap {{"tree.zip",
                             rawZip({madeOn(3, "link-to-note", "docs/note1.txt", 0120777),
                                     madeOn(3, "docs/note1.txt", "a note\n", 0100644)})}}
            << "tree.zip" << QStringList {""} << "note"
            << QStringList {"tree.zip" + kSep + "docs" + kSep + "note1.txt|1|a note"}
            << QByteArray();
    QTest::newRow("backslashes separate folders in names written on DOS and Windows")
            << QVariantMap {{"dos.zip",
                             rawZip({madeOn(0, "arc\\test.txt", "x\n"),
                                     madeOn(11, "d\\e\\", QByteArray())})}}
            << "dos.zip" << QStringList {""} << QString()
            << QStringList {"dos.zip" + kSep + "arc" + kSep + "test.txt|0|",
                            "dos.zip" + kSep + "d" + kSep + "e" + kSep + "|0|"}
            << QByteArray();
    QTest::newRow("a backslash in a name written on Unix is a character")
            << QVariantMap {{"unix.zip", rawZip({madeOn(3, "arc\\test.txt", "x\n", 0100644)})}}
            << "unix.zip" << QStringList {"test"} << QString()
            << QStringList {"unix.zip" + kSep + "arc\\test.txt|0|"} << QByteArray();
    const QTemporaryDir made;
    const QByteArray encrypted = readFile(ArchiveBuilder::writeEncrypted(
            made.filePath("secret.zip"), {{"a.txt", kReadme}, {"b.txt", kReadme}}, "pw", false));
    QTest::newRow("an encrypted ZIP is one line with the count of members not read")
            << QVariantMap {{"secret.zip", encrypted}} << "secret.zip" << QStringList {"a.txt"}
            << "needle" << QStringList()
            << QByteArray("ROOT/secret.zip: encrypted; 1 member could not be read without a"
                          " password\n");
    QTest::newRow("an encrypted ZIP in a name search names its members and says nothing")
            << QVariantMap {{"secret.zip", encrypted}} << "secret.zip" << QStringList {"txt"}
            << QString()
            << QStringList {"secret.zip" + kSep + "a.txt|0|", "secret.zip" + kSep + "b.txt|0|"}
            << QByteArray();
    const QByteArray emptyGzip
            = readFile(ArchiveBuilder::write(made.filePath("empty.gz"), {{"empty", ""}}));
    QTest::newRow("an empty compressed file is an empty member")
            << QVariantMap {{"empty.gz", emptyGzip}} << "empty.gz" << QStringList {""} << "x"
            << QStringList() << QByteArray();
    const QByteArray lha = readFile(QStringLiteral(VELTO_FIXTURES_DIR "/lha/filename-utf16.lzh"));
    QTest::newRow("an LHA archive is read by name and content")
            << QVariantMap {{"names.lzh", lha}} << "names.lzh" << QStringList {"txt"}
            << QString::fromUtf8("äöü")
            << QStringList {"names.lzh" + kSep + QString::fromUtf8("ÜÖÄüöä/äöüÄÖÜ.txt|1|äöüÄÖÜ")}
            << QByteArray();
    QTest::newRow("a RAR member that fails its CRC keeps the text decoded before the damage")
            << QVariantMap {{"crc.rar",
                             withWrongRarDataCrc(readFile(kFixtures + "/compressed-rar4.rar"),
                                                 "testdir\\test.txt")}}
            << "crc.rar" << QStringList {"=test.txt"} << "document"
            << QStringList {"crc.rar" + kSep + "testdir/test.txt|1|test text document"}
            << QByteArray("ROOT/crc.rar: member \"testdir/test.txt\" is damaged; it was searched up"
                          " to the damage\n");
}

void TestArchives::archivesAsTheirMakersWroteThem()
{
    QFETCH(QVariantMap, files);
    QFETCH(QString, archive);
    QFETCH(QStringList, patterns);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder dir;
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        dir.file(file.key(), file.value().toByteArray());
    DiagnosticCapture capture;
    HitSink sink;
    const bool readInFull
            = searchArchive(dir.path(archive), sink, makeMatcher(patterns, text).members());
    QCOMPARE(describe(sink.take()), expected);
    QCOMPARE(capture.text(), diagnostics.replace("ROOT", QFile::encodeName(dir.root())));
    QCOMPARE(readInFull, diagnostics.isEmpty());
}

QTEST_GUILESS_MAIN(TestArchives)
#include "test_archives.moc"

namespace {

// Lines of text, "needle" on the first only; compresses well.
QByteArray textLines(int size)
{
    QByteArray text = "needle first\n";
    for (int line = 2; text.size() < size; ++line)
        text += "line " + QByteArray::number(line) + " of the text\n";
    return text.left(size);
}

// Random letters in lines: LZO finds nothing to shorten, so lzop stores them.
QByteArray randomLetters(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray letters(size, '\n');
    for (int i = 0; i < size; ++i)
        if (i % 61 != 60)
            letters[i] = char('a' + random.bounded(26));
    return letters;
}

// What Debian's lzop writes for `files` with `options`, on its standard output.
QByteArray lzopOf(const QStringList &options, const QList<QByteArray> &files)
{
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < files.size(); ++i) {
        names << dir.filePath(QString::number(i));
        QFile file(names.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(files.at(i)) != files.at(i).size())
            qFatal("cannot write %s", qPrintable(names.last()));
    }
    QProcess lzop;
    lzop.start(QStringLiteral("lzop"), QStringList {"-c"} + options + names);
    if (!lzop.waitForFinished(60000) || lzop.exitCode() != 0)
        qFatal("lzop failed: %s", lzop.readAllStandardError().constData());
    return lzop.readAllStandardOutput();
}

}  // namespace

void TestArchives::lzopFilesDecodeAsLzopWroteThem_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<QByteArray>>("files");

    const QByteArray text = textLines(700 * 1024);  // three of lzop's blocks
    const QByteArray mixed = randomLetters(300 * 1024, 1) + text;
    QTest::newRow("lzop/LZO1X-1 over three blocks")
            << QStringList {"-1"} << QList<QByteArray> {text};
    QTest::newRow("lzop/LZO1X-999") << QStringList {"-9"} << QList<QByteArray> {text};
    QTest::newRow("lzop/blocks stored as they are, and compressed ones")
            << QStringList() << QList<QByteArray> {mixed};
    QTest::newRow("lzop/CRC-32 checksums") << QStringList {"--crc32"} << QList<QByteArray> {mixed};
    QTest::newRow("lzop/no checksums")
            << QStringList {"--no-checksum"} << QList<QByteArray> {mixed};
    QTest::newRow("lzop/delta filter of distance 1")
            << QStringList {"--filter=1"} << QList<QByteArray> {mixed};
    QTest::newRow("lzop/delta filter of distance 16, CRC-32")
            << QStringList {"--filter=16", "--crc32"} << QList<QByteArray> {mixed};
    QTest::newRow("lzop/an empty file") << QStringList() << QList<QByteArray> {QByteArray()};
    QTest::newRow("lzop/three files one after another, one empty")
            << QStringList() << QList<QByteArray> {text.left(1000), QByteArray(), mixed};
}

// Decoded in pieces of odd sizes, the stream gives back what lzop was given.
void TestArchives::lzopFilesDecodeAsLzopWroteThem()
{
    QFETCH(QStringList, options);
    QFETCH(QList<QByteArray>, files);

    const QByteArray packed = lzopOf(options, files);
    ByteSource source(packed.constData(), packed.size());
    LzopStream stream([&source](char *buffer, qint64 max) { return source.readInto(buffer, max); });
    QVERIFY(stream.begin());
    QByteArray decoded;
    char piece[4099];
    for (qint64 got; (got = stream.read(piece, 1 + decoded.size() % 4099)) > 0;)
        decoded.append(piece, int(got));
    QCOMPARE(int(stream.fault()), int(LzopStream::Fault::None));
    const QByteArray expected = files.size() == 1 ? files.first() : files.join();
    QCOMPARE(decoded.size(), expected.size());
    QVERIFY(decoded == expected);
}

void TestArchives::damagedLzopFilesAreReportedOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("damageAt");  // from the end when negative
    QTest::addColumn<int>("cut");       // bytes cut off its end
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("diagnostics");

    const QString hit = "notes.txt.lzo" + kSep + "notes.txt|1|needle first";
    QTest::newRow("damaged lzop/a byte of a stored block changed")
            << "notes.txt.lzo" << -100 << 0 << QStringList {hit}
            << QByteArray("ROOT/notes.txt.lzo: member \"notes.txt\" does not match its checksum;"
                          " its data is damaged\n");
    QTest::newRow("damaged lzop/cut short in its second block")
            << "notes.txt.lzo" << 0 << 1000 << QStringList {hit}
            << QByteArray("ROOT/notes.txt.lzo: member \"notes.txt\" is damaged; it was searched up"
                          " to the damage\n");
    QTest::newRow("damaged lzop/its header's checksum wrong")
            << "notes.txt.lzo" << 20 << 0 << QStringList()
            << QByteArray(
                       "ROOT/notes.txt.lzo: not a compressed archive, or damaged at its start\n");
    QTest::newRow("damaged lzop/no lzop file at all")
            << "notes.txt.lzo" << 1 << 0 << QStringList()
            << QByteArray(
                       "ROOT/notes.txt.lzo: not a compressed archive, or damaged at its start\n");
    QTest::newRow("damaged lzop/a tar in it cut short")
            << "docs.tzo" << 0 << 1000
            << QStringList {"docs.tzo" + kSep + "notes.txt|1|needle first"}
            << QByteArray("ROOT/docs.tzo: member \"notes.txt\" is damaged; it was searched up to"
                          " the damage\n");
}

// What was decoded before the damage is searched; the damage is one line.
void TestArchives::damagedLzopFilesAreReportedOnce()
{
    QFETCH(QString, name);
    QFETCH(int, damageAt);
    QFETCH(int, cut);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder dir;
    const QString path = dir.path(name);
    const QByteArray notes = textLines(256 * 1024) + randomLetters(100 * 1024, 2);
    QByteArray bytes = readFile(ArchiveBuilder::write(path, {{"notes.txt", notes}}));
    if (damageAt != 0) {
        const int at = damageAt < 0 ? bytes.size() + damageAt : damageAt;
        bytes[at] = char(bytes.at(at) ^ 0x20);
    }
    bytes.chop(cut);
    dir.file(name, bytes);
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(path, makeMatcher({"txt"}, "needle"))), expected);
    QCOMPARE(capture.text(), diagnostics.replace("ROOT", QFile::encodeName(dir.root())));
}

namespace {

// The code of a program as Windows runs it: "MZ", then `size` bytes in all.
QByteArray programCode(int size)
{
    QByteArray code(size, '\0');
    code[0] = 'M';
    code[1] = 'Z';
    return code;
}

// A ZIP whose members expand to 272 MiB, 450 times its size and more than
// 1000 times a sixth of it: 16 members of one long line repeated (37 KiB
// each), then docs' readme.
QByteArray expandingZip()
{
    const RawZipEntry part
            = repeatedLineEntry("part", QByteArray(1000, 'x') + '\n', qint64(17) << 20);
    QList<RawZipEntry> entries;
    for (int k = 0; k < 16; ++k) {
        RawZipEntry copy = part;
        copy.name = "parts/" + QByteArray::number(k) + ".txt";
        entries << copy;
    }
    entries << RawZipEntry("x/readme.txt", kReadme);
    return rawZip(entries);
}

}  // namespace

void TestArchives::programsPiecesAndPackages_data()
{
    // Written with docs, ":fixture", or "=expanding.zip" (expandingZip()).
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("programBytes");  // a program's code before it
    QTest::addColumn<int>("pieces");        // cut into so many pieces (0: whole)
    QTest::addColumn<int>("leftOut");       // the number of the piece not written (0: none)
    QTest::addColumn<QString>("searched");  // on disk
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("diagnostics");

    const auto in = [](const QString &archive, const char *member, const char *line) {
        return archive + kSep + member + "|" + line;
    };
    const char *readmeHit = "4|fourth needle line";
    QTest::newRow("sfx/a ZIP after unzipsfx's code, its offsets made right by zip -A")
            << "docs.zip" << -1 << 0 << 0 << "setup.exe"
            << "needle" << QStringList {in("setup.exe", "x/readme.txt", readmeHit)} << QByteArray();
    QTest::newRow("sfx/a ZIP after a program's code, its offsets as written")
            << "docs.zip" << 70000 << 0 << 0 << "setup.exe"
            << "needle" << QStringList {in("setup.exe", "x/readme.txt", readmeHit)} << QByteArray();
    QTest::newRow("sfx/a 7z after a Windows program's code")
            << "docs.7z" << 0x27000 << 0 << 0 << "setup.exe"
            << "needle" << QStringList {in("setup.exe", "x/readme.txt", readmeHit)} << QByteArray();
    QTest::newRow("sfx/a RAR 4 after a Windows program's code")
            << ":rar/compressed-rar4.rar" << 0x10000 << 0 << 0 << "setup.exe"
            << "document"
            << QStringList {in("setup.exe", "testdir/test.txt", "1|test text document")}
            << QByteArray();
    QTest::newRow("sfx/a RAR 5 after a Windows program's code")
            << ":rar/stored-rar5.rar" << 0x10000 << 0 << 0 << "setup.exe"
            << "libarchive"
            << QStringList {in("setup.exe", "helloworld.txt", "1|hello libarchive test suite!")}
            << QByteArray();
    QTest::newRow("sfx/a plain program holds nothing and is not reported")
            << "" << 0x30000 << 0 << 0 << "plain.exe"
            << "needle" << QStringList() << QByteArray();
    QTest::newRow("split/a ZIP in three pieces")
            << "docs.zip" << 0 << 3 << 0 << "docs.zip.001"
            << "needle" << QStringList {in("docs.zip.001", "x/readme.txt", readmeHit)}
            << QByteArray();
    QTest::newRow("split/a 7z in three pieces")
            << "docs.7z" << 0 << 3 << 0 << "docs.7z.001"
            << "needle" << QStringList {in("docs.7z.001", "x/readme.txt", readmeHit)}
            << QByteArray();
    QTest::newRow("split/a 7z whose last piece is missing names that piece")
            << "docs.7z" << 0 << 3 << 3 << "docs.7z.001"
            << "needle" << QStringList()
            << QByteArray("ROOT/docs.7z.001: piece ROOT/docs.7z.003 is missing; nothing could be"
                          " read\n");
    QTest::newRow("split/a 7z whose middle piece is missing names that piece")
            << "docs.7z" << 0 << 3 << 2 << "docs.7z.001"
            << "needle" << QStringList()
            << QByteArray("ROOT/docs.7z.001: piece ROOT/docs.7z.002 is missing; nothing could be"
                          " read\n");
    QTest::newRow("split/a ZIP whose last piece is missing is read up to that piece")
            << "docs.zip" << 0 << 3 << 3 << "docs.zip.001"
            << "needle" << QStringList {in("docs.zip.001", "x/readme.txt", readmeHit)}
            << QByteArray("ROOT/docs.zip.001: piece ROOT/docs.zip.003 is missing; read up to"
                          " member \"x/a.doc\"\n");
    QTest::newRow("split/every piece of a ZIP counts for its expansion limit")
            << "=expanding.zip" << 0 << 6 << 0 << "big.zip.001"
            << "needle" << QStringList {in("big.zip.001", "x/readme.txt", readmeHit)}
            << QByteArray();
    QTest::newRow("package/an RPM package made by rpmbuild")
            << ":rpm/sample.rpm" << 0 << 0 << 0 << "sample.rpm"
            << "needle"
            << QStringList {in("sample.rpm", "./usr/share/doc/velto-sample/readme.txt", readmeHit)}
            << QByteArray();
}

// Archives after a program's code, cut in pieces, or in a package, each found
// by its members' text; a plain program is passed over in silence.
void TestArchives::programsPiecesAndPackages()
{
    QFETCH(QString, source);
    QFETCH(int, programBytes);
    QFETCH(int, pieces);
    QFETCH(int, leftOut);
    QFETCH(QString, searched);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, diagnostics);

    TreeBuilder dir;
    QByteArray bytes;
    if (source.startsWith(':'))
        bytes = readFile(QStringLiteral(VELTO_FIXTURES_DIR "/") + source.mid(1));
    else if (source == "=expanding.zip")
        bytes = expandingZip();
    else if (!source.isEmpty())
        bytes = readFile(
                writeArchive(dir.path("made/" + source),
                             {{"x/readme.txt", kReadme}, {"x/a.doc", "needle in a doc\n"}}));
    if (programBytes < 0) {
        dir.file(searched, readFile("/usr/bin/unzipsfx") + bytes);
        QProcess zip;
        zip.start("zip", {"-q", "-A", dir.path(searched)});
        QVERIFY(zip.waitForFinished(60000) && zip.exitCode() == 0);
    } else if (pieces > 0) {
        const int size = (bytes.size() + pieces - 1) / pieces;
        for (int i = 0; i < pieces; ++i)
            if (i + 1 != leftOut)
                dir.file(searched.chopped(1) + QString::number(i + 1), bytes.mid(i * size, size));
    } else {
        dir.file(searched, (programBytes > 0 ? programCode(programBytes) : QByteArray()) + bytes);
    }
    DiagnosticCapture capture;
    QCOMPARE(describe(archiveHits(dir.path(searched), makeMatcher({"txt"}, text))), expected);
    QCOMPARE(capture.text(), diagnostics.replace("ROOT", QFile::encodeName(dir.root())));
}

namespace {

// Members of about 800 KB of varied lines, more than the decoder may hold
// ahead, a few of them with the word.
const ArchiveBuilder::Members &manyLines()
{
    static ArchiveBuilder::Members members;
    if (!members.isEmpty())
        return members;
    QRandomGenerator random(24);
    for (int m = 0; m < 40; ++m) {
        QByteArray data;
        for (int line = 0; data.size() < 20000; ++line) {
            data += QByteArray::number(random.generate(), 36) + ' '
                    + QByteArray::number(random.generate64(), 16)
                    + (line % 37 == m % 37 ? " needle\n" : "\n");
        }
        members.append({"part" + QByteArray::number(m) + ".txt", data});
    }
    return members;
}

// manyLines() written as `name` says, once per test run.
QByteArray manyLinesAs(const QString &name)
{
    static QHash<QString, QByteArray> written;
    if (!written.contains(name)) {
        const QTemporaryDir dir;
        written[name] = readFile(ArchiveBuilder::write(dir.filePath(name), manyLines()));
    }
    return written[name];
}

struct WalkResult
{
    QStringList hits;
    QByteArray diagnostics;
};

// One walk of the archive at `path`, by `walk` (given the file and scope).
template<typename Walk>
WalkResult walkOnce(const QString &path, const TestSearch &search, Walk walk)
{
    const QString name = QFileInfo(path).fileName();
    const UniqueFd folder(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const ArchiveFile file(folder.get(), QFile::encodeName(name));
    ArchiveOutcome outcome;
    outcome.storedSize = file.size();
    HitSink sink;
    const MemberMatcher members = search.members();
    const ArchiveNameRules names;
    const ArchiveScope scope {members, sink,    names, name, name + kSep, QFile::encodeName(path),
                              1,       &outcome};
    DiagnosticCapture capture;
    walk(file, scope);
    return {describe(sink.take()), capture.text()};
}

}  // namespace

void TestArchives::compressedArchivesDecodedAheadReadAsInPlace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("writtenAs");  // what the archive is written as, by its suffix
    QTest::addColumn<double>("cutAt");       // the share of the file kept; 1: all of it
    QTest::addColumn<double>("changeAt");    // where a byte is changed; 0: none
    QTest::addColumn<bool>("decodedAhead");

    const auto rows = [](const QString &name, const QString &writtenAs) {
        const auto row = [&](const char *what, double cutAt, double changeAt) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2 reads as in place").arg(name, what)))
                    << name << writtenAs << cutAt << changeAt << true;
        };
        row("intact", 1, 0);
        row("cut short at a third", 1.0 / 3, 0);
        row("cut short at two thirds", 2.0 / 3, 0);
        row("with a byte changed in its middle", 1, 0.5);
    };
    for (const char *name :
         {"a.tgz", "a.tbz2", "a.txz", "a.tzst", "a.taz", "a.tar.lz4", "a.tlz", "a.tar.lzma"})
        rows(name, name);
    rows("gzipped.cpio", "gzipped.cpio.gz");
    QTest::newRow("a plain tar is read as it is") << "a.tar"
                                                  << "a.tar" << 1.0 << 0.0 << false;
    QTest::newRow("a tgz that is a plain tar is read as it is") << "a.tgz"
                                                                << "a.tar" << 1.0 << 0.0 << false;
}

// The walk of a compressed tar or cpio whose decompressor runs ahead on a
// thread of its own gives what the walk with libarchive's decompressor in
// place gives: the same hits in the same order, the same lines of damage.
void TestArchives::compressedArchivesDecodedAheadReadAsInPlace()
{
    QFETCH(QString, name);
    QFETCH(QString, writtenAs);
    QFETCH(double, cutAt);
    QFETCH(double, changeAt);
    QFETCH(bool, decodedAhead);

    TreeBuilder dir;
    const ArchiveBuilder::Members &members = manyLines();
    const QString path = dir.path(name);
    QByteArray bytes = manyLinesAs(writtenAs);
    if (changeAt > 0)
        bytes[int(bytes.size() * changeAt)] = char(bytes.at(int(bytes.size() * changeAt)) ^ 0x55);
    dir.file(name, bytes.left(int(bytes.size() * cutAt)));

    const TestSearch search = makeMatcher({"txt"}, "needle");
    const ArchiveFormat format = archiveFormatOf(QFile::encodeName(name));
    const WalkResult ahead = walkOnce(path, search, [&](const ArchiveFile &file, auto &scope) {
        walkArchiveFile(format, file, scope);
    });
    const WalkResult inPlace = walkOnce(path, search, [&](const ArchiveFile &file, auto &scope) {
        walkLibarchive(format, LibarchiveInput::file(file), scope);
    });
    QCOMPARE(ahead.hits, inPlace.hits);
    QCOMPARE(ahead.diagnostics, inPlace.diagnostics);
    if (cutAt == 1 && changeAt == 0) {
        int needles = 0;
        for (const auto &member : members)
            needles += member.second.count("needle");
        QVERIFY(needles > 10);
        QCOMPARE(ahead.hits.size(), needles);
        QVERIFY(ahead.diagnostics.isEmpty());
    } else if (cutAt < 1) {
        QVERIFY(!ahead.diagnostics.isEmpty());
    }

    // The decoded bytes themselves, block after block, are those of the
    // archive written without compression.
    const UniqueFd folder(
            ::open(QFile::encodeName(dir.root()).constData(), O_RDONLY | O_DIRECTORY));
    const ArchiveFile file(folder.get(), QFile::encodeName(name));
    if (cutAt < 1 || changeAt > 0)
        return;
    std::unique_ptr<DecodeAhead> decoder = DecodeAhead::start(file);
    QCOMPARE(bool(decoder), decodedAhead);
    if (!decoder)
        return;
    QByteArray decoded;
    const void *data = nullptr;
    for (qint64 got; (got = decoder->next(&data)) > 0;)
        decoded.append(static_cast<const char *>(data), int(got));
    const QString plainName = name.endsWith(".cpio") ? "plain.cpio" : "plain.tar";
    QCOMPARE(decoded, manyLinesAs(plainName));

    // A decoder whose reader leaves after its first block ends with it,
    // though it waits for room to hand on the next.
    decoder = DecodeAhead::start(file);
    QVERIFY(decoder->next(&data) > 0);
    QTest::qWait(20);
    decoder.reset();
}
