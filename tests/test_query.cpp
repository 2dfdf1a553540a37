// What a search asks of the content beyond one literal text: expressions
// (checked line for line against GNU grep -P, which runs the same PCRE2),
// whole words, texts the file must or must not hold, binary files, lines
// around a hit and a limit per file.
#include "bytesource.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "referencereading.h"
#include "regexliteral.h"
#include "searchthread.h"
#include "textquery.h"
#include "treebuilder.h"
#include "visiblecontrols.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

Q_DECLARE_METATYPE(HitLimits)

namespace {

TextQuery query(const QStringList &texts, bool regex, bool wholeWords = false,
                Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    TextQuery made;
    TextQuery::Error error;
    if (!TextQuery::build(texts, TextQuery::Options {regex, wholeWords, cs}, &made, &error))
        qWarning("%s does not compile: %s", qPrintable(texts.join(QLatin1Char(' '))),
                 qPrintable(error.what.message));
    return made;
}

ContentMatcher matcherFor(const TextQuery &lines)
{
    ContentMatcher m;
    m.textQuery = lines;
    m.grepText = lines.literal();
    m.caseSensitivity = lines.caseSensitivity();
    m.localeCodec = QTextCodec::codecForLocale();
    return m;
}

QList<TFileInfo> searchPath(const ContentMatcher &m, const QString &path)
{
    HitSink hits;
    m.searchFile(path, hits, QStringLiteral("f"));
    return hits.take();
}

// The same file handed out as a stream in small pieces, as an archive member is.
QList<TFileInfo> searchAsStream(const ContentMatcher &m, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<char> block;
    ByteSource stream(
            [&](char *buffer, qint64 max) { return file.read(buffer, qMin<qint64>(max, 4099)); },
            block);
    HitSink hits;
    m.searchStream(stream, hits, QStringLiteral("f"));
    return hits.take();
}

QList<qint64> lineNumbers(const QList<TFileInfo> &hits)
{
    QList<qint64> numbers;
    for (const TFileInfo &hit : hits)
        numbers.append(hit.kind == TFileInfo::Kind::Context ? -hit.lineNo : hit.lineNo);
    return numbers;
}

// The lines grep prints for `arguments` on `path`: their numbers, negative
// for context lines ("N-" rather than "N:").
QList<qint64> grepLines(const QStringList &arguments, const QString &path)
{
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    grep.setProcessEnvironment(env);
    grep.start(QStringLiteral("grep"),
               QStringList {QStringLiteral("-n")} + arguments
                       + QStringList {QStringLiteral("--"), path});
    grep.waitForFinished(-1);
    QList<qint64> numbers;
    for (const QByteArray &line : grep.readAllStandardOutput().split('\n')) {
        int digits = 0;
        while (digits < line.size() && isdigit(uchar(line[digits])))
            ++digits;
        if (digits == 0)
            continue;  // "--" between groups, or the end
        const qint64 number = line.left(digits).toLongLong();
        numbers.append(line[digits] == '-' ? -number : number);
    }
    return numbers;
}

// Lines for the expression table: every row finds some and misses others.
const char *const kCorpusLines[] = {
        "abc at the start",
        "ends with abc",
        "",
        "call 555-1234 today",
        "Hello World and hello there",
        "the colour and the color",
        "grey or gray, cat or dog",
        "the thinking reader is reading",
        "这是中文搜索工具，可以搜索文件内容",
        "搜索所有的文件",
        "mixed 中文text and 文件",
        "Ελληνικά: σοφία ΣΟΦΊΑ",
        "Русский текст здесь",
        "café crème brûlée",
        "ÉCOLE and école",
        "foobar and foobaz",
        "price $42 and $7",
        "unable but capable and able",
        "aabbcc letters doubled",
        "two  spaces\tand a tab",
        "punctuation!? yes... really;;",
        "pi is 3.14159 and e 2.718",
        "  # a comment line",
        "mail me at someone@example.com",
        "a.c abc a-c",
        "error 42 and errno   7 and erro 3",
        "growth 12.5% and 7%",
        "queue of aeiou vowels",
        "rhythm",
        "die Straße und STRASSE",
        "smile \xf0\x9f\x98\x80 please",
        "ひらがな と カタカナ",
        "über schön ärger",
        "literal a.b*c here",
        "中a and 文b",
        "foo then bar",
        "bar then foo",
        "1234567 and 89",
        "ERROR: disk full",
        "an Error here",
        "tabs\t\tand\ttabs",
        "x",
        "abab and ababab",
        "short",
        "a line that is long enough to pass forty characters for sure",
        "numbers: 1,000,000",
        "Tom and TOM and tom",
        "end.",
};

QByteArray corpus(quint32 seed)
{
    QByteArray bytes;
    QRandomGenerator gen(seed);
    const int count = int(sizeof kCorpusLines / sizeof kCorpusLines[0]);
    for (int i = 0; i < 3 * count; ++i) {
        bytes += kCorpusLines[i < count ? i : gen.bounded(count)];
        if (i >= count && gen.bounded(3) == 0)
            bytes += QByteArray(" ") + kCorpusLines[gen.bounded(count)];
        bytes += '\n';
    }
    return bytes;
}

}  // namespace

