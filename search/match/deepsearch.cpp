#include "deepsearch.h"

#include "bytesearch.h"
#include "bytesource.h"
#include "codecprofile.h"
#include "codecs.h"
#include "fileencoding.h"
#include "hitline.h"
#include "linelayout.h"
#include "linematcher.h"
#include "utf8lines.h"

#include <QHash>
#include <QSet>
#include <QTextCodec>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A hit's head grows while its conversion stays short: the conversion can
// drop characters (lone surrogates through UTF-16, a "+" through UTF-7), and
// the hit must read as the whole line converted. The bound keeps memory in
// check on a huge line; a few characters past the 80 absorb what a cut at the
// head's end may change in the conversion's last characters.
constexpr int kMaxDeepHeadChars = 1 << 20;
constexpr int kConversionSlack = 8;
// The file is searched in pieces of at most this size, each read once and
// searched by every codec; a file of at most this size is one piece.
constexpr qint64 kPieceBytes = qint64(4) << 20;
// Lines holding a trigger byte are decoded when the piece holds at most
// this many kinds of them; with more, every line is.
constexpr int kMaxTriggerKinds = 4;
constexpr int kCancelCheckLines = 4096;
constexpr qint64 kDecodeStep = 1 << 16;  // bytes decoded between looks at the stop flag

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Hits read in GB18030, which holds every character.
QTextCodec *hitCodec()
{
    static QTextCodec *const gb18030 = QTextCodec::codecForName("gb18030");
    return gb18030;
}

// The first characters of a matching line that its hit text is made from.
QString hitHeadOf(const DeepPlan::Codec &codec, Qt::CaseSensitivity cs, const QString &line)
{
    LineMatcher heads(TextQuery(codec.text, cs), kHeadChars);
    QTextCodec *const target = hitCodec();
    heads.setHeadCheck(
            [&](const QString &head) {
                QString converted;
                convertThroughCodecs(head, codec.codec, converted, target);
                return converted.size() >= kMaxLineText + kConversionSlack;
            },
            kMaxDeepHeadChars);
    return heads.headOf(line);
}

// One file's search: the lines claimed so far and the state of the codecs
// that must read every byte.
class FileSearch
{
public:
    FileSearch(const DeepPlan &plan, const std::atomic_bool *cancel) : plan(plan), cancel(cancel)
    {
        streams.resize(plan.codecs.size());
    }

    void searchPiece(const char *data, qint64 size, qint64 offset, qint64 firstLineNo,
                     bool endsFile);
    void appendHits(HitSink &hits, const QString &reportName) const;
    qint64 linesIn(const char *data, qint64 size) const;

    FileEncoding encoding;

private:
    struct Claim
    {
        int codec;   // index into plan.codecs
        bool final;  // the file's own codec, or a decoding without replacement characters
        QString head;
    };

    struct Piece
    {
        const char *data;
        qint64 size;
        qint64 offset;  // of data[0] in the file
        qint64 firstLineNo;
        bool endsFile;
        ByteSet present;
        QHash<QPair<QByteArray, int>, QVector<LineSpan>> linesByNeedle;  // by needle and unit
    };

    bool decided(qint64 lineNo) const
    {
        const auto found = claims.constFind(lineNo);
        return found != claims.constEnd() && found->final;
    }
    void consider(int codec, const LineSpan &line, const QString &decoded, const Piece &piece);
    void searchCodec(int index, Piece &piece);
    // Decodes a line in steps, so that a stop is seen within a huge one; the
    // decoder goes on from step to step as it would in one call.
    QString decodeInSteps(QTextCodec *codec, const char *data, qint64 size,
                          QTextCodec::ConverterState *state) const;
    bool restartsIn(const CodecProfile::LineRestart &restart, const Piece &piece) const;
    void searchByTable(int index, Piece &piece, const SingleByteCodec &table);
    void searchByUnits(int index, Piece &piece);
    void searchRestarting(int index, Piece &piece);
    void searchStream(int index, Piece &piece);
    const QVector<LineSpan> &linesHolding(Piece &piece, const ByteNeedle &needle, int unit);
    QVector<LineSpan> linesHoldingAny(Piece &piece, const QVector<qint64> &offsets) const;
    QVector<LineSpan> allLines(const Piece &piece) const;

