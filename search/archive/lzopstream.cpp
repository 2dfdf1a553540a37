#include "lzopstream.h"

#include "tfileinfo.h"

#include <lzo/lzo1x.h>

#include <cstring>

namespace {

const char kMagic[9] = {'\x89', 'L', 'Z', 'O', '\0', '\r', '\n', '\x1a', '\n'};

// Header flags, as lzop writes them.
constexpr quint32 kAdler32Decoded = 0x1;
constexpr quint32 kAdler32Packed = 0x2;
constexpr quint32 kExtraField = 0x40;
constexpr quint32 kCrc32Decoded = 0x100;
constexpr quint32 kCrc32Packed = 0x200;
constexpr quint32 kFilter = 0x800;
constexpr quint32 kHeaderCrc32 = 0x1000;
// What a flag may hold besides the bits above and lzop's others: the
// system and character set bytes.
constexpr quint32 kKnownFlags = 0x3fff | 0xff000000 | 0x00f00000;

// The three methods lzop writes today, all LZO1X (1, 1 at level 15, 999).
bool isLzo1x(int method)
{
    return method >= 1 && method <= 3;
}

// lzop's largest block; a larger size is damage, never a reason to allocate.
constexpr quint32 kMaxBlock = 64 * 1024 * 1024;
// The newest format version lzop 1.04 writes and reads.
constexpr quint32 kNewestVersion = 0x1040;

quint32 bigEndian(const char *bytes, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | uchar(bytes[i]);
    return value;
}

quint32 adler32Of(const char *data, qint64 size)
{
    return quint32(lzo_adler32(1, reinterpret_cast<const lzo_bytep>(data), lzo_uint(size)));
}

quint32 crc32Of(const char *data, qint64 size)
{
    return quint32(lzo_crc32(0, reinterpret_cast<const lzo_bytep>(data), lzo_uint(size)));
}

// Undoes lzop's delta filter of distance `n` over one block.
void addDelta(char *data, qint64 size, int n)
{
    uchar sums[16] = {};
    int i = n - 1;
    for (qint64 k = 0; k < size; ++k) {
        sums[i] = uchar(sums[i] + uchar(data[k]));
        data[k] = char(sums[i]);
        if (--i < 0)
            i = n - 1;
    }
}

bool lzoReady()
{
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

}  // namespace

LzopStream::LzopStream(ByteSource::Reader compressed)
    : input(std::move(compressed), inputBlock), fileTime(TFileInfo::kNoTime)
{
}

bool LzopStream::fail(Fault fault)
{
    if (failure == Fault::None)
        failure = fault;
    return false;
}

bool LzopStream::readExactly(char *target, qint64 size)
{
    while (size > 0) {
        const qint64 got = input.readInto(target, size);
        if (got <= 0)
            return false;
        target += got;
        size -= got;
    }
    return true;
}

bool LzopStream::begin()
{
    char magic[sizeof kMagic];
    if (!lzoReady() || !readExactly(magic, sizeof magic) || memcmp(magic, kMagic, sizeof magic))
        return fail(Fault::NotLzop);
    return readHeader();
}

// The header after the magic; its checksum covers every byte of it.
bool LzopStream::readHeader()
{
    QByteArray header;
    const auto field = [this, &header](int size, quint32 *value) {
        char bytes[255];
        if (!readExactly(bytes, size))
            return false;
        header.append(bytes, size);
        if (value)
            *value = bigEndian(bytes, qMin(size, 4));
        return true;
    };
    quint32 version = 0, needed = 0, method = 0, level = 0, filterCode = 0;
    quint32 mode = 0, timeLow = 0, timeHigh = 0, nameLength = 0;
    if (!field(2, &version) || version < 0x0900 || !field(2, nullptr))
        return fail(Fault::NotLzop);
    const bool newer = version >= 0x0940;
    if (newer && (!field(2, &needed) || needed > kNewestVersion))
        return fail(Fault::NotLzop);
    if (!field(1, &method) || (newer && !field(1, &level)) || !field(4, &flags)
        || ((flags & kFilter) && !field(4, &filterCode)) || !field(4, &mode) || !field(4, &timeLow)
        || (newer && !field(4, &timeHigh)) || !field(1, &nameLength)
        || (nameLength > 0 && !field(int(nameLength), nullptr)))
        return fail(Fault::NotLzop);
    char sum[4];
    if (!readExactly(sum, 4))
        return fail(Fault::NotLzop);
    const quint32 expected = (flags & kHeaderCrc32) ? crc32Of(header.constData(), header.size())
                                                    : adler32Of(header.constData(), header.size());
    if (bigEndian(sum, 4) != expected || !isLzo1x(int(method)) || (flags & ~kKnownFlags)
        || filterCode > 16)
        return fail(Fault::NotLzop);
    filter = int(filterCode);
    if (fileTime == TFileInfo::kNoTime && (timeLow | timeHigh) != 0)
        fileTime = qint64(timeLow) | (newer ? qint64(timeHigh) << 32 : 0);
    if (flags & kExtraField) {
        // Not used by lzop itself: its length and bytes are checked and passed over.
        char length[4];
        if (!readExactly(length, 4))
            return fail(Fault::NotLzop);
        QByteArray extra(length, 4);
        extra.resize(4 + int(qMin<quint32>(bigEndian(length, 4), kMaxBlock)));
        if (bigEndian(length, 4) > kMaxBlock || !readExactly(extra.data() + 4, extra.size() - 4)
            || !readExactly(sum, 4))
            return fail(Fault::NotLzop);
        const quint32 extraSum = (flags & kHeaderCrc32)
                ? crc32Of(extra.constData(), extra.size())
                : adler32Of(extra.constData(), extra.size());
        if (bigEndian(sum, 4) != extraSum)
            return fail(Fault::NotLzop);
    }
    return true;
}

// The size of the next block's decoded data, past the ends of files (lzop
// writes several one after another); 0 at the end of the last one.
bool LzopStream::nextBlockSize(quint32 *decodedSize)
{
    for (;;) {
        char size[4];
        if (!readExactly(size, 4))
            return fail(Fault::Damaged);
        *decodedSize = bigEndian(size, 4);
        if (*decodedSize != 0)
            return true;
        char magic[sizeof kMagic];
        const qint64 got = input.readInto(magic, sizeof magic);
        if (got == 0)
            return true;
        if ((got < qint64(sizeof magic) && !readExactly(magic + got, qint64(sizeof magic) - got))
            || memcmp(magic, kMagic, sizeof magic) || !readHeader())
            return fail(Fault::Damaged);
    }
}

// Decodes the next block into `decoded`; false at the end or on a fault.
bool LzopStream::nextBlock()
{
    quint32 decodedSize = 0;
    if (!nextBlockSize(&decodedSize))
        return false;
    if (decodedSize == 0) {
        ended = true;
        return false;
    }
    char size[4];
    if (decodedSize > kMaxBlock || !readExactly(size, 4))
        return fail(Fault::Damaged);
    const quint32 packedSize = bigEndian(size, 4);
    if (packedSize == 0 || packedSize > decodedSize)
        return fail(Fault::Damaged);
    const bool compressed = packedSize < decodedSize;
    // The checksums in lzop's order; a stored block's packed sums are its decoded ones.
    quint32 adlerDecoded = 0, crcDecoded = 0, adlerPacked = 0, crcPacked = 0;
    const auto sumField = [this](bool present, quint32 *value) {
        char bytes[4];
        if (!present)
            return true;
        if (!readExactly(bytes, 4))
            return false;
        *value = bigEndian(bytes, 4);
        return true;
    };
    if (!sumField(flags & kAdler32Decoded, &adlerDecoded)
        || !sumField(flags & kCrc32Decoded, &crcDecoded)
        || !sumField(compressed && (flags & kAdler32Packed), &adlerPacked)
        || !sumField(compressed && (flags & kCrc32Packed), &crcPacked))
        return fail(Fault::Damaged);
    packed.resize(packedSize);
    if (!readExactly(packed.data(), packedSize))
        return fail(Fault::Damaged);
    if (compressed) {
        if (((flags & kAdler32Packed) && adler32Of(packed.data(), packedSize) != adlerPacked)
            || ((flags & kCrc32Packed) && crc32Of(packed.data(), packedSize) != crcPacked))
            return fail(Fault::BadChecksum);
        decoded.resize(decodedSize);
        lzo_uint length = decodedSize;
        const int status = lzo1x_decompress_safe(
                reinterpret_cast<const lzo_bytep>(packed.data()), packedSize,
                reinterpret_cast<lzo_bytep>(decoded.data()), &length, nullptr);
        if (status != LZO_E_OK || length != decodedSize)
            return fail(Fault::Damaged);
    } else {
        decoded.swap(packed);
    }
    if (filter > 0)
        addDelta(decoded.data(), decodedSize, filter);
    if (((flags & kAdler32Decoded) && adler32Of(decoded.data(), decodedSize) != adlerDecoded)
        || ((flags & kCrc32Decoded) && crc32Of(decoded.data(), decodedSize) != crcDecoded))
        return fail(Fault::BadChecksum);
    decodedPos = 0;
    decodedLen = decodedSize;
    return true;
}

qint64 LzopStream::read(char *buffer, qint64 max)
{
    if (failure != Fault::None)
        return -1;
    if (decodedPos == decodedLen && (ended || !nextBlock()))
        return failure != Fault::None ? -1 : 0;
    const qint64 n = qMin(max, decodedLen - decodedPos);
    memcpy(buffer, decoded.data() + decodedPos, size_t(n));
    decodedPos += n;
    return n;
}
