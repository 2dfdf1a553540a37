#include "searchrequest.h"

#include "namefilter.h"
#include "pathcodec.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

TextQuery::Options queryOptions(const SearchRequest &request)
{
    return TextQuery::Options {request.regex, request.wholeWords, request.caseSensitivity};
}

// Each text of `texts` alone, as the request reads texts.
QList<TextQuery> queriesOf(const QStringList &texts, const SearchRequest &request)
{
    QList<TextQuery> queries;
    for (const QString &text : texts) {
        TextQuery query;
        TextQuery::Error ignored;
        if (TextQuery::build({text}, queryOptions(request), &query, &ignored))
            queries.append(query);
    }
    return queries;
}

}  // namespace

QStringList SearchRequest::partsOfField(const QString &field)
{
    QStringList parts;
    for (const QString &part : field.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            parts << trimmed;
    }
    return parts;
}

QStringList SearchRequest::foldersOfField(const QString &field)
{
    return QDir::toNativeSeparators(field.trimmed()).split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

RequestError SearchRequest::check() const
{
    using Kind = RequestError::Kind;
    const QStringList patterns = partsOfField(names);
    if (patterns.isEmpty() && text.trimmed().isEmpty())
        return {Kind::NothingToSearch, QString()};
    for (const QString &pattern : patterns) {
        for (const QString &filter : nameFilters({pattern}, exact)) {
            if (!NameFilter::isValidPattern(filter))
                return {Kind::InvalidNamePattern, pattern};
        }
    }
    // A lone carriage return can be found: it stays inside the line it is in.
    const QStringList contentTexts = QStringList {text} + moreTexts + requiredTexts + excludedTexts;
    for (const QString &one : contentTexts) {
        if (one.contains(QLatin1Char('\n')))
            return {Kind::LineBreakInText, one == text ? QString() : one};
    }
    if (regex) {
        for (const QString &one : contentTexts) {
            TextQuery query;
            TextQuery::Error error;
            if (!one.isEmpty() && !TextQuery::build({one}, queryOptions(*this), &query, &error))
                return {Kind::InvalidExpression, one, error.what.message, error.what.offset};
        }
    }
    for (const QString &pattern : excludedNames + excludedFolders) {
        if (!NameFilter::isValidPattern(pattern))
            return {Kind::InvalidExclusion, pattern};
    }
    for (const QString &size : sizes) {
        bool larger;
        qint64 bytes;
        if (!parseSizeCondition(size, &larger, &bytes))
            return {Kind::InvalidSize, size};
    }
    for (const QString &time : {newer, older}) {
        qint64 seconds;
        if (!time.trimmed().isEmpty()
            && !parseTimeCondition(time, QDateTime::currentDateTime(), &seconds))
            return {Kind::InvalidTime, time};
    }
    for (const QString &folder : folders) {
        if (!isExistingFolder(folder))
            return {Kind::MissingFolder, folder};
    }
    return {};
}

QStringList SearchRequest::namePatterns() const
{
    const QStringList patterns = partsOfField(names);
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

TextQuery SearchRequest::lineQuery() const
{
    TextQuery query;
    TextQuery::Error ignored;
    TextQuery::build(QStringList {text} + moreTexts, queryOptions(*this), &query, &ignored);
    return query;
}

QList<TextQuery> SearchRequest::requiredQueries() const
{
    return queriesOf(requiredTexts, *this);
}

QList<TextQuery> SearchRequest::excludedQueries() const
{
    return queriesOf(excludedTexts, *this);
}

WalkRules SearchRequest::walkRules() const
{
    WalkRules rules;
    rules.hidden = hidden;
    rules.ignoreFiles = ignoreFiles;
    rules.links = links;
    if (!excludedNames.isEmpty())
        rules.excludedFiles = std::make_shared<const NameFilter>(excludedNames);
    if (!excludedFolders.isEmpty())
        rules.excludedFolders = std::make_shared<const NameFilter>(excludedFolders);
    rules.maxDepth = recursive ? maxDepth : 1;
    for (const QString &size : sizes) {
        bool larger = false;
        qint64 bytes = 0;
        if (!parseSizeCondition(size, &larger, &bytes))
            continue;
        if (larger)
            rules.minSize = std::max(rules.minSize, bytes);
        else
            rules.maxSize = std::min(rules.maxSize, bytes);
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (!newer.trimmed().isEmpty())
        parseTimeCondition(newer, now, &rules.newerThan);
    if (!older.trimmed().isEmpty())
        parseTimeCondition(older, now, &rules.olderThan);
    return rules;
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
