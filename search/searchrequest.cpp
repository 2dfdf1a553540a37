#include "searchrequest.h"

#include "namefilter.h"
#include "pathcodec.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

QStringList splitNames(const QString &field)
{
    QStringList patterns;
    for (const QString &part : field.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            patterns << trimmed;
    }
    return patterns;
}

}  // namespace

QStringList SearchRequest::foldersOfField(const QString &field)
{
    return QDir::toNativeSeparators(field.trimmed()).split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

RequestError SearchRequest::check() const
{
    using Kind = RequestError::Kind;
    const QStringList patterns = splitNames(names);
    if (patterns.isEmpty() && text.trimmed().isEmpty())
        return {Kind::NothingToSearch, QString()};
    for (const QString &pattern : patterns) {
        for (const QString &filter : nameFilters({pattern}, exact)) {
            if (!NameFilter::isValidPattern(filter))
                return {Kind::InvalidNamePattern, pattern};
        }
    }
    // A lone carriage return can be found: it stays inside the line it is in.
    if (text.contains(QLatin1Char('\n')))
        return {Kind::LineBreakInText, QString()};
    for (const QString &folder : folders) {
        if (!isExistingFolder(folder))
            return {Kind::MissingFolder, folder};
    }
    return {};
}

QStringList SearchRequest::namePatterns() const
{
    const QStringList patterns = splitNames(names);
    return patterns.isEmpty() ? QStringList {QStringLiteral("*")} : patterns;
}

QList<QDir> SearchRequest::startFolders() const
{
    if (folders.isEmpty())
        return {startFolder(QString())};
    QList<QDir> dirs;
    for (const QString &folder : folders)
        dirs << startFolder(folder);
    return dirs;
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
