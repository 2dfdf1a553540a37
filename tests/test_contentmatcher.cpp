// Content matching: the matcher's fast reading must give exactly the hits of
// the straightforward reading: QTextStream line by line in normal mode, every
// codec decoding every line in deep mode.
#include "bytesearch.h"
#include "bytesource.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "deepsearch.h"
#include "fileencoding.h"
#include "referencereading.h"
#include "searchthread.h"
#include "singlebytecodec.h"
#include "timescale.h"
#include "treebuilder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
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
    // A file's hits carry its time as it was opened; a stream's have none.
    for (const TFileInfo &hit : fromFile) {
        if (!QTest::qVerify(hit.modified == info.lastModified().toSecsSinceEpoch(), "hit.modified",
                            "the file's time", __FILE__, __LINE__))
            break;
    }
    if (!info.isFile() || info.size() > (qint64(4) << 20) || !file.open(QIODevice::ReadOnly))
        return fromFile;
    static const qint64 pieces[] = {1, 7, 4096, 65537};
    int next = 0;
    std::vector<char> block;
    ByteSource stream([&](char *buffer,
                          qint64 max) { return file.read(buffer, qMin(max, pieces[next++ % 4])); },
                      block);
    matcher.searchStream(stream, hits, QStringLiteral("f"));
    const QList<TFileInfo> fromStream = hits.take();
    for (const TFileInfo &hit : fromStream) {
        if (!QTest::qVerify(hit.modified == TFileInfo::kNoTime, "hit.modified", "no time", __FILE__,
                            __LINE__))
            break;
    }
    if (fromStream == fromFile)
        return fromFile;
    qWarning("a stream of the same bytes gave other hits:\n%s\n%s",
             qPrintable(describeHits(fromStream).left(400)),
             qPrintable(describeHits(fromFile).left(400)));
    return {TFileInfo {QStringLiteral("the stream differs"), -1, QString()}};
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
    QByteArray bytes = encodeText(c, text);
    const QByteArray mark = encodeText(c, QString());
    if (!bom && bytes.startsWith(mark))
        bytes.remove(0, mark.size());
    return bytes;
}

ContentMatcher deepMatcher(const QString &text, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    ContentMatcher m;
    m.grepText = text;
    m.caseSensitivity = cs;
    m.deepSearch = true;
    m.codecPatterns = searchThread::buildCodecPatterns(text);
    return m;
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
    static const QStringList texts {
            QStringLiteral("needle"),    QStringLiteral("NEEDLE"),
            QStringLiteral("e"),         QStringLiteral("edle ne"),
            QString::fromUtf8("ä"),      QString::fromUtf8("Ä€"),
            QStringLiteral("k"),         QStringLiteral("s"),
            QString::fromUtf8("\u212A"), QString::fromUtf8("σ"),
            QString::fromUtf8("ΟΣ"),     QString::fromUtf8("需要"),
            QStringLiteral("a\rn"),      QString(QChar(0xFFFD)),
            QStringLiteral("\t"),        QString::fromUtf8("\xf0\x9f\x98\x80"),
            QStringLiteral("le\r"),
    };
    return texts;
}

// Each text in both case rules. Sanitizer builds run several times slower
// and look for memory and thread faults, not for other hits: there each
// text is tried once, the case rules alternating.
QList<QPair<QString, Qt::CaseSensitivity>> textsInCaseRules(const QStringList &texts)
{
    QList<QPair<QString, Qt::CaseSensitivity>> cases;
    for (int i = 0; i < texts.size(); ++i) {
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            if (kTimeScale == 1 || (i % 2 == 0) == (cs == Qt::CaseSensitive))
                cases.append(qMakePair(texts[i], cs));
        }
    }
    return cases;
}

}  // namespace

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
    void deepSameHitsInLegacyEncodings_data();
    void deepSameHitsInLegacyEncodings();
    void deepIssueCases_data();
    void deepIssueCases();
    void byteByByteCodecsOnAsciiData_data();
    void byteByByteCodecsOnAsciiData();
    void fileEncodingIsTold_data();
    void fileEncodingIsTold();
    void utf32TextsOutsideTheBmpRoundTrip_data();
    void utf32TextsOutsideTheBmpRoundTrip();
    void unlistedCodecsComeFromIcu();
    void deepFirstCodecWinsLineNumber();
    void deepPatternsLeaveOutCodecsThatCannotHoldText();
    void deepChineseTextFindsNoQuestionMarks();
    void deepHitTextIsCodecNameTabAndCutLine();
    void unreadableAndSpecialPathsGiveNoHits();
    void oneHugeLineKeepsMemoryBounded();
    void stopFlagEndsSearchAtOnce();
    void lineNumbersPass32Bits();
    void byteSearchAgreesWithAPlainScan();
    void deepAnchorsOfALongTextCostLinearTime_data();
    void deepAnchorsOfALongTextCostLinearTime();
};