class TestQuery : public QObject
{
    Q_OBJECT

private slots:
    void expressionsFindTheLinesGrepFinds_data();
    void expressionsFindTheLinesGrepFinds();
    void requiredLiteralOfExpression_data();
    void requiredLiteralOfExpression();
    void invalidExpressionSaysWhereAndWhy_data();
    void invalidExpressionSaysWhereAndWhy();
    void deepSearchExpressionFindsLegacyEncodings();
    void wholeWords_data();
    void wholeWords();
    void severalTextsFindAnyOfThem();
    void requiredAndExcludedTexts_data();
    void requiredAndExcludedTexts();
    void qualifyingFileWithManyHitsIsReadAgain();
    void binaryFiles_data();
    void binaryFiles();
    void contextAndLimitAsGrep_data();
    void contextAndLimitAsGrep();
    void countsAsGrep_data();
    void countsAsGrep();
    void controlsAreShownNotObeyed_data();
    void controlsAreShownNotObeyed();
    void knownLinesGiveTheHitsOfAFileOfThem_data();
    void knownLinesGiveTheHitsOfAFileOfThem();
};

void TestQuery::expressionsFindTheLinesGrepFinds_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("ignoreCase");
    const struct
    {
        const char *name;
        const char *pattern;
        bool ignoreCase;
    } rows[] = {
            {"anchor at the start", "^abc", false},
            {"anchor at the end", "abc$", false},
            {"empty line", "^$", false},
            {"digit counts", "\\d{3}-\\d{4}", false},
            {"capital then small letters", "[A-Z][a-z]+", false},
            {"negated class", "[^a-z ]{3}", false},
            {"optional letter", "colou?r", false},
            {"alternation in a group", "gr(a|e)y", false},
            {"alternation at the top", "cat|dog", false},
            {"word boundaries", "\\bthe\\b", false},
            {"not a boundary then a boundary", "\\Bing\\b", false},
            {"inline caseless", "(?i)hello", false},
            {"caseless by option", "hello", true},
            {"Han script run", "\\p{Han}+", false},
            {"three Han characters", "\\p{Han}{3}", false},
            {"CJK range by code point", "[\\x{4e00}-\\x{9fff}]", false},
            {"CJK literal", "中文", false},
            {"CJK with anything between", "搜索.*文件", false},
            {"upper then lower letter", "\\p{Lu}\\p{Ll}", false},
            {"Greek script", "\\p{Greek}", false},
            {"Cyrillic run", "\\p{Cyrillic}+", false},
            {"accented literal", "é", false},
            {"accented caseless inline", "(?i)ÉCOLE", false},
            {"code point escape", "caf\\x{e9}", false},
            {"lookahead", "foo(?=bar)", false},
            {"negative lookahead", "foo(?!bar)", false},
            {"lookbehind", "(?<=\\$)\\d+", false},
            {"negative lookbehind", "(?<!un)able", false},
            {"back reference", "(\\w)\\1", false},
            {"named back reference", "(?<w>[a-z])\\k<w>", false},
            {"two or more spaces", "\\s{2,}", false},
            {"tab escape", "\\t", false},
            {"POSIX punctuation class", "[[:punct:]]{2}", false},
            {"POSIX digits with a dot", "[[:digit:]]+\\.[[:digit:]]+", false},
            {"comment line", "^\\s*#", false},
            {"mail address", "\\w+@\\w+\\.com", false},
            {"any character", "a.c", false},
            {"escaped dot", "a\\.c", false},
            {"matches every line", "x*", false},
            {"long lines", ".{40,}", false},
            {"short lines", "^.{0,5}$", false},
            {"repeated group", "(?:ab){3}", false},
            {"subject start", "\\Aabc", false},
            {"subject end", "abc\\z", false},
            {"literal prefix then classes", "err(or|no)\\s+\\d+", false},
            {"percentages", "\\d+(?:\\.\\d+)?%", false},
            {"three vowels", "[aeiou]{3}", false},
            {"no vowels at all", "^[^aeiou]*$", false},
            {"sharp s caseless", "(?i)straße", false},
            {"emoji outside the BMP", "\\x{1F600}", false},
            {"Hiragana", "\\p{Hiragana}+", false},
            {"umlauts", "ü|ö|ä", false},
            {"quoted literal", "\\Qa.b*c\\E", false},
            {"Han then a Latin letter", "\\p{Han}[a-z]", false},
            {"Greek caseless", "σοφία", true},
            {"lines without a word", "^(?:(?!the).)*$", false},
            {"two words in order", "\\bfoo\\b.*\\bbar\\b", false},
            {"money", "\\$\\d+", false},
            {"caseless word", "\\bERROR\\b", true},
            {"possessive quantifier", "\\d++\\.", false},
            {"atomic group", "(?>a+)b", false},
            {"Unicode \\w by verb", "(*UCP)^\\w+$", false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromUtf8(row.pattern) << row.ignoreCase;
}

void TestQuery::expressionsFindTheLinesGrepFinds()
{
    QFETCH(QString, pattern);
    QFETCH(bool, ignoreCase);
    static TreeBuilder tree;
    static const QStringList files {tree.file(QStringLiteral("one.txt"), corpus(1)),
                                    tree.file(QStringLiteral("two.txt"), corpus(2))};
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const ContentMatcher m = matcherFor(query({pattern}, true, false, cs));
    QStringList grepArguments {QStringLiteral("-P"), pattern};
    if (ignoreCase)
        grepArguments.prepend(QStringLiteral("-i"));
    for (const QString &path : files) {
        const QList<qint64> expected = grepLines(grepArguments, path);
        QVERIFY2(!expected.isEmpty(), "the corpus must hold lines for every row");
        QCOMPARE(lineNumbers(searchPath(m, path)), expected);
        QCOMPARE(lineNumbers(searchAsStream(m, path)), expected);
    }
}

void TestQuery::requiredLiteralOfExpression_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<bool>("caseless");
    QTest::newRow("a plain word is its own literal") << "needle"
                                                     << "needle" << false;
    QTest::newRow("a word before a group") << "err(or|no)\\s+\\d+"
                                           << "err" << false;
    QTest::newRow("the longest run wins") << "ab.cdef\\d"
                                          << "cdef" << false;
    QTest::newRow("an optional letter ends the run before it") << "colou?r"
                                                               << "colo" << false;
    QTest::newRow("a repeated letter stays once") << "ab+cd"
                                                  << "ab" << false;
    QTest::newRow("escaped punctuation is a character") << "a\\.b\\.c"
                                                        << "a.b.c" << false;
    QTest::newRow("quoted text counts whole") << "x\\Qa.b*c\\Ey"
                                              << "xa.b*cy" << false;
    QTest::newRow("a hex escape is no letters") << "\\x41bc"
                                                << "bc" << false;
    QTest::newRow("an alternation at the top gives none") << "cat|dog"
                                                          << "" << false;
    QTest::newRow("classes break runs") << "[ab]cde[fg]"
                                        << "cde" << false;
    QTest::newRow("a leading (?i) ignores case") << "(?i)error"
                                                 << "error" << true;
    QTest::newRow("options later give none") << "ab(?i)cd"
                                             << "" << false;
    QTest::newRow("verbs give none") << "(*UCP)word"
                                     << "" << false;
    QTest::newRow("a zero minimum makes a letter optional") << "abc{0,2}d"
                                                            << "ab" << false;
    QTest::newRow("a property escape is no letter") << "\\p{Han}中文"
                                                    << "中文" << false;
    QTest::newRow("a back reference by name is no letters") << "(?<n>x)\\k<n>yz"
                                                            << "yz" << false;
}

