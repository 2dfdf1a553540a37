#include "singlebytecodec.h"

#include <QHash>
#include <QTextCodec>

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

QString decodeUnflushed(QTextCodec *codec, const QByteArray &bytes)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->toUnicode(bytes.constData(), bytes.size(), &state);
}

} // namespace

void ByteSet::addAll(const char *data, qint64 size)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    for (qint64 i = 0; i < size; ++i)
        has[p[i]] = true;
}

const SingleByteCodec *SingleByteCodec::of(QTextCodec *codec)
{
    static QHash<QTextCodec *, std::shared_ptr<SingleByteCodec>> known;
    const auto found = known.constFind(codec);
    if (found != known.constEnd())
        return found->get();

    auto table = std::make_shared<SingleByteCodec>();
    for (int b = 0; b < 256; ++b) {
        const QString one = decodeUnflushed(codec, QByteArray(1, char(b)));
        table->trigger[b] = one.size() != 1;
        if (one.size() == 1)
            table->decoded[b] = one[0];
    }
    bool alike = table->decodesAlike(codec);
    if (!alike) {
        for (int b = 0x80; b < 256; ++b)
            table->trigger[b] = true;
        alike = table->decodesAlike(codec);
    }
    for (int b = 0; b < 256; ++b)
        table->triggers += table->trigger[b];
    alike = alike && table->triggers < 256;
    known.insert(codec, alike ? table : nullptr);
    return alike ? table.get() : nullptr;
}

// Every pair of bytes that are not triggers, and a stretch of random such
// bytes, decoded at once must equal the bytes decoded alone: no byte depends
// on its neighbours.
bool SingleByteCodec::decodesAlike(QTextCodec *codec) const
{
    QByteArray alphabet;
    for (int b = 0; b < 256; ++b) {
        if (!trigger[b])
            alphabet += char(b);
    }
    if (alphabet.isEmpty())
        return true;
    QByteArray probe;
    probe.reserve(2 * alphabet.size() * alphabet.size() + 65536);
    for (const char a : qAsConst(alphabet)) {
        for (const char b : qAsConst(alphabet)) {
            probe += a;
            probe += b;
        }
    }
    quint32 seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        probe += alphabet[int((seed >> 16) % uint(alphabet.size()))];
    }
    return decodeUnflushed(codec, probe) == decode(probe.constData(), probe.size());
}

bool SingleByteCodec::decodesByteByByte(const ByteSet &present) const
{
    if (triggers == 0)
        return true;
    for (int b = 0; b < 256; ++b) {
        if (trigger[b] && present.has[b])
            return false;
    }
    return true;
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
            if (trigger[b] || !sameFolded(decoded[b], c, cs))
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
