#include "archivesearch.h"
#include "contentmatcher.h"
#include "diagnostics.h"
#include "rarlayout.h"
#include "rarvolumeset.h"
#include "treebuilder.h"
#include "zipbuilder.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
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

// Patterns become what the search request makes of them: wrapped in "*"
// unless `exact` (or written as "=pattern"), wildcard syntax, case-insensitive.
ContentMatcher makeMatcher(const QStringList &patterns, const QString &text,
                           const QString &extractDir, bool exact = false)
{
    ContentMatcher matcher;
    for (const QString &pattern : patterns) {
        const bool asTyped = exact || pattern.startsWith(QLatin1Char('='));
        const QString wildcard = pattern.startsWith(QLatin1Char('=')) ? pattern.mid(1) : pattern;
        matcher.nameRegExps << QRegExp(asTyped ? wildcard : QLatin1Char('*') + wildcard + QLatin1Char('*'),
                                       Qt::CaseInsensitive, QRegExp::WildcardUnix);
    }
    matcher.grepText = text;
    matcher.caseSensitivity = Qt::CaseSensitive;
    matcher.localeCodec = QTextCodec::codecForLocale();
    matcher.extractDir = extractDir;
    return matcher;
}

// The hits of one archive, all kept.
QList<TFileInfo> archiveHits(const QString &path, const ContentMatcher &matcher)
{
    HitSink sink;
    searchArchive(path, sink, matcher);
    return sink.take();
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

} // namespace

class TestArchives : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void zipNameSearch_data();
    void zipNameSearch();
    void zipContentSearch_data();
    void zipContentSearch();
    void zipExtractionStaysInTemporaryFile();
    void fakeZipWritesOpenError_data();
    void fakeZipWritesOpenError();
    void largeZipMemberStreamsAndStops();

    void rarFixtures_data();
    void rarFixtures();
    void rarTemporaryFileHoldsLastMember();
    void rarVolumeWithoutItsNeighbours_data();
    void rarVolumeWithoutItsNeighbours();
    void everyRarFixtureFinishes();

    void rarLayoutOfFixtures_data();
    void rarLayoutOfFixtures();
    void volumeNames_data();
    void volumeNames();

private:
    TreeBuilder tree;
    QString extractDir;
};

void TestArchives::initTestCase()
{
    QVERIFY(tree.isValid());
    QVERIFY(QFileInfo(kFixtures + QStringLiteral("/basic-rar4.rar")).isFile());
    // Not created here: the walkers must make the folder themselves.
    extractDir = tree.path(QStringLiteral("private/tmp"));
}