// Every encoding case the reading must agree on.
static void addEncodingRows()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString mixed
            = QString::fromUtf8("line one\nneedle Ä ä ÄÖÜ\r\n\u212Aelvin Tſ k s\n"
                                "ΟΔΟΣ οδος οδοσ\n需要 needle\n\xf0\x9f\x98\x80 a\rn le\r\n");
    QTest::newRow("content/plain lines")
            << QByteArray("alpha\nbeta needle\ngamma\nneedle at start\n");
    QTest::newRow("content/last line without line end") << QByteArray("x\ny\nneedle");
    QTest::newRow("content/crlf line ends") << QByteArray("a needle\r\nb\r\n\r\nneedle\r\n");
    QTest::newRow("content/lone cr stays in the line") << QByteArray("a\rneedle\rb\nneedle a\rn\n");
    QTest::newRow("content/final cr ends the file") << QByteArray("x\nneedle le\r");
    QTest::newRow("content/only line ends") << QByteArray("\n\n\r\n\r\r\n");
    QTest::newRow("content/empty file") << QByteArray();
    QTest::newRow("content/utf-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBF") + mixed.toUtf8();
    QTest::newRow("content/utf-8 byte-order mark alone") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("content/utf-8 byte-order mark inside lines")
            << QByteArray("a\xEF\xBB\xBFneedle\n\xEF\xBB\xBFneedle\n");
    QTest::newRow("content/utf-16 le with byte-order mark")
            << encoded("UTF-16LE", mixed, false).prepend("\xFF\xFE");
    QTest::newRow("content/utf-16 be with byte-order mark")
            << encoded("UTF-16BE", mixed, false).prepend("\xFE\xFF");
    QTest::newRow("content/utf-32 le with byte-order mark")
            << encoded("UTF-32LE", mixed, false).prepend(QByteArray("\xFF\xFE\x00\x00", 4));
    QTest::newRow("content/utf-32 be with byte-order mark")
            << encoded("UTF-32BE", mixed, false).prepend(QByteArray("\x00\x00\xFE\xFF", 4));
    QTest::newRow("content/utf-16 without byte-order mark") << encoded("UTF-16LE", mixed, false);
    QTest::newRow("content/utf-8 mixed scripts") << mixed.toUtf8();
    QTest::newRow("content/latin-1 bytes")
            << QTextCodec::codecForName("ISO-8859-1")
                       ->fromUnicode(QString::fromUtf8("needle Ä ä\nÄÖÜ needle\n"));
    QTest::newRow("content/invalid utf-8")
            << QByteArray("ne\xFF"
                          "edle\nneedle\xE4\nabc\xE4\xB8\nk\xC5\nneedle\xE4");
    QTest::newRow("content/nul bytes") << QByteArray("nee\0dle\nneedle\0\0x\n\0", 19);
    QTest::newRow("content/line longer than 80 characters") << QByteArray(100, 'a') + "needle"
                    + QByteArray(50, 'b') + "\n" + QByteArray(79, 'c') + "needle\n";
    QTest::newRow("content/multibyte line longer than 80 characters")
            << QString(QString::fromUtf8("ä€需").repeated(40) + QStringLiteral("needle")).toUtf8();
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
    QTest::newRow("content/utf-7 and hz text in an ascii file") << QByteArray("plain\n")
                    + encoded("UTF-7", QString::fromUtf8("x needle ä 需要"), false) + "\n"
                    + encoded("HZ-GB-2312", QString::fromUtf8("需要 needle"), false) + "\nneedle\n"
                    + "+AG4AZQBlAGQAbABl- is needle in UTF-7 only\n";
    // Lone surrogates vanish when converted: the hit text must come from
    // further into the line than its first 256 characters.
    QByteArray loneSurrogates;
    for (int i = 0; i < 250; ++i)
        loneSurrogates += "\xD8\x61";
    QTest::newRow("content/utf-16 be line opening with 250 lone surrogates") << loneSurrogates
                    + encoded("UTF-16BE", QStringLiteral("needle ") + QString(100, 'x') + "\n",
                              false);
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
    for (const auto &[text, cs] : textsInCaseRules(probeTexts())) {
        ContentMatcher m = normalMatcher(text, cs);
        const QList<TFileInfo> expected = referenceNormal(path, text, cs);
        const QList<TFileInfo> actual = search(m, path);
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("text %1, case %2:\n got      %3\n expected %4")
                                     .arg(text)
                                     .arg(int(cs))
                                     .arg(describeHits(actual).left(600),
                                          describeHits(expected).left(600))));
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
    const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(
            QString::fromUtf8("需要 needle\n其他\nä NEEDLE\r\n"));
    const QList<QByteArray> files {
            gbk, QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("需要 needle ä\n").toUtf8(),
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
                    QFAIL(qPrintable(
                            QStringLiteral("file %1 text %2: got %3, expected %4")
                                    .arg(i)
                                    .arg(text, describeHits(actual), describeHits(expected))));
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

// Deep mode against the straightforward reading, for each text in its case rules.
static void compareDeepWithReference(const QByteArray &bytes, const QStringList &texts)
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), bytes);
    for (const auto &[text, cs] : textsInCaseRules(texts)) {
        ContentMatcher m;
        m.grepText = text;
        m.caseSensitivity = cs;
        m.deepSearch = true;
        m.codecPatterns = searchThread::buildCodecPatterns(text);
        const QList<TFileInfo> expected = referenceDeep(path, m.codecPatterns, cs);
        const QList<TFileInfo> actual = search(m, path);
        if (actual == expected)
            continue;
        int first = 0;  // the first hit that differs
        while (first < actual.size() && first < expected.size() && actual[first] == expected[first])
            ++first;
        const auto shown = [first](const QList<TFileInfo> &hits) {
            QString text = describeHits(hits.mid(first, 3));
            for (QChar &c : text)
                c = c.unicode() < 0x20 ? QLatin1Char('.') : c;
            return text;
        };
        QFAIL(qPrintable(
                QStringLiteral("text %1, case %2, from hit %3 on:\n got      %4\n expected %5")
                        .arg(text)
                        .arg(int(cs))
                        .arg(first)
                        .arg(shown(actual), shown(expected))));
    }
}

