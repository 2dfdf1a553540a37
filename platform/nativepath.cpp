#include "nativepath.h"

#ifdef Q_OS_WIN
#include <QFile>
#include <QFileInfo>
#else
#include "pathcodec.h"

#include <algorithm>

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

namespace {

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// `path` as a POSIX shell reads it back, the way ls writes such names: runs
// in single quotes, each control character as $'\n' or $'\xHH' between them.
QString shellQuoted(const QString &path)
{
    QString quoted;
    QString run;
    const auto closeRun = [&] {
        if (!run.isEmpty())
            quoted += QLatin1Char('\'') + run.replace(QLatin1String("'"), QLatin1String("'\\''"))
                    + QLatin1Char('\'');
        run.clear();
    };
    for (const QChar c : path) {
        if (!isControl(c)) {
            run += c;
            continue;
        }
        closeRun();
        const ushort code = c.unicode();
        if (code == '\n')
            quoted += QLatin1String("$'\\n'");
        else if (code == '\t')
            quoted += QLatin1String("$'\\t'");
        else if (code == '\r')
            quoted += QLatin1String("$'\\r'");
        else if (code < 0x80)
            quoted += QStringLiteral("$'\\x%1'").arg(code, 2, 16, QLatin1Char('0'));
        else
            quoted += QStringLiteral("$'\\u%1'").arg(code, 4, 16, QLatin1Char('0'));
    }
    closeRun();
    return quoted;
}

}  // namespace

QString pathAsText(const QString &path)
{
    if (hasUndecodedBytes(path))
        return localFileUrl(path).toString(QUrl::FullyEncoded);
    if (std::any_of(path.begin(), path.end(), isControl))
        return shellQuoted(path);
    return path;
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
