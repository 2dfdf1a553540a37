#ifndef ARCHIVEFILE_H
#define ARCHIVEFILE_H

#include "bytesource.h"
#include "tfileinfo.h"

#include <QByteArray>
#include <QtGlobal>

// An archive file opened for reading relative to its open folder: without
// blocking (a FIFO or device put at the name cannot hold the search) and,
// unless `followLink`, without following a link; kept only when the opened
// file is a regular one. Closed when the object goes.
class ArchiveFile
{
public:
    ArchiveFile() = default;
    ArchiveFile(int folderFd, const QByteArray &name, bool followLink = false);
    // Takes over an open descriptor (a member spooled to an anonymous file).
    static ArchiveFile adopt(int fd);
    ~ArchiveFile();
    ArchiveFile(ArchiveFile &&other) noexcept;
    ArchiveFile &operator=(ArchiveFile &&other) noexcept;
    ArchiveFile(const ArchiveFile &) = delete;
    ArchiveFile &operator=(const ArchiveFile &) = delete;

    bool isOpen() const { return descriptor >= 0; }
    int fd() const { return descriptor; }
    qint64 size() const { return fileSize; }
    qint64 modified() const { return fileTime; }  // seconds since the epoch

private:
    void close();

    int descriptor = -1;
    qint64 fileSize = 0;
    qint64 fileTime = TFileInfo::kNoTime;
};

// The bytes of `file` from its start, read at their offsets (whatever moves
// the descriptor's position); `file` must outlive the reader.
ByteSource::Reader readerOf(const ArchiveFile &file);

// Reads `size` bytes at `offset`; false when fewer could be read.
bool readFully(int fd, qint64 offset, char *buffer, qint64 size);

// The size of the regular file `name` in the open folder (a link is not
// followed); -1 when there is none.
qint64 regularFileSizeAt(int folderFd, const QByteArray &name);

// True when the regular file `name` exists in the open folder (a link is not
// followed): how a volume set finds its next volume.
bool isRegularFileAt(int folderFd, const QByteArray &name);

// True when anything is at `name` in the open folder (a link is not followed).
bool existsAt(int folderFd, const QByteArray &name);

#endif  // ARCHIVEFILE_H