void TestContentMatcher::deepSameHitsAsTextStream()
{
    QFETCH(QByteArray, bytes);
    if (bytes.size() > (1 << 20))
        QSKIP("the reference reads large files too slowly for every codec");
    compareDeepWithReference(bytes,
                             {QStringLiteral("needle"), QString::fromUtf8("ä"),
                              QString::fromUtf8("需要"), QStringLiteral("le\r")});
}

void TestContentMatcher::deepSameHitsInLegacyEncodings_data()
{
    unlistedCodecs();  // makes the codecs Qt has no name for, such as EUC-TW
    QTest::addColumn<QByteArray>("bytes");
    // Lines in several scripts, the text on lines 2 and 4 and inside a word.
    const QString sample = QString::fromUtf8(
            "header line\nneedle 北京 Привет ő\r\nplain words\n日本語 Árvíztűrő needle\n"
            "Ελληνικά şğ ПРИВЕТ 北京 x\n\ntail needleX\n");
    const char *const codecs[] = {
            "GBK",        "GB18030",    "Big5",         "Shift_JIS",   "EUC-JP",
            "EUC-KR",     "KOI8-R",     "windows-1251", "ISO-8859-2",  "windows-1250",
            "ISO-8859-7", "ISO-8859-9", "UTF-16LE",     "UTF-16BE",    "UTF-32LE",
            "UTF-32BE",   "HZ-GB-2312", "ISO-2022-JP",  "ISO-2022-KR", "UTF-7",
            "SCSU",       "BOCU-1",     "IBM037",       "EUC-TW",      "x-mac-cyrillic",
            "UTF-8",      "CESU-8",     "TSCII",
    };
    for (const char *name : codecs) {
        QTextCodec *codec = QTextCodec::codecForName(name);
        QVERIFY2(codec, name);
        const QByteArray bytes = encodeText(codec, sample);
        QTest::newRow(qPrintable(QStringLiteral("deep/%1 file").arg(QLatin1String(name)))) << bytes;
        QTest::newRow(qPrintable(
                QStringLiteral("deep/%1 file after utf-8 lines").arg(QLatin1String(name))))
                << QString::fromUtf8("über needle\n").toUtf8() + bytes;
    }
    QTest::newRow("deep/utf-16 le with byte-order mark")
            << encodeText(QTextCodec::codecForName("UTF-16"), sample);
    QTest::newRow("deep/binary bytes with line feeds") << randomBytes(20000, 5) + "needle\n";
    // More than one piece of 4 MiB: a piece ends after a whole line, and the
    // line numbers go on across pieces.
    QByteArray pieces;
    for (int i = 0; pieces.size() < (5 << 20); ++i)
        pieces += (i % 997 == 0 ? QString::fromUtf8("北京 ő needle %1\n")
                                : QStringLiteral("filler line %1 of text\n"))
                          .arg(i)
                          .toUtf8();
    QTest::newRow("deep/file of two pieces") << pieces;
}

