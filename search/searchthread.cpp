#include "searchthread.h"

#include "appdirs.h"
#include "archivesearch.h"
#include "codecs.h"
#include "contentmatcher.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QTextCodec>

searchThread::searchThread(QObject *parent)
    : QThread(parent), matcher(new ContentMatcher), emitMutex(QMutex::Recursive)
{
    matcher->cancelFlag = &cancelRequested;
    matcher->localeCodec = systemCodec();
}

searchThread::~searchThread()
{
    stop();
    wait();
}

void searchThread::setParameters(const QList<QDir> &dirs, const QStringList &patterns,
                                 const QString &text, Qt::CaseSensitivity cs, bool recursive,
                                 bool exact, bool deep)
{
    dirList = dirs;
    grepText = text;
    this->recursive = recursive;
    exactMatch = exact;
    deepSearch = deep;
    caseSensitivity = cs;

    codecPatterns.clear();
    nameRegExps.clear();
    nameFilters.clear();

    if (exactMatch) {
        nameFilters = patterns;
    } else {
        for (const QString &pattern : patterns) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                nameFilters.append(QLatin1Char('*') + trimmed + QLatin1Char('*'));
        }
    }
    for (const QString &filter : nameFilters)
        nameRegExps.append(QRegExp(filter, Qt::CaseInsensitive, QRegExp::WildcardUnix));

    if (deepSearch)
        codecPatterns = buildCodecPatterns(grepText);

    matcher->nameRegExps = nameRegExps;
    matcher->grepText = grepText;
    matcher->codecPatterns = codecPatterns;
    matcher->caseSensitivity = caseSensitivity;
    matcher->exactMatch = exactMatch;
    matcher->deepSearch = deepSearch;
    matcher->localeCodec = systemCodec();
    if (matcher->extractDir.isEmpty())
        matcher->extractDir = writableProgramDir() + QStringLiteral("/tmp");

    cancelRequested = false;
    visitedCount = 0;
}

void searchThread::setExtractDir(const QString &dir)
{
    matcher->extractDir = dir;
}

void searchThread::stop()
{
    QMutexLocker lock(&emitMutex);
    cancelRequested = true;
}

void searchThread::run()
{
    for (const QDir &dir : qAsConst(dirList)) {
        if (cancelRequested)
            return;
        walkDirectory(dir);
    }
}

void searchThread::walkDirectory(const QDir &dir)
{
    visitedCount.fetch_add(1, std::memory_order_relaxed);
    if (recursive) {
        const QStringList subdirs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        const QString base = dir.absolutePath();
        for (const QString &name : subdirs) {
            if (cancelRequested)
                return;
            walkDirectory(QDir(base + QLatin1Char('/') + name));
        }
    }
    if (cancelRequested)
        return;

    QList<TFileInfo> hits = matchEntries(dir);
    searchArchives(dir, hits);
    if (hits.isEmpty())
        return;

    QMutexLocker lock(&emitMutex);
    if (!cancelRequested)
        emit PushGotFiles(QDir::toNativeSeparators(dir.absolutePath()), hits);
}

QList<TFileInfo> searchThread::matchEntries(const QDir &dir) const
{
    QList<TFileInfo> hits;
    const QStringList names =
        dir.entryList(nameFilters, QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (cancelRequested)
            break;
        if (grepText.isEmpty()) {
            hits.append(TFileInfo{name, 0, QString()});
            continue;
        }
        const QString path = dir.absoluteFilePath(name);
        const QString suffix = QFileInfo(path).suffix();
        if (suffix.compare(QLatin1String("rar"), Qt::CaseInsensitive) == 0
            || suffix.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
            continue;
        matcher->searchFile(path, hits, name);
    }
    return hits;
}

void searchThread::searchArchives(const QDir &dir, QList<TFileInfo> &hits) const
{
    static const QStringList archiveFilters{QStringLiteral("*.rar"), QStringLiteral("*.zip")};
    const QStringList names =
        dir.entryList(archiveFilters, QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (cancelRequested)
            return;
        searchArchive(dir.absoluteFilePath(name), hits, *matcher);
    }
}

QList<CodecPattern> searchThread::buildCodecPatterns(const QString &text)
{
    QList<CodecPattern> patterns;
    QTextCodec *source = systemCodec();
    for (const int mib : QTextCodec::availableMibs()) {
        QTextCodec *codec = QTextCodec::codecForMib(mib);
        if (!codec)
            continue;
        CodecPattern entry;
        entry.codec = codec;
        convertThroughCodecs(text, source, entry.text, codec);
        // A codec that cannot hold the text turns some of it into replacement
        // characters; its pattern would match unrelated lines, so it has none.
        if (entry.text != text)
            continue;
        patterns.append(entry);
    }
    return patterns;
}