void TestQuery::requiredLiteralOfExpression()
{
    QFETCH(QString, pattern);
    QFETCH(QString, literal);
    QFETCH(bool, caseless);
    bool gotCaseless = false;
    QCOMPARE(requiredLiteral(pattern, &gotCaseless), literal);
    QCOMPARE(gotCaseless, caseless);
}

void TestQuery::invalidExpressionSaysWhereAndWhy_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("text");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("words");
    QTest::newRow("an unclosed group")
            << QStringList {"ab(c"} << 0 << 4 << "missing closing parenthesis";
    QTest::newRow("a quantifier with nothing before it")
            << QStringList {"*a"} << 0 << 0 << "quantifier does not follow";
    QTest::newRow("the second text is named")
            << QStringList {"ok", "x[a"} << 1 << 3 << "missing terminating ]";
}

void TestQuery::invalidExpressionSaysWhereAndWhy()
{
    QFETCH(QStringList, texts);
    QFETCH(int, text);
    QFETCH(int, offset);
    QFETCH(QString, words);
    TextQuery made;
    TextQuery::Error error;
    QVERIFY(!TextQuery::build(texts, TextQuery::Options {true, false, Qt::CaseSensitive}, &made,
                              &error));
    QCOMPARE(error.text, text);
    QCOMPARE(error.what.offset, offset);
    QVERIFY2(error.what.message.contains(words), qPrintable(error.what.message));
}

