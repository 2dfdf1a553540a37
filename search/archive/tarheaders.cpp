#include "tarheaders.h"

#include <zlib.h>

#include <cstring>

#include <unistd.h>

namespace {

constexpr int kBlock = 512;
constexpr int kReadSize = 64 * 1024;
// More members than this are left to the archive walk: the list is kept
// whole before the first hit, and must stay small.
constexpr size_t kMaxMembers = 100000;

// The fields of a ustar header, by offset and length.
struct Field
{
    int offset;
    int length;
};
constexpr Field kName {0, 100};
constexpr Field kMode {100, 8};
constexpr Field kOwner {108, 8};
constexpr Field kGroup {116, 8};
constexpr Field kSize {124, 12};
constexpr Field kTime {136, 12};
constexpr Field kChecksum {148, 8};
constexpr Field kType {156, 1};
constexpr Field kLinkName {157, 100};
constexpr Field kMagic {257, 8};
constexpr Field kDeviceMajor {329, 8};
constexpr Field kDeviceMinor {337, 8};
constexpr Field kPrefix {345, 155};
constexpr Field kGnuFields {345, 167};

QByteArray fieldBytes(const char *header, Field field)
{
    return QByteArray::fromRawData(header + field.offset, field.length);
}

// An octal number as tar writes it: spaces before, digits, then a space or
// NUL and nothing but those; -1 for anything else (base-256 among them).
qint64 octal(const char *header, Field field)
{
    const char *at = header + field.offset;
    const char *end = at + field.length;
    while (at < end && *at == ' ')
        ++at;
    qint64 value = 0;
    int digits = 0;
    for (; at < end && *at >= '0' && *at <= '7'; ++at, ++digits)
        value = value * 8 + (*at - '0');
    for (; at < end; ++at) {
        if (*at != ' ' && *at != '\0')
            return -1;
    }
    return digits > 0 && digits <= 11 ? value : -1;
}

bool allZero(const char *bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

bool allZero(const char *header, Field field)
{
    return allZero(header + field.offset, field.length);
}

// The header's checksum: its bytes summed as unsigned, the checksum field
// counted as spaces.
bool checksumHolds(const char *header)
{
    qint64 sum = 0;
    for (int i = 0; i < kBlock; ++i) {
        const bool inField = i >= kChecksum.offset && i < kChecksum.offset + kChecksum.length;
        sum += inField ? ' ' : static_cast<unsigned char>(header[i]);
    }
    return octal(header, kChecksum) == sum;
}

// The text of a NUL-ended field, or null when it holds anything but
// printable ASCII (or nothing at all).
QByteArray printableText(const char *header, Field field)
{
    const QByteArray bytes = fieldBytes(header, field);
    const int length = int(qstrnlen(bytes.constData(), uint(field.length)));
    for (int i = 0; i < length; ++i) {
        if (bytes.at(i) < 0x20 || bytes.at(i) > 0x7e)
            return QByteArray();
    }
    for (int i = length; i < field.length; ++i) {
        if (bytes.at(i) != 0)
            return QByteArray();
    }
    return QByteArray(bytes.constData(), length);
}

// The member a header names, and how many bytes of data follow it; false
// when the header is not plain.
bool parseHeader(const char *header, TarHeader *member, qint64 *dataSize)
{
    const QByteArray magic = fieldBytes(header, kMagic);
    const bool posix = magic
            == QByteArray("ustar\0"
                          "00",
                          8);
    const bool gnu = magic == QByteArray("ustar  \0", 8);
    if ((!posix && !gnu) || !checksumHolds(header))
        return false;
    // GNU keeps other fields (times, sparse maps) where POSIX keeps a
    // prefix of the name: plain when there is none of either.
    if (posix ? header[kPrefix.offset] != 0 : !allZero(header, kGnuFields))
        return false;
    // The archive walk takes a header whose numbers are not numbers for
    // damage; device numbers may also be left empty.
    for (const Field field : {kMode, kOwner, kGroup, kDeviceMajor, kDeviceMinor}) {
        if (octal(header, field) < 0 && !allZero(header, field))
            return false;
    }
    member->name = printableText(header, kName);
    const qint64 size = octal(header, kSize);
    member->modified = octal(header, kTime);
    if (member->name.isEmpty() || size < 0 || member->modified < 0)
        return false;
    const bool folderName = member->name.endsWith('/');
    switch (header[kType.offset]) {
    case '0':
    case '\0':
        member->kind = TarHeader::Kind::File;
        *dataSize = size;
        return !folderName;
    case '5':
        member->kind = TarHeader::Kind::Folder;
        *dataSize = 0;
        return folderName && size == 0;
    case '2':
        member->kind = TarHeader::Kind::Link;
        *dataSize = 0;
        return !folderName && size == 0 && !printableText(header, kLinkName).isNull();
    default:
        return false;
    }
}

// The archive's bytes, inflated when it is one gzip stream.
class TarBytes
{
public:
    TarBytes(int fd, qint64 size, qint64 maxExpanded) : fd(fd), size(size), maxExpanded(maxExpanded)
    {
    }
    ~TarBytes()
    {
        if (inflating)
            inflateEnd(&stream);
    }
    TarBytes(const TarBytes &) = delete;
    TarBytes &operator=(const TarBytes &) = delete;

    bool open()
    {
        if (!readInput())
            return false;
        const auto *head = reinterpret_cast<const unsigned char *>(input.data());
        if (inputLength < 2 || head[0] != 0x1f || head[1] != 0x8b) {
            // Read as it is: the header check says whether it is a tar at all.
            output.swap(input);
            available = inputLength;
            return true;
        }
        memset(&stream, 0, sizeof stream);
        if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
            return false;
        inflating = true;
        stream.next_in = reinterpret_cast<Bytef *>(input.data());
        stream.avail_in = uInt(inputLength);
        return true;
    }

    // The next `length` bytes into `out` (null: passed over); false when
    // the archive ends first, is damaged or goes past its limit.
    bool take(char *out, qint64 length, const std::function<bool()> &stopped)
    {
        if (!out && !inflating && length > available) {
            // Data of an uncompressed archive is passed over unread.
            offset += length - available;
            available = 0;
            return offset <= size;
        }
        while (length > 0) {
            if (available == 0 && !refill(stopped))
                return false;
            const qint64 n = qMin(length, available);
            if (out) {
                memcpy(out, output.data() + outputAt, size_t(n));
                out += n;
            }
            outputAt += n;
            available -= n;
            length -= n;
        }
        return true;
    }

    bool wasStopped() const { return stoppedHere; }

private:
    bool readInput()
    {
        input.resize(kReadSize);
        const qint64 want = qMin<qint64>(kReadSize, size - offset);
        if (want <= 0) {
            inputLength = 0;
            return true;
        }
        const ssize_t got = ::pread(fd, input.data(), size_t(want), offset);
        if (got <= 0)
            return false;
        inputLength = got;
        offset += got;
        return true;
    }

    bool refill(const std::function<bool()> &stopped)
    {
        if (stopped && stopped()) {
            stoppedHere = true;
            return false;
        }
        outputAt = 0;
        if (!inflating) {
            if (!readInput() || inputLength == 0)
                return false;
            output.swap(input);
            available = inputLength;
            return true;
        }
        output.resize(kReadSize);
        stream.next_out = reinterpret_cast<Bytef *>(output.data());
        stream.avail_out = kReadSize;
        while (stream.avail_out == kReadSize) {
            if (streamEnded)
                return false;  // a second gzip stream, or bytes after the first
            if (stream.avail_in == 0) {
                if (!readInput() || inputLength == 0)
                    return false;
                stream.next_in = reinterpret_cast<Bytef *>(input.data());
                stream.avail_in = uInt(inputLength);
            }
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                streamEnded = true;
            else if (status != Z_OK)
                return false;
        }
        available = kReadSize - stream.avail_out;
        expanded += available;
        return expanded <= maxExpanded;
    }

    const int fd;
    const qint64 size;
    const qint64 maxExpanded;
    qint64 offset = 0;
    QByteArray input;
    qint64 inputLength = 0;
    QByteArray output;
    qint64 outputAt = 0;
    qint64 available = 0;
    qint64 expanded = 0;
    z_stream stream;
    bool inflating = false;
    bool streamEnded = false;
    bool stoppedHere = false;
};

}  // namespace

TarHeaders readPlainTarHeaders(int fd, qint64 size, qint64 maxExpanded,
                               std::vector<TarHeader> *headers,
                               const std::function<bool()> &stopped)
{
    headers->clear();
    TarBytes bytes(fd, size, maxExpanded);
    if (!bytes.open())
        return TarHeaders::NotPlain;
    char header[kBlock];
    for (;;) {
        if (!bytes.take(header, kBlock, stopped))
            return bytes.wasStopped() ? TarHeaders::Stopped : TarHeaders::NotPlain;
        // The archive walk ends at the first zero block too.
        if (allZero(header, kBlock))
            break;
        TarHeader member;
        qint64 dataSize = 0;
        if (headers->size() == kMaxMembers || !parseHeader(header, &member, &dataSize))
            return TarHeaders::NotPlain;
        headers->push_back(std::move(member));
        const qint64 padded = (dataSize + kBlock - 1) / kBlock * kBlock;
        if (!bytes.take(nullptr, padded, stopped))
            return bytes.wasStopped() ? TarHeaders::Stopped : TarHeaders::NotPlain;
    }
    return headers->empty() ? TarHeaders::NotPlain : TarHeaders::Listed;
}
