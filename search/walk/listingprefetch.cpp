#include "listingprefetch.h"

#include "workerpool.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Waits end in steps this long, so the walk goes on delivering meanwhile.
constexpr std::chrono::milliseconds kWaitStep {5};

}  // namespace

void PrefetchedFolder::read(int parentFd, const QByteArray &name, DirectoryLister &lister,
                            bool wantSubdirs)
{
    UniqueFd folder(::openat(parentFd, name.constData(), FolderStack::kOpenFlags));
    struct stat info;
    if (folder.get() < 0) {
        opened = FolderStack::failureOf(errno);
    } else if (::fstat(folder.get(), &info) != 0) {
        opened = FolderStack::Entered::Unreadable;
    } else {
        device = info.st_dev;
        inode = info.st_ino;
        opened = FolderStack::Entered::Yes;
        listed = lister.list(folder.get(), info.st_dev, wantSubdirs, &listing);
        fd = std::move(folder);
    }
    markDone();
}

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

void ListingPrefetch::pushLevel(const std::shared_ptr<UniqueFd> &folder,
                                const QVector<ListedEntry> *subdirs)
{
    levels.push_back(Level {folder, subdirs,
                            std::vector<std::shared_ptr<PrefetchedFolder>>(size_t(subdirs->size())),
                            0});
}

void ListingPrefetch::popLevel()
{
    for (const std::shared_ptr<PrefetchedFolder> &folder : levels.back().ahead) {
        if (folder)
            --kept;  // never entered: a stop came
    }
    levels.pop_back();
}

std::shared_ptr<PrefetchedFolder> ListingPrefetch::take(int index, int parentFd,
                                                        DirectoryLister &lister,
                                                        const std::function<void()> &whileWaiting)
{
    Level &top = levels.back();
    top.next = index + 1;
    std::shared_ptr<PrefetchedFolder> folder = std::move(top.ahead[size_t(index)]);
    if (!folder)
        return nullptr;
    --kept;
    refill();
    if (folder->claim())
        folder->read(parentFd, top.subdirs->at(index).bytes, lister, wantSubdirs);
    else
        folder->waitUntilDone(whileWaiting);
    return folder;
}

void ListingPrefetch::refill()
{
    // Deepest level first: its folders come next in the walk's order.
    const auto room = [this] {
        return kept < keptLimit && reading.load(std::memory_order_relaxed) < busyLimit;
    };
    for (auto level = levels.rbegin(); level != levels.rend() && room(); ++level) {
        const int first = level->next;
        if (first >= int(level->ahead.size()))
            continue;
        const std::shared_ptr<UniqueFd> parent = level->folder.lock();
        if (!parent)
            continue;  // closed by the walk to make room: it reads these itself
        for (int i = first; i < int(level->ahead.size()) && room(); ++i) {
            if (!level->ahead[size_t(i)])
                submit(*level, parent, i);
        }
    }
}

void ListingPrefetch::submit(Level &level, const std::shared_ptr<UniqueFd> &parent, int index)
{
    auto folder = std::make_shared<PrefetchedFolder>();
    level.ahead[size_t(index)] = folder;
    ++kept;
    reading.fetch_add(1, std::memory_order_relaxed);
    const QByteArray name = level.subdirs->at(index).bytes;
    pool.submit([this, folder, parent, name](int worker) {
        if (folder->claim()) {
            if (cancel->load(std::memory_order_relaxed)) {
                folder->opened = FolderStack::Entered::Vanished;  // not read: the search stopped
                folder->markDone();
            } else {
                folder->read(parent->get(), name, *listers[size_t(worker)], wantSubdirs);
            }
        }
        reading.fetch_sub(1, std::memory_order_relaxed);
    });
}
