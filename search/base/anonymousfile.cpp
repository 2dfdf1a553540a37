#include "anonymousfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <QUuid>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

int createAnonymousFile()
{
#ifdef Q_OS_WIN
    // A fresh name nobody else can have opened, removed by the system when
    // the descriptor closes.
    const QString name = QDir::tempPath() + QStringLiteral("/velto-spool-")
            + QUuid::createUuid().toString(QUuid::WithoutBraces);
    int fd = -1;
    _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(name).utf16()),
              _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_SHORT_LIVED
                      | _O_NOINHERIT,
              _SH_DENYRW, _S_IREAD | _S_IWRITE);
    return fd;
#else
    // A file without a name in the temporary folder (on disk where that folder
    // is), else one in memory.
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    const int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    return ::memfd_create("velto-spool", MFD_CLOEXEC);
#endif
}
