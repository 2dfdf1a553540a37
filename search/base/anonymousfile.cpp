#include "anonymousfile.h"

#include "bytesource.h"
#include "uniquefd.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>

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

int spoolToAnonymousFile(ByteSource &source)
{
    UniqueFd file(createAnonymousFile());
    if (file.get() < 0)
        return -1;
    const char *data = nullptr;
    for (qint64 got; (got = source.next(&data, qint64(1) << 20)) > 0;) {
        for (qint64 done = 0; done < got;) {
            const ssize_t written = ::write(file.get(), data + done, size_t(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return -1;
            done += written;
        }
    }
    if (source.failed() || ::lseek(file.get(), 0, SEEK_SET) != 0)
        return -1;
    return file.release();
}
