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

#ifndef Q_OS_WIN
namespace {

// A file without a name in the temporary folder only; -1 when it cannot have one.
int createTemporaryFolderFile()
{
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    return ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace
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
    const int fd = createTemporaryFolderFile();
    if (fd >= 0)
        return fd;
    return ::memfd_create("velto-spool", MFD_CLOEXEC);
#endif
}

namespace {

constexpr qint64 kCopyPiece = qint64(1) << 20;

// Writes all of `data`; false when the file takes less.
bool writeFully(int fd, const char *data, qint64 size)
{
    while (size > 0) {
#ifdef Q_OS_WIN
        const int written = ::_write(fd, data, unsigned(qMin<qint64>(size, 1 << 30)));
#else
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
#endif
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

TemporaryCopy::TemporaryCopy(ByteSource &source, const std::function<bool()> &stopped)
{
#ifdef Q_OS_WIN
    file = UniqueFd(createAnonymousFile());
    const qint64 limit = TemporarySpace::kBudget;
#else
    file = UniqueFd(createTemporaryFolderFile());
    qint64 limit = TemporarySpace::kBudget;
    if (file.get() < 0) {
        file = UniqueFd(::memfd_create("velto-copy", MFD_CLOEXEC));
        limit = kSmallCopy;
    }
#endif
    if (file.get() < 0)
        return;
    const char *data = nullptr;
    for (qint64 got; (got = source.next(&data, kCopyPiece)) > 0;) {
        if (stopped && stopped())
            return;
        if (share.size() + got > limit || !share.grow(got)) {
            result = Outcome::TooLarge;
            file = UniqueFd();
            return;
        }
        if (!writeFully(file.get(), data, got))
            return;
    }
    if (source.failed() || (stopped && stopped()) || ::lseek(file.get(), 0, SEEK_SET) != 0)
        return;
    result = Outcome::Made;
}
