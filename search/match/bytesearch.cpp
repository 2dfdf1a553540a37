#include "bytesearch.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELTO_AVX2_SEARCH 1
#endif

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

#ifdef VELTO_AVX2_SEARCH
// The first and the last needle byte compared at 32 positions at once, on
// processors that have AVX2 (asked once); `check` confirms a candidate. Returns
// the offset of the first match, or `lastPos + 1` with `*scanned` set to the
// first offset not looked at.
template<typename Check>
__attribute__((target("avx2"))) size_t findCandidatesAvx2(const char *data, size_t lastPos,
                                                          size_t n, const char *folded,
                                                          const char *foldMask, Check check,
                                                          size_t *scanned)
{
    const __m256i first = _mm256_set1_epi8(folded[0]);
    const __m256i last = _mm256_set1_epi8(folded[n - 1]);
    const __m256i firstMask = _mm256_set1_epi8(foldMask[0]);
    const __m256i lastMask = _mm256_set1_epi8(foldMask[n - 1]);
    size_t i = 0;
    for (; i + 32 <= lastPos + 1; i += 32) {
        const __m256i a = _mm256_or_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i)), firstMask);
        const __m256i b = _mm256_or_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i + n - 1)), lastMask);
        unsigned bits = unsigned(_mm256_movemask_epi8(
                _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
        while (bits) {
            const unsigned bit = unsigned(__builtin_ctz(bits));
            if (check(data + i + bit))
                return i + bit;
            bits &= bits - 1;
        }
    }
    *scanned = i;
    return lastPos + 1;
}

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

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
#ifdef VELTO_AVX2_SEARCH
    if (hasAvx2()) {
        const size_t found = findCandidatesAvx2(
                data, lastPos, n, folded.constData(), foldMask.constData(),
                [this](const char *p) { return matchesAt(p); }, &i);
        if (found <= lastPos)
            return found;
    }
#endif
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(folded[0]);
    const __m128i last = _mm_set1_epi8(folded[int(n) - 1]);
    const __m128i firstMask = _mm_set1_epi8(foldMask[0]);
    const __m128i lastMask = _mm_set1_epi8(foldMask[int(n) - 1]);
    for (; i + 16 <= lastPos + 1; i += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i)),
                                       firstMask);
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