void TestArchives::zipNameSearch_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QByteArrayList>("members");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QStringList>("expected");

    const QByteArrayList docs{"x/readme.txt", "x/a.doc"};
    QTest::newRow("zip/a txt pattern finds the nested member with separators")
        << "docs.zip" << docs << QStringList{"*.txt"} << true
        << QStringList{"docs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/an upper-case suffix is searched like a lower-case one")
        << "DOCS.ZIP" << docs << QStringList{"*.txt"} << true
        << QStringList{"DOCS.ZIP" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/a mixed-case suffix is searched too")
        << "docs.Zip" << docs << QStringList{"a.doc"} << true
        << QStringList{"docs.Zip" + kSep + "x" + kSep + "a.doc|0|"};
    QTest::newRow("zip/only the part after the last slash is matched")
        << "docs.zip" << docs << QStringList{"x*"} << true << QStringList();
    QTest::newRow("zip/a directory entry is reported when a pattern matches the empty name")
        << "dirs.zip" << QByteArrayList{"x/", "x/readme.txt"} << QStringList{""} << false
        << QStringList{"dirs.zip" + kSep + "x" + kSep + "|0|",
                       "dirs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/a directory entry is left out when no pattern matches the empty name")
        << "dirs.zip" << QByteArrayList{"x/", "x/readme.txt"} << QStringList{"readme"} << false
        << QStringList{"dirs.zip" + kSep + "x" + kSep + "readme.txt|0|"};
    QTest::newRow("zip/an empty pattern list gives no hits")
        << "docs.zip" << docs << QStringList() << false << QStringList();
    QTest::newRow("zip/a climbing member name is only text in the hit")
        << "climb.zip" << QByteArrayList{"../escape.txt"} << QStringList{"escape"} << false
        << QStringList{"climb.zip" + kSep + ".." + kSep + "escape.txt|0|"};
    const QByteArray longName = "deep/" + QByteArray(290, 'n') + ".txt";
    QTest::newRow("zip/a member name of 300 bytes is read in full")
        << "long.zip" << QByteArrayList{longName} << QStringList{"*.txt"} << true
        << QStringList{"long.zip" + kSep + "deep" + kSep + QString(290, 'n') + ".txt|0|"};
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
    hits = archiveHits(path, makeMatcher(patterns, QString(), extractDir, exact));
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
        << QStringList{"txt"} << "needle" << QStringList{readme + "|4|fourth needle line"};
    QTest::newRow("zip/a member whose name does not match is not searched")
        << QStringList{"doc"} << "needle" << QStringList{"docs.zip" + kSep + "x" + kSep + "a.doc|1|needle in a doc"};
    QTest::newRow("zip/a directory entry is never extracted")
        << QStringList{""} << "needle"
        << QStringList{readme + "|4|fourth needle line", "docs.zip" + kSep + "x" + kSep + "a.doc|1|needle in a doc"};
    QTest::newRow("zip/an empty pattern list gives no hits") << QStringList() << "needle" << QStringList();
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
    hits = archiveHits(path, makeMatcher(patterns, text, extractDir));
    QCOMPARE(describe(hits), expected);
    QCOMPARE(diagnostics.text(), QByteArray());
}

void TestArchives::zipExtractionStaysInTemporaryFile()
{
    TreeBuilder dir;
    const QString archive = ZipBuilder(dir.path("in/climb.zip"))
                                .add("../escape.txt", "escaped needle\n")
                                .add("last.txt", "the last member\n")
                                .close();
    const QString fresh = dir.path("absent/tmp");
    const QString before = QDir::currentPath();
    QList<TFileInfo> hits;
    hits = archiveHits(archive, makeMatcher({"txt"}, "needle", fresh));

    QCOMPARE(describe(hits), QStringList{"climb.zip" + kSep + ".." + kSep + "escape.txt|1|escaped needle"});
    // The missing folder was made, and only the fixed file was written in it.
    QCOMPARE(QDir(fresh).entryList(QDir::Files), QStringList{"zip.tmp"});
    QCOMPARE(readFile(fresh + "/zip.tmp"), QByteArray("the last member\n"));
    QCOMPARE(QDir(dir.path("in")).entryList(QDir::Files), QStringList{"climb.zip"});
    QVERIFY(!QFile::exists(dir.path("escape.txt")));
    QVERIFY(!QFile::exists(dir.path("absent/escape.txt")));
    QVERIFY(!QFile::exists(before + "/zip.tmp"));
}

void TestArchives::fakeZipWritesOpenError_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zip/a text file named .zip") << "fake.zip" << QByteArray("needle, but no archive\n");
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
    hits = archiveHits(path, makeMatcher({""}, "needle", extractDir));
    QVERIFY(hits.isEmpty());
    const QByteArray local = path.toLocal8Bit();
    QCOMPARE(diagnostics.text(), "Cannot open " + local + " or " + local + ".zip\n");
}