void TestQuery::deepSearchExpressionFindsLegacyEncodings()
{
    TreeBuilder tree;
    const QString line = QString::fromUtf8("搜索结果：文件 1234 已找到");
    const QString other = QString::fromUtf8("没有数字的文件行");
    QByteArray utf16 = QTextCodec::codecForName("UTF-16LE")
                               ->fromUnicode(other + QLatin1Char('\n') + line + QLatin1Char('\n'));
    const QString gbk = tree.file(
            QStringLiteral("gbk.txt"),
            QTextCodec::codecForName("GBK")->fromUnicode(line + QLatin1Char('\n') + other));
    const QString wide = tree.file(QStringLiteral("utf16.txt"), utf16);
    ContentMatcher m = matcherFor(query({QString::fromUtf8("文件\\s*\\d+")}, true));
    m.deepSearch = true;
    m.codecPatterns = searchThread::buildCodecPatterns(m.textQuery.anchorText());
    for (const auto &[path, lineNo] : {qMakePair(gbk, 1), qMakePair(wide, 2)}) {
        const QList<TFileInfo> hits = searchPath(m, path);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits[0].lineNo, qint64(lineNo));
        QVERIFY2(hits[0].lineText.endsWith(line), qPrintable(hits[0].lineText));
    }
}

void TestQuery::wholeWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("found");
    QTest::newRow("a word between spaces") << "cat"
                                           << "the cat sat" << false << true;
    QTest::newRow("a word inside a longer one") << "cat"
                                                << "concatenate" << false << false;
    QTest::newRow("an underscore joins words") << "cat"
                                               << "cat_food" << false << false;
    QTest::newRow("a digit joins words") << "cat"
                                         << "cat9" << false << false;
    QTest::newRow("brackets part words") << "cat"
                                         << "(cat)" << false << true;
    QTest::newRow("a later occurrence stands alone") << "cat"
                                                     << "cats and cat" << false << true;
    QTest::newRow("an accented letter joins words") << "caf"
                                                    << "café" << false << false;
    QTest::newRow("CJK characters join words") << "中文"
                                               << "这是中文搜索" << false << false;
    QTest::newRow("CJK between spaces") << "中文"
                                        << "这是 中文 搜索" << false << true;
    QTest::newRow("CJK punctuation parts words") << "中文"
                                                 << "「中文」" << false << true;
    QTest::newRow("kana joins words") << "カタ"
                                      << "カタカナ" << false << false;
    QTest::newRow("other scripts' digits join words") << "5"
                                                      << "٣5" << false << false;
    QTest::newRow("a number at a full stop") << "123"
                                             << "total 123." << false << true;
    QTest::newRow("case ignored") << "CAT"
                                  << "a Cat here" << true << true;
    QTest::newRow("case kept") << "CAT"
                               << "a Cat here" << false << false;
}

