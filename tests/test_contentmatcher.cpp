// Content matching: the matcher's fast reading must give exactly the hits of
// reading each file with QTextStream line by line, in both modes.
#include "asciicodecs.h"
#include "bytesource.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "referencereading.h"
#include "searchthread.h"
#include "treebuilder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file's hits; the same bytes handed out by a stream in pieces of
// awkward sizes, as a decompressor hands out an archive member, must give
// the same hits (checked up to a size past every read and decode block).
QList<TFileInfo> search(ContentMatcher &matcher, const QString &path)
{
    HitSink hits;
    matcher.searchFile(path, hits, QStringLiteral("f"));
    const QList<TFileInfo> fromFile = hits.take();
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > (qint64(4) << 20) || !file.open(QIODevice::ReadOnly))
        return fromFile;
    static const qint64 pieces[] = {1, 7, 4096, 65537};
    int next = 0;
    std::vector<char> block;
    ByteSource stream(
        [&](char *buffer, qint64 max) { return file.read(buffer, qMin(max, pieces[next++ % 4])); },
        block);
    matcher.searchStream(stream, hits, QStringLiteral("f"));
    const QList<TFileInfo> fromStream = hits.take();
    if (fromStream == fromFile)
        return fromFile;
    qWarning("a stream of the same bytes gave other hits:\n%s\n%s",
             qPrintable(describeHits(fromStream).left(400)), qPrintable(describeHits(fromFile).left(400)));
    return {TFileInfo{QStringLiteral("the stream differs"), -1, QString()}};
}

ContentMatcher normalMatcher(const QString &text, Qt::CaseSensitivity cs)
{
    ContentMatcher m;
    m.grepText = text;
    m.caseSensitivity = cs;
    m.localeCodec = QTextCodec::codecForLocale();
    return m;
}

QByteArray encoded(const char *codec, const QString &text, bool bom)
{
    QTextCodec *c = QTextCodec::codecForName(codec);
    QTextEncoder encoder(c, bom ? QTextCodec::DefaultConversion : QTextCodec::IgnoreHeader);
    return encoder.fromUnicode(text);
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        const quint32 r = gen.generate();
        bytes[i] = (r % 40 == 0) ? '\n' : char(r >> 8);
    }
    return bytes;
}

// Texts searched in every file of the differential test.
const QStringList &probeTexts()
{
    static const QStringList texts{
        QStringLiteral("needle"),  QStringLiteral("NEEDLE"),  QStringLiteral("e"),
        QStringLiteral("edle ne"), QString::fromUtf8("ä"),    QString::fromUtf8("Ä€"),
        QStringLiteral("k"),       QStringLiteral("s"),       QString::fromUtf8("\u212A"),
        QString::fromUtf8("σ"),    QString::fromUtf8("ΟΣ"),   QString::fromUtf8("需要"),
        QStringLiteral("a\rn"),    QString(QChar(0xFFFD)),    QStringLiteral("\t"),
        QString::fromUtf8("\xf0\x9f\x98\x80"),                QStringLiteral("le\r"),
    };
    return texts;
}

} // namespace

class TestContentMatcher : public QObject
{
    Q_OBJECT

private slots:
    void sameHitsAsTextStream_data();
    void sameHitsAsTextStream();
    void sameHitsAsTextStreamUnderOtherLocale_data();
    void sameHitsAsTextStreamUnderOtherLocale();
    void deepSameHitsAsTextStream_data();
    void deepSameHitsAsTextStream();

    void normalModeCases_data();
    void normalModeCases();
    void asciiTransparentCodecs_data();
    void asciiTransparentCodecs();
    void deepFirstCodecWinsLineNumber();
    void deepPatternsLeaveOutCodecsThatCannotHoldText();
    void deepChineseTextFindsNoQuestionMarks();
    void deepHitTextIsCodecNameTabAndCutLine();
    void unreadableAndSpecialPathsGiveNoHits();
    void oneHugeLineKeepsMemoryBounded();
    void stopFlagEndsSearchAtOnce();
    void matchesNameTestsPartAfterLastSlash_data();
    void matchesNameTestsPartAfterLastSlash();
};