void TestContentMatcher::deepSameHitsInLegacyEncodings()
{
    QFETCH(QByteArray, bytes);
    // The reference decodes a big file slowly in every codec: one text there.
    if (bytes.size() > (1 << 20))
        compareDeepWithReference(bytes, {QString::fromUtf8("ő needle")});
    else
        compareDeepWithReference(bytes,
                                 {QStringLiteral("needle"), QString::fromUtf8("北京"),
                                  QString::fromUtf8("привет"), QString::fromUtf8("ő"),
                                  QString::fromUtf8("日本"), QStringLiteral("e\r")});
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
    QTest::newRow("normal/respecting case does not") << QByteArray("ABC\n") << "abc" << false << "";
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
            << encoded("UTF-16LE", QStringLiteral("x\nabc\n"), false).prepend("\xFF\xFE") << "abc"
            << false << "2:abc";
    QTest::newRow("normal/utf-16 without byte-order mark is not")
            << encoded("UTF-16LE", QStringLiteral("x\nabc\n"), false) << "abc" << false << "";
    QTest::newRow("normal/kelvin sign matches k ignoring case")
            << QString::fromUtf8("\u212A\n").toUtf8() << "k" << true
            << QString::fromUtf8("1:\u212A");
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

void TestContentMatcher::byteByByteCodecsOnAsciiData_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<bool>("byteByByte");
    QTest::newRow("byte tables/latin-1 decodes ascii byte by byte")
            << QByteArray("ISO-8859-1") << true;
    QTest::newRow("byte tables/gbk decodes ascii byte by byte") << QByteArray("GBK") << true;
    QTest::newRow("byte tables/utf-8 decodes ascii byte by byte") << QByteArray("UTF-8") << true;
    QTest::newRow("byte tables/ebcdic decodes byte by byte") << QByteArray("IBM037") << true;
    QTest::newRow("byte tables/utf-7 decodes base64 runs") << QByteArray("UTF-7") << false;
    QTest::newRow("byte tables/hz decodes tilde escapes") << QByteArray("HZ-GB-2312") << false;
    QTest::newRow("byte tables/iso-2022-jp decodes escapes") << QByteArray("ISO-2022-JP") << false;
    QTest::newRow("byte tables/utf-16 pairs bytes") << QByteArray("UTF-16LE") << false;
}

