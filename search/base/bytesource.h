#ifndef BYTESOURCE_H
#define BYTESOURCE_H

#include <QtGlobal>

#include <functional>
#include <vector>

// The raw bytes of one file, handed out in pieces: read from an open
// descriptor in large blocks, pulled from a stream (a decompressor), or taken
// from memory that holds the whole file.
class ByteSource
{
public:
    // Fills `buffer` with up to `max` next bytes of a stream and returns how
    // many; 0 at its end, less than 0 on an error (which ends it too).
    using Reader = std::function<qint64(char *buffer, qint64 max)>;

    // `block` is the read buffer, kept by the caller across files.
    ByteSource(int fd, std::vector<char> &block);
    ByteSource(Reader reader, std::vector<char> &block);
    ByteSource(const char *data, qint64 size);

    // Points `data` at up to `max` next bytes and returns their number; 0 at
    // the end of the file or on a read error.
    qint64 next(const char **data, qint64 max);
    // Copies up to `max` next bytes to `target` (reading straight into it
    // when nothing is buffered); 0 at the end.
    qint64 readInto(char *target, qint64 max);
    // The bytes buffered but not yet handed out, reading a block if there are none.
    qint64 peek(const char **data);
    // True when every byte has been handed out.
    bool atEnd();
    // Starts again from the first byte; false when the descriptor cannot
    // seek, and always for a stream.
    bool rewind();
    // True when reading failed: the bytes handed out end early.
    bool failed() const { return readError; }

private:
    qint64 readSome(char *target, qint64 max);
    bool refill();

    int fd = -1;
    Reader reader;
    const char *memory = nullptr;
    std::vector<char> *block = nullptr;
    qint64 blockPos = 0;  // next unread byte of the block or the memory
    qint64 blockLen = 0;  // valid bytes in the block or the memory
    bool ended = false;   // the file has no more bytes
    bool readError = false;
};

#endif  // BYTESOURCE_H
