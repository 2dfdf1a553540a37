#include "bytesource.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr qint64 kReadBlock = 1 << 20;

} // namespace

ByteSource::ByteSource(int fd, qint64 size) : fd(fd), size(size) {}

ByteSource::ByteSource(const char *data, qint64 size)
    : memory(data), size(size), blockLen(size)
{
}

bool ByteSource::refill()
{
    if (memory || ended)
        return false;
    if (block.empty())
        block.resize(kReadBlock);
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ended = true;
            return false;
        }
        blockPos = 0;
        blockLen = got;
        return true;
    }
}

qint64 ByteSource::next(const char **data, qint64 max)
{
    if (blockPos >= blockLen && !refill())
        return 0;
    const qint64 n = qMin(max, blockLen - blockPos);
    *data = (memory ? memory : block.data()) + blockPos;
    blockPos += n;
    return n;
}

bool ByteSource::atEnd()
{
    if (blockPos < blockLen)
        return false;
    return memory || !refill();
}

bool ByteSource::rewind()
{
    blockPos = 0;
    if (memory)
        return true;
    blockLen = 0;
    ended = false;
    return ::lseek(fd, 0, SEEK_SET) == 0;
}