void TestContentMatcher::byteByByteCodecsOnAsciiData()
{
    QFETCH(QByteArray, codec);
    QFETCH(bool, byteByByte);
    QTextCodec *c = QTextCodec::codecForName(codec);
    QVERIFY(c);
    ByteSet ascii;
    for (char b = 0; b >= 0; ++b)
        ascii.addAll(&b, 1);
    const SingleByteCodec *table = SingleByteCodec::of(c);
    QCOMPARE(table && table->decodesByteByByte(ascii), byteByByte);
    // Without the trigger bytes, the stateful codecs read ASCII as it is.
    if (table) {
        ByteSet quiet;
        for (char b = 0; b >= 0; ++b) {
            if (!table->isTrigger(uchar(b)))
                quiet.addAll(&b, 1);
        }
        QVERIFY(table->decodesByteByByte(quiet));
    }
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
    m.codecPatterns = {CodecPattern {latin1, QStringLiteral("abc")},
                       CodecPattern {utf8, QStringLiteral("abc")},
                       CodecPattern {utf8, QString::fromUtf8("été")}};
    // The file is valid UTF-8: its own codec names every line it matches,
    // though Latin-1 comes first in the list.
    const QList<TFileInfo> hits = search(m, path);
    QCOMPARE(hits.size(), 2);
    QCOMPARE(hits[0].lineNo, 3);
    QCOMPARE(hits[0].lineText, QStringLiteral("[UTF-8]\tabc"));
    QCOMPARE(hits[1].lineNo, 2);
    QCOMPARE(hits[1].lineText, QString::fromUtf8("[UTF-8]\tété"));

    // Where the file's own codec is not in the list, the first codec wins.
    m.codecPatterns.removeLast();
    m.codecPatterns.removeLast();
    m.codecPatterns.append(
            CodecPattern {QTextCodec::codecForName("ISO-8859-2"), QStringLiteral("abc")});
    QCOMPARE(describeHits(search(m, path)), QStringLiteral("3:[ISO-8859-1]\tabc"));
    m.codecPatterns = {CodecPattern {latin1, QStringLiteral("abc")},
                       CodecPattern {utf8, QStringLiteral("abc")},
                       CodecPattern {utf8, QString::fromUtf8("été")}};

    // A later codec's different decoding of a line already reported adds nothing.
    m.codecPatterns = {CodecPattern {utf8, QString::fromUtf8("été")},
                       CodecPattern {latin1, QString::fromUtf8("Ã©")}};
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
    codecs += unlistedCodecs();
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
    const QString path = tree.file(QStringLiteral("f"),
                                   "what??\nwhy ??\n" + QString::fromUtf8("需要\n").toUtf8());
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
    const QString path
            = tree.file(QStringLiteral("f"), QByteArray(100, 'a') + "abc" + QByteArray(20, 'z'));
    ContentMatcher m;
    m.grepText = QStringLiteral("abc");
    m.deepSearch = true;
    m.codecPatterns
            = {CodecPattern {QTextCodec::codecForName("ISO-8859-1"), QStringLiteral("abc")}};
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
    // A sparse file of 512 MiB without a line end, the text at its very end;
    // 128 MiB in the slower sanitizer builds, still twice the bound.
    TreeBuilder tree;
    const qint64 size = qint64(kTimeScale == 1 ? 512 : 128) << 20;
    const QString path = tree.sparseFile(QStringLiteral("huge"), size);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("needle") == 6);
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

// 2^31 empty lines handed out by a stream, then the text: the hit's line
// number is counted in 64 bits, where 32 would give -2147483647.
void TestContentMatcher::lineNumbersPass32Bits()
{
    const qint64 emptyLines = qint64(1) << 31;
    const QByteArray last("NEEDLE\n");
    const qint64 total = emptyLines + last.size();
    qint64 served = 0;
    std::vector<char> block;
    ByteSource stream(
            [&](char *buffer, qint64 max) {
                const qint64 start = served;
                while (served < start + max && served < total) {
                    const qint64 room = start + max - served;
                    char *out = buffer + (served - start);
                    const qint64 n = served < emptyLines ? qMin(room, emptyLines - served)
                                                         : qMin(room, total - served);
                    if (served < emptyLines)
                        std::memset(out, '\n', size_t(n));
                    else
                        std::memcpy(out, last.constData() + (served - emptyLines), size_t(n));
                    served += n;
                }
                return served - start;
            },
            block);
    ContentMatcher m = normalMatcher(QStringLiteral("NEEDLE"), Qt::CaseSensitive);
    HitSink hits;
    m.searchStream(stream, hits, QStringLiteral("f"));
    const QList<TFileInfo> expected {TFileInfo {"f", emptyLines + 1, "NEEDLE"}};
    QCOMPARE(hits.take(), expected);
}

