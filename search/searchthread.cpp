#include "searchthread.h"

#include "archiveformat.h"
#include "codecs.h"
#include "contentmatcher.h"
#include "diagnostics.h"
#include "documentsearch.h"
#include "joboutput.h"
#include "membermatcher.h"
#include "namefilter.h"
#include "ordereddelivery.h"
#include "pathcodec.h"
#include "readerjobs.h"
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
    : QThread(parent), matcher(new ContentMatcher), readers(sharedReaderProcesses()),
      emitMutex(QMutex::Recursive)
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
    settings.request = request;
    settings.fromRequest = true;
    settings.configure(*matcher);
    walkRules = std::make_shared<const WalkRules>(request.walkRules());
}

void searchThread::setParameters(const QList<QDir> &dirs, const QStringList &patterns,
                                 const QString &text, Qt::CaseSensitivity cs, bool recursive,
                                 bool exact, bool deep)
{
    takeOver(this);  // the thread is idle: what its last run left is ours
    dirList = dirs;
    this->recursive = recursive;

    const QStringList filters = nameFilters(patterns, exact);
    nameFilter = std::make_shared<const NameFilter>(filters);

    settings = MatchSettings();
    settings.request.text = text;
    settings.request.caseSensitivity = cs;
    settings.request.exact = exact;
    settings.request.deep = deep;
    settings.request.archiveNameCodec = archiveNames.forcedCodec;
    // With no pattern no archive member is one the user asked for.
    settings.memberFilters = filters;
    memberNames = settings.memberNames();
    settings.configure(*matcher);
    walkRules = nullptr;

    cancelRequested = false;
    walkCounts.folders = 0;
    walkCounts.unreadableFolders = 0;
    unreadableFileCount = 0;
}

void searchThread::setArchiveNameCodec(QTextCodec *codec)
{
    archiveNames.forcedCodec = codec;
    settings.request.archiveNameCodec = codec;
}

void searchThread::setReaderProcesses(ReaderProcessPool *readers)
{
    this->readers = readers;
}

void searchThread::stop()
{
    QMutexLocker lock(&emitMutex);
    cancelRequested = true;
}

namespace {

// Files of a folder searched by one job, one after the other.
constexpr int kFilesPerJob = 16;

// At most this many jobs wait to be handed on; the walk waits
// for the head of the delivery beyond it, so memory stays bounded. Each may
// hold its folder open, so fewer wait when descriptors are few.
constexpr int kPendingJobs = 64;

}  // namespace

// One run of the search: the walker gives it each folder once its subfolders
// are done; it records the folder's name hits and the jobs that search its
// files and archives on the workers, and the delivery hands them on in walk
// order.
class searchThread::Run : public WalkVisitor
{
public:
    Run(searchThread &search, int threads);
    void walk(const QString &root) { walker->walk(root, *this); }
    void visitFolder(Walker &walker, const DirectoryListing &listing) override;
    void whileWaiting() override { delivery->deliverReady(); }
    void unreadableFolder(const QByteArray &path) override;

    std::unique_ptr<OrderedDelivery> delivery;
    // Ends the workers once their jobs are done; after a stop they end at once.
    void finish() { pool.finish(); }

private:
    // What a worker searches with: a matcher with buffers of its own, and the
    // answers it gives the archive room.
    struct Tools
    {
        Tools(const ContentMatcher &shared, std::shared_ptr<const NameFilter> memberNames,
              bool documents)
            : matcher(shared), members(matcher, std::move(memberNames), documents)
        {
        }
        ContentMatcher matcher;
        MemberMatcher members;
    };
    using Search = std::function<void(Tools &, int folderFd, HitSink &)>;
    // Searches an archive or a document where the search parses them.
    void searchForeign(Tools &tools, const ForeignFile &file, HitSink &hits);
    // Searches on a worker, or at once on the walk's thread when there are none.
    void submit(Walker &walker, const Search &search, std::shared_ptr<UniqueFd> &folder);
    void searchFiles(Walker &walker, const DirectoryListing &listing,
                     std::shared_ptr<UniqueFd> &folder);
    static std::shared_ptr<const WalkRules> rulesOfWalk(const searchThread &search);

