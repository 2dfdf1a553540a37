#ifndef PREFETCHEDFOLDER_H
#define PREFETCHEDFOLDER_H

#include "directorylister.h"
#include "folderopen.h"
#include "uniquefd.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include <sys/types.h>

// A folder opened and listed ahead of the walk: by a worker, or by the walk
// itself when it needs the folder before any worker has begun it.
class PrefetchedFolder
{
public:
    // Set by whoever reads the folder, before it is marked done.
    Entered opened = Entered::Unreadable;
    UniqueFd fd;  // taken over by the walk; closed here otherwise
    dev_t device = 0;
    ino_t inode = 0;
    bool listed = false;
    DirectoryListing listing;

    // True for the one caller that is to read the folder.
    bool claim() { return !claimed.exchange(true, std::memory_order_acq_rel); }
    // Opens `name` of the folder `parentFd` (whose ignore files' rules are
    // `parentIgnore`), lists it and marks it done.
    void read(int parentFd, const QByteArray &name, DirectoryLister &lister, bool wantSubdirs,
              const std::shared_ptr<const IgnoreRules> &parentIgnore);
    // Marks it done unread (the search stopped).
    void markDone();
    // Waits until the reader is done, calling `whileWaiting` between short
    // waits (the walk keeps delivering meanwhile, so the workers never wait
    // for it while it waits for them).
    void waitUntilDone(const std::function<void()> &whileWaiting);

private:
    std::atomic_bool claimed {false};
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;  // guarded by mutex
};

#endif  // PREFETCHEDFOLDER_H
