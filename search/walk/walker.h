#ifndef WALKER_H
#define WALKER_H

#include "directorylister.h"
#include "folderstack.h"
#include "listingprefetch.h"
#include "uniquefd.h"
#include "walkframe.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class Walker;

// What the walk has done so far; readable from any thread while it runs.
struct WalkCounts
{
    std::atomic<quint64> folders {0};            // entered
    std::atomic<quint64> unreadableFolders {0};  // could not be opened or listed
};

// The search's workers as the walker uses them: to read folders ahead of it
// and to close the folders it has left.
struct WalkWorkers
{
    int threads = 0;  // 0: the walk's own thread does everything
    // Runs a job on one of the workers, jobs starting in the order given.
    ListingPrefetch::Submit submit;
};

// What the walk does with each folder once its subfolders are walked.
class WalkVisitor
{
public:
    virtual ~WalkVisitor() = default;
    // Every subfolder of the walker's current folder has been walked (unless
    // a stop came, when this is not called): its own entries now. The
    // listing stays valid until the call returns.
    virtual void visitFolder(Walker &walker, const DirectoryListing &listing) = 0;
    // The walk waits for a worker that reads the folder it enters next, or
    // for descriptors the workers hold.
    virtual void whileWaiting() = 0;
    // The folder `path` (as bytes) cannot be opened or read; it is counted.
    virtual void unreadableFolder(const QByteArray &path) = 0;
};

// Walks a tree depth first, each folder after its subfolders, entries in
// QDir's order, as a loop over one explicit stack of frames (WalkFrame), so
// no depth of tree can exhaust the thread's stack. Each folder is walked
// once below a start folder, by the first path in walk order that leads to
// it, however many links lead there too. One walker serves
// one thread; the jobs it gives the workers end before `workers` does, which
// must outlive the walker's last job (the search's pool ends first).
class Walker
{
public:
    // `names` is the name filter of every listing, `rules` what else the
    // listings take in (null: the defaults); with `recursive` false only the
    // start folders are read. A set `cancel` ends the walk.
    Walker(std::shared_ptr<const NameFilter> names, std::shared_ptr<const WalkRules> rules,
           bool recursive, const std::atomic_bool *cancel, WalkWorkers workers, WalkCounts &counts);
    ~Walker();
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    // Walks the tree below the start folder `root`, calling `visitor`.
    void walk(const QString &root, WalkVisitor &visitor);

    // The current folder, for the visitor: its path (the start folder's path
    // as given, then the names on the way down, "/" between them), the same
    // with a separator at its end, its descriptor (-1 when it cannot be had)
    // and the descriptor to keep for jobs that read in it later (null when
    // it cannot be had).
    QString folderPath() const;
    const QString &folderPathWithSeparator() const { return path; }
    int folderFd();
    std::shared_ptr<UniqueFd> folder();

    // The descriptors the walk and the jobs it gives out may hold at once:
    // what the process may open (RLIMIT_NOFILE) but a reserve for the rest.
    int descriptorBudget() const { return descriptors; }

private:
    // The folder just pushed by `folders` is listed (by the walk, or given
    // as `ahead`); false when it cannot be.
    bool listTop(std::shared_ptr<PrefetchedFolder> ahead);
    // Enters the next subfolder of the top frame, or counts it unreadable.
    void descend(WalkVisitor &visitor);
    // Visits the top frame's folder and leaves it.
    void finishTop(WalkVisitor &visitor);
    void leaveTop();
    // Runs `attempt` (an open) again while it finds no descriptor, freeing
    // what the walk holds and waiting for the workers to give theirs back;
    // gives up after a while.
    Entered whenDescriptorsFree(const std::function<Entered()> &attempt);
    void unreadable(const QByteArray &name);
    void closeOnWorkers(std::shared_ptr<UniqueFd> folder);
    bool cancelled() const { return cancel->load(std::memory_order_relaxed); }

    const bool recursive;
    const int maxDepth;  // of the folders entered, 1 the start folder; 0: no limit
    const std::atomic_bool *const cancel;
    const WalkWorkers workers;
    WalkCounts &counts;
    const int descriptors;
    WalkVisitor *visitor = nullptr;  // of the current walk
    DirectoryLister lister;
    // The workers' own listers (none when the walk's thread does everything).
    std::vector<std::unique_ptr<DirectoryLister>> listers;
    WalkStack frames;  // the one stack: the folders on the current way down
    FolderStack folders;
    std::unique_ptr<ListingPrefetch> prefetch;
    // The path of the top folder; grows and shrinks with the descent, so a
    // deep tree holds its path once, not once per level.
    QString path;
    const size_t closedTogether;                         // folders a worker closes at once
    std::vector<std::shared_ptr<UniqueFd>> leftFolders;  // not yet given to a worker to close
    std::atomic_int closingGroups {0};                   // given to the workers and not yet closed
};

#endif  // WALKER_H
