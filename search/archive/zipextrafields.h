#ifndef ZIPEXTRAFIELDS_H
#define ZIPEXTRAFIELDS_H

#include <QByteArray>
#include <QtGlobal>

// The UTF-8 name of the Info-ZIP Unicode Path field (0x7075) in a ZIP
// entry's extra data, when the field is there and its CRC-32 is that of
// `rawName` (a tool that renamed the entry left a stale field); null otherwise.
QByteArray unicodePathField(const QByteArray &extra, const QByteArray &rawName);

// The values of the ZIP64 field (0x0001) for the header fields that hold
// 0xFFFFFFFF, in the order the format keeps them: uncompressed size,
// compressed size, local header offset. `wanted` tells which of the three the
// header marked; each present value is written to its slot of `values`.
bool zip64Values(const QByteArray &extra, const bool wanted[3], quint64 values[3]);

// The last modification in the Info-ZIP extended timestamp field (0x5455),
// in seconds since the epoch (UTC); false when the field holds none.
bool extendedTimestamp(const QByteArray &extra, qint64 *modified);

#endif  // ZIPEXTRAFIELDS_H
