#include "fileencoding.h"

#include "charsetdetector.h"
#include "codecprofile.h"
#include "codecs.h"

#include <QByteArray>
#include <QTextCodec>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct ByteOrderMark
{
    const char *bytes;
    int size;
    const char *codec;
};

// Longest first: the UTF-32 LE mark begins with the UTF-16 LE one.
const ByteOrderMark kMarks[] = {
        {"\xFF\xFE\x00\x00", 4, "UTF-32LE"}, {"\x00\x00\xFE\xFF", 4, "UTF-32BE"},
        {"\xEF\xBB\xBF", 3, "UTF-8"},        {"\xFF\xFE", 2, "UTF-16LE"},
        {"\xFE\xFF", 2, "UTF-16BE"},
};

FileEncoding encodingOf(QTextCodec *codec)
{
    FileEncoding found;
    if (codec) {
        found.codec = codec;
        found.lines = lineLayoutOf(codec);
    }
    return found;
}

}  // namespace

bool isValidUtf8(const char *data, qint64 size, bool complete)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    qint64 i = 0;
    while (i < size) {
#if defined(__SSE2__)
        if (i + 16 <= size
            && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i))) == 0) {
            i += 16;
            continue;
        }
#endif
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            if (i + k >= size)
                return !complete;
            const unsigned char c = p[i + k];
            if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
                return false;
        }
        i += length;
    }
    return true;
}

FileEncoding detectFileEncoding(const char *data, qint64 size, bool complete)
{
    for (const ByteOrderMark &mark : kMarks) {
        if (size >= mark.size && std::memcmp(data, mark.bytes, size_t(mark.size)) == 0)
            return encodingOf(QTextCodec::codecForName(mark.codec));
    }
    if (isValidUtf8(data, size, complete))
        return encodingOf(utf8Codec());
    return encodingOf(detectCharset(data, size));
}
