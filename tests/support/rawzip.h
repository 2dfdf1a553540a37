#ifndef RAWZIP_H
#define RAWZIP_H

#include <QByteArray>
#include <QList>

// One member of a ZIP archive written byte by byte, for what ordinary tools
// do not write: names in any bytes, names that differ between the local
// header and the central directory, extra fields, entries sharing data.
struct RawZipEntry
{
    RawZipEntry() = default;
    RawZipEntry(const QByteArray &name, const QByteArray &data) : name(name), data(data) { }

    QByteArray name;           // the central directory's name bytes
    QByteArray data;           // stored, not compressed, unless `deflatedSize` is set
    qint64 deflatedSize = -1;  // >= 0: `data` is raw deflate of this many bytes ...
    quint32 deflatedCrc = 0;   // ... whose CRC-32 is this
    QByteArray localName;      // the local header's name; null: the same as `name`
    bool utf8Flag = false;     // general purpose flag bit 11
    QByteArray centralExtra;
    int sameDataAs = -1;             // >= 0: point at that earlier entry's local header and data
    bool zip64Sizes = false;         // sizes marked 0xFFFFFFFF, their values in ZIP64 fields
    int madeBy = 20;                 // "version made by": the maker's system in its high byte
    quint32 externalAttributes = 0;  // a Unix maker's mode in the high 16 bits
    bool wrongCrc = false;           // a CRC the data does not have, in both headers
};

// The bytes of an archive holding `entries`, in that order.
QByteArray rawZip(const QList<RawZipEntry> &entries);

// A deflated member `name` holding `line` repeated to `size` bytes, made
// without ever holding those bytes at once.
RawZipEntry repeatedLineEntry(const QByteArray &name, const QByteArray &line, qint64 size);

// A deflated member `name` holding `bytes`.
RawZipEntry deflatedEntry(const QByteArray &name, const QByteArray &bytes);

// Archives inside archives, `levels` deep: the outermost ZIP holds `fanOut`
// ZIPs named "levelN-KK.zip", each of which holds `fanOut` more, and the
// innermost hold `fanOut` members "part-KK.txt" of `line` repeated to
// `leafSize` bytes: fanOut^levels members of text in a few kilobytes.
QByteArray nestedZips(int fanOut, int levels, qint64 leafSize, const QByteArray &line);

// An Info-ZIP Unicode Path extra field (0x7075) naming `utf8Name`, with the
// CRC-32 of `crcOf` (the raw name it stands for, or a stale one).
QByteArray unicodePathExtra(const QByteArray &utf8Name, const QByteArray &crcOf);

#endif  // RAWZIP_H
