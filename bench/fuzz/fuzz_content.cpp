// Feeds arbitrary bytes to the content matcher as a file's content, in normal
// and deep mode, and aborts when its hits differ from the straightforward
// QTextStream reading. The first bytes choose the search:
//   byte 0: bit 0 ignore case, bit 1 also deep mode, bits 2-3 the locale
//           codec, bit 4 the text's bytes are UTF-8 (else Latin-1);
//   byte 1: the text's length in bytes, 1 to 8;
//   byte 2: r, the file is the rest of the input repeated 1 + r * r times, so
//           that short inputs reach the read and decode block boundaries;
//   then the text; then the file's repeated part.
#include "fuzzinput.h"
#include "referencereading.h"
#include "searchthread.h"

#include <QHash>
#include <QTextCodec>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t headerSize = 3;

// Deep mode reads the file once per codec in both readings; larger inputs
// only slow the fuzzer down without reaching new code.
constexpr size_t deepSizeLimit = 2048;

QTextCodec *localeCodec(int index)
{
    static const char *const names[] = {"UTF-8", "ISO-8859-1", "GBK", "Shift_JIS"};
    return QTextCodec::codecForName(names[index]);
}

// One matcher per locale codec, kept across inputs like the search thread's
// one matcher is kept across files, so that its caches are exercised.
ContentMatcher &matcherFor(int localeIndex)
{
    static ContentMatcher matchers[4];
    ContentMatcher &m = matchers[localeIndex];
    m.localeCodec = localeCodec(localeIndex);
    return m;
}

const QList<CodecPattern> &deepPatterns(int localeIndex, const QString &text)
{
    static QHash<QString, QList<CodecPattern>> cache[4];
    QHash<QString, QList<CodecPattern>> &patterns = cache[localeIndex];
    auto it = patterns.constFind(text);
    if (it != patterns.constEnd())
        return *it;
    if (patterns.size() > 4096)
        patterns.clear();
    return *patterns.insert(text, searchThread::buildCodecPatterns(text));
}

void compare(const char *mode, const QString &text, const QList<TFileInfo> &actual,
             const QList<TFileInfo> &expected)
{
    if (actual == expected)
        return;
    std::fprintf(stderr, "%s mode, text \"%s\", locale %s:\n got      %s\n expected %s\n", mode,
                 text.toUtf8().constData(), QTextCodec::codecForLocale()->name().constData(),
                 describeHits(actual).toUtf8().constData(),
                 describeHits(expected).toUtf8().constData());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < headerSize)
        return 0;
    const uint8_t flags = data[0];
    const size_t textLength = std::min<size_t>(1 + data[1] % 8, size - headerSize);
    const char *textBytes = reinterpret_cast<const char *>(data + headerSize);
    const QString text = (flags & 0x10) ? QString::fromUtf8(textBytes, int(textLength))
                                        : QString::fromLatin1(textBytes, int(textLength));
    if (text.isEmpty())
        return 0;
    const Qt::CaseSensitivity cs = (flags & 0x01) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const int localeIndex = (flags >> 2) & 3;
    const size_t contentOffset = headerSize + textLength;
    const QByteArray content
            = QByteArray::fromRawData(reinterpret_cast<const char *>(data + contentOffset),
                                      int(size - contentOffset))
                      .repeated(1 + data[2] * data[2]);
    const QByteArray path = writeFuzzInput(reinterpret_cast<const uint8_t *>(content.constData()),
                                           size_t(content.size()), "content");
    const QString file = QString::fromLocal8Bit(path);
    const QString reportName = QStringLiteral("content");

    // Both readings decode with the locale codec, as the search thread's
    // matcher does with the codec setParameters found.
    QTextCodec::setCodecForLocale(localeCodec(localeIndex));
    ContentMatcher &matcher = matcherFor(localeIndex);
    matcher.grepText = text;
    matcher.caseSensitivity = cs;

    matcher.deepSearch = false;
    HitSink normal;
    matcher.searchFile(file, normal, reportName);
    compare("normal", text, normal.take(), referenceNormal(file, text, cs, reportName));

    if ((flags & 0x02) && size_t(content.size()) <= deepSizeLimit) {
        matcher.deepSearch = true;
        matcher.codecPatterns = deepPatterns(localeIndex, text);
        HitSink deep;
        matcher.searchFile(file, deep, reportName);
        compare("deep", text, deep.take(),
                referenceDeep(file, matcher.codecPatterns, cs, reportName));
    }
    return 0;
}
