#include "rawzip.h"

#include <QVector>

#include <functional>

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

quint32 crcOf(const RawZipEntry &entry)
{
    return entry.deflatedSize >= 0 ? entry.deflatedCrc : crcOf(entry.data);
}

quint64 fullSize(const RawZipEntry &entry)
{
    return quint64(entry.deflatedSize >= 0 ? entry.deflatedSize : entry.data.size());
}

// Raw deflate of the bytes `next` hands out, piece by piece, until it gives
// an empty one; the CRC-32 and size of what it handed out.
QByteArray deflatePieces(const std::function<QByteArray()> &next, quint32 *crc, qint64 *size)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out;
    uLong sum = crc32(0, nullptr, 0);
    *size = 0;
    QByteArray buffer(1 << 16, 0);
    for (;;) {
        const QByteArray piece = next();
        sum = crc32(sum, reinterpret_cast<const Bytef *>(piece.constData()), uInt(piece.size()));
        *size += piece.size();
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.constData()));
        stream.avail_in = uInt(piece.size());
        const int flush = piece.isEmpty() ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer.data());
            stream.avail_out = uInt(buffer.size());
            status = deflate(&stream, flush);
            out.append(buffer.constData(), buffer.size() - int(stream.avail_out));
        } while (stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&stream);
    *crc = quint32(sum);
    return out;
}

}  // namespace

RawZipEntry repeatedLineEntry(const QByteArray &name, const QByteArray &line, qint64 size)
{
    const QByteArray block = line.repeated(qMax(1, (1 << 20) / line.size()));
    qint64 left = size;
    RawZipEntry entry(name, QByteArray());
    entry.data = deflatePieces(
            [&] {
                const QByteArray piece = block.left(int(qMin<qint64>(left, block.size())));
                left -= piece.size();
                return piece;
            },
            &entry.deflatedCrc, &entry.deflatedSize);
    return entry;
}

RawZipEntry deflatedEntry(const QByteArray &name, const QByteArray &bytes)
{
    bool given = false;
    RawZipEntry entry(name, QByteArray());
    entry.data = deflatePieces(
            [&] {
                const QByteArray piece = given ? QByteArray() : bytes;
                given = true;
                return piece;
            },
            &entry.deflatedCrc, &entry.deflatedSize);
    return entry;
}

QByteArray nestedZips(int fanOut, int levels, qint64 leafSize, const QByteArray &line)
{
    const auto numbered = [](const char *stem, int k) {
        return QByteArray(stem) + QByteArray::number(k).rightJustified(2, '0');
    };
    QList<RawZipEntry> entries;
    const RawZipEntry leaf = repeatedLineEntry("part", line, leafSize);
    for (int k = 0; k < fanOut; ++k) {
        RawZipEntry copy = leaf;
        copy.name = numbered("part-", k) + ".txt";
        entries << copy;
    }
    for (int level = levels; level > 1; --level) {
        const RawZipEntry inner = deflatedEntry("inner", rawZip(entries));
        entries.clear();
        for (int k = 0; k < fanOut; ++k) {
            RawZipEntry copy = inner;
            copy.name
                    = numbered(QByteArray("level" + QByteArray::number(level) + "-").constData(), k)
                    + ".zip";
            entries << copy;
        }
    }
    return rawZip(entries);
}

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
        put(out, entry.deflatedSize >= 0 ? 8 : 0, 2);
        put(out, 0, 4);  // time and date
        QByteArray localExtra;
        if (entry.zip64Sizes) {
            put(localExtra, 0x0001, 2);
            put(localExtra, 16, 2);
            put(localExtra, quint64(entry.data.size()), 8);
            put(localExtra, quint64(entry.data.size()), 8);
        }
        const quint64 size = entry.zip64Sizes ? 0xFFFFFFFF : quint64(entry.data.size());
        put(out, crcOf(entry) ^ (entry.wrongCrc ? 1 : 0), 4);
        put(out, size, 4);
        put(out, entry.zip64Sizes ? size : fullSize(entry), 4);
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
        put(out, owner.deflatedSize >= 0 ? 8 : 0, 2);
        put(out, 0, 4);
        QByteArray extra = entry.centralExtra;
        const quint64 size = entry.zip64Sizes ? 0xFFFFFFFF : quint64(owner.data.size());
        if (entry.zip64Sizes) {
            put(extra, 0x0001, 2);
            put(extra, 16, 2);
            put(extra, quint64(owner.data.size()), 8);
            put(extra, quint64(owner.data.size()), 8);
        }
        put(out, crcOf(owner) ^ (owner.wrongCrc ? 1 : 0), 4);
        put(out, size, 4);
        put(out, entry.zip64Sizes ? size : fullSize(owner), 4);
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
