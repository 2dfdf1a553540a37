#ifndef LINELAYOUT_H
#define LINELAYOUT_H

#include <QByteArray>

// How a file's bytes split into lines: code units of one, two or four bytes,
// a line ending after each unit that holds a line feed. Lines of a one-byte
// layout end at `lineFeed` (0x0A, or 0x25 in EBCDIC); wider units hold 0x0A.
struct LineLayout
{
    int unitBytes = 1;
    bool bigEndian = false;
    char lineFeed = '\n';

    bool operator==(const LineLayout &other) const
    {
        return unitBytes == other.unitBytes && bigEndian == other.bigEndian
                && lineFeed == other.lineFeed;
    }
    bool operator!=(const LineLayout &other) const { return !(*this == other); }
};

// `value` as one code unit of `width` bytes (2 or 4) in the given byte order.
QByteArray unitBytes(uint value, int width, bool bigEndian);

// One line of raw data: its number and byte range, its line feed included.
struct LineSpan
{
    qint64 lineNo;
    qint64 start;
    qint64 end;
    bool endsWithFeed;
};

// The lines of one piece of a file, data[0, size), numbered from
// `firstLineNo`. Units count from data[0], which starts a unit.
class LineCursor
{
public:
    LineCursor(const char *data, qint64 size, const LineLayout &layout, qint64 firstLineNo);

    // The line that holds byte `offset`; offsets may not decrease between calls.
    LineSpan lineHolding(qint64 offset);
    // The next line after the last one returned (the first line at first);
    // false at the end of the data.
    bool nextLine(LineSpan *line);

private:
    // The end of the line that starts at `start`, its line feed included.
    qint64 lineEnd(qint64 start, bool *endsWithFeed) const;
    bool isFeedUnit(qint64 pos) const;

    const char *const data;
    const qint64 size;
    const LineLayout layout;
    LineSpan current;  // the last line returned; end 0 before the first
};

// The end of the last line of data[0, size) that ends with its line feed,
// or 0 when no line does.
qint64 lastLineEnd(const char *data, qint64 size, const LineLayout &layout);

#endif  // LINELAYOUT_H