    const DeepPlan &plan;
    const std::atomic_bool *const cancel;
    std::vector<bool> own;  // per codec of the plan: the file's own codec
    int fileMark[2]
            = {-1, -1};  // the file's byte-order mark for units of 2, 4 bytes: -1 none, 0 LE, 1 BE
    QHash<qint64, Claim> claims;
    std::vector<std::unique_ptr<QTextCodec::ConverterState>> streams;
};

QString FileSearch::decodeInSteps(QTextCodec *codec, const char *data, qint64 size,
                                  QTextCodec::ConverterState *state) const
{
    QString decoded;
    for (qint64 done = 0; done < size && !cancelled(cancel); done += kDecodeStep)
        decoded += codec->toUnicode(data + done, int(qMin(kDecodeStep, size - done)), state);
    return decoded;
}

QVector<LineSpan> FileSearch::allLines(const Piece &piece) const
{
    QVector<LineSpan> lines;
    LineCursor cursor(piece.data, piece.size, encoding.lines, piece.firstLineNo);
    LineSpan line;
    while (cursor.nextLine(&line))
        lines.append(line);
    return lines;
}

qint64 FileSearch::linesIn(const char *data, qint64 size) const
{
    if (encoding.lines.unitBytes == 1)
        return qint64(countByte(data, size_t(size), encoding.lines.lineFeed));
    LineCursor cursor(data, size, encoding.lines, 1);
    LineSpan line {0, 0, 0, false};
    qint64 feeds = 0;
    while (cursor.nextLine(&line))
        feeds += line.endsWithFeed;
    return feeds;
}

// The lines holding `needle` at an offset that is a multiple of `unit`.
const QVector<LineSpan> &FileSearch::linesHolding(Piece &piece, const ByteNeedle &needle, int unit)
{
    const QPair<QByteArray, int> key(needle.key(), unit);
    auto found = piece.linesByNeedle.constFind(key);
    if (found != piece.linesByNeedle.constEnd())
        return *found;
    QVector<LineSpan> lines;
    LineCursor cursor(piece.data, piece.size, encoding.lines, piece.firstLineNo);
    qint64 pos = 0;
    while (pos < piece.size) {
        const size_t at = needle.findIn(piece.data + pos, size_t(piece.size - pos));
        if (at == size_t(piece.size - pos))
            break;
        const qint64 hit = pos + qint64(at);
        if ((piece.offset + hit) % unit != 0) {
            pos = hit + 1;
            continue;
        }
        // A unit belongs to the line that holds its last byte.
        const LineSpan line = cursor.lineHolding(hit + unit - 1);
        if (lines.isEmpty() || lines.last().lineNo != line.lineNo)
            lines.append(line);
        pos = qMax(hit + 1, line.end);
    }
    return *piece.linesByNeedle.insert(key, lines);
}

QVector<LineSpan> FileSearch::linesHoldingAny(Piece &piece, const QVector<qint64> &offsets) const
{
    QVector<LineSpan> lines;
    LineCursor cursor(piece.data, piece.size, encoding.lines, piece.firstLineNo);
    for (const qint64 offset : offsets) {
        const LineSpan line = cursor.lineHolding(offset);
        if (lines.isEmpty() || lines.last().lineNo != line.lineNo)
            lines.append(line);
    }
    return lines;
}

void FileSearch::consider(int codec, const LineSpan &line, const QString &decoded,
                          const Piece &piece)
{
    const DeepPlan::Codec &entry = plan.codecs[size_t(codec)];
    const bool lastLine = piece.endsFile && line.end == piece.size;
    const QString text = lineWithoutEnd(decoded, lastLine);
    if (plan.query.isLiteral() ? text.indexOf(entry.text, 0, plan.cs) == -1
                               : !plan.query.matches(text))
        return;
    const bool clean = readsAsText(text);
    const auto found = claims.constFind(line.lineNo);
    if (found != claims.constEnd() && (found->final || !clean))
        return;
    claims.insert(line.lineNo,
                  Claim {codec, own[size_t(codec)] || clean, hitHeadOf(entry, plan.cs, text)});
}

void FileSearch::searchByTable(int index, Piece &piece, const SingleByteCodec &table)
{
    const DeepPlan::Codec &entry = plan.codecs[size_t(index)];
    if (entry.tableNeedleKind == SingleByteCodec::Needle::NeverMatches)
        return;
    const QVector<LineSpan> lines = entry.tableNeedleKind == SingleByteCodec::Needle::Found
            ? linesHolding(piece, entry.tableNeedle, 1)
            : allLines(piece);
    const int lag = table.lag();
    for (const LineSpan &line : lines) {
        if (decided(line.lineNo))
            continue;
        const qint64 heldFrom = qMax<qint64>(0, line.start - lag);
        consider(index, line,
                 table.decode(piece.data + heldFrom, line.start - heldFrom)
                         + table.decode(piece.data + line.start,
                                        qMax<qint64>(0, line.end - line.start - lag)),
                 piece);
    }
}

