#include "appdirs.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifndef Q_OS_WIN
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString handOverName = QStringLiteral("shownow.cmd");

// A directory is writable for our purpose when a file can be created in it;
// QFileInfo::isWritable alone misses read-only mounts.
bool canCreateFilesIn(const QString &dir)
{
    QTemporaryFile probe(dir + QStringLiteral("/.velto-probe-XXXXXX"));
    return probe.open();
}

// Why the hand-over file at `path` must not be used, or an empty string when
// it may: a name that leads to a file another name also leads to (writing
// through it would change that other file), or a file another user could
// write or own (who could then wake the window, or have us write theirs).
// Asked of the opened file, so that what is checked is what is there.
QString handOverProblem(const QString &path)
{
#ifdef Q_OS_WIN
    return QFileInfo(path).isSymLink() ? QStringLiteral("is a link and is not followed")
                                       : QString();
#else
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return QString();  // made by the first stamp, the user's own
        return errno == ELOOP ? QStringLiteral("is a link and is not followed")
                              : QStringLiteral("cannot be opened");
    }
    struct stat info;
    const bool examined = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!examined || !S_ISREG(info.st_mode))
        return QStringLiteral("is not a plain file");
    if (info.st_nlink > 1)
        return QStringLiteral("is a link and is not followed");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("belongs to another user");
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("can be written by other users");
    return QString();
#endif
}

QString perUserDirFor(const QString &programDir)
{
    const QByteArray hash = QCryptographicHash::hash(canonicalPathKey(programDir).toUtf8(),
                                                     QCryptographicHash::Sha1)
                                    .toHex()
                                    .left(16);
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString velto = base + QStringLiteral("/velto");
    QString dir = velto + QLatin1Char('/') + QString::fromLatin1(hash);
    QDir().mkpath(dir);
    // The hand-over file is nobody else's business; folders made by older
    // versions, which also held extracted archive members, are closed too.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(velto, ownerOnly);
    QFile::setPermissions(dir, ownerOnly);
    return dir;
}

// "shownow.cmd" in `dir`, or in the per-user folder when the one there must
// not be used.
HandOverFile handOverFileIn(const QString &dir, const QString &programDir)
{
    const QString path = dir + QLatin1Char('/') + handOverName;
    const QString problem = handOverProblem(path);
    if (problem.isEmpty())
        return {path, QString(), QString()};
    return {perUserDirFor(programDir) + QLatin1Char('/') + handOverName, path, problem};
}

}  // namespace

QString canonicalPathKey(const QString &path)
{
    QString key = QFileInfo(path).canonicalFilePath();
    if (key.isEmpty())
        key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
#ifdef Q_OS_WIN
    key = key.toLower();
#endif
    return key;
}

QString installedProgramDir()
{
#ifdef VELTO_INSTALL_BINDIR
    return QStringLiteral(VELTO_INSTALL_BINDIR);
#else
    return QString();
#endif
}

QString writableDirFor(const QString &programDir)
{
    const QString installed = installedProgramDir();
    const bool isInstalled
            = !installed.isEmpty() && canonicalPathKey(programDir) == canonicalPathKey(installed);
    if (!isInstalled && canCreateFilesIn(programDir))
        return programDir;
    return perUserDirFor(programDir);
}

QString writableProgramDir()
{
    static const QString dir = writableDirFor(QCoreApplication::applicationDirPath());
    return dir;
}

HandOverFile handOverFileFor(const QString &programDir)
{
    return handOverFileIn(writableDirFor(programDir), programDir);
}

HandOverFile handOverFile()
{
    return handOverFileIn(writableProgramDir(), QCoreApplication::applicationDirPath());
}

QString showNowFilePath()
{
    return handOverFile().path;
}

QString allDrivesList()
{
    QString list;
    const QFileInfoList roots = QDir::drives();
    for (const QFileInfo &root : roots)
        list += root.absolutePath() + QLatin1Char(';');
    return list;
}
