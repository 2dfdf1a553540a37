#include "searchthread.h"

#include "appdirs.h"
#include "archivesearch.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "directorylister.h"
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

struct searchThread::Walk
{
    Walk(const QStringList &nameFilters, const std::atomic_bool *cancel)
        : lister(nameFilters, cancel)
    {
    }

    bool isOnDescent(dev_t device, ino_t inode) const
    {
        return std::any_of(descent.begin(), descent.end(), [&](const FolderId &f) {
            return f.device == device && f.inode == inode;
        });
    }

    struct FolderId
    {
        dev_t device;
        ino_t inode;
    };
    const DirectoryLister lister;
    // A folder already on the way down is not entered again, so a link back
    // to an ancestor does not recurse for ever; any other folder is.
    std::vector<FolderId> descent;
};

void searchThread::run()
{
    Walk walk(nameFilters, &cancelRequested);
    for (const QDir &dir : qAsConst(dirList)) {
        if (cancelRequested)
            break;
        walkDirectory(walk, dir.absolutePath());
    }
    handOver(this);  // to whoever waits for the thread or takes finished()
}

void searchThread::walkDirectory(Walk &walk, const QString &path)
{
    visitedCount.fetch_add(1, std::memory_order_relaxed);
    DirectoryListing listing;
    const bool listed = walk.lister.list(
        QFile::encodeName(path), recursive, &listing,
        [&walk](dev_t device, ino_t inode) { return walk.isOnDescent(device, inode); });
    if (!listed)
        return;  // unreadable, vanished, or already on the way down

    walk.descent.push_back(Walk::FolderId{listing.device, listing.inode});
    const QString base = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    for (const QString &name : qAsConst(listing.subdirs)) {
        if (cancelRequested)
            break;
        walkDirectory(walk, base + name);
    }
    walk.descent.pop_back();
    if (cancelRequested)
        return;

    QList<TFileInfo> hits = matchEntries(base, listing.matches);
    searchArchives(base, listing.archives, hits);
    if (hits.isEmpty())
        return;

    QMutexLocker lock(&emitMutex);
    if (cancelRequested)
        return;
    handOver(this);  // to the receiver of the queued signal
    emit PushGotFiles(QDir::toNativeSeparators(path), hits);
}

QList<TFileInfo> searchThread::matchEntries(const QString &base, const QStringList &names) const
{
    QList<TFileInfo> hits;
    for (const QString &name : names) {
        if (cancelRequested)
            break;
        if (grepText.isEmpty()) {
            hits.append(TFileInfo{name, 0, QString()});
            continue;
        }
        // Archives go to the archive search; the suffix is what follows the last dot.
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) {
            const QStringRef suffix = name.midRef(dot + 1);
            if (suffix.compare(QLatin1String("rar"), Qt::CaseInsensitive) == 0
                || suffix.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
                continue;
        }
        matcher->searchFile(base + name, hits, name);
    }
    return hits;
}

void searchThread::searchArchives(const QString &base, const QStringList &names,
                                  QList<TFileInfo> &hits) const
{
    for (const QString &name : names) {
        if (cancelRequested)
            return;
        searchArchive(base + name, hits, *matcher);
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