void FileSearch::searchByUnits(int index, Piece &piece)
{
    const DeepPlan::Codec &entry = plan.codecs[size_t(index)];
    QTextCodec *const codec = entry.codec;
    const int width = entry.profile->units.unitBytes;
    bool bigEndian = entry.profile->units.bigEndian;
    QByteArray mark;
    if (entry.profile->unitsFollowMark) {
        const int fileOrder = fileMark[width == 4];
        bigEndian = fileOrder < 0 ? bigEndian : fileOrder == 1;
        mark = unitBytes(0xFEFF, width, bigEndian);
    }
    const ByteNeedle &needle = entry.unitNeedles[bigEndian];
    const QVector<LineSpan> lines
            = needle.isEmpty() ? allLines(piece) : linesHolding(piece, needle, width);
    for (const LineSpan &line : lines) {
        if (decided(line.lineNo))
            continue;
        // The units whose last byte lies in the line.
        const qint64 first
                = qMax<qint64>(0, ((piece.offset + line.start) / width) * width - piece.offset);
        const qint64 last = qMin<qint64>(
                piece.size, ((piece.offset + line.end) / width) * width - piece.offset);
        if (last <= first)
            continue;
        const bool fileStart = piece.offset + first == 0;
        QTextCodec::ConverterState state(fileStart || !mark.isEmpty()
                                                 ? QTextCodec::DefaultConversion
                                                 : QTextCodec::IgnoreHeader);
        QByteArray bytes = QByteArray::fromRawData(piece.data + first, int(last - first));
        if (!fileStart && !mark.isEmpty())
            bytes.prepend(mark);  // sets the byte order as the file's start did
        consider(index, line, decodeInSteps(codec, bytes.constData(), bytes.size(), &state), piece);
    }
}

void FileSearch::searchRestarting(int index, Piece &piece)
{
    const DeepPlan::Codec &entry = plan.codecs[size_t(index)];
    const SingleByteCodec *table = entry.profile->table;
    QVector<LineSpan> lines;
    if (!entry.asciiAnchorMade) {
        entry.asciiAnchorMade = true;
        entry.asciiAnchor
                = asciiAnchorFor(entry.text, plan.cs, entry.profile->lineRestart().asciiAnchored);
    }
    if (!entry.asciiAnchor.isEmpty()) {
        lines = linesHolding(piece, entry.asciiAnchor, 1);
    } else if (!entry.tailAnchor.isEmpty()) {
        lines = linesHolding(piece, entry.tailAnchor, 1);
    } else {
        // A line without trigger bytes decodes byte by byte; any other line may
        // decode to anything.
        QVector<qint64> offsets;
        int kinds = 0;
        for (int b = 0; table && b < 256; ++b)
            kinds += table->isTrigger(uchar(b)) && piece.present.has(uchar(b));
        if (!table || kinds > kMaxTriggerKinds
            || entry.tableNeedleKind == SingleByteCodec::Needle::NotByteSearchable) {
            lines = allLines(piece);
        } else {
            const char *const end = piece.data + piece.size;
            for (int b = 0; b < 256 && !cancelled(cancel); ++b) {
                if (!table->isTrigger(uchar(b)) || !piece.present.has(uchar(b)))
                    continue;
                // One offset per line is enough: go on after the line's end.
                for (const char *p = piece.data;
                     (p = static_cast<const char *>(memchr(p, b, size_t(end - p))));) {
                    offsets.append(p - piece.data);
                    const void *feed = memchr(p, '\n', size_t(end - p));
                    p = feed ? static_cast<const char *>(feed) + 1 : end;
                }
            }
            if (entry.tableNeedleKind == SingleByteCodec::Needle::Found) {
                for (const LineSpan &line : linesHolding(piece, entry.tableNeedle, 1))
                    offsets.append(line.start);
            }
            std::sort(offsets.begin(), offsets.end());
            lines = linesHoldingAny(piece, offsets);
        }
    }
    QTextCodec *const codec = entry.codec;
    for (const LineSpan &line : qAsConst(lines)) {
        if (decided(line.lineNo))
            continue;
        QTextCodec::ConverterState state(piece.offset + line.start == 0
                                                 ? QTextCodec::DefaultConversion
                                                 : QTextCodec::IgnoreHeader);
        consider(index, line,
                 decodeInSteps(codec, piece.data + line.start, line.end - line.start, &state),
                 piece);
    }
}

