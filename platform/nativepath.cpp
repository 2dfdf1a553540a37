#include "nativepath.h"

#ifdef Q_OS_WIN
#include <QFile>
#include <QFileInfo>
#else
#include "pathcodec.h"

#include <sys/stat.h>
#endif

#ifdef Q_OS_WIN

// Windows names are UTF-16 and always decode.
QUrl localFileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QString pathAsText(const QString &path)
{
    return path;
}

bool pathExists(const QString &path)
{
    return QFile::exists(path);
}

QDateTime lastModified(const QString &path)
{
    return QFileInfo(path).lastModified();
}

#else

QUrl localFileUrl(const QString &path)
{
    // Characters QUrl::fromLocalFile leaves as they are stay so; the rest,
    // the bytes of non-ASCII characters included, are percent-encoded.
    return QUrl::fromEncoded("file://" + encodePath(path).toPercentEncoding("/!$&'()*+,;=:@~"));
}

QString pathAsText(const QString &path)
{
    return hasUndecodedBytes(path) ? localFileUrl(path).toString(QUrl::FullyEncoded) : path;
}

bool pathExists(const QString &path)
{
    struct stat info;
    return ::stat(encodePath(path).constData(), &info) == 0;
}

QDateTime lastModified(const QString &path)
{
    struct stat info;
    if (::stat(encodePath(path).constData(), &info) != 0)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000
                                          + info.st_mtim.tv_nsec / 1000000);
}

#endif