void TestContentMatcher::stopFlagEndsSearchAtOnce()
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f"), QByteArray("needle\n").repeated(1000));
    std::atomic_bool cancel {true};
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

void TestContentMatcher::deepIssueCases_data()
{
    unlistedCodecs();
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");  // "line:text" joined with " | "

    const auto in = [](const char *codec, const char *utf8) {
        return encodeText(QTextCodec::codecForName(codec), QString::fromUtf8(utf8));
    };
    QTest::newRow("deep/ascii text on a utf-8 line reads the line as utf-8")
            << in("UTF-8", "中文 foo\n") << "foo" << QString::fromUtf8("1:[UTF-8]\t中文 foo");
    QTest::newRow("deep/hungarian latin-2 lines read as latin-2, not latin-1")
            << in("ISO-8859-2",
                  "Árvíztűrő tükörfúrógép foo\nEgy két három négy öt hat hét nyolc "
                  "kilenc tíz árvíztűrő tükörfúrógép\n")
            << "foo" << QString::fromUtf8("1:[ISO-8859-2]\tÁrvíztűrő tükörfúrógép foo");
    QTest::newRow("deep/czech windows-1250 shows š, not a control character")
            << in("windows-1250",
                  "Příliš žluťoučký kůň úpěl ďábelské ódy foo\nNa křižovatce "
                  "šťastně čekali další lidé, kteří šli do města\n")
            << "foo"
            << QString::fromUtf8("1:[windows-1250]\tPříliš žluťoučký kůň úpěl ďábelské ódy foo");
    QTest::newRow("deep/hz swallowing a tilde line end reports no other line")
            << QByteArray("ends with tilde~\nsecond\nfind foo here\n") << "foo"
            << "3:[UTF-8]\tfind foo here";
    QTest::newRow("deep/scsu reports nothing more in a utf-16 be file")
            << QByteArray("\xFE\xFF")
                    + encoded("UTF-16BE", QString::fromUtf8("上 foo\n上上\nx\n上 foo 上\n"), false)
            << "foo" << QString::fromUtf8("1:[UTF-16BE]\t上 foo | 4:[UTF-16BE]\t上 foo 上");
    const QByteArray utf32 = in("UTF-32LE", "emoji 😀 here and 𐐷 deseret\nline two\n");
    QTest::newRow("deep/utf-32 line with emoji and deseret reads without garbage")
            << utf32 << "deseret" << QString::fromUtf8("1:[UTF-32LE]\temoji 😀 here and 𐐷 deseret");
    QTest::newRow("deep/an emoji is found in a utf-32 file")
            << utf32 << QString::fromUtf8("😀")
            << QString::fromUtf8("1:[UTF-32LE]\temoji 😀 here and 𐐷 deseret");
    QTest::newRow("deep/a deseret letter is found in a utf-32 file")
            << utf32 << QString::fromUtf8("𐐷")
            << QString::fromUtf8("1:[UTF-32LE]\temoji 😀 here and 𐐷 deseret");
    QTest::newRow("deep/a euc-tw file is read through icu")
            << in("EUC-TW", "中華民國 foo\n") << QString::fromUtf8("中華民國")
            << QString::fromUtf8("1:[EUC-TW]\t中華民國 foo");
    QTest::newRow("deep/gbk text in a file no detector tells reads without replacement characters")
            << in("GBK", "北京 x\n") << QString::fromUtf8("北京")
            << QString::fromUtf8("1:[GBK]\t北京 x");
}

void TestContentMatcher::deepIssueCases()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    TreeBuilder tree;
    ContentMatcher m = deepMatcher(text);
    QCOMPARE(describeHits(search(m, tree.file(QStringLiteral("f"), bytes))), expected);
}

