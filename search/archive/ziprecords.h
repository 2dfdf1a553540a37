#ifndef ZIPRECORDS_H
#define ZIPRECORDS_H

#include <QtEndian>

// The fixed parts of the records a ZIP archive is made of, for this room's
// own readers of them (the central directory, a member read through its
// local header, extra fields, a set of pieces): signatures, sizes, the marks
// of values kept in ZIP64 records, and the little-endian numbers they hold.
namespace ZipRecords {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr int kLocalHeaderSize = 30;
constexpr int kCentralHeaderSize = 46;
constexpr int kEndSize = 22;
// How far from the end the end record is looked for (a comment of up to
// 64 KiB follows it): minizip's reach, so that whatever the walk would take
// for the end record is seen by the room's own readers too.
constexpr int kEndSearch = 0xffff;
// A 32-bit size or offset, or a 16-bit count, whose value is in a ZIP64 record.
constexpr quint32 kZip64Mark = 0xFFFFFFFF;
constexpr quint16 kZip64Count = 0xFFFF;

inline quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

inline quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

inline quint64 le64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

}  // namespace ZipRecords

#endif  // ZIPRECORDS_H
