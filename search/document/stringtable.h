#ifndef STRINGTABLE_H
#define STRINGTABLE_H

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <vector>

// A spreadsheet's shared strings, looked up by index while its rows are read.
// Held as UTF-8 in memory up to kMemoryBytes and in an anonymous temporary
// file beyond, so a workbook of any size costs bounded memory.
class StringTable
{
public:
    static constexpr qint64 kMemoryBytes = 16 << 20;

    StringTable() = default;
    ~StringTable();
    StringTable(const StringTable &) = delete;
    StringTable &operator=(const StringTable &) = delete;

    // Appends a string; false when it cannot be kept (no temporary file).
    bool add(const QString &text);
    // The string at `index`; empty when there is none.
    QString at(qint64 index);
    qint64 size() const { return count; }

private:
    bool spill();
    bool readAt(qint64 offset, char *target, qint64 n);

    static constexpr int kIndexStep = 16;  // an offset is kept for every 16th string

    QByteArray memory;  // the strings while they fit, then the write buffer
    FILE *file = nullptr;
    qint64 fileBytes = 0;       // bytes in the file (memory follows them)
    std::vector<qint64> index;  // offset of strings 0, 16, 32, ...
    qint64 count = 0;
};

#endif  // STRINGTABLE_H
