#include "utf8lines.h"

#include "bytesource.h"
#include "codecs.h"
#include "linematcher.h"
#include "textquery.h"

#include <QTextCodec>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kWorkBytes = 1 << 20;
// QTextStream reads and decodes a file in blocks of this size, carrying the
// decoder's state across; an invalid sequence cut by a block end decodes to
// fewer replacement characters than the same bytes decoded in one piece.
constexpr qint64 kStreamBlock = 16384;

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// For every case-folded BMP character: how many characters fold to it, and
// whether all of them are ASCII.
struct FoldClasses
{
    std::vector<quint16> members = std::vector<quint16>(0x10000, 0);
    std::vector<bool> allAscii = std::vector<bool>(0x10000, true);

    FoldClasses()
    {
        for (uint c = 0; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const ushort folded = QChar(ushort(c)).toCaseFolded().unicode();
            ++members[folded];
            if (c >= 0x80)
                allAscii[folded] = false;
        }
    }
};

bool searchableAsBytes(QChar c, Qt::CaseSensitivity cs)
{
    // Invalid input decodes to U+FFFD, so that character has no fixed bytes.
    if (c.isSurrogate() || c == QChar::ReplacementCharacter)
        return false;
    if (cs == Qt::CaseSensitive)
        return true;
    static const FoldClasses classes;
    const ushort folded = c.toCaseFolded().unicode();
    return c.unicode() < 0x80 ? bool(classes.allAscii[folded]) : classes.members[folded] == 1;
}

class Utf8LineScanner
{
public:
    Utf8LineScanner(ByteSource &source, const TextQuery &query, const ByteNeedle &anchor,
                    std::vector<char> &work, LineMatcher &longLines, const std::atomic_bool *cancel,
                    const LineReport &report)
        : source(source), query(query), anchor(anchor), longLines(longLines), cancel(cancel),
          report(report), everyLine(report.allLines || anchor.isEmpty()), utf8(utf8Codec()),
          work(work)
    {
        if (work.size() < kWorkBytes)
            work.resize(kWorkBytes);
    }

    void run()
    {
        for (;;) {
            if (cancelled(cancel) || stopped)
                return;
            const bool eof = fill();
            if (have == 0)
                return;
            size_t region = have;
            if (!eof) {
                const void *lastFeed = memrchr(work.data(), '\n', have);
                if (!lastFeed) {
                    if (!scanLongLine())
                        return;
                    continue;
                }
                region = size_t(static_cast<const char *>(lastFeed) - work.data()) + 1;
            }
            scanRegion(region, !eof);
            consume(region);
            if (eof)
                return;
        }
    }

private:
    // Tops up the work buffer; true when the file has no more bytes.
    bool fill()
    {
        while (have < work.size()) {
            const qint64 got = source.readInto(work.data() + have, qint64(work.size() - have));
            if (got <= 0)
                return true;
            have += size_t(got);
        }
        return false;
    }

    void consume(size_t bytes)
    {
        memmove(work.data(), work.data() + bytes, have - bytes);
        have -= bytes;
        workOffset += qint64(bytes);
    }

    // Only the very first bytes of the file may be a byte-order mark.
    QTextCodec::ConversionFlags decodeFlags(size_t lineStart) const
    {
        return workOffset + qint64(lineStart) == 0 ? QTextCodec::DefaultConversion
                                                   : QTextCodec::IgnoreHeader;
    }

    // Searches the complete lines in work[0, region). Lines after the last hit
    // are counted only when more lines follow: most files hold no hit.
    void scanRegion(size_t region, bool moreFollows)
    {
        const char *data = work.data();
        size_t pos = 0;
        size_t counted = 0;
        while (pos < region) {
            const size_t found = everyLine ? 0 : anchor.findIn(data + pos, region - pos);
            if (found == region - pos)
                break;
            const size_t hit = pos + found;
            const void *before = memrchr(data + pos, '\n', hit - pos);
            const size_t lineStart
                    = before ? size_t(static_cast<const char *>(before) - data) + 1 : pos;
            const void *after = memchr(data + hit, '\n', region - hit);
            const size_t lineEnd
                    = after ? size_t(static_cast<const char *>(after) - data) + 1 : region;
            linesDone += countByte(data + counted, lineStart - counted, '\n');
            counted = lineStart;
            checkLine(lineStart, lineEnd, after != nullptr);
            pos = lineEnd;
            if (everyLine) {
                ++linesDone;
                counted = lineEnd;
            }
            if (cancelled(cancel) || stopped)
                return;
        }
        if (moreFollows)
            linesDone += countByte(data + counted, region - counted, '\n');
    }

