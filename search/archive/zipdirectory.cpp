#include "zipdirectory.h"

#include "archivefile.h"
#include "ziprecords.h"

namespace {

using namespace ZipRecords;

constexpr qint64 kMaxDirectory = qint64(64) << 20;

// The highest place of `signature` in `tail` at which it fits whole; -1 when
// it is nowhere.
qint64 lastSignature(const QByteArray &tail, quint32 signature)
{
    char bytes[4];
    qToLittleEndian(signature, bytes);
    return tail.lastIndexOf(QByteArray::fromRawData(bytes, 4));
}

}  // namespace

bool readPlainZipDirectory(int fd, qint64 size, std::vector<ZipEntry> *entries)
{
    entries->clear();
    if (size < kEndSize)
        return false;
    const qint64 tailStart = qMax<qint64>(0, size - kEndSearch);
    QByteArray tail(int(size - tailStart), Qt::Uninitialized);
    if (!readFully(fd, tailStart, tail.data(), tail.size()))
        return false;
    const qint64 end = lastSignature(tail, kEndSignature);
    if (end < 0 || end + kEndSize > tail.size() || lastSignature(tail, kZip64LocatorSignature) >= 0)
        return false;
    const char *record = tail.constData() + end;
    const quint16 disk = le16(record + 4);
    const quint16 directoryDisk = le16(record + 6);
    const quint16 entriesHere = le16(record + 8);
    const quint16 count = le16(record + 10);
    const quint32 directorySize = le32(record + 12);
    const quint32 directoryOffset = le32(record + 16);
    const quint16 commentSize = le16(record + 20);
    const qint64 endOffset = tailStart + end;
    if (endOffset + kEndSize + commentSize != size || disk != 0 || directoryDisk != 0
        || entriesHere != count || count == 0 || count == kZip64Count || directorySize == kZip64Mark
        || directoryOffset == kZip64Mark || qint64(directoryOffset) + directorySize != endOffset
        || directorySize > kMaxDirectory || qint64(count) * kCentralHeaderSize > directorySize)
        return false;

    QByteArray directory(int(directorySize), Qt::Uninitialized);
    if (!readFully(fd, directoryOffset, directory.data(), directory.size()))
        return false;
    const char *const bytes = directory.constData();
    qint64 at = 0;
    entries->reserve(count);
    for (int index = 0; index < count; ++index) {
        if (at + kCentralHeaderSize > directory.size() || le32(bytes + at) != kCentralSignature)
            return false;
        const char *fixed = bytes + at;
        const qint64 nameSize = le16(fixed + 28);
        const qint64 extraSize = le16(fixed + 30);
        const qint64 commentLength = le16(fixed + 32);
        if (le32(fixed + 20) == kZip64Mark || le32(fixed + 24) == kZip64Mark
            || le32(fixed + 42) == kZip64Mark
            || at + kCentralHeaderSize + nameSize + extraSize + commentLength > directory.size())
            return false;
        ZipEntry entry;
        entry.versionMadeBy = le16(fixed + 4);
        entry.flag = le16(fixed + 8);
        entry.dosDateTime = le32(fixed + 12);
        entry.externalAttributes = le32(fixed + 38);
        entry.rawName = QByteArray(fixed + kCentralHeaderSize, int(nameSize));
        entry.extra = QByteArray(fixed + kCentralHeaderSize + nameSize, int(extraSize));
        entries->push_back(std::move(entry));
        at += kCentralHeaderSize + nameSize + extraSize + commentLength;
    }
    if (at != directory.size()) {
        entries->clear();
        return false;
    }
    return true;
}
