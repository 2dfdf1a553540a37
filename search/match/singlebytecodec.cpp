#include "singlebytecodec.h"

#include "codecs.h"

#include <QHash>
#include <QTextCodec>

#include <memory>
#include <mutex>

namespace {

bool sameFolded(QChar a, QChar b, Qt::CaseSensitivity cs)
{
    return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
}

bool isAsciiLetter(int b)
{
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

}  // namespace

void ByteSet::addAll(const char *data, qint64 size)
{
    bool seen[256] = {};
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    for (qint64 i = 0; i < size; ++i)
        seen[p[i]] = true;
    for (int b = 0; b < 256; ++b) {
        if (seen[b])
            bits[b >> 6] |= quint64(1) << (b & 63);
    }
}

const SingleByteCodec *SingleByteCodec::of(QTextCodec *codec)
{
    // Workers ask at the same time; the first asks, the others wait for it.
    static std::mutex guard;
    static QHash<QTextCodec *, std::shared_ptr<SingleByteCodec>> known;
    const std::lock_guard<std::mutex> lock(guard);
    const auto found = known.constFind(codec);
    if (found != known.constEnd())
        return found->get();

    auto table = std::make_shared<SingleByteCodec>();
    const QString letters = decodeFresh(codec, QByteArrayLiteral("AB"));
    table->heldBack = letters == QLatin1String("A") ? 1 : 0;
    // Each byte alone; one decoder serves until a byte leaves it in a state.
    auto state = std::make_unique<QTextCodec::ConverterState>(QTextCodec::IgnoreHeader);
    for (int b = 0; b < 256; ++b) {
        const QByteArray bytes = char(b) + QByteArray(table->heldBack, 'A');
        if (table->heldBack)
            state = std::make_unique<QTextCodec::ConverterState>(QTextCodec::IgnoreHeader);
        const QString one = codec->toUnicode(bytes.constData(), bytes.size(), state.get());
        table->trigger[b] = one.size() != 1;
        if (one.size() == 1)
            table->decoded[b] = one[0];
        else
            state = std::make_unique<QTextCodec::ConverterState>(QTextCodec::IgnoreHeader);
    }
    bool alike = table->decodesAlike(codec);
    if (!alike) {
        for (int b = 0x80; b < 256; ++b)
            table->trigger[b] = true;
        alike = table->decodesAlike(codec);
    }
    for (int b = 0; b < 256; ++b) {
        table->triggers += table->trigger[b];
        if (table->trigger[b])
            table->triggerBits[b >> 6] |= quint64(1) << (b & 63);
    }
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
    // A de Bruijn sequence: every pair of the alphabet's bytes once; then
    // random bytes of it. Made once per alphabet: most codecs share one.
    static QHash<QByteArray, QByteArray> probes;
    QByteArray &probe = probes[alphabet];
    if (probe.isEmpty()) {
        const int n = alphabet.size();
        probe.resize(n * n + 1 + 16384);
        char *out = probe.data();
        for (int a = 0; a < n; ++a) {
            *out++ = alphabet[a];
            for (int b = a + 1; b < n; ++b) {
                *out++ = alphabet[a];
                *out++ = alphabet[b];
            }
        }
        *out++ = alphabet[0];
        quint32 seed = 12345;
        for (int i = 0; i < 16384; ++i) {
            seed = seed * 1103515245u + 12345u;
            *out++ = alphabet[int((seed >> 16) % uint(n))];
        }
    }
    return decodeFresh(codec, probe) == decode(probe.constData(), probe.size() - heldBack);
}

bool SingleByteCodec::decodesByteByByte(const ByteSet &present) const
{
    for (int i = 0; i < 4; ++i) {
        if (triggerBits[i] & present.bits[i])
            return false;
    }
    return true;
}

SingleByteCodec::Needle SingleByteCodec::needleFor(const QString &text, Qt::CaseSensitivity cs,
                                                   ByteNeedle *needle) const
{
    // The bytes of each character, looked up once per character the text
    // holds: a long text costs time in its length, not in its length times
    // the table's size.
    struct Bytes
    {
        int first = -1;
        int count = 0;
        int other = -1;
    };
    QHash<QChar, Bytes> known;
    QByteArray bytes;
    QByteArray mask;
    bytes.reserve(text.size());
    mask.reserve(text.size());
    for (const QChar c : text) {
        auto found = known.constFind(c);
        if (found == known.constEnd()) {
            Bytes of;
            for (int b = 0; b < 256; ++b) {
                if (trigger[b] || !sameFolded(decoded[b], c, cs))
                    continue;
                if (of.count++ == 0)
                    of.first = b;
                else
                    of.other = b;
            }
            found = known.insert(c, of);
        }
        const Bytes &of = *found;
        if (of.count == 0)
            return Needle::NeverMatches;
        const bool letterPair
                = of.count == 2 && isAsciiLetter(of.first) && (of.first ^ 0x20) == of.other;
        if (of.count > 2 || (of.count == 2 && !letterPair))
            return Needle::NotByteSearchable;
        bytes += char(of.first);
        mask += char(of.count == 2 ? 0x20 : 0);
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