void TestContentMatcher::fileEncodingIsTold_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("codec");  // empty: not told
    QTest::addColumn<int>("unitBytes");
    const QString russian = QString::fromUtf8(
            "Съешь же ещё этих мягких французских булок, да выпей чаю. В чащах юга жил бы цитрус? "
            "Да, но фальшивый экземпляр!\n");
    QTest::newRow("encoding/utf-8 byte-order mark") << QByteArray("\xEF\xBB\xBFx") << "UTF-8" << 1;
    QTest::newRow("encoding/utf-16 le byte-order mark")
            << QByteArray("\xFF\xFEx\0", 4) << "UTF-16LE" << 2;
    QTest::newRow("encoding/utf-16 be byte-order mark")
            << QByteArray("\xFE\xFF\0x", 4) << "UTF-16BE" << 2;
    QTest::newRow("encoding/utf-32 le byte-order mark")
            << QByteArray("\xFF\xFE\0\0x\0\0\0", 8) << "UTF-32LE" << 4;
    QTest::newRow("encoding/utf-32 be byte-order mark")
            << QByteArray("\0\0\xFE\xFF\0\0\0x", 8) << "UTF-32BE" << 4;
    QTest::newRow("encoding/an ascii file is utf-8") << QByteArray("plain\n") << "UTF-8" << 1;
    QTest::newRow("encoding/valid utf-8") << QString::fromUtf8("中文\n").toUtf8() << "UTF-8" << 1;
    QTest::newRow("encoding/koi8-r told by the detector")
            << QTextCodec::codecForName("KOI8-R")->fromUnicode(russian.repeated(4)) << "KOI8-R"
            << 1;
    QTest::newRow("encoding/windows-1251 told by the detector")
            << QTextCodec::codecForName("windows-1251")->fromUnicode(russian.repeated(4))
            << "windows-1251" << 1;
    QTest::newRow("encoding/shift_jis told by the detector")
            << QTextCodec::codecForName("Shift_JIS")
                       ->fromUnicode(
                               QString::fromUtf8("日本語のテキストです。これはテストです。\n"))
            << "Shift_JIS" << 1;
    QTest::newRow("encoding/random bytes are not told") << randomBytes(4000, 9) << "" << 1;
}

void TestContentMatcher::fileEncodingIsTold()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, codec);
    QFETCH(int, unitBytes);
    const FileEncoding told = detectFileEncoding(bytes.constData(), bytes.size(), true);
    QCOMPARE(told.codec ? QString::fromLatin1(told.codec->name()) : QString(), codec);
    QCOMPARE(told.lines.unitBytes, unitBytes);
    // A sequence cut by the end of the bytes held is no fault of the file.
    QVERIFY(isValidUtf8("ab\xE4\xB8", 4, false));
    QVERIFY(!isValidUtf8("ab\xE4\xB8", 4, true));
}

void TestContentMatcher::utf32TextsOutsideTheBmpRoundTrip_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::newRow("utf-32/bom-led") << QByteArray("UTF-32");
    QTest::newRow("utf-32/big endian") << QByteArray("UTF-32BE");
    QTest::newRow("utf-32/little endian") << QByteArray("UTF-32LE");
}

void TestContentMatcher::utf32TextsOutsideTheBmpRoundTrip()
{
    QFETCH(QByteArray, codec);
    QTextCodec *c = QTextCodec::codecForName(codec);
    const QString text = QString::fromUtf8("emoji 😀 here and 𐐷 deseret");
    const QByteArray bytes = encodeText(c, text);
    // Four bytes per code point and the mark, nothing after them.
    QCOMPARE(bytes.size(), 4 * (text.toUcs4().size() + 1));
    QCOMPARE(c->toUnicode(bytes), text);
    QString through;
    convertThroughCodecs(text, QTextCodec::codecForName("UTF-8"), through, c);
    QCOMPARE(through, text);
    bool found = false;
    for (const CodecPattern &p : searchThread::buildCodecPatterns(text))
        found = found || p.codec == c;
    QVERIFY2(found, "the codec keeps its pattern for a text outside the BMP");
}

void TestContentMatcher::unlistedCodecsComeFromIcu()
{
    QStringList names;
    for (QTextCodec *codec : unlistedCodecs()) {
        names << QString::fromLatin1(codec->name());
        QVERIFY(!QTextCodec::availableMibs().contains(codec->mibEnum()) || codec->mibEnum() == 0);
    }
    QVERIFY2(names.contains(QStringLiteral("EUC-TW"))
                     && names.contains(QStringLiteral("x-mac-cyrillic")),
             qPrintable(names.join(QLatin1Char(' '))));
    // The pathologically slow converter is left out.
    QVERIFY(!names.contains(QStringLiteral("ibm-25546")));
}

