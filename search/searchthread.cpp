#include "searchthread.h"

#include "archiveformat.h"
#include "archivesearch.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "diagnostics.h"
#include "folderstack.h"
#include "joboutput.h"
#include "listingprefetch.h"
#include "ordereddelivery.h"
#include "pathcodec.h"
#include "searchrequest.h"
#include "threadhandover.h"
#include "uniquefd.h"
#include "workerpool.h"

#include <QFile>
#include <QMutexLocker>
#include <QTextCodec>

#include <algorithm>
#include <unistd.h>
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

void searchThread::setParameters(const SearchRequest &request)
{
    setArchiveNameCodec(request.archiveNameCodec);
    setWorkerCount(request.workers);
    setParameters(request.startFolders(), request.namePatterns(), request.text,
                  request.caseSensitivity, request.recursive, request.exact, request.deep);
    matcher->textQuery = request.lineQuery();
    matcher->requiredTexts = request.requiredQueries();
    matcher->excludedTexts = request.excludedQueries();
    matcher->binaryFiles = request.skipBinary ? ContentMatcher::BinaryFiles::WithoutMatch
                                              : ContentMatcher::BinaryFiles::Text;
    matcher->limits = request.limits;
    // An expression's codecs are those that can hold the text every match holds.
    if (deepSearch && !matcher->textQuery.isLiteral())
        matcher->codecPatterns = codecPatterns
                = buildCodecPatterns(matcher->textQuery.anchorText());
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
    matcher->textQuery = TextQuery();
    matcher->requiredTexts.clear();
    matcher->excludedTexts.clear();
    matcher->binaryFiles = ContentMatcher::BinaryFiles::Text;
    matcher->limits = HitLimits();

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

namespace {

// A matcher of a worker's own. A QRegExp keeps the state of its last match in
// the object, so workers must not share the name patterns, which a copy of
// the list would share.
std::unique_ptr<ContentMatcher> workerMatcher(const ContentMatcher &shared)
{
    auto own = std::make_unique<ContentMatcher>(shared);
    own->nameRegExps.clear();
    for (const QRegExp &rx : shared.nameRegExps)
        own->nameRegExps.append(QRegExp(rx.pattern(), rx.caseSensitivity(), rx.patternSyntax()));
    return own;
}

// Folders the workers read ahead of the walk: at most this many at a time
// per worker, and this many read and not yet entered (each holds a descriptor).
// Enough queued that a worker seldom sleeps and has to be woken per folder.
constexpr int kFoldersReadPerWorker = 8;
constexpr int kFoldersKeptAhead = 128;

// Files of a folder searched by one job, one after the other.
constexpr int kFilesPerJob = 16;

// At most this many jobs wait to be handed on; the walk waits
// for the head of the delivery beyond it, so memory stays bounded.
constexpr int kPendingJobs = 64;

// Folders the walk has left, closed by a worker in groups of this many; while
// this many groups wait for a worker, the walk closes its folders itself, so
// busy workers cannot make descriptors pile up.
constexpr size_t kFoldersClosedTogether = 32;
constexpr int kClosingGroups = 2;

}  // namespace

struct searchThread::Walk
{
    Walk(const QStringList &nameFilters, const std::atomic_bool *cancel, int threads)
        : lister(nameFilters, cancel), pool(threads)
    {
    }

    DirectoryLister lister;
    // The workers' own listers, and what they read ahead of the walk (none
    // when the walk's thread does everything).
    std::vector<std::unique_ptr<DirectoryLister>> listers;
    std::unique_ptr<ListingPrefetch> prefetch;
    FolderStack folders;  // the current descent, opened relative to each other
    // The path of the top folder; grows and shrinks with the descent, so a
    // deep tree holds its path once, not once per level.
    QString path;
    // Matchers of the workers: each reads files with buffers of its own.
    std::vector<std::unique_ptr<ContentMatcher>> matchers;
    std::unique_ptr<OrderedDelivery> delivery;
    std::vector<std::shared_ptr<UniqueFd>> leftFolders;  // not yet given to a worker to close
    std::atomic_int closingGroups {0};                   // given to the workers and not yet closed
    WorkerPool pool;  // last, so it ends (and its jobs with it) first

    // Closing a folder that was read frees the kernel's index of its
    // entries, a good part of what the walk's own thread would spend per
    // folder: the workers do it, a group at a time.
    void closeOnWorkers(std::shared_ptr<UniqueFd> folder)
    {
        if (pool.threadCount() == 0
            || closingGroups.load(std::memory_order_relaxed) >= kClosingGroups)
            return;  // closed here as it goes
        leftFolders.push_back(std::move(folder));
        if (leftFolders.size() < kFoldersClosedTogether)
            return;
        closingGroups.fetch_add(1, std::memory_order_relaxed);
        pool.submit([this, folders = std::move(leftFolders)](int) mutable {
            folders.clear();
            closingGroups.fetch_sub(1, std::memory_order_relaxed);
        });
        leftFolders.clear();
    }
};

void searchThread::setWorkerCount(int count)
{
    workerCount = count;
}

int searchThread::threadsForRun() const
{
    const int workers = workerCount > 0 ? workerCount : QThread::idealThreadCount();
    // One worker is the walk's own thread: no pool, no hand-over.
    return workers > 1 ? workers : 0;
}

void searchThread::run()
{
    leftOver.clear();
    Walk walk(nameFilters, &cancelRequested, threadsForRun());
    walk.delivery = std::make_unique<OrderedDelivery>(
            kPieceSize,
            [this](const QString &dirName, const QList<TFileInfo> &piece) {
                return deliver(dirName, piece);
            },
            &cancelRequested);
    for (int i = 0; i < walk.pool.workerCount(); ++i) {
        walk.matchers.push_back(workerMatcher(*matcher));
        walk.listers.push_back(std::make_unique<DirectoryLister>(nameFilters, &cancelRequested));
    }
    if (walk.pool.threadCount() > 0)
        walk.prefetch = std::make_unique<ListingPrefetch>(
                walk.pool, walk.listers, recursive, kFoldersReadPerWorker * walk.pool.threadCount(),
                kFoldersKeptAhead, &cancelRequested);
    for (const QDir &dir : qAsConst(dirList)) {
        if (cancelRequested)
            break;
        walkStart(walk, dir.absolutePath());
    }
    walk.delivery->deliverAll();
    if (cancelRequested) {
        // The workers end their jobs at the stop; what they had found is kept.
        walk.pool.finish();
        leftOver = walk.delivery->takeUndelivered();
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
    walkDirectory(walk, nullptr);
    walk.folders.leave();
}

void searchThread::walkDirectory(Walk &walk, const DirectoryListing *readAhead)
{
    visitedCount.fetch_add(1, std::memory_order_relaxed);
    DirectoryListing ownListing;
    if (!readAhead) {
        const int fd = walk.folders.topFd();
        if (fd < 0 || !walk.lister.list(fd, walk.folders.topDevice(), recursive, &ownListing)) {
            unreadableFolderCount.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }
    const DirectoryListing &listing = readAhead ? *readAhead : ownListing;

    if (!walk.path.endsWith(QLatin1Char('/')))
        walk.path += QLatin1Char('/');
    const int baseLength = walk.path.size();
    if (walk.prefetch) {
        walk.prefetch->pushLevel(walk.folders.topFolder(), &listing.subdirs);
        walk.prefetch->refill();
    }
    for (int i = 0; i < listing.subdirs.size() && !cancelRequested; ++i) {
        const ListedEntry &subdir = listing.subdirs.at(i);
        // Hits found so far keep flowing while a worker reads the folder.
        const std::shared_ptr<PrefetchedFolder> ahead = walk.prefetch
                ? walk.prefetch->take(i, walk.folders.topFd(), walk.lister,
                                      [&walk] { walk.delivery->deliverReady(); })
                : nullptr;
        FolderStack::Entered entered;
        if (ahead) {
            entered = ahead->opened != FolderStack::Entered::Yes ? ahead->opened
                    : !ahead->listed                             ? FolderStack::Entered::Unreadable
                                     : walk.folders.adopt(subdir.bytes, ahead->fd.release(),
                                                          ahead->device, ahead->inode);
        } else {
            entered = walk.folders.enter(subdir.bytes);
        }
        switch (entered) {
        case FolderStack::Entered::Yes:
            walk.path += subdir.name;
            walkDirectory(walk, ahead ? &ahead->listing : nullptr);
            walk.path.truncate(baseLength);
            walk.closeOnWorkers(walk.folders.leave());
            break;
        case FolderStack::Entered::Unreadable:
            unreadableFolderCount.fetch_add(1, std::memory_order_relaxed);
            break;
        case FolderStack::Entered::Vanished:
        case FolderStack::Entered::AlreadyOnDescent:
            break;  // gone since the listing, or a link back up: nothing to read
        }
    }
    if (walk.prefetch)
        walk.prefetch->popLevel();
    if (cancelRequested)
        return;

    QString dirName = walk.path;
    if (dirName.size() > 1)
        dirName.chop(1);  // the separator added above, but that of "/"
    walk.delivery->beginFolder(QDir::toNativeSeparators(dirName));
    searchEntries(walk, listing);
    walk.delivery->endFolder();
    walk.delivery->deliverReady();
    if (walk.delivery->pendingJobs() > kPendingJobs)
        walk.delivery->deliverUntilPending(kPendingJobs / 2);
}

bool searchThread::deliver(const QString &dirName, const QList<TFileInfo> &piece)
{
    QMutexLocker lock(&emitMutex);
    if (cancelRequested)
        return false;  // nothing is emitted after a stop
    handOver(this);    // to the receiver of the queued signal
    emit PushGotFiles(dirName, piece);
    return true;
}

// The folder's entries in listing order: name hits at once; files, then the
// archives, as jobs of the workers, handed on in the same order.
void searchThread::searchEntries(Walk &walk, const DirectoryListing &listing)
{
    if (grepText.isEmpty()) {
        for (const ListedEntry &entry : listing.matches)
            walk.delivery->addHit(TFileInfo {entry.name, 0, QString()});
    }
    using Search = std::function<void(ContentMatcher &, int folderFd, HitSink &)>;
    std::shared_ptr<UniqueFd> folder;  // the folder's descriptor, kept open for the jobs
    const auto submit = [&](const Search &search) {
        if (walk.pool.threadCount() == 0) {
            // The walk's own thread searches: once everything before is
            // handed on, the hits go straight into the folder's pieces.
            walk.delivery->deliverReady();
            if (HitSink *sink = walk.delivery->headSink())
                search(*walk.matchers.front(), walk.folders.topFd(), *sink);
            return;
        }
        // A worker may read the folder after the walk has moved on.
        if (!folder)
            folder = walk.folders.topFolder();
        if (!folder)
            folder = std::make_shared<UniqueFd>();  // gone: the jobs find nothing to read
        auto job = std::make_shared<JobOutput>(&cancelRequested);
        walk.delivery->addJob(job);
        walk.pool.submit([&walk, folder, job, search](int worker) {
            DiagnosticsCapture capture(job->diagnostics());
            search(*walk.matchers[size_t(worker)], folder->get(), job->sink());
            job->finish();
        });
    };
    if (!grepText.isEmpty()) {
        // Files go to the workers in groups: a job of its own for each would
        // cost more in hand-overs than most files cost to search.
        std::vector<ListedEntry> group;
        const auto submitGroup = [&] {
            if (group.empty())
                return;
            submit([this, files = std::move(group)](ContentMatcher &matcher, int fd,
                                                    HitSink &hits) {
                for (const ListedEntry &entry : files) {
                    if (matcher.isCancelled())
                        return;
                    if (matcher.searchFileAt(fd, entry.bytes, hits, entry.name)
                        == ContentMatcher::FileOutcome::Unreadable)
                        unreadableFileCount.fetch_add(1, std::memory_order_relaxed);
                }
            });
            group.clear();
        };
        for (const ListedEntry &entry : listing.matches) {
            if (cancelRequested)
                return;
            // Archives go to the archive search; a folder holds no lines, and
            // kernel files are never read as content.
            if (isArchiveName(entry.bytes) || entry.isFolder || listing.pseudoFileSystem)
                continue;
            group.push_back(entry);
            if (int(group.size()) == kFilesPerJob)
                submitGroup();
        }
        submitGroup();
    }
    const QString base = walk.path;
    for (const ListedEntry &entry : listing.archives) {
        if (cancelRequested)
            return;
        submit([this, base, entry](ContentMatcher &matcher, int fd, HitSink &hits) {
            searchArchiveAt(fd, entry.bytes, base + entry.name, hits, matcher, archiveNames);
        });
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
