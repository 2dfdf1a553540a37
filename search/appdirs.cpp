#include "appdirs.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// A directory is writable for our purpose when a file can be created in it;
// QFileInfo::isWritable alone misses read-only mounts.
bool canCreateFilesIn(const QString &dir)
{
    QTemporaryFile probe(dir + QStringLiteral("/.velto-probe-XXXXXX"));
    return probe.open();
}

QString perUserDirFor(const QString &programDir)
{
    const QByteArray hash =
        QCryptographicHash::hash(canonicalPathKey(programDir).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString dir = base + QStringLiteral("/velto/") + QString::fromLatin1(hash);
    QDir().mkpath(dir);
    return dir;
}

} // namespace

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

QString writableDirFor(const QString &programDir)
{
    if (canCreateFilesIn(programDir))
        return programDir;
    return perUserDirFor(programDir);
}

QString writableProgramDir()
{
    static const QString dir = writableDirFor(QCoreApplication::applicationDirPath());
    return dir;
}

QString showNowFilePath()
{
    return writableProgramDir() + QStringLiteral("/shownow.cmd");
}

QString allDrivesList()
{
    QString list;
    const QFileInfoList roots = QDir::drives();
    for (const QFileInfo &root : roots)
        list += root.absolutePath() + QLatin1Char(';');
    return list;
}
