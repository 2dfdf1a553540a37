#include "rarlayout.h"

#include <QIODevice>

#include <cstdint>
#include <cstring>

namespace {

const char kRar4Signature[] = "Rar!\x1a\x07\x00";
const char kRar5Signature[] = "Rar!\x1a\x07\x01\x00";

// RAR 4 block types and flags.
constexpr int kRar4MainHead = 0x73;
constexpr int kRar4FileHead = 0x74;
constexpr int kRar4ServiceHead = 0x7a;
constexpr int kRar4EndHead = 0x7b;
constexpr unsigned kRar4LongBlock = 0x8000;
constexpr unsigned kRar4MainVolume = 0x0001;
constexpr unsigned kRar4MainNewNumbering = 0x0010;
constexpr unsigned kRar4MainPassword = 0x0080;
constexpr unsigned kRar4MainFirstVolume = 0x0100;
constexpr unsigned kRar4FileSplitBefore = 0x01;
constexpr unsigned kRar4FileSplitAfter = 0x02;
constexpr unsigned kRar4FilePassword = 0x04;
constexpr unsigned kRar4FileLarge = 0x100;

// RAR 5 header types and flags.
constexpr uint64_t kRar5MainHead = 1;
constexpr uint64_t kRar5FileHead = 2;
constexpr uint64_t kRar5CryptHead = 4;
constexpr uint64_t kRar5EndHead = 5;
constexpr uint64_t kRar5HasExtra = 0x0001;
constexpr uint64_t kRar5HasData = 0x0002;
constexpr uint64_t kRar5SplitBefore = 0x0008;
constexpr uint64_t kRar5SplitAfter = 0x0010;
constexpr uint64_t kRar5MainVolume = 0x0001;
constexpr uint64_t kRar5MainVolumeNumber = 0x0002;
constexpr uint64_t kRar5ExtraCrypt = 1;
constexpr qint64 kRar5MaxHeaderSize = 2 * 1024 * 1024;

unsigned le16(const char *p)
{
    return unsigned(uint8_t(p[0])) | unsigned(uint8_t(p[1])) << 8;
}

uint64_t le32(const char *p)
{
    return uint64_t(le16(p)) | uint64_t(le16(p + 2)) << 16;
}

// A cursor over one RAR 5 header; every read fails once the header is used up.
class Rar5Reader
{
public:
    Rar5Reader(const char *data, qint64 size) : pos(data), end(data + size) { }

