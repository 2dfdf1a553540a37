#include "filebytes.h"

#include <cerrno>
#include <unistd.h>

qint64 FileBytes::read(char *buffer, qint64 max)
{
    ssize_t n;
    do {
        n = pread(fd, buffer, size_t(max), off_t(position));
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        position += n;
    return n;
}