    searchThread &search;
    const QByteArray settingsBytes;             // for the reader processes
    std::vector<std::unique_ptr<Tools>> tools;  // one per worker
    std::unique_ptr<Walker> walker;             // its jobs end with the pool, before it goes
    WorkerPool pool;
};

// A compressed file's one member is named after it: a name search has its
// hit from the listing and nothing to open, so the walk lists no such file
// as an archive (in /usr/share, tens of thousands of manual pages).
std::shared_ptr<const WalkRules> searchThread::Run::rulesOfWalk(const searchThread &search)
{
    if (!search.matcher->grepText.isEmpty())
        return search.walkRules;
    auto rules = std::make_shared<WalkRules>(search.walkRules ? *search.walkRules : WalkRules());
    rules->compressedFilesAsArchives = false;
    return rules;
}

searchThread::Run::Run(searchThread &search, int threads)
    : search(search), settingsBytes(search.settings.encode()), pool(threads)
{
    delivery = std::make_unique<OrderedDelivery>(
            kPieceSize,
            [&search](const QString &dirName, const QList<TFileInfo> &piece) {
                return search.deliver(dirName, piece);
            },
            &search.cancelRequested);
    for (int i = 0; i < pool.workerCount(); ++i)
        tools.push_back(std::make_unique<Tools>(*search.matcher, search.memberNames,
                                                search.settings.request.documents));
    WalkWorkers workers;
    workers.threads = pool.threadCount();
    workers.submit = [this](std::function<void(int)> job) { pool.submit(std::move(job)); };
    walker = std::make_unique<Walker>(search.nameFilter, rulesOfWalk(search), search.recursive,
                                      &search.cancelRequested, std::move(workers),
                                      search.walkCounts);
}

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
    Run run(*this, threadsForRun());
    for (const QDir &dir : qAsConst(dirList)) {
        if (cancelRequested)
            break;
        run.walk(dir.absolutePath());
    }
    run.delivery->deliverAll();
    if (cancelRequested) {
        // The workers end their jobs at the stop; what they had found is kept.
        run.finish();
        leftOver = run.delivery->takeUndelivered();
    }
    handOver(this);  // to whoever waits for the thread or takes finished()
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
void searchThread::Run::visitFolder(Walker &walker, const DirectoryListing &listing)
{
    const bool names = search.matcher->grepText.isEmpty();
    // A folder with nothing to hand on costs no copy of its path, which
    // grows with the depth of the tree.
    if (!listing.matches.isEmpty() || !listing.archives.isEmpty()) {
        delivery->beginFolder(QDir::toNativeSeparators(walker.folderPath()));
        if (names) {
            for (const ListedEntry &entry : listing.matches)
                delivery->addHit(TFileInfo {entry.name, 0, QString()});
        }
        std::shared_ptr<UniqueFd> folder;  // the folder's descriptor, kept open for the jobs
        if (!names)
            searchFiles(walker, listing, folder);
        // The archive's name goes as the listing has it, bytes and text.
        const QByteArray base = listing.archives.isEmpty()
                ? QByteArray()
                : encodePath(walker.folderPathWithSeparator());
        for (const ListedEntry &entry : listing.archives) {
            if (search.cancelRequested)
                break;
            const ForeignFile file {ForeignFile::Kind::Archive, -1, entry.bytes, entry.name,
                                    base + entry.bytes};
            submit(
                    walker,
                    [this, file](Tools &tools, int fd, HitSink &hits) {
                        ForeignFile in = file;
                        in.folderFd = fd;  // open in the walk's folder or the worker's share of it
                        searchForeign(tools, in, hits);
                    },
                    folder);
        }
        delivery->endFolder();
    }
    delivery->deliverReady();
    const int pendingJobs = std::clamp(walker.descriptorBudget() / 4, 4, kPendingJobs);
    if (delivery->pendingJobs() > pendingJobs)
        delivery->deliverUntilPending(pendingJobs / 2);
}

