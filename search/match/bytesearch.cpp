#include "bytesearch.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

ByteNeedle::ByteNeedle(const QByteArray &bytes, bool foldAsciiLetters)
    : folded(bytes), foldMask(bytes.size(), '\0')
{
    for (int i = 0; i < folded.size() && foldAsciiLetters; ++i) {
        if (isAsciiLetter(folded[i])) {
            folded[i] = char(folded[i] | 0x20);
            foldMask[i] = 0x20;
        }
    }
    identity = folded + '\0' + foldMask;
}

ByteNeedle::ByteNeedle(const QByteArray &bytes, const QByteArray &foldMask)
    : folded(bytes), foldMask(foldMask)
{
    for (int i = 0; i < folded.size(); ++i)
        folded[i] = char(folded[i] | foldMask[i]);
    identity = folded + '\0' + foldMask;
}

bool ByteNeedle::matchesAt(const char *p) const
{
    const char *n = folded.constData();
    const char *m = foldMask.constData();
    for (int i = 0; i < folded.size(); ++i) {
        if (char(p[i] | m[i]) != n[i])
            return false;
    }
    return true;
}

// Compares the first and the last needle byte at sixteen positions at once and
// checks the whole needle only where both agree. OR-ing 0x20 into a byte can
// only turn an upper-case letter into its lower-case form among the letters,
// so a folded comparison is exact.
size_t ByteNeedle::findIn(const char *data, size_t length) const
{
    const size_t n = size_t(folded.size());
    if (n == 0 || length < n)
        return length;
    const size_t lastPos = length - n;  // last offset where the needle fits
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(folded[0]);
    const __m128i last = _mm_set1_epi8(folded[int(n) - 1]);
    const __m128i firstMask = _mm_set1_epi8(foldMask[0]);
    const __m128i lastMask = _mm_set1_epi8(foldMask[int(n) - 1]);
    for (; i + 16 <= lastPos + 1; i += 16) {
        const __m128i a = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i)), firstMask);
        const __m128i b = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + n - 1)), lastMask);
        unsigned bits = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (bits) {
            const unsigned bit = unsigned(__builtin_ctz(bits));
            if (matchesAt(data + i + bit))
                return i + bit;
            bits &= bits - 1;
        }
    }
#endif
    for (; i <= lastPos; ++i) {
        if (matchesAt(data + i))
            return i;
    }
    return length;
}

size_t countByte(const char *data, size_t length, char byte)
{
    size_t count = 0;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8(byte);
    // Byte counters of 255 blocks at most, then summed with SAD.
    while (i + 16 <= length) {
        __m128i acc = _mm_setzero_si128();
        const size_t blocks = std::min<size_t>((length - i) / 16, 255);
        for (size_t b = 0; b < blocks; ++b, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, lf));
        }
        const __m128i sums = _mm_sad_epu8(acc, _mm_setzero_si128());
        count += size_t(_mm_cvtsi128_si32(sums)) + size_t(_mm_extract_epi16(sums, 4));
    }
#endif
    for (; i < length; ++i)
        count += data[i] == byte;
    return count;
}