void FileSearch::searchStream(int index, Piece &piece)
{
    const DeepPlan::Codec &entry = plan.codecs[size_t(index)];
    QTextCodec *const codec = entry.codec;
    std::unique_ptr<QTextCodec::ConverterState> &state = streams[size_t(index)];
    if (!state)
        state = std::make_unique<QTextCodec::ConverterState>(QTextCodec::DefaultConversion);
    LineCursor cursor(piece.data, piece.size, encoding.lines, piece.firstLineNo);
    LineSpan line;
    int sinceCheck = 0;
    while (cursor.nextLine(&line)) {
        if (++sinceCheck == kCancelCheckLines) {
            sinceCheck = 0;
            if (cancelled(cancel))
                return;
        }
        const QString decoded
                = decodeInSteps(codec, piece.data + line.start, line.end - line.start, state.get());
        if (!decided(line.lineNo))
            consider(index, line, decoded, piece);
    }
}

bool FileSearch::restartsIn(const CodecProfile::LineRestart &restart, const Piece &piece) const
{
    if (!restart.restartsAtLineFeed)
        return false;
    for (const QByteArray &opener : restart.unlessOpened) {
        if (memmem(piece.data, size_t(piece.size), opener.constData(), size_t(opener.size())))
            return false;
    }
    return true;
}

void FileSearch::searchCodec(int index, Piece &piece)
{
    const CodecProfile &profile = *plan.codecs[size_t(index)].profile;
    if (profile.table && profile.table->decodesByteByByte(piece.present))
        searchByTable(index, piece, *profile.table);
    else if (profile.fixedUnits)
        searchByUnits(index, piece);
    else if (encoding.lines == LineLayout() && restartsIn(profile.lineRestart(), piece))
        searchRestarting(index, piece);
    else
        searchStream(index, piece);
}

void FileSearch::searchPiece(const char *data, qint64 size, qint64 offset, qint64 firstLineNo,
                             bool endsFile)
{
    Piece piece {data, size, offset, firstLineNo, endsFile, ByteSet(), {}};
    piece.present.addAll(data, size);
    if (offset == 0) {
        for (const int width : {2, 4}) {
            const bool littleMark
                    = size >= width && unitBytes(0xFEFF, width, false) == QByteArray(data, width);
            const bool bigMark
                    = size >= width && unitBytes(0xFEFF, width, true) == QByteArray(data, width);
            fileMark[width == 4] = bigMark ? 1 : littleMark ? 0 : -1;
        }
        own.assign(plan.codecs.size(), false);
        const QByteArray ownName = encoding.codec ? encoding.codec->name() : QByteArray();
        for (size_t i = 0; i < plan.codecs.size() && encoding.codec; ++i)
            own[i] = plan.codecs[i].codec == encoding.codec || plan.codecs[i].name == ownName;
    }
    // The file's own codec first: the lines it matches are named by it.
    for (const bool ownFirst : {true, false}) {
        for (size_t i = 0; i < plan.codecs.size(); ++i) {
            if (cancelled(cancel))
                return;
            if (own[i] == ownFirst)
                searchCodec(int(i), piece);
        }
    }
}

void FileSearch::appendHits(HitSink &hits, const QString &reportName) const
{
    QVector<QPair<QPair<int, qint64>, const Claim *>> ordered;
    ordered.reserve(claims.size());
    for (auto it = claims.constBegin(); it != claims.constEnd(); ++it)
        ordered.append(qMakePair(qMakePair(it->codec, it.key()), &it.value()));
    std::sort(ordered.begin(), ordered.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &item : qAsConst(ordered)) {
        const DeepPlan::Codec &entry = plan.codecs[size_t(item.first.first)];
        QString converted;
        convertThroughCodecs(item.second->head, entry.codec, converted,
                             hitCodec() ? hitCodec() : entry.codec);
        converted.replace(QLatin1Char('\n'), QLatin1Char(' '));
        hits.append(
                TFileInfo {reportName, item.first.second, entry.prefix + cutToLineText(converted)});
    }
}