void TestQuery::wholeWords()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, found);
    TreeBuilder tree;
    const QString path
            = tree.file(QStringLiteral("f.txt"), "before\n" + line.toUtf8() + "\nafter\n");
    const ContentMatcher m = matcherFor(
            query({text}, false, true, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive));
    QCOMPARE(lineNumbers(searchPath(m, path)), found ? QList<qint64> {2} : QList<qint64> {});
}

void TestQuery::severalTextsFindAnyOfThem()
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f.txt"), "alpha\nbeta\ngamma a+b\ndelta\n");
    QCOMPARE(lineNumbers(searchPath(matcherFor(query({"beta", "a+b"}, false)), path)),
             (QList<qint64> {2, 3}));
    QCOMPARE(lineNumbers(searchPath(matcherFor(query({"^d", "^a"}, true)), path)),
             (QList<qint64> {1, 4}));
}

void TestQuery::requiredAndExcludedTexts_data()
{
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QStringList>("excluded");
    QTest::addColumn<bool>("shown");
    QTest::newRow("no conditions") << QStringList() << QStringList() << true;
    QTest::newRow("a required text on another line")
            << QStringList {"omega"} << QStringList() << true;
    QTest::newRow("two required texts, one missing")
            << QStringList {"omega", "sigma"} << QStringList() << false;
    QTest::newRow("an excluded text present") << QStringList() << QStringList {"omega"} << false;
    QTest::newRow("an excluded text absent") << QStringList() << QStringList {"sigma"} << true;
    QTest::newRow("required present and excluded absent")
            << QStringList {"beta"} << QStringList {"sigma"} << true;
    QTest::newRow("required text on the hit's own line")
            << QStringList {"alpha"} << QStringList() << true;
}

void TestQuery::requiredAndExcludedTexts()
{
    QFETCH(QStringList, required);
    QFETCH(QStringList, excluded);
    QFETCH(bool, shown);
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f.txt"), "alpha one\nbeta\nalpha two\nomega\n");
    ContentMatcher m = matcherFor(query({"alpha"}, false));
    for (const QString &text : required)
        m.requiredTexts.append(query({text}, false));
    for (const QString &text : excluded)
        m.excludedTexts.append(query({text}, false));
    const QList<qint64> expected = shown ? QList<qint64> {1, 3} : QList<qint64> {};
    QCOMPARE(lineNumbers(searchPath(m, path)), expected);
    QCOMPARE(lineNumbers(searchAsStream(m, path)), expected);
}

void TestQuery::qualifyingFileWithManyHitsIsReadAgain()
{
    TreeBuilder tree;
    QByteArray bytes;
    for (int i = 0; i < 10000; ++i)
        bytes += "hit line\n";
    const QString qualifies = tree.file(QStringLiteral("yes.txt"), bytes + "last word\n");
    const QString fails = tree.file(QStringLiteral("no.txt"), bytes + "excluded word\n");
    ContentMatcher m = matcherFor(query({"hit"}, false));
    m.requiredTexts.append(query({"last"}, false));
    m.excludedTexts.append(query({"excluded"}, false));
    for (const auto &search : {searchPath, searchAsStream}) {
        QCOMPARE(search(m, qualifies).size(), 10000);
        QVERIFY(search(m, fails).isEmpty());
    }
}

void TestQuery::binaryFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("foundWhenSkipping");
    QTest::newRow("text") << QByteArray("a needle here\n") << true;
    QTest::newRow("a NUL in the first block") << QByteArray("\x7f"
                                                            "ELF\0\0 needle\n",
                                                            14)
                                              << false;
    QTest::newRow("a NUL past the first 64 KiB")
            << QByteArray(70000, 'x') + QByteArray("\nneedle\0\n", 9) << true;
    QTest::newRow("UTF-16 with its byte-order mark")
            << QTextCodec::codecForName("UTF-16LE")->fromUnicode(QStringLiteral("\uFEFFa needle\n"))
            << true;
}

