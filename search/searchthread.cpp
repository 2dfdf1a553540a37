#include "searchthread.h"

#include "archiveformat.h"
#include "archivesearch.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "folderstack.h"
#include "pathcodec.h"
#include "searchinput.h"
#include "threadhandover.h"

#include <QFile>
#include <QMutexLocker>
#include <QTextCodec>

#include <algorithm>
#include <vector>

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
    takeOver(this);
}

void searchThread::setParameters(const QList<QDir> &dirs, const QStringList &patterns,
                                 const QString &text, Qt::CaseSensitivity cs, bool recursive,
                                 bool exact, bool deep)
{
    takeOver(this);  // the thread is idle: what its last run left is ours
    dirList = dirs;
    grepText = text;
    this->recursive = recursive;
    exactMatch = exact;
    deepSearch = deep;
    caseSensitivity = cs;

    codecPatterns.clear();
    nameRegExps.clear();

    nameFilters = ::nameFilters(patterns, exactMatch);
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

    cancelRequested = false;
    visitedCount = 0;
    unreadableFolderCount = 0;
    unreadableFileCount = 0;
}

void searchThread::setArchiveNameCodec(QTextCodec *codec)
{
    archiveNames.forcedCodec = codec;
}

void searchThread::stop()
{
    QMutexLocker lock(&emitMutex);
    cancelRequested = true;
}

struct searchThread::Walk
{
    Walk(const QStringList &nameFilters, const std::atomic_bool *cancel)
        : lister(nameFilters, cancel)
    {
    }

    const DirectoryLister lister;
    FolderStack folders;  // the current descent, opened relative to each other
    // The path of the top folder; grows and shrinks with the descent, so a
    // deep tree holds its path once, not once per level.
    QString path;
};

void searchThread::run()
{
    leftOver = Undelivered();
    Walk walk(nameFilters, &cancelRequested);
    for (const QDir &dir : qAsConst(dirList)) {
        if (cancelRequested)
            break;
        walkStart(walk, dir.absolutePath());
    }
    handOver(this);  // to whoever waits for the thread or takes finished()
}

void searchThread::walkStart(Walk &walk, const QString &path)
{
    if (walk.folders.enterRoot(encodePath(path)) != FolderStack::Entered::Yes) {
        unreadableFolderCount.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    walk.path = path;
    walkDirectory(walk);
    walk.folders.leave();
}

void searchThread::walkDirectory(Walk &walk)
{
    visitedCount.fetch_add(1, std::memory_order_relaxed);
    DirectoryListing listing;
    const int fd = walk.folders.topFd();
    if (fd < 0 || !walk.lister.list(fd, recursive, &listing)) {
        unreadableFolderCount.fetch_add(1, std::memory_order_relaxed);
        return;
    }

    if (!walk.path.endsWith(QLatin1Char('/')))
        walk.path += QLatin1Char('/');
    const int baseLength = walk.path.size();
    for (const ListedEntry &subdir : qAsConst(listing.subdirs)) {
        if (cancelRequested)
            break;
        switch (walk.folders.enter(subdir.bytes)) {
        case FolderStack::Entered::Yes:
            walk.path += subdir.name;
            walkDirectory(walk);
            walk.path.truncate(baseLength);
            walk.folders.leave();
            break;
        case FolderStack::Entered::Unreadable:
            unreadableFolderCount.fetch_add(1, std::memory_order_relaxed);
            break;
        case FolderStack::Entered::Vanished:
        case FolderStack::Entered::AlreadyOnDescent:
            break;  // gone since the listing, or a link back up: nothing to read
        }
    }
    if (cancelRequested)
        return;

    QString dirName = walk.path;
    if (dirName.size() > 1)
        dirName.chop(1);  // the separator added above, but that of "/"
    dirName = QDir::toNativeSeparators(dirName);
    HitSink hits(kPieceSize, [this, &dirName](const QList<TFileInfo> &piece) {
        return deliver(dirName, piece);
    });
    matchEntries(walk, listing.matches, listing.pseudoFileSystem, hits);
    searchArchives(walk, listing.archives, hits);
    if (cancelRequested) {
        leftOver = Undelivered{dirName, hits.take()};
        return;
    }
    hits.flush();
}

bool searchThread::deliver(const QString &dirName, const QList<TFileInfo> &piece)
{
    QMutexLocker lock(&emitMutex);
    if (cancelRequested)
        return false;  // nothing is emitted after a stop
    handOver(this);  // to the receiver of the queued signal
    emit PushGotFiles(dirName, piece);
    return true;
}

void searchThread::matchEntries(Walk &walk, const QVector<ListedEntry> &entries,
                                bool pseudoFileSystem, HitSink &hits)
{
    for (const ListedEntry &entry : entries) {
        if (cancelRequested)
            break;
        if (grepText.isEmpty()) {
            hits.append(TFileInfo{entry.name, 0, QString()});
            continue;
        }
        // Archives go to the archive search.
        if (isArchiveName(entry.bytes))
            continue;
        // A folder holds no lines, and kernel files are never read as content.
        if (entry.isFolder || pseudoFileSystem)
            continue;
        const int fd = walk.folders.topFd();
        if (fd < 0)
            break;  // the folder went away while it was searched
        const auto outcome = matcher->searchFileAt(fd, entry.bytes, hits, entry.name);
        if (outcome == ContentMatcher::FileOutcome::Unreadable)
            unreadableFileCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void searchThread::searchArchives(Walk &walk, const QVector<ListedEntry> &entries,
                                  HitSink &hits) const
{
    for (const ListedEntry &entry : entries) {
        if (cancelRequested)
            return;
        const int fd = walk.folders.topFd();
        if (fd < 0)
            return;  // the folder went away while it was searched
        searchArchiveAt(fd, entry.bytes, walk.path + entry.name, hits, *matcher, archiveNames);
    }
}

QList<CodecPattern> searchThread::buildCodecPatterns(const QString &text)
{
    QList<QTextCodec *> codecs;
    for (const int mib : QTextCodec::availableMibs())
        codecs.append(QTextCodec::codecForMib(mib));
    codecs += unlistedCodecs();

    QList<CodecPattern> patterns;
    QTextCodec *source = systemCodec();
    for (QTextCodec *codec : qAsConst(codecs)) {
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