// Every encoding case the reading must agree on.
static void addEncodingRows()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString mixed = QString::fromUtf8("line one\nneedle Ä ä ÄÖÜ\r\n\u212Aelvin Tſ k s\n"
                                            "ΟΔΟΣ οδος οδοσ\n需要 needle\n\xf0\x9f\x98\x80 a\rn le\r\n");
    QTest::newRow("content/plain lines") << QByteArray("alpha\nbeta needle\ngamma\nneedle at start\n");
    QTest::newRow("content/last line without line end") << QByteArray("x\ny\nneedle");
    QTest::newRow("content/crlf line ends") << QByteArray("a needle\r\nb\r\n\r\nneedle\r\n");
    QTest::newRow("content/lone cr stays in the line") << QByteArray("a\rneedle\rb\nneedle a\rn\n");
    QTest::newRow("content/final cr ends the file") << QByteArray("x\nneedle le\r");
    QTest::newRow("content/only line ends") << QByteArray("\n\n\r\n\r\r\n");
    QTest::newRow("content/empty file") << QByteArray();
    QTest::newRow("content/utf-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF") + mixed.toUtf8();
    QTest::newRow("content/utf-8 byte-order mark alone") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("content/utf-8 byte-order mark inside lines")
        << QByteArray("a\xEF\xBB\xBFneedle\n\xEF\xBB\xBFneedle\n");
    QTest::newRow("content/utf-16 le with byte-order mark") << encoded("UTF-16LE", mixed, false).prepend("\xFF\xFE");
    QTest::newRow("content/utf-16 be with byte-order mark") << encoded("UTF-16BE", mixed, false).prepend("\xFE\xFF");
    QTest::newRow("content/utf-32 le with byte-order mark")
        << encoded("UTF-32LE", mixed, false).prepend(QByteArray("\xFF\xFE\x00\x00", 4));
    QTest::newRow("content/utf-32 be with byte-order mark")
        << encoded("UTF-32BE", mixed, false).prepend(QByteArray("\x00\x00\xFE\xFF", 4));
    QTest::newRow("content/utf-16 without byte-order mark") << encoded("UTF-16LE", mixed, false);
    QTest::newRow("content/utf-8 mixed scripts") << mixed.toUtf8();
    QTest::newRow("content/latin-1 bytes") << QTextCodec::codecForName("ISO-8859-1")->fromUnicode(
        QString::fromUtf8("needle Ä ä\nÄÖÜ needle\n"));
    QTest::newRow("content/invalid utf-8")
        << QByteArray("ne\xFF" "edle\nneedle\xE4\nabc\xE4\xB8\nk\xC5\nneedle\xE4");
    QTest::newRow("content/nul bytes") << QByteArray("nee\0dle\nneedle\0\0x\n\0", 19);
    QTest::newRow("content/line longer than 80 characters")
        << QByteArray(100, 'a') + "needle" + QByteArray(50, 'b') + "\n" + QByteArray(79, 'c') + "needle\n";
    QTest::newRow("content/multibyte line longer than 80 characters")
        << QString(QString::fromUtf8("ä€需") .repeated(40) + QStringLiteral("needle")).toUtf8();
    {
        QByteArray big = QString::fromUtf8("ä€\u212A").repeated(400000).toUtf8();
        big.insert(1000001, "needle");
        big += "needle\r\nshort needle\nk\n";
        QTest::newRow("content/line longer than the read buffer") << big;
    }
    {
        QByteArray edge(16383, 'x');
        edge += "\r\nneedle\n";
        edge += QByteArray((1 << 20) - edge.size() - 1, 'y');
        edge += "\r\nneedle\r";
        QTest::newRow("content/crlf split by read boundaries") << edge;
    }
    {
        QByteArray multi = QByteArray(16382, 'x') + QString::fromUtf8("€needle\n").toUtf8();
        QTest::newRow("content/character split by the stream's read size") << multi;
    }
    QTest::newRow("content/utf-7 and hz text in an ascii file")
        << QByteArray("plain\n") + encoded("UTF-7", QString::fromUtf8("x needle ä 需要"), false) + "\n"
               + encoded("HZ-GB-2312", QString::fromUtf8("需要 needle"), false) + "\nneedle\n"
               + "+AG4AZQBlAGQAbABl- is needle in UTF-7 only\n";
    // Lone surrogates vanish when converted: the hit text must come from
    // further into the line than its first 256 characters.
    QByteArray loneSurrogates;
    for (int i = 0; i < 250; ++i)
        loneSurrogates += "\xD8\x61";
    QTest::newRow("content/utf-16 be line opening with 250 lone surrogates")
        << loneSurrogates
               + encoded("UTF-16BE", QStringLiteral("needle ") + QString(100, 'x') + "\n", false);
    // QTextStream decodes in 16 KiB blocks: an invalid sequence cut by a
    // block end gives one replacement character, not two.
    QByteArray cutSequence(16384 - 9, 'x');
    cutSequence[16370] = '\n';
    QTest::newRow("content/invalid utf-8 cut by the stream's 16 KiB block end")
        << cutSequence + "needle \xE7\x86" + "\x7F needle\n";
    QTest::newRow("content/random bytes") << randomBytes(300000, 7) + "needle";
    QTest::newRow("content/random bytes with utf-16 byte-order mark")
        << QByteArray("\xFF\xFE") + randomBytes(50000, 11);
}

