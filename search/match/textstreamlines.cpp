#include "textstreamlines.h"

#include "bytesource.h"
#include "linematcher.h"
#include "textquery.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <algorithm>

namespace {

constexpr qint64 kStreamRead = 16384;   // QTextStream's read size
constexpr int kSpillChars = 1 << 16;    // decoded characters of one line kept at most
constexpr int kCompactChars = 1 << 16;  // consumed characters dropped from the front

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

class DecodedStream
{
public:
    DecodedStream(ByteSource &source, QTextCodec *codec, bool detectUnicode)
        : source(source), codec(codec), detectUnicode(detectUnicode)
    {
    }

    // Reads and decodes one more block; false when it adds no characters.
    bool fill()
    {
        const char *data = nullptr;
        const qint64 got = source.next(&data, kStreamRead);
        if (got <= 0)
            return false;
        if (detectUnicode) {
            detectUnicode = false;
            codec = QTextCodec::codecForUtfText(QByteArray::fromRawData(data, int(got)), codec);
            if (!codec)
                codec = QTextCodec::codecForLocale();
        }
        const int before = buffer.size();
        buffer += codec->toUnicode(data, int(got), &state);
        return buffer.size() > before;
    }

    bool atEnd() { return pos >= buffer.size() && source.atEnd(); }

    ByteSource &source;
    QTextCodec *codec;
    bool detectUnicode;
    QTextCodec::ConverterState state;
    QString buffer;
    int pos = 0;  // first unconsumed character
};

// Consumes the complete lines at the front of the buffer that cannot hold
// `text`: all of them when none does, else those before the first that may.
// A hit never covers a '\n', so it lies inside one line.
int skipLinesWithoutText(DecodedStream &in, const QString &text, Qt::CaseSensitivity cs)
{
    const int lastFeed = in.buffer.lastIndexOf(QLatin1Char('\n'));
    if (lastFeed < in.pos)
        return 0;
    const int hit = QStringRef(&in.buffer, in.pos, lastFeed - in.pos).indexOf(text, 0, cs);
    const int stop
            = hit < 0 ? lastFeed + 1 : in.buffer.lastIndexOf(QLatin1Char('\n'), in.pos + hit) + 1;
    if (stop <= in.pos)
        return 0;
    const QChar *chars = in.buffer.constData();
    const int lines = int(std::count(chars + in.pos, chars + stop, QLatin1Char('\n')));
    in.pos = stop;
    return lines;
}

}  // namespace

void searchTextStreamLines(ByteSource &source, QTextCodec *codec, bool detectUnicode,
                           const TextQuery &query, LineMatcher &matcher,
                           const std::atomic_bool *cancel, const LineReport &report)
{
    // Lines without the anchor cannot match; with none, every line is tried.
    const bool skips = !report.allLines && !query.anchorText().isEmpty();
    DecodedStream in(source, codec, detectUnicode);
    qint64 lineNo = 0;
    while (!in.atEnd()) {
        if (cancelled(cancel))
            return;
        if (in.pos > kCompactChars) {
            in.buffer.remove(0, in.pos);
            in.pos = 0;
        }
        if (skips)
            lineNo += skipLinesWithoutText(in, query.anchorText(), query.anchorCase());
        if (in.atEnd())
            break;
        ++lineNo;
        matcher.begin();
        int scanFrom = in.pos;
        int lineFeed = -1;
        qint64 lineChars = 0;
        for (;;) {
            lineFeed = in.buffer.indexOf(QLatin1Char('\n'), scanFrom);
            if (lineFeed >= 0)
                break;
            // Hand over all but the last character (it may be the '\r' of a
            // "\r\n") so a long line never piles up.
            const int pending = in.buffer.size() - in.pos;
            if (pending > kSpillChars) {
                matcher.feed(in.buffer.constData() + in.pos, pending - 1);
                lineChars += pending - 1;
                in.buffer.remove(0, in.buffer.size() - 1);
                in.pos = 0;
            }
            scanFrom = in.buffer.size();
            if (cancelled(cancel))
                return;
            if (!in.fill())
                break;
        }
        const int end = lineFeed >= 0 ? lineFeed : in.buffer.size();
        lineChars += end - in.pos;
        if (lineFeed < 0 && lineChars == 0)
            continue;  // readLine gives an empty string and consumes nothing
        matcher.feed(in.buffer.constData() + in.pos, end - in.pos);
        in.pos = lineFeed >= 0 ? lineFeed + 1 : end;
        matcher.finish(lineFeed >= 0 || in.source.atEnd());
        if ((matcher.matched() || report.allLines)
            && !report.onLine(lineNo, matcher.head(), matcher.matched()))
            return;
    }
}