void TestArchives::largeZipMemberStreamsAndStops()
{
    constexpr qint64 kZeros = 200 * 1024 * 1024;
    TreeBuilder dir;
    const QString path = ZipBuilder(dir.path("zeros.zip")).addZeros("zeros.bin", kZeros).close();
    const QString tmp = dir.path("tmp");

    // Extraction alone (the text matches no line of zeros) stays in bounded memory.
    const long before = maxResidentKb();
    QList<TFileInfo> hits;
    ContentMatcher matcher = makeMatcher({"bin"}, "needle", tmp);
    hits = archiveHits(path, matcher);
    QVERIFY(hits.isEmpty());
    QCOMPARE(QFileInfo(tmp + "/zip.tmp").size(), kZeros);
    QVERIFY2(maxResidentKb() - before < 64 * 1024,
             qPrintable(QStringLiteral("grew by %1 kB").arg(maxResidentKb() - before)));

    // A stop during the extraction ends the walk promptly and closes the file.
    std::atomic_bool stop{false};
    matcher.cancelFlag = &stop;
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
    QVERIFY(QFileInfo(tmp + "/zip.tmp").size() < kZeros);
    QVERIFY(QFile::remove(tmp + "/zip.tmp"));
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
    const QByteArray password = "\nPassword required: Password for encrypted file or header is not specified";
    const QByteArray fixtures = QFile::encodeName(kFixtures);

    QTest::newRow("rar/rar4 name search lists members, folders and links in order")
        << "basic-rar4.rar" << QStringList{""} << QString()
        << QStringList{in("basic-rar4.rar", "test.txt|0|"), in("basic-rar4.rar", "testlink|0|"),
                       in("basic-rar4.rar", "testdir/test.txt|0|"), in("basic-rar4.rar", "testdir|0|"),
                       in("basic-rar4.rar", "testemptydir|0|")}
        << QByteArray();
    QTest::newRow("rar/a member name is matched after its last slash only")
        << "basic-rar4.rar" << QStringList{"testd"} << QString()
        << QStringList{in("basic-rar4.rar", "testdir|0|")} << QByteArray();
    QTest::newRow("rar/rar4 content search finds lines in stored members")
        << "basic-rar4.rar" << QStringList{"test.txt"} << "text document"
        << QStringList{in("basic-rar4.rar", "test.txt|1|test text document"),
                       in("basic-rar4.rar", "testdir/test.txt|1|test text document")}
        << QByteArray();
    QTest::newRow("rar/rar4 content search decompresses members")
        << "compressed-rar4.rar" << QStringList{"test.txt"} << "document"
        << QStringList{in("compressed-rar4.rar", "testdir/test.txt|1|test text document")} << QByteArray();
    QTest::newRow("rar/rar5 stored member is searched")
        << "stored-rar5.rar" << QStringList{""} << "libarchive"
        << QStringList{in("stored-rar5.rar", "helloworld.txt|1|hello libarchive test suite!")} << QByteArray();
    QTest::newRow("rar/rar5 name search lists every member")
        << "multiple-files-rar5.rar" << QStringList{"bin"} << QString()
        << QStringList{in("multiple-files-rar5.rar", "test1.bin|0|"), in("multiple-files-rar5.rar", "test2.bin|0|"),
                       in("multiple-files-rar5.rar", "test3.bin|0|"), in("multiple-files-rar5.rar", "test4.bin|0|")}
        << QByteArray();
    QTest::newRow("rar/Unicode member names come out as Unicode")
        << "unicode-names.rar" << QStringList{"テスト", "漢字"} << QString()
        << QStringList{in("unicode-names.rar", "表だよ/漢字長いファイル名long-filename-in-漢字.txt|0|"),
                       in("unicode-names.rar", "abcdefghijklmnopqrsテスト.txt|0|")}
        << QByteArray();
    QTest::newRow("rar/a member with a Unicode name is searched")
        << "unicode-names.rar" << QStringList{"漢字"} << "kanji"
        << QStringList{in("unicode-names.rar", "表だよ/漢字長いファイル名long-filename-in-漢字.txt|1|kanji")}
        << QByteArray();
    QTest::newRow("rar/an empty pattern list gives no hits")
        << "basic-rar4.rar" << QStringList() << QString() << QStringList() << QByteArray();
    QTest::newRow("rar/rar4 encrypted member asks for a password and ends the walk")
        << "encrypted-data-rar4.rar" << QStringList{"txt"} << "foo" << QStringList() << password;
    QTest::newRow("rar/rar4 encrypted members are still listed by name")
        << "encrypted-data-rar4.rar" << QStringList{"txt"} << QString()
        << QStringList{in("encrypted-data-rar4.rar", "foo.txt|0|"), in("encrypted-data-rar4.rar", "bar.txt|0|")}
        << QByteArray();
    QTest::newRow("rar/rar5 members before the encrypted one are searched, then the walk ends")
        << "encrypted-rar5.rar" << QStringList{"txt"} << "This is from"
        << QStringList{in("encrypted-rar5.rar", "a.txt|1|This is from a.txt")} << password;
    QTest::newRow("rar/damaged data is reported and ends the walk")
        << "invalid.rar" << QStringList{""} << "x" << QStringList()
        << "\n" + fixtures + "/invalid.rar: archive header or data are damaged";
    QTest::newRow("rar/a damaged header after a listed member is reported")
        << "invalid.rar" << QStringList{""} << QString() << QStringList{in("invalid.rar", "test|0|")}
        << "\n" + fixtures + "/invalid.rar: archive header or data are damaged";
    QTest::newRow("rar/a missing archive cannot be opened")
        << "absent.rar" << QStringList{""} << QString() << QStringList()
        << "\nCannot open " + fixtures + "/absent.rar";
    QTest::newRow("rar/the first volume reads the whole set")
        << "multivolume.part0001.rar" << QStringList{"test.txt", "testemptydir"} << QString()
        << QStringList{in("multivolume.part0001.rar", "ppmd_lzss_conversion_test.txt|0|"),
                       in("multivolume.part0001.rar", "testdir/test.txt|0|"),
                       in("multivolume.part0001.rar", "testemptydir|0|")}
        << "\n  ... volume " + fixtures + "/multivolume.part0002.rar\n"
           "\n  ... volume " + fixtures + "/multivolume.part0003.rar\n"
           "\n  ... volume " + fixtures + "/multivolume.part0004.rar\n";
    QTest::newRow("rar/a member of the last volume is searched from the first")
        << "multivolume.part0001.rar" << QStringList{"=test.txt"} << "document"
        << QStringList{in("multivolume.part0001.rar", "testdir/test.txt|1|test text document")}
        << "\n  ... volume " + fixtures + "/multivolume.part0002.rar\n"
           "\n  ... volume " + fixtures + "/multivolume.part0003.rar\n"
           "\n  ... volume " + fixtures + "/multivolume.part0004.rar\n";
    QTest::newRow("rar/a later volume is passed over when its first volume is beside it")
        << "multivolume.part0004.rar" << QStringList{""} << QString() << QStringList() << QByteArray();
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
    hits = archiveHits(kFixtures + QLatin1Char('/') + fixture, makeMatcher(patterns, text, extractDir));
    QCOMPARE(describe(hits), expected);
    QCOMPARE(capture.text(), diagnostics);
}