void TestContentMatcher::sameHitsAsTextStream_data()
{
    addEncodingRows();
}

void TestContentMatcher::sameHitsAsTextStream()
{
    QFETCH(QByteArray, bytes);
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), bytes);
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const QString &text : probeTexts()) {
            ContentMatcher m = normalMatcher(text, cs);
            const QList<TFileInfo> expected = referenceNormal(path, text, cs);
            const QList<TFileInfo> actual = search(m, path);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("text %1, case %2:\n got      %3\n expected %4")
                                     .arg(text).arg(int(cs))
                                     .arg(describeHits(actual).left(600), describeHits(expected).left(600))));
        }
    }
}

void TestContentMatcher::sameHitsAsTextStreamUnderOtherLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("content/latin-1 locale") << QByteArray("ISO-8859-1");
    QTest::newRow("content/gbk locale") << QByteArray("GBK");
}

void TestContentMatcher::sameHitsAsTextStreamUnderOtherLocale()
{
    QFETCH(QByteArray, locale);
    QTextCodec *const saved = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(locale));
    const QByteArray gbk =
        QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8("需要 needle\n其他\nä NEEDLE\r\n"));
    const QList<QByteArray> files{gbk, QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("需要 needle ä\n").toUtf8(),
                                  randomBytes(70000, 3), QByteArray("x\r\nneedle\r")};
    TreeBuilder tree;
    for (int i = 0; i < files.size(); ++i) {
        const QString path = tree.file(QString::number(i), files[i]);
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            for (const QString &text : probeTexts()) {
                ContentMatcher m = normalMatcher(text, cs);
                const QList<TFileInfo> expected = referenceNormal(path, text, cs);
                const QList<TFileInfo> actual = search(m, path);
                if (actual != expected) {
                    QTextCodec::setCodecForLocale(saved);
                    QFAIL(qPrintable(QStringLiteral("file %1 text %2: got %3, expected %4")
                                         .arg(i).arg(text, describeHits(actual), describeHits(expected))));
                }
            }
        }
    }
    QTextCodec::setCodecForLocale(saved);
}

void TestContentMatcher::deepSameHitsAsTextStream_data()
{
    addEncodingRows();
}

