#ifndef FILEBYTES_H
#define FILEBYTES_H

#include <QtGlobal>

// Reads a file from its start through a descriptor with pread, leaving the
// descriptor's own position alone.
class FileBytes
{
public:
    explicit FileBytes(int fd) : fd(fd) { }

    // Up to `max` next bytes into `buffer`: 0 at the end, less than 0 on an error.
    qint64 read(char *buffer, qint64 max);

private:
    int fd;
    qint64 position = 0;
};

#endif  // FILEBYTES_H
