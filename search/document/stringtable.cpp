#include "stringtable.h"

namespace {

// Each string is stored as its UTF-8 length in 7-bit groups, then its bytes.
void putLength(QByteArray &out, quint64 n)
{
    while (n >= 0x80) {
        out.append(char(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.append(char(n));
}

}  // namespace

StringTable::~StringTable()
{
    if (file)
        std::fclose(file);
}

bool StringTable::add(const QString &text)
{
    if (count % kIndexStep == 0)
        index.push_back(fileBytes + memory.size());
    const QByteArray utf8 = text.toUtf8();
    putLength(memory, quint64(utf8.size()));
    memory.append(utf8);
    ++count;
    return memory.size() <= kMemoryBytes || spill();
}

bool StringTable::spill()
{
    if (!file)
        file = std::tmpfile();
    if (!file || std::fseek(file, 0, SEEK_END) != 0
        || std::fwrite(memory.constData(), 1, size_t(memory.size()), file) != size_t(memory.size()))
        return false;
    fileBytes += memory.size();
    memory.clear();
    return true;
}

bool StringTable::readAt(qint64 offset, char *target, qint64 n)
{
    if (offset >= fileBytes) {
        if (offset - fileBytes + n > memory.size())
            return false;
        memcpy(target, memory.constData() + (offset - fileBytes), size_t(n));
        return true;
    }
    if (offset + n > fileBytes)
        return false;  // a string never straddles the file and the buffer
    return std::fseek(file, long(offset), SEEK_SET) == 0
            && std::fread(target, 1, size_t(n), file) == size_t(n);
}

QString StringTable::at(qint64 i)
{
    if (i < 0 || i >= count)
        return QString();
    qint64 offset = index[size_t(i / kIndexStep)];
    for (qint64 k = i - i % kIndexStep;; ++k) {
        quint64 length = 0;
        int shift = 0;
        char byte;
        do {
            if (!readAt(offset++, &byte, 1) || shift > 56)
                return QString();
            length |= quint64(byte & 0x7F) << shift;
            shift += 7;
        } while (byte & 0x80);
        if (k == i) {
            QByteArray utf8(int(length), Qt::Uninitialized);
            return readAt(offset, utf8.data(), qint64(length)) ? QString::fromUtf8(utf8)
                                                               : QString();
        }
        offset += qint64(length);
    }
}
