#include "nofollowwrite.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QFileInfo>
#else
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool writeFileWithoutFollowingLinks(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    if (QFileInfo(path).isSymLink())
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
#else
    // O_NOFOLLOW fails on a symbolic link, where O_CREAT alone would create
    // the file a dangling link names; O_NONBLOCK keeps a named pipe from
    // waiting for a reader. Without O_TRUNC the file is emptied only once it
    // is known to be a plain file of the user's own with no other name.
    const int fd
            = ::open(QFile::encodeName(path).constData(),
                     O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1
            && info.st_uid == ::geteuid() && ::ftruncate(fd, 0) == 0;
    for (qint64 done = 0; ok && done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        done += written;
    }
    ::close(fd);
    return ok;
#endif
}
