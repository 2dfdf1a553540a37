#include "bytesource.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr size_t kReadBlock = 1 << 20;

}  // namespace

ByteSource::ByteSource(int fd, std::vector<char> &block) : fd(fd), block(&block)
{
    if (block.size() < kReadBlock)
        block.resize(kReadBlock);
}

ByteSource::ByteSource(Reader reader, std::vector<char> &block)
    : reader(std::move(reader)), block(&block)
{
    if (block.size() < kReadBlock)
        block.resize(kReadBlock);
}

ByteSource::ByteSource(const char *data, qint64 size) : memory(data), blockLen(size) { }

// A read that returns less than asked means the end of a regular file; not
// asking again saves a system call per file.
qint64 ByteSource::readSome(char *target, qint64 max)
{
    if (ended)
        return 0;
    if (reader) {
        // Whole blocks, as a file gives them: how a stream happens to cut its
        // data must not change how lines are read.
        qint64 filled = 0;
        while (filled < max) {
            const qint64 got = reader(target + filled, max - filled);
            if (got <= 0) {
                ended = true;
                readError = got < 0;
                break;
            }
            filled += got;
        }
        return filled;
    }
    for (;;) {
        const ssize_t got = ::read(fd, target, size_t(max));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < max)
            ended = true;
        readError = got < 0;
        return got > 0 ? got : 0;
    }
}

bool ByteSource::refill()
{
    if (memory)
        return false;
    blockPos = 0;
    blockLen = readSome(block->data(), qint64(block->size()));
    return blockLen > 0;
}

qint64 ByteSource::next(const char **data, qint64 max)
{
    if (blockPos >= blockLen && !refill())
        return 0;
    const qint64 n = qMin(max, blockLen - blockPos);
    *data = (memory ? memory : block->data()) + blockPos;
    blockPos += n;
    return n;
}

qint64 ByteSource::readInto(char *target, qint64 max)
{
    if (blockPos < blockLen || memory) {
        const char *data = nullptr;
        const qint64 n = next(&data, max);
        if (n > 0)
            memcpy(target, data, size_t(n));
        return n;
    }
    return readSome(target, max);
}

qint64 ByteSource::peek(const char **data)
{
    if (blockPos >= blockLen && !refill())
        return 0;
    *data = (memory ? memory : block->data()) + blockPos;
    return blockLen - blockPos;
}

bool ByteSource::atEnd()
{
    if (blockPos < blockLen)
        return false;
    return memory || !refill();
}

bool ByteSource::rewind()
{
    if (reader)
        return false;
    blockPos = 0;
    if (memory)
        return true;
    blockLen = 0;
    ended = false;
    return ::lseek(fd, 0, SEEK_SET) == 0;
}