void TestContentMatcher::deepSameHitsAsTextStream()
{
    QFETCH(QByteArray, bytes);
    if (bytes.size() > (1 << 20))
        QSKIP("the reference reads large files too slowly for every codec");
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), bytes);
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const QString &text : {QStringLiteral("needle"), QString::fromUtf8("ä"),
                                    QString::fromUtf8("需要"), QStringLiteral("le\r")}) {
            ContentMatcher m;
            m.grepText = text;
            m.caseSensitivity = cs;
            m.deepSearch = true;
            m.codecPatterns = searchThread::buildCodecPatterns(text);
            const QList<TFileInfo> expected = referenceDeep(path, m.codecPatterns, cs);
            const QList<TFileInfo> actual = search(m, path);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("text %1, case %2:\n got      %3\n expected %4")
                                     .arg(text).arg(int(cs))
                                     .arg(describeHits(actual).left(800), describeHits(expected).left(800))));
        }
    }
}

void TestContentMatcher::normalModeCases_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("expected");  // "line:text" joined with " | "

    QTest::newRow("normal/lines 2 and 5 of a file")
        << QByteArray("a\nxabcx\nb\nc\nabc\n") << "abc" << false << "2:xabcx | 5:abc";
    QTest::newRow("normal/a line with the text twice gives one hit")
        << QByteArray("abc abc\n") << "abc" << false << "1:abc abc";
    QTest::newRow("normal/ignoring case finds upper case")
        << QByteArray("ABC\n") << "abc" << true << "1:ABC";
    QTest::newRow("normal/respecting case does not")
        << QByteArray("ABC\n") << "abc" << false << "";
    QTest::newRow("normal/last line without line end is read")
        << QByteArray("x\nabc") << "abc" << false << "2:abc";
    QTest::newRow("normal/crlf is not part of the line")
        << QByteArray("abc\r\nabc\r") << "abc" << false << "1:abc | 2:abc";
    QTest::newRow("normal/120 characters are cut to 80")
        << QByteArray(60, 'x') + "abc" + QByteArray(57, 'y') << "abc" << false
        << "1:" + QString(60, 'x') + "abc" + QString(17, 'y');
    QTest::newRow("normal/blanks around the text are searched")
        << QByteArray("abc\n abc \n") << " abc " << false << "2: abc ";
    QTest::newRow("normal/utf-16 with byte-order mark is decoded by it")
        << encoded("UTF-16LE", QStringLiteral("x\nabc\n"), false).prepend("\xFF\xFE") << "abc" << false
        << "2:abc";
    QTest::newRow("normal/utf-16 without byte-order mark is not")
        << encoded("UTF-16LE", QStringLiteral("x\nabc\n"), false) << "abc" << false << "";
    QTest::newRow("normal/kelvin sign matches k ignoring case")
        << QString::fromUtf8("\u212A\n").toUtf8() << "k" << true << QString::fromUtf8("1:\u212A");
    QTest::newRow("normal/long s matches S ignoring case")
        << QString::fromUtf8("ſ\n").toUtf8() << "S" << true << QString::fromUtf8("1:ſ");
}

void TestContentMatcher::normalModeCases()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, expected);
    TreeBuilder tree;
    ContentMatcher m = normalMatcher(text, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    QCOMPARE(describeHits(search(m, tree.file(QStringLiteral("f"), bytes))), expected);
}

void TestContentMatcher::asciiTransparentCodecs_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<bool>("transparent");
    QTest::newRow("ascii codecs/latin-1 reads ascii as ascii") << QByteArray("ISO-8859-1") << true;
    QTest::newRow("ascii codecs/gbk reads ascii as ascii") << QByteArray("GBK") << true;
    QTest::newRow("ascii codecs/utf-8 reads ascii as ascii") << QByteArray("UTF-8") << true;
    QTest::newRow("ascii codecs/utf-7 decodes base64 runs") << QByteArray("UTF-7") << false;
    QTest::newRow("ascii codecs/hz decodes tilde escapes") << QByteArray("HZ-GB-2312") << false;
    QTest::newRow("ascii codecs/iso-2022-jp decodes escapes") << QByteArray("ISO-2022-JP") << false;
    QTest::newRow("ascii codecs/ebcdic is not ascii") << QByteArray("IBM037") << false;
    QTest::newRow("ascii codecs/utf-16 pairs bytes") << QByteArray("UTF-16LE") << false;
}