void TestArchives::rarTemporaryFileHoldsLastMember()
{
    TreeBuilder dir;
    const QString tmp = dir.path("tmp");
    const QString fake = dir.file("fake.rar", "Rar? not really\n");
    QList<TFileInfo> hits;
    hits = archiveHits(kFixtures + "/compressed-rar4.rar", makeMatcher({"=test.txt"}, "nowhere", tmp));
    QCOMPARE(readFile(tmp + "/rar.tmp"), QByteArray("test text document\r\n"));

    DiagnosticCapture capture;
    hits = archiveHits(fake, makeMatcher({""}, "nowhere", tmp));
    QCOMPARE(capture.text(), "\n" + fake.toLocal8Bit() + " is not RAR archive");
    QVERIFY(hits.isEmpty());
}

void TestArchives::rarVolumeWithoutItsNeighbours_data()
{
    QTest::addColumn<QStringList>("copied");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("missing");

    QTest::newRow("rar/a first volume alone abandons the missing next volume")
        << QStringList{"multivolume.part0001.rar"} << QString()
        << QStringList{"multivolume.part0001.rar" + kSep + "ppmd_lzss_conversion_test.txt|0|"}
        << "multivolume.part0002.rar";
    QTest::newRow("rar/a later volume alone abandons the missing previous volume")
        << QStringList{"multivolume.part0003.rar", "multivolume.part0004.rar"} << "document" << QStringList()
        << "multivolume.part0002.rar";
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
    hits = archiveHits(dir.path(copied.first()), makeMatcher({""}, text, extractDir));
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(describe(hits), expected);
    const QByteArray output = capture.text();
    QVERIFY2(output.contains("\n\nVolume " + QFile::encodeName(dir.path(missing)) + " is required\n"), output);
    QVERIFY2(output.endsWith("\nEnter your choice: Volume open error"), output);
}

