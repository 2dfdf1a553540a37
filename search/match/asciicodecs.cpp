#include "asciicodecs.h"

#include "singlebytecodec.h"

#include <QHash>
#include <QTextCodec>

#include <functional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool decodesUnchanged(QTextCodec *codec, const QByteArray &bytes)
{
    return codec->toUnicode(bytes) == QString::fromLatin1(bytes.constData(), bytes.size());
}

// A de Bruijn sequence over the 128 ASCII bytes: every string of `order`
// bytes occurs in it exactly once, in 128^order bytes.
QByteArray everyAsciiString(int order)
{
    const int k = 128;
    QByteArray sequence;
    std::vector<int> a(size_t(k * order), 0);
    std::function<void(int, int)> build = [&](int t, int p) {
        if (t > order) {
            if (order % p == 0) {
                for (int i = 1; i <= p; ++i)
                    sequence += char(a[size_t(i)]);
            }
            return;
        }
        a[size_t(t)] = a[size_t(t - p)];
        build(t + 1, p);
        for (int j = a[size_t(t - p)] + 1; j < k; ++j) {
            a[size_t(t)] = j;
            build(t + 1, t);
        }
    };
    build(1, 1);
    // Wrap around so the windows that cross the end occur too.
    return sequence + sequence.left(order - 1);
}

} // namespace

bool decodesAsciiAsItself(QTextCodec *codec)
{
    static QHash<QTextCodec *, bool> known;
    const auto found = known.constFind(codec);
    if (found != known.constEnd())
        return *found;
    bool same = true;
    if (const SingleByteCodec *table = SingleByteCodec::of(codec)) {
        for (int b = 0; b < 128 && same; ++b)
            same = table->decodedByte(uchar(b)).unicode() == b;
        known.insert(codec, same);
        return same;
    }
    static const QByteArray pairs = everyAsciiString(2);
    same = decodesUnchanged(codec, pairs);
    if (same) {
        static const QByteArray triples = everyAsciiString(3);
        same = decodesUnchanged(codec, triples);
    }
    known.insert(codec, same);
    return same;
}

bool isAsciiOnly(const char *data, qint64 size)
{
    qint64 i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        if (_mm_movemask_epi8(v) != 0)
            return false;
    }
#endif
    for (; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80)
            return false;
    }
    return true;
}