void TestContentMatcher::asciiTransparentCodecs()
{
    QFETCH(QByteArray, codec);
    QFETCH(bool, transparent);
    QTextCodec *c = QTextCodec::codecForName(codec);
    QVERIFY(c);
    QCOMPARE(decodesAsciiAsItself(c), transparent);
}

void TestContentMatcher::deepFirstCodecWinsLineNumber()
{
    // Line 3 holds the text in Latin-1 and in UTF-8 alike; line 2 only where
    // é decodes as UTF-8.
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), "x\n\xC3\xA9t\xC3\xA9\nabc\n");
    ContentMatcher m;
    m.grepText = QStringLiteral("abc");
    m.deepSearch = true;
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec *latin1 = QTextCodec::codecForName("ISO-8859-1");
    m.codecPatterns = {CodecPattern{latin1, QStringLiteral("abc")},
                       CodecPattern{utf8, QStringLiteral("abc")},
                       CodecPattern{utf8, QString::fromUtf8("été")}};
    const QList<TFileInfo> hits = search(m, path);
    QCOMPARE(hits.size(), 2);
    QCOMPARE(hits[0].lineNo, 3);
    QCOMPARE(hits[0].lineText, QStringLiteral("[ISO-8859-1]\tabc"));
    QCOMPARE(hits[1].lineNo, 2);
    QCOMPARE(hits[1].lineText, QString::fromUtf8("[UTF-8]\tété"));

    // A later codec's different decoding of a line already reported adds nothing.
    m.codecPatterns = {CodecPattern{utf8, QString::fromUtf8("été")},
                       CodecPattern{latin1, QString::fromUtf8("Ã©")}};
    QCOMPARE(describeHits(search(m, path)), QString::fromUtf8("2:[UTF-8]\tété"));
}

void TestContentMatcher::deepPatternsLeaveOutCodecsThatCannotHoldText()
{
    const QList<CodecPattern> ascii = searchThread::buildCodecPatterns(QStringLiteral("abc"));
    const QList<CodecPattern> chinese = searchThread::buildCodecPatterns(QString::fromUtf8("需要"));
    QVERIFY(ascii.size() > 50);
    QVERIFY(chinese.size() < ascii.size());
    QStringList names;
    for (const CodecPattern &p : chinese) {
        QCOMPARE(p.text, QString::fromUtf8("需要"));
        names << QString::fromLatin1(p.codec->name());
    }
    QVERIFY2(names.contains(QStringLiteral("GBK")) && names.contains(QStringLiteral("UTF-8")),
             qPrintable(names.join(QLatin1Char(' '))));
    QVERIFY(!names.contains(QStringLiteral("ISO-8859-1")));
    // Patterns keep the order of the codec list.
    QList<QTextCodec *> codecs;
    for (const int mib : QTextCodec::availableMibs())
        codecs << QTextCodec::codecForMib(mib);
    int last = -1;
    for (const CodecPattern &p : chinese) {
        const int at = codecs.indexOf(p.codec, last + 1);
        QVERIFY(at > last);
        last = at;
    }
}

void TestContentMatcher::deepChineseTextFindsNoQuestionMarks()
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), "what??\nwhy ??\n" +
                                   QString::fromUtf8("需要\n").toUtf8());
    ContentMatcher m;
    m.grepText = QString::fromUtf8("需要");
    m.deepSearch = true;
    m.codecPatterns = searchThread::buildCodecPatterns(m.grepText);
    const QList<TFileInfo> hits = search(m, path);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].lineNo, 3);
}

void TestContentMatcher::deepHitTextIsCodecNameTabAndCutLine()
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), QByteArray(100, 'a') + "abc" + QByteArray(20, 'z'));
    ContentMatcher m;
    m.grepText = QStringLiteral("abc");
    m.deepSearch = true;
    m.codecPatterns = {CodecPattern{QTextCodec::codecForName("ISO-8859-1"), QStringLiteral("abc")}};
    const QList<TFileInfo> hits = search(m, path);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].lineText, QStringLiteral("[ISO-8859-1]\t") + QString(80, 'a'));
}

