#include "ziplocalmember.h"

#include "archivefile.h"
#include "zipextrafields.h"
#include "ziprecords.h"

#include <zlib.h>

namespace {

using namespace ZipRecords;

constexpr int kStored = 0;
constexpr int kDeflated = 8;
constexpr int kInputChunk = 64 * 1024;

}  // namespace

LocalZipMember::LocalZipMember() = default;

LocalZipMember::~LocalZipMember()
{
    if (stream)
        inflateEnd(stream.get());
}

bool LocalZipMember::locate(int archiveFd, quint64 centralOffset, const QByteArray &rawName)
{
    char central[kCentralHeaderSize];
    if (!readFully(archiveFd, qint64(centralOffset), central, kCentralHeaderSize)
        || le32(central) != kCentralSignature)
        return false;
    const int flags = int(le16(central + 8));
    method = int(le16(central + 10));
    expectedCrc = le32(central + 16);
    const int nameLength = int(le16(central + 28));
    const int extraLength = int(le16(central + 30));
    if ((flags & 1) || (method != kStored && method != kDeflated) || nameLength != rawName.size())
        return false;
    QByteArray nameAndExtra(nameLength + extraLength, '\0');
    if (!readFully(archiveFd, qint64(centralOffset) + kCentralHeaderSize, nameAndExtra.data(),
                   nameAndExtra.size())
        || nameAndExtra.left(nameLength) != rawName)
        return false;

    const bool wanted[3] = {le32(central + 24) == kZip64Mark, le32(central + 20) == kZip64Mark,
                            le32(central + 42) == kZip64Mark};
    quint64 values[3] = {le32(central + 24), le32(central + 20), le32(central + 42)};
    if (!zip64Values(nameAndExtra.mid(nameLength), wanted, values))
        return false;
    compressed = values[1];
    const quint64 localOffset = values[2];

    char local[kLocalHeaderSize];
    if (!readFully(archiveFd, qint64(localOffset), local, kLocalHeaderSize)
        || le32(local) != kLocalSignature)
        return false;
    dataStart = localOffset + kLocalHeaderSize + le16(local + 26) + le16(local + 28);
    fd = archiveFd;
    if (method == kDeflated) {
        stream.reset(new z_stream_s {});
        if (inflateInit2(stream.get(), -MAX_WBITS) != Z_OK) {
            stream.reset();
            return false;
        }
    }
    return true;
}

qint64 LocalZipMember::read(char *buffer, qint64 max)
{
    const qint64 got = readData(buffer, max);
    if (got > 0)
        crc = quint32(crc32(crc, reinterpret_cast<const Bytef *>(buffer), uInt(got)));
    ended = got == 0;
    return got;
}

qint64 LocalZipMember::readData(char *buffer, qint64 max)
{
    if (fd < 0)
        return -1;
    if (method == kStored) {
        const qint64 n = qint64(qMin<quint64>(quint64(max), compressed - consumed));
        if (n > 0 && !readFully(fd, qint64(dataStart + consumed), buffer, n))
            return -1;
        consumed += quint64(n);
        return n;
    }
    z_stream_s &z = *stream;
    z.next_out = reinterpret_cast<Bytef *>(buffer);
    z.avail_out = uInt(qMin<qint64>(max, 1 << 30));
    while (z.avail_out > 0 && !streamEnded) {
        if (z.avail_in == 0) {
            const qint64 n = qint64(qMin<quint64>(kInputChunk, compressed - consumed));
            if (n == 0)
                return -1;  // the data ended before the stream did
            input.resize(int(n));
            if (!readFully(fd, qint64(dataStart + consumed), input.data(), n))
                return -1;
            consumed += quint64(n);
            z.next_in = reinterpret_cast<Bytef *>(input.data());
            z.avail_in = uInt(n);
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            streamEnded = true;
        else if (status != Z_OK)
            return -1;
    }
    return qint64(reinterpret_cast<char *>(z.next_out) - buffer);
}