void TestArchives::everyRarFixtureFinishes()
{
    const QStringList fixtures = QDir(kFixtures).entryList({"*.rar"}, QDir::Files);
    QVERIFY(fixtures.size() >= 12);
    for (const QString &text : {QString(), QStringLiteral("e")}) {
        for (const QString &fixture : fixtures) {
            DiagnosticCapture capture;
            QList<TFileInfo> hits;
            QElapsedTimer timer;
            timer.start();
            hits = archiveHits(kFixtures + QLatin1Char('/') + fixture, makeMatcher({""}, text, extractDir));
            QVERIFY2(timer.elapsed() < 30000, qPrintable(fixture));
        }
    }
}

void TestArchives::rarLayoutOfFixtures_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("members");  // one letter a member: p plain, e encrypted, < > split
    QTest::addColumn<bool>("isVolume");
    QTest::addColumn<bool>("isFirstVolume");

    QTest::newRow("layout/rar5 marks its encrypted members") << "encrypted-rar5.rar" << "pepe" << false << true;
    QTest::newRow("layout/rar4 marks its encrypted members") << "encrypted-data-rar4.rar" << "ee" << false << true;
    QTest::newRow("layout/first volume ends with a member split after") << "multivolume.part0001.rar" << ">" << true << true;
    QTest::newRow("layout/middle volume continues the member both ways") << "multivolume.part0002.rar" << "x" << true << false;
    QTest::newRow("layout/last volume starts with a continued member") << "multivolume.part0004.rar" << "<ppppp" << true << false;
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
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("newNumbering");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("first");

    QTest::newRow("volumes/new numbering keeps the digits' width")
        << "/d/set.part0009.rar" << true << 1 << "/d/set.part0010.rar" << "/d/set.part0001.rar";
    QTest::newRow("volumes/new numbering steps back")
        << "/d/set.part2.RAR" << true << -1 << "/d/set.part1.RAR" << "/d/set.part1.RAR";
    QTest::newRow("volumes/nothing comes before the first new-numbered volume")
        << "/d/set.part1.rar" << true << -1 << "" << "/d/set.part1.rar";
    QTest::newRow("volumes/old numbering goes from rar to r00")
        << "/d/set.rar" << false << 1 << "/d/set.r00" << "/d/set.rar";
    QTest::newRow("volumes/old numbering goes back from r00 to rar")
        << "/d/set.r00" << false << -1 << "/d/set.rar" << "/d/set.rar";
    QTest::newRow("volumes/a name outside both numberings has no neighbour")
        << "/d/set.zip" << true << 1 << "" << "";
}

void TestArchives::volumeNames()
{
    QFETCH(QString, path);
    QFETCH(bool, newNumbering);
    QFETCH(int, step);
    QFETCH(QString, expected);
    QFETCH(QString, first);
    QCOMPARE(adjacentVolumeName(path, newNumbering, step), expected);
    QCOMPARE(firstVolumeName(path, newNumbering), first);
}

QTEST_GUILESS_MAIN(TestArchives)
#include "test_archives.moc"