    // Tests the line work[start, end) and reports it when asked to.
    void checkLine(size_t start, size_t end, bool endsWithFeed)
    {
        if (query.isLiteral()) {
            const QString line = decodeLine(start, end, endsWithFeed);
            if (line.indexOf(query.literal(), 0, query.caseSensitivity()) != -1)
                reportLine(linesDone + 1, longLines.headOf(line), true);
            else if (report.allLines)
                reportLine(linesDone + 1, longLines.headOf(line), false);
            return;
        }
        size_t bytesEnd = end - (endsWithFeed ? 1 : 0);
        if (bytesEnd > start && work[bytesEnd - 1] == '\r')
            --bytesEnd;
        const bool matched = query.matchesUtf8(work.data() + start, bytesEnd - start);
        if (matched || report.allLines)
            reportLine(linesDone + 1, longLines.headOf(decodeLine(start, end, endsWithFeed)),
                       matched);
    }

    void reportLine(qint64 lineNo, const QString &head, bool matched)
    {
        if (!report.onLine(lineNo, head, matched))
            stopped = true;
    }

    // Decodes work[start, end) as the stream would (the '\n' included, so
    // pending bytes turn into replacement characters as they do there), in
    // pieces cut where the stream's read blocks end.
    QString decodeLine(size_t start, size_t end, bool endsWithFeed) const
    {
        QTextCodec::ConverterState state(decodeFlags(start));
        QString line;
        for (size_t pos = start; pos < end;) {
            const qint64 blockEnd = ((workOffset + qint64(pos)) / kStreamBlock + 1) * kStreamBlock;
            const size_t pieceEnd = std::min(end, size_t(blockEnd - workOffset));
            line += utf8->toUnicode(work.data() + pos, int(pieceEnd - pos), &state);
            pos = pieceEnd;
        }
        if (endsWithFeed)
            line.chop(1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);  // "\r\n", or a '\r' that ends the file
        return line;
    }

    // The work buffer holds the start of a line and no line end: decode the
    // line piecewise. False when cancelled.
    bool scanLongLine()
    {
        QTextCodec::ConverterState state(decodeFlags(0));
        longLines.begin();
        for (;;) {
            const void *feed = memchr(work.data(), '\n', have);
            const size_t take
                    = feed ? size_t(static_cast<const char *>(feed) - work.data()) + 1 : have;
            QString piece = utf8->toUnicode(work.data(), int(take), &state);
            if (feed)
                piece.chop(1);
            longLines.feed(piece.constData(), piece.size());
            consume(take);
            if (feed)
                break;
            if (cancelled(cancel))
                return false;
            if (fill() && have == 0)
                break;
        }
        longLines.finish(true);
        ++linesDone;
        if (longLines.matched() || report.allLines)
            reportLine(linesDone, longLines.head(), longLines.matched());
        return !stopped;
    }

    ByteSource &source;
    const TextQuery &query;
    const ByteNeedle &anchor;
    LineMatcher &longLines;
    const std::atomic_bool *cancel;
    const LineReport &report;
    const bool everyLine;  // each line is looked at, not only those with the anchor
    QTextCodec *const utf8;
    bool stopped = false;  // the report wants no more lines

    std::vector<char> &work;
    size_t have = 0;        // bytes held in work
    qint64 workOffset = 0;  // file offset of work[0], always a line start
    qint64 linesDone = 0;   // lines that end before work[0] or were counted
};

}  // namespace

ByteNeedle utf8AnchorFor(const QString &text, Qt::CaseSensitivity cs)
{
    QByteArray best;
    int runStart = 0;
    for (int i = 0; i <= text.size(); ++i) {
        if (i < text.size() && searchableAsBytes(text[i], cs))
            continue;
        const QByteArray run = text.mid(runStart, i - runStart).toUtf8();
        if (run.size() > best.size())
            best = run;
        runStart = i + 1;
    }
    return ByteNeedle(best, cs == Qt::CaseInsensitive);
}

void searchUtf8Lines(ByteSource &source, const TextQuery &query, const ByteNeedle &anchor,
                     std::vector<char> &work, LineMatcher &longLines,
                     const std::atomic_bool *cancel, const LineReport &report)
{
    Utf8LineScanner(source, query, anchor, work, longLines, cancel, report).run();
}
