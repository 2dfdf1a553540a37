#include "listingprefetch.h"

#include "workerpool.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Waits end in steps this long, so the walk goes on delivering meanwhile.
constexpr std::chrono::milliseconds kWaitStep{5};

} // namespace

void PrefetchedFolder::markDone()
{
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    changed.notify_all();
}

void PrefetchedFolder::waitUntilDone(const std::function<void()> &whileWaiting)
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!done) {
        lock.unlock();
        whileWaiting();
        lock.lock();
        if (!done)
            changed.wait_for(lock, kWaitStep);
    }
}

ListingPrefetch::ListingPrefetch(WorkerPool &pool,
                                 const std::vector<std::unique_ptr<DirectoryLister>> &listers,
                                 bool wantSubdirs, int busy, int kept,
                                 const std::atomic_bool *cancel)
    : pool(pool), listers(listers), wantSubdirs(wantSubdirs), busyLimit(busy), keptLimit(kept),
      cancel(cancel)
{
}

void ListingPrefetch::pushLevel(int folderFd, const QVector<ListedEntry> *subdirs)
{
    Level level{folderFd, {}, subdirs, std::vector<std::shared_ptr<PrefetchedFolder>>(size_t(subdirs->size())), 0};
    // The walk may close its own descriptor of this folder further down (it
    // keeps only so many open); the workers read below it through their own.
    if (subdirs->size() > 1) {
        level.dup = std::make_shared<UniqueFd>(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    }
    levels.push_back(std::move(level));
}

void ListingPrefetch::popLevel()
{
    for (const std::shared_ptr<PrefetchedFolder> &folder : levels.back().ahead) {
        if (folder)
            --kept;  // never entered: a stop came
    }
    levels.pop_back();
}

std::shared_ptr<PrefetchedFolder> ListingPrefetch::take(int index)
{
    Level &top = levels.back();
    top.next = index + 1;
    std::shared_ptr<PrefetchedFolder> folder = std::move(top.ahead[size_t(index)]);
    if (folder)
        --kept;
    return folder;
}

void ListingPrefetch::refill()
{
    // Deepest level first: its folders come next in the walk's order. The
    // folder the walk enters next it reads itself rather than wait for it.
    const auto room = [this] {
        return kept < keptLimit && reading.load(std::memory_order_relaxed) < busyLimit;
    };
    for (auto level = levels.rbegin(); level != levels.rend() && room(); ++level) {
        if (!level->dup || level->dup->get() < 0)
            continue;
        const int first = level == levels.rbegin() ? level->next + 1 : level->next;
        for (int i = first; i < int(level->ahead.size()) && room(); ++i) {
            if (!level->ahead[size_t(i)])
                submit(*level, i);
        }
    }
}

void ListingPrefetch::submit(Level &level, int index)
{
    auto folder = std::make_shared<PrefetchedFolder>();
    level.ahead[size_t(index)] = folder;
    ++kept;
    reading.fetch_add(1, std::memory_order_relaxed);
    const QByteArray name = level.subdirs->at(index).bytes;
    pool.submit([this, folder, parent = level.dup, name](int worker) {
        if (cancel->load(std::memory_order_relaxed)) {
            folder->opened = FolderStack::Entered::Vanished;  // not read: the search stopped
        } else {
            UniqueFd fd(::openat(parent->get(), name.constData(), FolderStack::kOpenFlags));
            struct stat info;
            if (fd.get() < 0) {
                folder->opened = FolderStack::failureOf(errno);
            } else if (::fstat(fd.get(), &info) != 0) {
                folder->opened = FolderStack::Entered::Unreadable;
            } else {
                folder->device = info.st_dev;
                folder->inode = info.st_ino;
                folder->opened = FolderStack::Entered::Yes;
                folder->listed = listers[size_t(worker)]->list(fd.get(), wantSubdirs, &folder->listing);
                folder->fd = std::move(fd);
            }
        }
        reading.fetch_sub(1, std::memory_order_relaxed);
        folder->markDone();
    });
}
