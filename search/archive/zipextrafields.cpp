#include "zipextrafields.h"

#include "ziprecords.h"

#include <zlib.h>

namespace {

using namespace ZipRecords;

constexpr quint16 kZip64Field = 0x0001;
constexpr quint16 kUnicodePathField = 0x7075;
constexpr quint16 kExtendedTimestampField = 0x5455;

// The data of the first field `id` in `extra`; null when there is none or
// the fields run past the end.
QByteArray fieldData(const QByteArray &extra, quint16 id)
{
    int pos = 0;
    while (pos + 4 <= extra.size()) {
        const quint16 fieldId = le16(extra.constData() + pos);
        const int size = int(le16(extra.constData() + pos + 2));
        if (pos + 4 + size > extra.size())
            return QByteArray();
        if (fieldId == id)
            return extra.mid(pos + 4, size);
        pos += 4 + size;
    }
    return QByteArray();
}

}  // namespace

QByteArray unicodePathField(const QByteArray &extra, const QByteArray &rawName)
{
    const QByteArray data = fieldData(extra, kUnicodePathField);
    if (data.size() < 5 || data.at(0) != 1)
        return QByteArray();
    const quint32 stored = le32(data.constData() + 1);
    const uLong actual
            = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(rawName.constData()),
                    uInt(rawName.size()));
    if (stored != quint32(actual))
        return QByteArray();
    QByteArray name = data.mid(5);
    if (name.isNull())
        name = QByteArray("");  // an empty name is still a name
    return name;
}

bool zip64Values(const QByteArray &extra, const bool wanted[3], quint64 values[3])
{
    const QByteArray data = fieldData(extra, kZip64Field);
    int pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (!wanted[i])
            continue;
        if (pos + 8 > data.size())
            return false;
        values[i] = le64(data.constData() + pos);
        pos += 8;
    }
    return true;
}

bool extendedTimestamp(const QByteArray &extra, qint64 *modified)
{
    // A flags byte, then the times it names: the modification time first.
    const QByteArray data = fieldData(extra, kExtendedTimestampField);
    if (data.size() < 5 || !(data.at(0) & 1))
        return false;
    *modified = qint32(le32(data.constData() + 1));
    return true;
}
