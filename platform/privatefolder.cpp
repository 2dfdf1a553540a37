#include "privatefolder.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QStandardPaths>
#else
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

PrivateFolder privateRuntimeFolder()
{
    // Named pipes and the lock live in the user's own profile here.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return {runtime.isEmpty() ? QDir::tempPath() : runtime, QString()};
}

#else

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why `path` is not a private folder of this user, or an empty string when
// it is. A folder of the user's own that others may enter is closed (0700).
QString privacyProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("%1 cannot be opened as a folder (%2)").arg(path, errnoText());
    struct stat info;
    QString problem;
    if (::fstat(fd, &info) != 0)
        problem = QStringLiteral("%1 cannot be examined (%2)").arg(path, errnoText());
    else if (info.st_uid != ::geteuid())
        problem = QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(info.st_uid);
    else if ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)
        problem = QStringLiteral("%1 is open to other users and cannot be closed (%2)")
                          .arg(path, errnoText());
    ::close(fd);
    return problem;
}

}  // namespace

PrivateFolder privateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // After su, or in a session set up by hand, it may name another user's folder.
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && privacyProblem(runtime).isEmpty())
        return {runtime, QString()};

    const QString own = QDir::tempPath() + QStringLiteral("/velto-") + QString::number(::geteuid());
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST)
        return {QString(), QStringLiteral("%1 cannot be made (%2)").arg(own, errnoText())};
    const QString problem = privacyProblem(own);
    if (!problem.isEmpty())
        return {QString(), problem};
    return {own, QString()};
}

#endif
