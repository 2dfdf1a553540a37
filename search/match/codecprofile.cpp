#include "codecprofile.h"

#include "singlebytecodec.h"

#include <QHash>
#include <QTextCodec>

#include <memory>

namespace {

QString decodeFresh(QTextCodec *codec, const QByteArray &bytes,
                    QTextCodec::ConversionFlags flags = QTextCodec::IgnoreHeader)
{
    QTextCodec::ConverterState state(flags);
    return codec->toUnicode(bytes.constData(), bytes.size(), &state);
}

QByteArray unit(int bytes, bool bigEndian, uint value)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[bigEndian ? bytes - 1 - i : i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

// A UTF-16 or UTF-32 decoder: units of the layout's width decode one by one,
// ASCII and a BMP letter alike, and the byte-order mark of the other order is
// no mark for it unless it follows marks.
void probeFixedUnits(QTextCodec *codec, CodecProfile *profile)
{
    for (const int width : {2, 4}) {
        for (const bool big : {true, false}) {
            const QByteArray text =
                unit(width, big, 'A') + unit(width, big, 0x4E2D) + unit(width, big, '\n');
            if (decodeFresh(codec, text) != QString::fromUtf8("A中\n"))
                continue;
            profile->fixedUnits = true;
            profile->units = LineLayout{width, big, '\n'};
            const QByteArray otherMark = unit(width, !big, 0xFEFF);
            profile->unitsFollowMark =
                decodeFresh(codec, otherMark + unit(width, !big, 'A'), QTextCodec::DefaultConversion)
                == QStringLiteral("A");
            const QString junk = decodeFresh(codec, unit(width, big, 0x41000000));
            profile->junkUnitsMakeLetters =
                width == 4 && !junk.isEmpty() && junk[0] != QChar::ReplacementCharacter;
            return;
        }
    }
}

// The decoding of a two-byte line "a b" holds an ASCII character only where
// a or b is that character: first for a, last for b.
bool asciiComesFromOwnBytes(const QByteArray &pair, QString decoded)
{
    const uchar a = uchar(pair[0]);
    const uchar b = uchar(pair[1]);
    int from = 0;
    int to = decoded.size();
    if (a < 0x80) {
        if (decoded.isEmpty() || decoded[0].unicode() != a)
            return false;
        from = 1;
    }
    if (b < 0x80 && to > from && decoded[to - 1].unicode() == b)
        --to;
    for (int i = from; i < to; ++i) {
        if (decoded[i].unicode() < 0x80)
            return false;
    }
    return true;
}

struct RestartProbe
{
    QList<QByteArray> lines;  // every byte pair first, then random lines
    int pairs = 0;
    QByteArray forward;
    QByteArray backward;

    RestartProbe()
    {
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                if (a != '\n' && b != '\n')
                    lines.append(QByteArray(1, char(a)) + char(b));
            }
        }
        pairs = lines.size();
        quint32 seed = 4711;
        for (int i = 0; i < 4096; ++i) {
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
        for (int i = 0; i < lines.size(); ++i) {
            forward += lines[i] + '\n';
            backward += lines[lines.size() - 1 - i] + '\n';
        }
    }
};

QVector<int> lineStarts(const QString &text)
{
    QVector<int> starts{0};
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n'))
            starts.append(i + 1);
    }
    return starts;
}

// The probe's lines, decoded at once in one order and in the reverse order,
// must read alike: no line's decoding depends on the lines before it. Also
// tells whether ASCII characters come only from their own bytes.
CodecProfile::LineRestart probeLineRestart(QTextCodec *codec, const SingleByteCodec *table)
{
    static const RestartProbe probe;
    const int count = probe.lines.size();
    const QString ahead = decodeFresh(codec, probe.forward);
    const QString behind = decodeFresh(codec, probe.backward);
    const QVector<int> aheadStarts = lineStarts(ahead);
    const QVector<int> behindStarts = lineStarts(behind);
    CodecProfile::LineRestart found;
    if (aheadStarts.size() != count + 1 || behindStarts.size() != count + 1)
        return found;
    const auto lineOf = [](const QString &text, const QVector<int> &starts, int i) {
        return QStringRef(&text, starts[i], starts[i + 1] - starts[i] - 1);
    };
    for (int i = 0; i < count; ++i) {
        if (lineOf(ahead, aheadStarts, i) != lineOf(behind, behindStarts, count - 1 - i))
            return found;
    }
    found.restartsAtLineFeed = true;

    bool anchored = table != nullptr;
    for (int b = 0; b < 0x80 && anchored; ++b)
        anchored = !table->isTrigger(uchar(b)) && table->decodedByte(uchar(b)).unicode() == b;
    for (int i = 0; i < probe.pairs && anchored; ++i)
        anchored = asciiComesFromOwnBytes(probe.lines[i], lineOf(ahead, aheadStarts, i).toString());
    found.asciiAnchored = anchored;
    return found;
}

} // namespace

const CodecProfile &CodecProfile::of(QTextCodec *codec)
{
    static QHash<QTextCodec *, std::shared_ptr<CodecProfile>> known;
    auto found = known.constFind(codec);
    if (found == known.constEnd()) {
        auto profile = std::make_shared<CodecProfile>();
        profile->codec = codec;
        profile->table = SingleByteCodec::of(codec);
        probeFixedUnits(codec, profile.get());
        found = known.insert(codec, profile);
    }
    return **found;
}

const CodecProfile::LineRestart &CodecProfile::lineRestart() const
{
    if (!restartProbed) {
        restartProbed = true;
        if (!fixedUnits)
            restart = probeLineRestart(codec, table);
    }
    return restart;
}

LineLayout lineLayoutOf(QTextCodec *codec)
{
    const CodecProfile &profile = CodecProfile::of(codec);
    if (profile.fixedUnits)
        return profile.units;
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QByteArray feed = codec->fromUnicode(QStringLiteral("\n").constData(), 1, &state);
    return LineLayout{1, false, feed.size() == 1 ? feed[0] : '\n'};
}
