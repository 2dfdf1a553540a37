#include "anonymousfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

int createAnonymousFile()
{
    // A file without a name in the temporary folder (on disk where that folder
    // is), else one in memory.
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    const int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    return ::memfd_create("velto-spool", MFD_CLOEXEC);
}