// Appends up to `max` bytes to `buffer`; fewer only at the end of the data.
qint64 readMore(ByteSource &source, QByteArray &buffer, qint64 max)
{
    const int held = buffer.size();
    buffer.resize(held + int(max));
    qint64 got = 0;
    while (got < max) {
        const qint64 n = source.readInto(buffer.data() + held + got, max - got);
        if (n <= 0)
            break;
        got += n;
    }
    buffer.resize(held + int(got));
    return got;
}

}  // namespace

bool readsAsText(const QString &line)
{
    for (const QChar c : line) {
        const ushort u = c.unicode();
        if (u == 0xFFFD || u == 0x1A || (u >= 0x80 && u <= 0x9F))
            return false;
    }
    return true;
}

QString lineWithoutEnd(QString decoded, bool endsFile)
{
    const bool feed = decoded.endsWith(QLatin1Char('\n'));
    if (feed)
        decoded.chop(1);
    if ((feed || endsFile) && decoded.endsWith(QLatin1Char('\r')))
        decoded.chop(1);
    return decoded;
}

ByteNeedle asciiAnchorFor(const QString &text, Qt::CaseSensitivity cs, const bool *anchored)
{
    // The best run is kept as a range and copied once: copying it whenever it
    // grew made a long text cost time in the square of its length.
    int bestStart = 0;
    int bestSize = 0;
    int runStart = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const ushort u = c.unicode();
        const bool letter = (u | 0x20) >= 'a' && (u | 0x20) <= 'z';
        if (u < 0x80 && anchored[u] && (cs == Qt::CaseSensitive || !letter || anchored[u ^ 0x20])
            && !utf8AnchorFor(QString(c), cs).isEmpty()) {
            if (i + 1 - runStart > bestSize) {
                bestStart = runStart;
                bestSize = i + 1 - runStart;
            }
        } else {
            runStart = i + 1;
        }
    }
    return ByteNeedle(text.mid(bestStart, bestSize).toLatin1(), cs == Qt::CaseInsensitive);
}

ByteNeedle unitNeedleFor(const QString &text, Qt::CaseSensitivity cs, int width, bool bigEndian,
                         bool bmpOnly)
{
    const QVector<uint> points = text.toUcs4();
    const auto unitsOf = [&](uint point) {
        return width == 4 || point < 0x10000 ? unitBytes(point, width, bigEndian)
                                             : unitBytes(QChar::highSurrogate(point), 2, bigEndian)
                        + unitBytes(QChar::lowSurrogate(point), 2, bigEndian);
    };
    // The longest run by its bytes, kept as a range of points and made into
    // bytes once, so that a long text costs time in its length.
    int bestStart = 0;
    int bestEnd = 0;
    int bestBytes = 0;
    int runStart = 0;
    int runBytes = 0;
    for (int i = 0; i < points.size(); ++i) {
        const uint point = points[i];
        const bool bmp = point < 0x10000;
        const QString one = QString::fromUcs4(&point, 1);
        const bool searchable = (bmp || !bmpOnly)
                && (cs == Qt::CaseSensitive || (bmp && !utf8AnchorFor(one, cs).isEmpty()));
        if (!searchable) {
            runStart = i + 1;
            runBytes = 0;
            continue;
        }
        runBytes += width == 4 || bmp ? width : 4;
        if (runBytes > bestBytes) {
            bestStart = runStart;
            bestEnd = i + 1;
            bestBytes = runBytes;
        }
    }
    QByteArray best;
    QByteArray bestMask;
    best.reserve(bestBytes);
    bestMask.reserve(bestBytes);
    for (int i = bestStart; i < bestEnd; ++i) {
        const uint point = points[i];
        const QByteArray units = unitsOf(point);
        QByteArray mask(units.size(), '\0');
        if (cs == Qt::CaseInsensitive && point < 0x80 && QChar(point).isLetter())
            mask[bigEndian ? width - 1 : 0] = 0x20;
        best += units;
        bestMask += mask;
    }
    return ByteNeedle(best, bestMask);
}

