#include "archivefile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// No folder descriptors here: the folder is the working directory's
// business and names are opened as given; a device or pipe is refused by
// the status check alone.
int openNonBlocking(int, const QByteArray &name, bool)
{
    return ::_open(name.constData(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
#else
int openNonBlocking(int folderFd, const QByteArray &name, bool followLink)
{
    return ::openat(folderFd, name.constData(),
                    O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW));
}
#endif

}  // namespace

ArchiveFile::ArchiveFile(int folderFd, const QByteArray &name, bool followLink)
{
    const int fd = openNonBlocking(folderFd, name, followLink);
    if (fd >= 0)
        *this = adopt(fd);
}

ArchiveFile ArchiveFile::adopt(int fd)
{
    ArchiveFile file;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return file;
    }
    file.descriptor = fd;
    file.fileSize = info.st_size;
    file.fileTime = info.st_mtime;
    return file;
}

ArchiveFile::~ArchiveFile()
{
    close();
}

ArchiveFile::ArchiveFile(ArchiveFile &&other) noexcept
    : descriptor(std::exchange(other.descriptor, -1)), fileSize(other.fileSize),
      fileTime(other.fileTime)
{
}

ArchiveFile &ArchiveFile::operator=(ArchiveFile &&other) noexcept
{
    if (this != &other) {
        close();
        descriptor = std::exchange(other.descriptor, -1);
        fileSize = other.fileSize;
        fileTime = other.fileTime;
    }
    return *this;
}

void ArchiveFile::close()
{
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

bool readFully(int fd, qint64 offset, char *buffer, qint64 size)
{
    while (size > 0) {
#ifdef Q_OS_WIN
        const qint64 got = ::_lseeki64(fd, offset, SEEK_SET) < 0
                ? -1
                : ::_read(fd, buffer, unsigned(qMin<qint64>(size, 1 << 30)));
#else
        const ssize_t got = ::pread(fd, buffer, size_t(size), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
#endif
        if (got <= 0)
            return false;
        buffer += got;
        offset += got;
        size -= got;
    }
    return true;
}

ByteSource::Reader readerOf(const ArchiveFile &file)
{
    const int fd = file.fd();
    const qint64 size = file.size();
    qint64 position = 0;
    return [fd, size, position](char *buffer, qint64 max) mutable -> qint64 {
        const qint64 n = qMin(max, size - position);
        if (n <= 0)
            return 0;
        if (!readFully(fd, position, buffer, n))
            return -1;
        position += n;
        return n;
    };
}

qint64 regularFileSizeAt(int folderFd, const QByteArray &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folderFd);
    struct _stat64 info;
    if (::_stat64(name.constData(), &info) != 0 || !(info.st_mode & _S_IFREG))
        return -1;
#else
    struct stat info;
    if (::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISREG(info.st_mode))
        return -1;
#endif
    return qint64(info.st_size);
}

bool isRegularFileAt(int folderFd, const QByteArray &name)
{
    return regularFileSizeAt(folderFd, name) >= 0;
}

bool existsAt(int folderFd, const QByteArray &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folderFd);
    struct _stat64 info;
    return ::_stat64(name.constData(), &info) == 0 || errno != ENOENT;
#else
    struct stat info;
    return ::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
            || errno != ENOENT;
#endif
}
