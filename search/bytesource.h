#ifndef BYTESOURCE_H
#define BYTESOURCE_H

#include <QtGlobal>

#include <vector>

// The raw bytes of one file, handed out in pieces: read from an open
// descriptor in large blocks, or taken from memory that holds the whole file.
class ByteSource
{
public:
    ByteSource(int fd, qint64 size);
    ByteSource(const char *data, qint64 size);

    // Points `data` at up to `max` next bytes and returns their number; 0 at
    // the end of the file or on a read error.
    qint64 next(const char **data, qint64 max);
    // True when every byte has been handed out.
    bool atEnd();
    // Starts again from the first byte; false when the descriptor cannot seek.
    bool rewind();

private:
    bool refill();

    int fd = -1;
    const char *memory = nullptr;
    qint64 size = 0;
    std::vector<char> block;
    qint64 blockPos = 0;   // next unread byte in block
    qint64 blockLen = 0;   // valid bytes in block
    bool ended = false;    // a read returned 0 or failed
};

#endif // BYTESOURCE_H