// Named in the walk's order, among the diagnostics of the jobs, whatever
// the number of workers.
void searchThread::Run::unreadableFolder(const QByteArray &path)
{
    auto note = std::make_shared<JobOutput>(&search.cancelRequested);
    {
        DiagnosticsCapture capture(note->diagnostics());
        diagnostic("%s: the folder could not be read", path.constData());
    }
    note->finish();
    delivery->beginFolder(QString());
    delivery->addJob(note);
    delivery->endFolder();
}

void searchThread::Run::searchForeign(Tools &tools, const ForeignFile &file, HitSink &hits)
{
    const ParsingHere here {tools.matcher, tools.members, search.archiveNames};
    if (!searchForeignFile(search.readers, file, settingsBytes, here, hits,
                           &search.cancelRequested))
        search.unreadableFileCount.fetch_add(1, std::memory_order_relaxed);
}

void searchThread::Run::submit(Walker &walker, const Search &search,
                               std::shared_ptr<UniqueFd> &folder)
{
    if (pool.threadCount() == 0) {
        // The walk's own thread searches: once everything before is
        // handed on, the hits go straight into the folder's pieces.
        delivery->deliverReady();
        if (HitSink *sink = delivery->headSink())
            search(*tools.front(), walker.folderFd(), *sink);
        return;
    }
    // A worker may read the folder after the walk has moved on.
    if (!folder)
        folder = walker.folder();
    if (!folder)
        folder = std::make_shared<UniqueFd>();  // gone: the jobs find nothing to read
    auto job = std::make_shared<JobOutput>(&this->search.cancelRequested);
    delivery->addJob(job);
    pool.submit([this, folder, job, search](int worker) {
        DiagnosticsCapture capture(job->diagnostics());
        search(*tools[size_t(worker)], folder->get(), job->sink());
        job->finish();
    });
}

// Files go to the workers in groups: a job of its own for each would cost
// more in hand-overs than most files cost to search.
void searchThread::Run::searchFiles(Walker &walker, const DirectoryListing &listing,
                                    std::shared_ptr<UniqueFd> &folder)
{
    std::vector<ListedEntry> group;
    // A group that holds a document knows its folder, for its job.
    QByteArray documentFolder;
    const auto submitGroup = [&] {
        if (group.empty())
            return;
        submit(
                walker,
                [this, files = std::move(group), documentFolder](Tools &tools, int fd,
                                                                 HitSink &hits) {
                    const ContentMatcher &matcher = tools.matcher;
                    for (const ListedEntry &entry : files) {
                        if (matcher.isCancelled())
                            return;
                        if (!documentFolder.isNull() && isDocumentName(entry.name)) {
                            searchForeign(tools,
                                          ForeignFile {ForeignFile::Kind::Document, fd, entry.bytes,
                                                       entry.name, documentFolder + entry.bytes},
                                          hits);
                        } else if (matcher.searchFileAt(fd, entry.bytes, hits, entry.name)
                                   == ContentMatcher::FileOutcome::Unreadable) {
                            search.unreadableFileCount.fetch_add(1, std::memory_order_relaxed);
                        }
                    }
                },
                folder);
        group.clear();
        documentFolder.clear();
    };
    for (const ListedEntry &entry : listing.matches) {
        if (search.cancelRequested)
            return;
        // Archives go to the archive search (a program that may carry one
        // is a file too); a folder holds no lines, and kernel files are
        // never read as content.
        const ArchiveFormat format = archiveFormatOf(entry.bytes);
        if ((format != ArchiveFormat::None && format != ArchiveFormat::SelfExtracting)
            || entry.isFolder || listing.pseudoFileSystem)
            continue;
        if (search.settings.request.documents && documentFolder.isNull()
            && isDocumentName(entry.name))
            documentFolder = encodePath(walker.folderPathWithSeparator());
        group.push_back(entry);
        if (int(group.size()) == kFilesPerJob)
            submitGroup();
    }
    submitGroup();
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
        entry.text = text;  // one copy of a long text for all codecs
        patterns.append(entry);
    }
    return patterns;
}
