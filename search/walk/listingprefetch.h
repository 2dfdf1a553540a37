#ifndef LISTINGPREFETCH_H
#define LISTINGPREFETCH_H

#include "directorylister.h"
#include "folderstack.h"
#include "uniquefd.h"

#include <QByteArray>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/types.h>

class WorkerPool;

// A folder opened and listed ahead of the walk: by a worker, or by the walk
// itself when it needs the folder before any worker has begun it.
class PrefetchedFolder
{
public:
    // Set by whoever reads the folder, before it is marked done.
    FolderStack::Entered opened = FolderStack::Entered::Unreadable;
    UniqueFd fd;  // taken over by the walk; closed here otherwise
    dev_t device = 0;
    ino_t inode = 0;
    bool listed = false;
    DirectoryListing listing;

private:
    friend class ListingPrefetch;
    // True for the one caller that is to read the folder.
    bool claim() { return !claimed.exchange(true, std::memory_order_acq_rel); }
    void read(int parentFd, const QByteArray &name, DirectoryLister &lister, bool wantSubdirs);
    void markDone();
    // Waits until the worker is done, calling `whileWaiting` between short
    // waits (the walk keeps delivering meanwhile, so the workers never wait
    // for it while it waits for them).
    void waitUntilDone(const std::function<void()> &whileWaiting);

    std::atomic_bool claimed {false};
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;  // guarded by mutex
};

// Opens and lists folders on the workers ahead of the walk, in the order the
// walk will enter them: below the folder just listed first, then the next
// folders of the levels above. At most `busy` folders are being read at a
// time, and at most `kept` read and not yet entered (each holds a
// descriptor). The walk stays on its own thread and in its own order; only
// the reading of folders moves, so name searches, which read nothing else,
// use every core too.
class ListingPrefetch
{
public:
    // `listers` holds one lister per worker of `pool`.
    ListingPrefetch(WorkerPool &pool, const std::vector<std::unique_ptr<DirectoryLister>> &listers,
                    bool wantSubdirs, int busy, int kept, const std::atomic_bool *cancel);

    // The walk has listed `folder` and enters its subfolders `subdirs` next
    // (which must outlive the level). Its subfolders are read ahead while
    // the walk keeps `folder` open.
    void pushLevel(const std::shared_ptr<UniqueFd> &folder, const QVector<ListedEntry> *subdirs);
    void popLevel();
    // The walk enters subfolder `index` of the deepest level, open as
    // `parentFd`: the folder as read ahead, or null when it was not given to
    // the workers. One that no worker has begun yet the walk reads itself
    // with `lister`; for one being read it waits, calling `whileWaiting`.
    std::shared_ptr<PrefetchedFolder> take(int index, int parentFd, DirectoryLister &lister,
                                           const std::function<void()> &whileWaiting);
    // Gives the workers the next folders in the walk's order, up to the limits.
    void refill();

private:
    struct Level
    {
        // The walk's descriptor of the folder: not held here, so no more
        // folders stay open than the walk keeps.
        std::weak_ptr<UniqueFd> folder;
        const QVector<ListedEntry> *subdirs;
        std::vector<std::shared_ptr<PrefetchedFolder>> ahead;
        int next = 0;  // the subfolder the walk enters next
    };
    void submit(Level &level, const std::shared_ptr<UniqueFd> &parent, int index);

    WorkerPool &pool;
    const std::vector<std::unique_ptr<DirectoryLister>> &listers;
    const bool wantSubdirs;
    const int busyLimit;
    const int keptLimit;
    const std::atomic_bool *cancel;
    std::vector<Level> levels;
    int kept = 0;                 // given to the workers and not yet taken
    std::atomic_int reading {0};  // given to the workers and not yet read
};

#endif  // LISTINGPREFETCH_H