ByteNeedle tailAnchorFor(QTextCodec *codec, const QString &text, Qt::CaseSensitivity cs)
{
    // Spaces and controls have bytes of their own, but a distance may reach
    // them too: the anchor stops before the first one.
    int base = 0;
    while (base < text.size() && text[base].unicode() <= 0x20)
        ++base;
    int end = base + 1;
    while (end < text.size() && text[end].unicode() > 0x20)
        ++end;
    const QString tail = text.mid(base + 1, end - base - 1);
    if (tail.isEmpty())
        return ByteNeedle();
    for (const QChar c : tail) {
        if (cs == Qt::CaseInsensitive
            && (c.toUpper() != c || c.toLower() != c || c.toCaseFolded() != c))
            return ByteNeedle();
    }
    const QByteArray whole = encodeText(codec, text.left(end));
    const QByteArray head = encodeText(codec, text.left(base + 1));
    if (!whole.startsWith(head) || whole.size() == head.size())
        return ByteNeedle();
    return ByteNeedle(whole.mid(head.size()), false);
}

bool DeepPlan::fits(const QList<CodecPattern> &other, const TextQuery &otherQuery) const
{
    if (!prepared || !otherQuery.sameAs(query) || other.size() != patterns.size())
        return false;
    for (int i = 0; i < other.size(); ++i) {
        if (other[i].codec != patterns[i].codec || other[i].text != patterns[i].text)
            return false;
    }
    return true;
}

bool DeepPlan::prepare(const QList<CodecPattern> &list, const TextQuery &textQuery,
                       const std::atomic_bool *cancel)
{
    patterns = list;
    query = textQuery;
    cs = query.anchorCase();
    prepared = false;
    codecs.clear();
    QSet<QPair<QTextCodec *, QString>> seen;
    for (const CodecPattern &pattern : list) {
        if (cancelled(cancel))
            return false;  // probing every codec takes a while the first time
        // An entry listed again decodes alike and comes later: it never names a line.
        const auto key = qMakePair(pattern.codec, pattern.text);
        if (!pattern.codec || seen.contains(key))
            continue;
        seen.insert(key);
        Codec codec;
        codec.codec = pattern.codec;
        codec.text = pattern.text;
        codec.name = pattern.codec->name();
        codec.prefix = QLatin1Char('[') + QString::fromLatin1(codec.name) + QLatin1String("]\t");
        codec.profile = &CodecProfile::of(pattern.codec);
        if (pattern.text.isEmpty()) {
            codecs.push_back(codec);  // no anchor: every line is decoded
            continue;
        }
        if (codec.profile->table)
            codec.tableNeedleKind
                    = codec.profile->table->needleFor(pattern.text, cs, &codec.tableNeedle);
        if (codec.profile->differenceCoded)
            codec.tailAnchor = tailAnchorFor(pattern.codec, pattern.text, cs);
        if (codec.profile->fixedUnits) {
            // Where a unit out of range decodes to a letter and a low surrogate,
            // only the text's last character may come from such a unit.
            const bool lettersFromJunk = codec.profile->junkUnitsMakeLetters;
            QVector<uint> points = pattern.text.toUcs4();
            if (lettersFromJunk && !points.isEmpty())
                points.removeLast();
            const QString anchored = QString::fromUcs4(points.constData(), points.size());
            for (const bool big : {false, true})
                codec.unitNeedles[big] = unitNeedleFor(anchored, cs, codec.profile->units.unitBytes,
                                                       big, lettersFromJunk);
        }
        codecs.push_back(codec);
    }
    prepared = true;
    return true;
}

void searchAllCodecs(const DeepPlan &plan, ByteSource &source, HitSink &hits,
                     const QString &reportName, const std::atomic_bool *cancel)
{
    FileSearch search(plan, cancel);
    QByteArray piece;
    qint64 offset = 0;
    qint64 firstLineNo = 1;
    for (;;) {
        if (cancelled(cancel))
            return;
        const qint64 wanted = kPieceBytes - piece.size();
        const bool endsFile = readMore(source, piece, wanted) < wanted || source.atEnd();
        const qint64 size = piece.size();
        if (offset == 0)
            search.encoding = detectFileEncoding(piece.constData(), size, endsFile);
        // A piece ends with a whole line where it can: a hit never spans two.
        qint64 cut = endsFile ? size : lastLineEnd(piece.constData(), size, search.encoding.lines);
        if (cut == 0)
            cut = size;  // a line longer than a piece
        if (cut > 0)
            search.searchPiece(piece.constData(), cut, offset, firstLineNo,
                               endsFile && cut == size);
        if (endsFile && cut == size)
            break;
        firstLineNo += search.linesIn(piece.constData(), cut);
        offset += cut;
        piece.remove(0, int(cut));
    }
    if (!cancelled(cancel))
        search.appendHits(hits, reportName);
}
