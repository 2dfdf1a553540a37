#include "linelayout.h"

#include "bytesearch.h"

#include <cstring>

QByteArray unitBytes(uint value, int width, bool bigEndian)
{
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i)
        out[bigEndian ? width - 1 - i : i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

LineCursor::LineCursor(const char *data, qint64 size, const LineLayout &layout, qint64 firstLineNo)
    : data(data), size(size), layout(layout), current {firstLineNo - 1, 0, 0, true}
{
}

bool LineCursor::isFeedUnit(qint64 pos) const
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(data + pos);
    if (layout.unitBytes == 2)
        return layout.bigEndian ? (u[0] == 0 && u[1] == 0x0A) : (u[0] == 0x0A && u[1] == 0);
    return layout.bigEndian ? (u[0] == 0 && u[1] == 0 && u[2] == 0 && u[3] == 0x0A)
                            : (u[0] == 0x0A && u[1] == 0 && u[2] == 0 && u[3] == 0);
}

qint64 LineCursor::lineEnd(qint64 start, bool *endsWithFeed) const
{
    if (layout.unitBytes == 1) {
        const void *feed = memchr(data + start, layout.lineFeed, size_t(size - start));
        *endsWithFeed = feed != nullptr;
        return feed ? static_cast<const char *>(feed) - data + 1 : size;
    }
    const int unit = layout.unitBytes;
    for (qint64 pos = start; pos + unit <= size; pos += unit) {
        if (isFeedUnit(pos)) {
            *endsWithFeed = true;
            return pos + unit;
        }
    }
    *endsWithFeed = false;
    return size;
}

bool LineCursor::nextLine(LineSpan *line)
{
    const qint64 start = current.end;
    if (start >= size)
        return false;
    bool feed = false;
    const qint64 end = lineEnd(start, &feed);
    current = LineSpan {current.lineNo + 1, start, end, feed};
    *line = current;
    return true;
}

LineSpan LineCursor::lineHolding(qint64 offset)
{
    if (offset < current.end && current.end > 0)
        return current;
    if (layout.unitBytes == 1) {
        // Count the line feeds between the last line and the one that holds
        // `offset` at once instead of line by line.
        const qint64 from = current.end;
        const void *before = memrchr(data + from, layout.lineFeed, size_t(offset - from));
        const qint64 start = before ? static_cast<const char *>(before) - data + 1 : from;
        const qint64 skipped
                = qint64(countByte(data + from, size_t(start - from), layout.lineFeed));
        bool feed = false;
        const qint64 end = lineEnd(start, &feed);
        current = LineSpan {current.lineNo + skipped + 1, start, end, feed};
        return current;
    }
    LineSpan line = current;
    while (nextLine(&line) && line.end <= offset) { }
    return current;
}

qint64 lastLineEnd(const char *data, qint64 size, const LineLayout &layout)
{
    if (layout.unitBytes == 1) {
        const void *feed = memrchr(data, layout.lineFeed, size_t(size));
        return feed ? static_cast<const char *>(feed) - data + 1 : 0;
    }
    LineCursor cursor(data, size, layout, 1);
    LineSpan line {0, 0, 0, false};
    qint64 end = 0;
    while (cursor.nextLine(&line)) {
        if (line.endsWithFeed)
            end = line.end;
    }
    return end;
}