void TestQuery::binaryFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, foundWhenSkipping);
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f.bin"), bytes);
    ContentMatcher m = matcherFor(query({"needle"}, false));
    QCOMPARE(searchPath(m, path).size(), 1);
    m.binaryFiles = ContentMatcher::BinaryFiles::WithoutMatch;
    QCOMPARE(searchPath(m, path).size(), foundWhenSkipping ? 1 : 0);
    QCOMPARE(searchAsStream(m, path).size(), foundWhenSkipping ? 1 : 0);
}

void TestQuery::contextAndLimitAsGrep_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<bool>("regex");
    QTest::newRow("lines after") << 0 << 2 << 0 << false;
    QTest::newRow("lines before") << 3 << 0 << 0 << false;
    QTest::newRow("lines around, groups merging") << 2 << 2 << 0 << false;
    QTest::newRow("a limit alone") << 0 << 0 << 2 << false;
    QTest::newRow("a limit with lines after, matches among them") << 0 << 3 << 2 << false;
    QTest::newRow("a limit with lines around") << 1 << 1 << 3 << false;
    QTest::newRow("an expression with lines around") << 1 << 2 << 0 << true;
}

void TestQuery::contextAndLimitAsGrep()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, maxCount);
    QFETCH(bool, regex);
    TreeBuilder tree;
    QByteArray bytes;
    QRandomGenerator gen(7);
    for (int i = 0; i < 300; ++i)
        bytes += gen.bounded(6) == 0 ? "a key line\n" : "plain\n";
    const QString path = tree.file(QStringLiteral("f.txt"), bytes);
    ContentMatcher m = matcherFor(query({regex ? "k.y" : "key"}, regex));
    m.limits = HitLimits {maxCount, before, after};
    QStringList arguments {QStringLiteral("-P"), QStringLiteral("-A%1").arg(after),
                           QStringLiteral("-B%1").arg(before), regex ? "k.y" : "key"};
    if (maxCount > 0)
        arguments.prepend(QStringLiteral("-m%1").arg(maxCount));
    const QList<qint64> expected = grepLines(arguments, path);
    QCOMPARE(lineNumbers(searchPath(m, path)), expected);
    QCOMPARE(lineNumbers(searchAsStream(m, path)), expected);
}

void TestQuery::countsAsGrep_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<bool>("skipBinary");
    QTest::newRow("a file with hits") << QByteArray("key\nno\nkey key\n") << 0 << false;
    QTest::newRow("a file without hits counts 0") << QByteArray("no\nnothing\n") << 0 << false;
    QTest::newRow("the limit caps the count") << QByteArray("key\nkey\nkey\n") << 2 << false;
    QTest::newRow("a binary file passed over counts 0") << QByteArray("key\0\n", 5) << 0 << true;
}

void TestQuery::countsAsGrep()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxCount);
    QFETCH(bool, skipBinary);
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f.txt"), bytes);
    ContentMatcher m = matcherFor(query({"key"}, false));
    m.limits.maxCount = maxCount;
    m.limits.countOnly = true;
    QStringList arguments {QStringLiteral("-c"), QStringLiteral("key")};
    if (maxCount > 0)
        arguments.prepend(QStringLiteral("-m%1").arg(maxCount));
    if (skipBinary) {
        m.binaryFiles = ContentMatcher::BinaryFiles::WithoutMatch;
        arguments.prepend(QStringLiteral("-I"));
    }
    QProcess grep;
    grep.start(QStringLiteral("grep"), arguments + QStringList {path});
    grep.waitForFinished(-1);
    const qint64 expected = grep.readAllStandardOutput().trimmed().toLongLong();
    for (const QList<TFileInfo> &hits : {searchPath(m, path), searchAsStream(m, path)}) {
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits[0].kind, TFileInfo::Kind::Count);
        QCOMPARE(hits[0].lineNo, expected);
    }
}

void TestQuery::controlsAreShownNotObeyed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain text stays") << "a\tb 中文"
                                      << "a\tb 中文";
    QTest::newRow("an escape sequence setting the title")
            << "x\x1b]0;owned\x07y" << QString::fromUtf8("x\u241b]0;owned\u2407y");
    QTest::newRow("NUL, carriage return and DEL")
            << QString::fromLatin1("a\0b\rc\x7f", 6) << QString::fromUtf8("a\u2400b\u240dc\u2421");
    QTest::newRow("an 8-bit CSI") << QString(QChar(0x9b)) + "2J"
                                  << "\\x9B2J";
}