void TestContentMatcher::unreadableAndSpecialPathsGiveNoHits()
{
    TreeBuilder tree;
    const QString fifo = tree.path(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString locked = tree.file(QStringLiteral("locked"), "abc\n");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    const QString folder = tree.folder(QStringLiteral("abc"));

    for (const bool deep : {false, true}) {
        ContentMatcher m = normalMatcher(QStringLiteral("abc"), Qt::CaseSensitive);
        m.deepSearch = deep;
        m.codecPatterns = searchThread::buildCodecPatterns(m.grepText);
        // A FIFO would block the reader for ever; a kernel file never ends.
        QVERIFY(search(m, fifo).isEmpty());
        QVERIFY(search(m, QStringLiteral("/proc/self/status")).isEmpty());
        QVERIFY(search(m, QStringLiteral("/dev/zero")).isEmpty());
        QVERIFY(search(m, folder).isEmpty());
        QVERIFY(search(m, tree.path(QStringLiteral("missing"))).isEmpty());
        if (::geteuid() != 0)
            QVERIFY(search(m, locked).isEmpty());
    }
}

void TestContentMatcher::oneHugeLineKeepsMemoryBounded()
{
    // A sparse file of 512 MiB without a line end, the text at its very end.
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("huge"));
    const qint64 size = qint64(512) << 20;
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(size));
        QVERIFY(f.seek(size));
        f.write("needle");
    }
    rusage before;
    getrusage(RUSAGE_SELF, &before);
    ContentMatcher m = normalMatcher(QStringLiteral("needle"), Qt::CaseSensitive);
    const QList<TFileInfo> hits = search(m, path);
    rusage after;
    getrusage(RUSAGE_SELF, &after);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits[0].lineNo, 1);
    QCOMPARE(hits[0].lineText, QString(80, QChar(0)));
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024,
             qPrintable(QStringLiteral("grew by %1 KiB").arg(after.ru_maxrss - before.ru_maxrss)));
}

void TestContentMatcher::stopFlagEndsSearchAtOnce()
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), QByteArray("needle\n").repeated(1000));
    std::atomic_bool cancel{true};
    for (const bool deep : {false, true}) {
        ContentMatcher m = normalMatcher(QStringLiteral("needle"), Qt::CaseSensitive);
        m.deepSearch = deep;
        m.codecPatterns = searchThread::buildCodecPatterns(m.grepText);
        m.cancelFlag = &cancel;
        QVERIFY(search(m, path).isEmpty());
        cancel = false;
        QCOMPARE(search(m, path).size(), 1000);
        cancel = true;
    }
}

void TestContentMatcher::matchesNameTestsPartAfterLastSlash_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("expected");
    QTest::newRow("archive name/member in a folder matches by its own name")
        << QStringList{"*.txt"} << "docs/a.TXT" << true;
    QTest::newRow("archive name/folder part does not count")
        << QStringList{"docs*"} << "docs/a.txt" << false;
    QTest::newRow("archive name/folder entry has an empty name")
        << QStringList{"*doc*"} << "doc/" << false;
    QTest::newRow("archive name/star matches the empty name of a folder entry")
        << QStringList{"*"} << "doc/" << true;
    QTest::newRow("archive name/any pattern of the list")
        << QStringList{"*.c", "read?e"} << "readme" << true;
    QTest::newRow("archive name/no patterns match nothing") << QStringList{} << "a.txt" << false;
}

void TestContentMatcher::matchesNameTestsPartAfterLastSlash()
{
    QFETCH(QStringList, patterns);
    QFETCH(QString, member);
    QFETCH(bool, expected);
    ContentMatcher m;
    for (const QString &p : patterns)
        m.nameRegExps.append(QRegExp(p, Qt::CaseInsensitive, QRegExp::WildcardUnix));
    QCOMPARE(m.matchesName(member), expected);
}

QTEST_GUILESS_MAIN(TestContentMatcher)
#include "test_contentmatcher.moc"
