#include "searchinput.h"

#include "namefilter.h"
#include "pathcodec.h"

#include <QDir>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

QStringList namePatterns(const QString &field)
{
    QStringList patterns;
    for (const QString &part : field.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            patterns << trimmed;
    }
    return patterns;
}

QStringList directoryParts(const QString &field)
{
    return QDir::toNativeSeparators(field.trimmed()).split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

bool isExistingFolder(const QString &part)
{
#ifdef Q_OS_WIN
    return QDir(part).exists();
#else
    // QDir would encode the name in the locale's codec and lose odd bytes.
    struct stat info;
    const QByteArray path = part.isEmpty() ? QByteArray(".") : encodePath(part);
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

QDir startFolder(const QString &part)
{
    return QDir(QDir::cleanPath(QDir::current().absoluteFilePath(part)));
}

QStringList nameFilters(const QStringList &patterns, bool exact)
{
    if (exact)
        return patterns;
    QStringList filters;
    for (const QString &pattern : patterns) {
        const QString trimmed = pattern.trimmed();
        if (!trimmed.isEmpty())
            filters.append(QLatin1Char('*') + trimmed + QLatin1Char('*'));
    }
    return filters;
}

QString invalidNamePattern(const QStringList &patterns, bool exact)
{
    for (const QString &pattern : patterns) {
        for (const QString &filter : nameFilters({pattern}, exact)) {
            if (!NameFilter::isValidPattern(filter))
                return pattern;
        }
    }
    return QString();
}

bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n'));
}