void TestQuery::controlsAreShownNotObeyed()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(withVisibleControls(text), shown);
}

QTEST_GUILESS_MAIN(TestQuery)
#include "test_query.moc"

// A document's lines, searched as text that is known already, give exactly
// the hits a UTF-8 file of the same lines gives, each with its line's place.
void TestQuery::knownLinesGiveTheHitsOfAFileOfThem_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QStringList>("required");
    QTest::addColumn<QStringList>("excluded");
    QTest::addColumn<HitLimits>("limits");
    QTest::addColumn<int>("lineCount");
    const HitLimits all;
    QTest::newRow("a literal") << QStringList {"key"} << false << false << QStringList()
                               << QStringList() << all << 300;
    QTest::newRow("ignoring case, Chinese and Latin")
            << QStringList {"KEY", "中文"} << false << true << QStringList() << QStringList() << all
            << 300;
    QTest::newRow("an expression with lines around and a limit")
            << QStringList {"k.y"} << true << false << QStringList() << QStringList()
            << HitLimits {3, 1, 2, false} << 300;
    QTest::newRow("counts only") << QStringList {"key"} << false << false << QStringList()
                                 << QStringList() << HitLimits {0, 0, 0, true} << 300;
    QTest::newRow("a text it must hold, found late")
            << QStringList {"key"} << false << false << QStringList {"last line"} << QStringList()
            << all << 300;
    QTest::newRow("a text it must not hold") << QStringList {"key"} << false << false
                                             << QStringList() << QStringList {"中文"} << all << 300;
    QTest::newRow("more hits than are held while the conditions are open")
            << QStringList {"plain", "key"} << false << false << QStringList {"last line"}
            << QStringList() << all << 9000;
}

void TestQuery::knownLinesGiveTheHitsOfAFileOfThem()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, regex);
    QFETCH(bool, ignoreCase);
    QFETCH(QStringList, required);
    QFETCH(QStringList, excluded);
    QFETCH(HitLimits, limits);
    QFETCH(int, lineCount);

    QStringList lines;
    QRandomGenerator gen(3);
    for (int i = 0; i < lineCount; ++i) {
        const int kind = gen.bounded(8);
        lines << (kind == 0           ? QStringLiteral("a key line")
                          : kind == 1 ? QStringLiteral("中文 KEY")
                          : kind == 2 ? QString(100, QChar(0x6587))
                                      : QStringLiteral("plain"));
    }
    lines << QStringLiteral("the last line");
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("f.txt"), lines.join(QLatin1Char('\n')).toUtf8());
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    ContentMatcher m = matcherFor(query(texts, regex, false, cs));
    for (const QString &text : required)
        m.requiredTexts.append(query({text}, false, false, cs));
    for (const QString &text : excluded)
        m.excludedTexts.append(query({text}, false, false, cs));
    m.limits = limits;
    m.localeCodec = QTextCodec::codecForName("UTF-8");

    const auto placeOf
            = [](qint64 number) { return QStringLiteral("page %1").arg(number / 50 + 1); };
    int readings = 0;
    HitSink known;
    m.searchTextLines(
            [&](const ContentMatcher::TextLineTaker &take) {
                ++readings;
                for (int i = 0; i < lines.size(); ++i) {
                    if (!take(i + 1, lines[i], placeOf(i + 1)))
                        return;
                }
            },
            known, QStringLiteral("f"));
    QList<TFileInfo> hits = known.take();
    for (TFileInfo &hit : hits) {
        if (hit.kind != TFileInfo::Kind::Count) {
            QCOMPARE(hit.place, placeOf(hit.lineNo));
            hit.place.clear();
        }
    }
    QCOMPARE(hits, searchPath(m, path));
    QCOMPARE(hits.isEmpty(), !excluded.isEmpty());
    // Read once, unless more hits came than are held while the file's
    // conditions are open.
    QCOMPARE(readings, lineCount > 4096 ? 2 : 1);
}
