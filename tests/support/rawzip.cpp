#include "rawzip.h"

#include <QVector>

#include <zlib.h>

namespace {

void put(QByteArray &out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

quint32 crcOf(const QByteArray &bytes)
{
    return quint32(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.constData()),
                         uInt(bytes.size())));
}

}  // namespace

QByteArray rawZip(const QList<RawZipEntry> &entries)
{
    QByteArray out;
    QVector<quint32> offsets;
    for (const RawZipEntry &entry : entries) {
        if (entry.sameDataAs >= 0) {
            offsets.append(offsets.at(entry.sameDataAs));
            continue;
        }
        const QByteArray localName = entry.localName.isNull() ? entry.name : entry.localName;
        offsets.append(quint32(out.size()));
        put(out, 0x04034b50, 4);
        put(out, 20, 2);
        put(out, entry.utf8Flag ? 0x800 : 0, 2);
        put(out, 0, 2);  // stored
        put(out, 0, 4);  // time and date
        QByteArray localExtra;
        if (entry.zip64Sizes) {
            put(localExtra, 0x0001, 2);
            put(localExtra, 16, 2);
            put(localExtra, quint64(entry.data.size()), 8);
            put(localExtra, quint64(entry.data.size()), 8);
        }
        const quint64 size = entry.zip64Sizes ? 0xFFFFFFFF : quint64(entry.data.size());
        put(out, crcOf(entry.data) ^ (entry.wrongCrc ? 1 : 0), 4);
        put(out, size, 4);
        put(out, size, 4);
        put(out, quint64(localName.size()), 2);
        put(out, quint64(localExtra.size()), 2);
        out += localName;
        out += localExtra;
        out += entry.data;
    }
    const quint32 centralStart = quint32(out.size());
    for (int i = 0; i < entries.size(); ++i) {
        const RawZipEntry &entry = entries.at(i);
        const RawZipEntry &owner = entry.sameDataAs >= 0 ? entries.at(entry.sameDataAs) : entry;
        put(out, 0x02014b50, 4);
        put(out, quint64(entry.madeBy), 2);
        put(out, 20, 2);
        put(out, entry.utf8Flag ? 0x800 : 0, 2);
        put(out, 0, 2);
        put(out, 0, 4);
        QByteArray extra = entry.centralExtra;
        const quint64 size = entry.zip64Sizes ? 0xFFFFFFFF : quint64(owner.data.size());
        if (entry.zip64Sizes) {
            put(extra, 0x0001, 2);
            put(extra, 16, 2);
            put(extra, quint64(owner.data.size()), 8);
            put(extra, quint64(owner.data.size()), 8);
        }
        put(out, crcOf(owner.data) ^ (owner.wrongCrc ? 1 : 0), 4);
        put(out, size, 4);
        put(out, size, 4);
        put(out, quint64(entry.name.size()), 2);
        put(out, quint64(extra.size()), 2);
        put(out, 0, 2);  // comment
        put(out, 0, 2);  // disk
        put(out, 0, 2);  // internal attributes
        put(out, entry.externalAttributes, 4);
        put(out, offsets.at(i), 4);
        out += entry.name;
        out += extra;
    }
    const quint32 centralSize = quint32(out.size()) - centralStart;
    put(out, 0x06054b50, 4);
    put(out, 0, 4);
    put(out, quint64(entries.size()), 2);
    put(out, quint64(entries.size()), 2);
    put(out, centralSize, 4);
    put(out, centralStart, 4);
    put(out, 0, 2);
    return out;
}

QByteArray unicodePathExtra(const QByteArray &utf8Name, const QByteArray &crcOf_)
{
    QByteArray field;
    put(field, 0x7075, 2);
    put(field, quint64(5 + utf8Name.size()), 2);
    put(field, 1, 1);
    put(field, crcOf(crcOf_), 4);
    return field + utf8Name;
}