    bool vint(uint64_t &value)
    {
        value = 0;
        for (int shift = 0; shift < 70 && pos < end; shift += 7) {
            const uint8_t byte = uint8_t(*pos++);
            if (shift < 64)
                value |= uint64_t(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }

    bool skip(uint64_t count)
    {
        if (count > uint64_t(end - pos))
            return false;
        pos += count;
        return true;
    }

    qint64 remaining() const { return end - pos; }
    const char *position() const { return pos; }

private:
    const char *pos;
    const char *end;
};

// Reads a RAR 5 vint straight from the device (the header size, which comes
// before the header itself). Returns the number of bytes used, 0 on failure.
int readDeviceVint(QIODevice &device, uint64_t &value)
{
    char bytes[10];
    const qint64 got = device.peek(bytes, sizeof bytes);
    Rar5Reader reader(bytes, got < 0 ? 0 : got);
    if (!reader.vint(value))
        return 0;
    const int used = int(reader.position() - bytes);
    device.read(bytes, used);
    return used;
}

// True when the extra area of a RAR 5 file header holds an encryption record.
bool rar5ExtraHasCrypt(const char *extra, qint64 size)
{
    Rar5Reader reader(extra, size);
    while (reader.remaining() > 0) {
        uint64_t recordSize = 0;
        uint64_t type = 0;
        if (!reader.vint(recordSize) || recordSize == 0)
            return false;
        const qint64 before = reader.remaining();
        if (!reader.vint(type))
            return false;
        if (type == kRar5ExtraCrypt)
            return true;
        const uint64_t typeBytes = uint64_t(before - reader.remaining());
        if (recordSize < typeBytes || !reader.skip(recordSize - typeBytes))
            return false;
    }
    return false;
}

RarMemberLayout rar5FileLayout(uint64_t headerFlags, const QByteArray &header, qint64 bodyStart,
                               uint64_t extraSize)
{
    RarMemberLayout member;
    member.splitBefore = headerFlags & kRar5SplitBefore;
    member.splitAfter = headerFlags & kRar5SplitAfter;
    // The extra area is the last `extraSize` bytes of the header.
    if ((headerFlags & kRar5HasExtra) && extraSize <= uint64_t(header.size() - bodyStart))
        member.encrypted = rar5ExtraHasCrypt(header.constData() + header.size() - extraSize,
                                             qint64(extraSize));
    return member;
}

void scanRar5(QIODevice &device, RarVolumeLayout &layout)
{
    layout.newNumbering = true;
    QByteArray header;
    while (!device.atEnd()) {
        char crc[4];
        if (device.read(crc, 4) != 4)
            return;
        uint64_t headerSize = 0;
        if (!readDeviceVint(device, headerSize) || headerSize == 0
            || headerSize > uint64_t(kRar5MaxHeaderSize))
            return;
        header = device.read(qint64(headerSize));
        if (header.size() != int(headerSize))
            return;
        Rar5Reader reader(header.constData(), header.size());
        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!reader.vint(type) || !reader.vint(flags))
            return;
        if ((flags & kRar5HasExtra) && !reader.vint(extraSize))
            return;
        if ((flags & kRar5HasData) && !reader.vint(dataSize))
            return;

        if (type == kRar5MainHead) {
            uint64_t archiveFlags = 0;
            if (!reader.vint(archiveFlags))
                return;
            layout.isVolume = archiveFlags & kRar5MainVolume;
            layout.isFirstVolume = !(archiveFlags & kRar5MainVolumeNumber);
        } else if (type == kRar5FileHead) {
            const qint64 bodyStart = header.size() - reader.remaining();
            layout.members.append(rar5FileLayout(flags, header, bodyStart, extraSize));
        } else if (type == kRar5CryptHead) {
            layout.headersEncrypted = true;
            return;
        } else if (type == kRar5EndHead) {
            return;
        }
        if (dataSize > uint64_t(device.size() - device.pos())
            || !device.seek(device.pos() + qint64(dataSize)))
            return;
    }
}

void scanRar4(QIODevice &device, RarVolumeLayout &layout)
{
    while (!device.atEnd()) {
        const qint64 blockStart = device.pos();
        char base[7];
        if (device.read(base, 7) != 7)
            return;
        const int type = uint8_t(base[2]);
        const unsigned flags = le16(base + 3);
        const unsigned headSize = le16(base + 5);
        if (headSize < 7)
            return;
        const QByteArray rest = device.read(headSize - 7);
        if (rest.size() != int(headSize - 7))
            return;

        uint64_t dataSize = 0;
        const bool carriesData = type == kRar4FileHead || type == kRar4ServiceHead;
        if ((carriesData || (flags & kRar4LongBlock)) && rest.size() >= 4)
            dataSize = le32(rest.constData());
        if (carriesData && (flags & kRar4FileLarge) && rest.size() >= 29)
            dataSize |= le32(rest.constData() + 25) << 32;

        if (type == kRar4MainHead) {
            layout.isVolume = flags & kRar4MainVolume;
            layout.newNumbering = flags & kRar4MainNewNumbering;
            layout.headersEncrypted = flags & kRar4MainPassword;
            // Archives older than RAR 3 lack the first-volume flag; their set
            // is named "name.rar", "name.r00", ... and starts at the ".rar".
            layout.isFirstVolume
                    = !layout.isVolume || (flags & kRar4MainFirstVolume) || !layout.newNumbering;
            if (layout.headersEncrypted)
                return;
        } else if (type == kRar4FileHead) {
            RarMemberLayout member;
            member.splitBefore = flags & kRar4FileSplitBefore;
            member.splitAfter = flags & kRar4FileSplitAfter;
            member.encrypted = flags & kRar4FilePassword;
            layout.members.append(member);
        } else if (type == kRar4EndHead) {
            return;
        }
        const qint64 next = blockStart + headSize;
        if (dataSize > uint64_t(device.size() - next) || !device.seek(next + qint64(dataSize)))
            return;
    }
}

}  // namespace

RarVolumeLayout scanRarLayout(QIODevice &device)
{
    RarVolumeLayout layout;
    if (!device.seek(0))
        return layout;
    char signature[8];
    const qint64 got = device.peek(signature, sizeof signature);
    if (got == 8 && std::memcmp(signature, kRar5Signature, 8) == 0) {
        layout.recognized = true;
        device.seek(8);
        scanRar5(device, layout);
    } else if (got >= 7 && std::memcmp(signature, kRar4Signature, 7) == 0) {
        layout.recognized = true;
        device.seek(7);
        scanRar4(device, layout);
    }
    return layout;
}