// The vector loops against a byte-by-byte scan: needles of every length up to
// nine, folded and not, in data of every length around the vector widths and
// at every alignment, so that each loop and its tail meet every case.
void TestContentMatcher::byteSearchAgreesWithAPlainScan()
{
    QRandomGenerator random(11);
    const QByteArray alphabet("aAbB\n\xe4");
    const auto draw = [&](int size) {
        QByteArray bytes(size, '\0');
        for (char &c : bytes)
            c = alphabet[int(random.bounded(alphabet.size()))];
        return bytes;
    };
    const auto asciiLower = [](QByteArray bytes) {
        for (char &c : bytes)
            c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        return bytes;
    };
    const QByteArray buffer = draw(4096);
    for (int round = 0; round < 3000; ++round) {
        const int length = int(random.bounded(300));
        const int start = int(random.bounded(64));
        const QByteArray needleBytes = draw(1 + int(random.bounded(9)));
        const bool fold = random.bounded(2) == 1;
        const ByteNeedle needle(needleBytes, fold);
        const char *data = buffer.constData() + start;
        size_t expected = size_t(length);
        for (int i = 0; i + needleBytes.size() <= length && expected == size_t(length); ++i) {
            const QByteArray here = QByteArray::fromRawData(data + i, needleBytes.size());
            if (fold ? asciiLower(here) == asciiLower(needleBytes) : here == needleBytes)
                expected = size_t(i);
        }
        QCOMPARE(needle.findIn(data, size_t(length)), expected);
        QCOMPARE(countByte(data, size_t(length), '\n'),
                 size_t(std::count(data, data + length, '\n')));
    }
}

void TestContentMatcher::deepAnchorsOfALongTextCostLinearTime_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bytesPerChar");
    QTest::newRow("UTF-16 units, case kept") << 0 << 2;
    QTest::newRow("UTF-32 units, case folded") << 1 << 4;
    QTest::newRow("an ASCII run, case folded") << 2 << 1;
}

// A deep search's anchors for one text 32 times as long cost about what
// they cost for 32 short texts, not 32 times that. The time is the thread's
// CPU time, so other work on the machine does not count; the bound is loose.
void TestContentMatcher::deepAnchorsOfALongTextCostLinearTime()
{
    QFETCH(int, kind);
    QFETCH(int, bytesPerChar);
    bool anchored[128];
    std::fill(std::begin(anchored), std::end(anchored), true);
    const auto anchor = [&](const QString &text) {
        switch (kind) {
        case 0:
            return unitNeedleFor(text, Qt::CaseSensitive, 2, false, false);
        case 1:
            return unitNeedleFor(text, Qt::CaseInsensitive, 4, true, false);
        default:
            return asciiAnchorFor(text, Qt::CaseInsensitive, anchored);
        }
    };
    const auto cpuSeconds = [] {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    };
    // No letter with a case variant outside ASCII ('k', 's'): the whole text
    // is one run.
    constexpr int kShort = 4096;
    constexpr int kTimes = 32;
    const QString shortText
            = QStringLiteral("alpha beta gamma delta omega ").repeated(200).left(kShort);
    const QString longText = shortText.repeated(kTimes);
    double shortCost = std::numeric_limits<double>::max();
    double longCost = shortCost;
    // Another round only when the first ones were out of bounds: a busy
    // machine may have slowed one of them.
    bool linear = false;
    for (int round = 0; round < 3 && !linear; ++round) {
        double start = cpuSeconds();
        for (int i = 0; i < kTimes; ++i)
            QCOMPARE(anchor(shortText).size(), kShort * bytesPerChar);
        shortCost = std::min(shortCost, cpuSeconds() - start);
        start = cpuSeconds();
        QCOMPARE(anchor(longText).size(), kShort * kTimes * bytesPerChar);
        longCost = std::min(longCost, cpuSeconds() - start);
        linear = longCost < 8 * shortCost;
    }
    QVERIFY2(linear,
             qPrintable(QStringLiteral("one long text %1 s, %2 short ones %3 s")
                                .arg(longCost)
                                .arg(kTimes)
                                .arg(shortCost)));
}

QTEST_GUILESS_MAIN(TestContentMatcher)
#include "test_contentmatcher.moc"
