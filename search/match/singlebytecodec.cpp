#include "singlebytecodec.h"

#include <QHash>
#include <QTextCodec>

#include <cstring>
#include <memory>

namespace {

bool sameFolded(QChar a, QChar b, Qt::CaseSensitivity cs)
{
    return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
}

bool isAsciiLetter(int b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

} // namespace

const SingleByteCodec *SingleByteCodec::of(QTextCodec *codec)
{
    static QHash<QTextCodec *, std::shared_ptr<SingleByteCodec>> known;
    const auto found = known.constFind(codec);
    if (found != known.constEnd())
        return found->get();

    auto table = std::make_shared<SingleByteCodec>();
    bool single = true;
    int lineFeeds = 0;
    for (int b = 0; b < 256 && single; ++b) {
        const char byte = char(b);
        const QString one = codec->toUnicode(&byte, 1);
        single = one.size() == 1;
        if (single) {
            table->decoded[b] = one[0];
            if (one[0] == QLatin1Char('\n')) {
                table->feedByte = byte;
                ++lineFeeds;
            }
        }
    }
    // Every pair of bytes, and a stretch of random bytes, decoded at once must
    // equal the bytes decoded alone: no byte depends on its neighbours.
    QByteArray probe;
    probe.reserve(2 * 256 * 256 + 65536);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            probe += char(a);
            probe += char(b);
        }
    }
    quint32 seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        probe += char(seed >> 16);
    }
    single = single && lineFeeds == 1
          && codec->toUnicode(probe) == table->decode(probe.constData(), probe.size());
    known.insert(codec, single ? table : nullptr);
    return single ? table.get() : nullptr;
}

SingleByteCodec::Needle SingleByteCodec::needleFor(const QString &text, Qt::CaseSensitivity cs,
                                                   ByteNeedle *needle) const
{
    QByteArray bytes;
    QByteArray mask;
    for (const QChar c : text) {
        int first = -1;
        int count = 0;
        int other = -1;
        for (int b = 0; b < 256; ++b) {
            if (!sameFolded(decoded[b], c, cs))
                continue;
            if (count++ == 0)
                first = b;
            else
                other = b;
        }
        if (count == 0)
            return Needle::NeverMatches;
        const bool letterPair = count == 2 && isAsciiLetter(first) && (first ^ 0x20) == other;
        if (count > 2 || (count == 2 && !letterPair))
            return Needle::NotByteSearchable;
        bytes += char(first);
        mask += char(count == 2 ? 0x20 : 0);
    }
    *needle = ByteNeedle(bytes, mask);
    return Needle::Found;
}

QString SingleByteCodec::decode(const char *data, qint64 size) const
{
    QString text(int(size), Qt::Uninitialized);
    QChar *out = text.data();
    for (qint64 i = 0; i < size; ++i)
        out[i] = decoded[static_cast<unsigned char>(data[i])];
    return text;
}

QVector<LineSpan> linesHolding(const char *data, qint64 size, const ByteNeedle &needle,
                               char lineFeed)
{
    QVector<LineSpan> lines;
    qint64 pos = 0;
    qint64 counted = 0;
    qint64 lineNo = 0;  // lines ending before `counted`
    while (pos < size) {
        const size_t found = needle.findIn(data + pos, size_t(size - pos));
        if (found == size_t(size - pos))
            break;
        const qint64 hit = pos + qint64(found);
        const void *before = memrchr(data + pos, lineFeed, size_t(hit - pos));
        const qint64 start = before ? static_cast<const char *>(before) - data + 1 : pos;
        const void *after = memchr(data + hit, lineFeed, size_t(size - hit));
        const qint64 end = after ? static_cast<const char *>(after) - data + 1 : size;
        lineNo += qint64(countByte(data + counted, size_t(start - counted), lineFeed));
        counted = start;
        lines.append(LineSpan{lineNo + 1, start, end, after != nullptr});
        pos = end;
    }
    return lines;
}
