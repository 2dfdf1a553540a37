#include "splitset.h"

#include "archivefile.h"
#include "ziprecords.h"

#include <QtEndian>

#include <cstring>
#include <vector>

#include <zlib.h>

namespace {

constexpr char kSevenZipSignature[] = {'7', 'z', '\xBC', '\xAF', '\x27', '\x1C'};
constexpr int kSevenZipStartHeaderSize = 32;

QByteArray pieceName(const QByteArray &stem, int number)
{
    return stem + QByteArray::number(number).rightJustified(3, '0');
}

// False when the 7z's start header, whole and with its checksum right, puts
// the end of its next header past the `size` bytes there.
bool sevenZipIsWhole(const ArchiveFile &first, qint64 size)
{
    char header[kSevenZipStartHeaderSize];
    if (!readFully(first.fd(), 0, header, sizeof header)
        || memcmp(header, kSevenZipSignature, sizeof kSevenZipSignature) != 0)
        return true;
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(header + 12), 20);
    if (quint32(crc) != qFromLittleEndian<quint32>(header + 8))
        return true;
    const quint64 nextOffset = qFromLittleEndian<quint64>(header + 12);
    const quint64 nextSize = qFromLittleEndian<quint64>(header + 20);
    const quint64 after = quint64(size - kSevenZipStartHeaderSize);
    return nextOffset <= after && nextSize <= after - nextOffset;
}

// The last `length` bytes of the pieces of `set` joined; null when one
// cannot be read.
QByteArray tailOf(int folderFd, const SplitSet &set, const std::vector<qint64> &sizes,
                  qint64 length)
{
    QByteArray tail(int(length), Qt::Uninitialized);
    qint64 left = length;
    for (int index = set.pieces.size() - 1; index >= 0 && left > 0; --index) {
        const qint64 take = qMin(left, sizes[size_t(index)]);
        const ArchiveFile piece(folderFd, set.pieces.at(index));
        if (!piece.isOpen() || piece.size() != sizes[size_t(index)]
            || !readFully(piece.fd(), piece.size() - take, tail.data() + (left - take), take))
            return QByteArray();
        left -= take;
    }
    return tail;
}

// False when a ZIP that begins with a member has no end record where its
// end would be: its end is in a piece that is not there.
bool zipIsWhole(int folderFd, const ArchiveFile &first, const SplitSet &set,
                const std::vector<qint64> &sizes)
{
    using namespace ZipRecords;
    char head[4];
    if (!readFully(first.fd(), 0, head, sizeof head) || le32(head) != kLocalSignature)
        return true;
    const QByteArray tail
            = tailOf(folderFd, set, sizes, qMin<qint64>(set.size, kEndSearch + kEndSize));
    if (tail.isNull())
        return true;
    char end[4];
    qToLittleEndian(kEndSignature, end);
    const int at = tail.lastIndexOf(QByteArray::fromRawData(end, 4));
    return at >= 0 && at + kEndSize <= tail.size();
}

}  // namespace

SplitSet splitSet(int folderFd, const QByteArray &name, const ArchiveFile &first,
                  ArchiveFormat format)
{
    SplitSet set;
    set.pieces << name;
    set.size = first.size();
    std::vector<qint64> sizes {first.size()};
    const QByteArray stem = name.left(name.size() - 3);
    for (int number = 2; number <= 999; ++number) {
        const QByteArray next = pieceName(stem, number);
        const qint64 size = regularFileSizeAt(folderFd, next);
        if (size < 0)
            break;
        set.pieces << next;
        set.size += size;
        sizes.push_back(size);
    }
    const bool whole = format == ArchiveFormat::SevenZip ? sevenZipIsWhole(first, set.size)
            : format == ArchiveFormat::Zip               ? zipIsWhole(folderFd, first, set, sizes)
                                                         : true;
    if (!whole)
        set.missingPiece = pieceName(stem, set.pieces.size() + 1);
    return set;
}
