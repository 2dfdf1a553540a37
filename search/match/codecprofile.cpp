#include "codecprofile.h"

#include "codecs.h"

#include "singlebytecodec.h"

#include <QHash>
#include <QTextCodec>

#include <algorithm>
#include <memory>

namespace {

// A UTF-16 or UTF-32 decoder: units of the layout's width decode one by one,
// ASCII and a BMP letter alike, and the byte-order mark of the other order is
// no mark for it unless it follows marks.
void probeFixedUnits(QTextCodec *codec, CodecProfile *profile)
{
    const QString expected = QString::fromUtf8("A中\n");
    // Some decoders (ICU's "UTF-16,version=1") want a mark first: tried last,
    // so that a decoder reads without one in its own order.
    for (const bool marked : {false, true}) {
        for (const int width : {2, 4}) {
            for (const bool big : {true, false}) {
                const QByteArray text = (marked ? unitBytes(0xFEFF, width, big) : QByteArray())
                        + unitBytes('A', width, big) + unitBytes(0x4E2D, width, big)
                        + unitBytes('\n', width, big);
                if (decodeFresh(codec, text,
                                marked ? QTextCodec::DefaultConversion : QTextCodec::IgnoreHeader)
                    != expected)
                    continue;
                profile->fixedUnits = true;
                profile->units = LineLayout {width, big, '\n'};
                const QByteArray otherMark = unitBytes(0xFEFF, width, !big);
                profile->unitsFollowMark
                        = decodeFresh(codec, otherMark + unitBytes('A', width, !big),
                                      QTextCodec::DefaultConversion)
                        == QStringLiteral("A");
                const QString junk = decodeFresh(codec, unitBytes(0x41000000, width, big));
                profile->junkUnitsMakeLetters
                        = width == 4 && !junk.isEmpty() && junk[0] != QChar::ReplacementCharacter;
                return;
            }
        }
    }
}

// Marks the ASCII characters that the decoding of a two-byte line "a b"
// holds other than as a first for a or as a last for b.
void markAsciiFromOtherBytes(const QByteArray &pair, const QString &decoded, bool *anchored)
{
    const uchar a = uchar(pair[0]);
    const uchar b = uchar(pair[1]);
    int from = 0;
    int to = decoded.size();
    if (a < 0x80) {
        if (decoded.isEmpty() || decoded[0].unicode() != a)
            anchored[a] = false;
        else
            from = 1;
    }
    if (b < 0x80 && to > from && decoded[to - 1].unicode() == b)
        --to;
    for (int i = from; i < to; ++i) {
        if (decoded[i].unicode() < 0x80)
            anchored[decoded[i].unicode()] = false;
    }
}

// Lines of every byte followed by a few others and random lines; each with
// its line feed.
QList<QByteArray> restartProbeLines()
{
    QList<QByteArray> lines;
    const char followers[] = {'\0', ' ', 'A', '\x7F', '\x80', '\xA1', '\xFF'};
    for (int a = 0; a < 256; ++a) {
        if (a == '\n')
            continue;
        lines.append(QByteArray(1, char(a)));
        for (const char b : followers)
            lines.append(QByteArray(1, char(a)) + b);
    }
    quint32 seed = 4711;
    for (int i = 0; i < 2048; ++i) {
        QByteArray line;
        seed = seed * 1103515245u + 12345u;
        const int length = int((seed >> 16) % 24);
        for (int j = 0; j < length; ++j) {
            seed = seed * 1103515245u + 12345u;
            const char byte = char(seed >> 16);
            line += byte == '\n' ? ' ' : byte;
        }
        lines.append(line);
    }
    for (QByteArray &line : lines)
        line += '\n';
    return lines;
}

// The escapes and shifts of the stateful encodings, left open.
const char *const kOpeners[] = {"\x1B$B", "\x1B$A", "\x1B$)C", "\x1B$)A", "\x1B$(D", "\x1B(J",
                                "\x1B(I", "\x1BN",  "\x0E",    "~{",      "+AGE",    "&AGE"};

// An opener's line, then lines its state would change, each with its line feed.
QList<QByteArray> openerProbeLines(const QByteArray &opener)
{
    QList<QByteArray> lines {opener,     opener + "\x0E0!", "AB", "ab", "0!",
                             "\x80\xA1", "\xA1\xA1",        "~}", "+-", "\x0F",
                             "xyz",      "\x21\x7E"};
    for (QByteArray &line : lines)
        line += '\n';
    return lines;
}

// What each line decodes to, the decoder going on from line to line, in the
// lines' order or the reverse.
QVector<QString> decodedLines(QTextCodec *codec, const QList<QByteArray> &lines, bool reversed)
{
    QVector<QString> decoded(lines.size());
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    for (int k = 0; k < lines.size(); ++k) {
        const int i = reversed ? lines.size() - 1 - k : k;
        decoded[i] = codec->toUnicode(lines[i].constData(), lines[i].size(), &state);
    }
    return decoded;
}

// The probe's lines, decoded one after the other in one order and in the
// reverse order, must each read alike: no line's decoding depends on the
// lines before it. Also tells whether ASCII characters come only from their
// own bytes, looking at every pair of bytes.
CodecProfile::LineRestart probeLineRestart(QTextCodec *codec, const SingleByteCodec *table)
{
    static const QList<QByteArray> lines = restartProbeLines();
    CodecProfile::LineRestart found;
    // A decoder that holds a byte back holds the line feed over the line end.
    if ((table && table->lag() != 0)
        || decodedLines(codec, lines, false) != decodedLines(codec, lines, true))
        return found;
    found.restartsAtLineFeed = true;
    for (const char *opener : kOpeners) {
        const QList<QByteArray> opened = openerProbeLines(opener);
        if (decodedLines(codec, opened, false) != decodedLines(codec, opened, true))
            found.unlessOpened.append(QByteArray(opener));
    }

    // An ASCII byte that switches the decoder (HZ's "~", UTF-7's "+") may
    // start a sequence of any length that decodes to ASCII letters.
    if (!table)
        return found;
    for (int b = 0; b < 0x80; ++b) {
        if (table->isTrigger(uchar(b)))
            return found;
    }
    for (int b = 0; b < 0x80; ++b)
        found.asciiAnchored[b] = table->decodedByte(uchar(b)).unicode() == b;
    // Pairs of ASCII bytes decode byte by byte: the table probe saw them.
    static const QList<QByteArray> pairs = [] {
        QList<QByteArray> made;
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                if (b != '\n' && a != '\n' && (a >= 0x80 || b >= 0x80))
                    made.append(QByteArray(1, char(a)) + char(b) + '\n');
            }
        }
        return made;
    }();
    // The decoder restarts at line feeds: one call decodes all pairs, and its
    // lines are theirs unless some pair swallowed its line feed.
    static const QByteArray joined = pairs.join();
    QVector<QString> decoded;
    const QString all = decodeFresh(codec, joined);
    if (all.count(QLatin1Char('\n')) == pairs.size()) {
        decoded.reserve(pairs.size() + 1);
        for (const QStringRef &line : all.splitRef(QLatin1Char('\n')))
            decoded.append(line + QLatin1Char('\n'));
        decoded.removeLast();  // what follows the last line feed: nothing
    }
    if (decoded.size() != pairs.size())
        decoded = decodedLines(codec, pairs, false);
    for (int i = 0; i < pairs.size(); ++i) {
        QString line = decoded[i];
        if (!line.endsWith(QLatin1Char('\n'))) {
            std::fill(found.asciiAnchored, found.asciiAnchored + 0x80, false);
            break;
        }
        line.chop(1);
        markAsciiFromOtherBytes(pairs[i], line, found.asciiAnchored);
    }
    return found;
}

}  // namespace

const CodecProfile &CodecProfile::of(QTextCodec *codec)
{
    // The workers of a search ask at the same time; the first probes.
    static std::mutex guard;
    static QHash<QTextCodec *, std::shared_ptr<CodecProfile>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto found = known.constFind(codec);
    if (found == known.constEnd()) {
        auto profile = std::make_shared<CodecProfile>();
        profile->codec = codec;
        profile->differenceCoded = codec->name() == "BOCU-1";
        profile->table = SingleByteCodec::of(codec);
        probeFixedUnits(codec, profile.get());
        if (profile->fixedUnits) {
            profile->lines = profile->units;
        } else {
            QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
            const QByteArray feed = codec->fromUnicode(QStringLiteral("\n").constData(), 1, &state);
            profile->lines = LineLayout {1, false, feed.size() == 1 ? feed[0] : '\n'};
        }
        found = known.insert(codec, profile);
    }
    return **found;
}

const CodecProfile::LineRestart &CodecProfile::lineRestart() const
{
    std::call_once(restartProbed, [this] {
        if (!fixedUnits)
            restart = probeLineRestart(codec, table);
    });
    return restart;
}

LineLayout lineLayoutOf(QTextCodec *codec)
{
    return CodecProfile::of(codec).lines;
}
