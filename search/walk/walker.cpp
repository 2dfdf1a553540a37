#include "walker.h"

#include "pathcodec.h"

#include <QLatin1Char>

namespace {

// Folders the workers read ahead of the walk: at most this many at a time
// per worker, and this many read and not yet entered (each holds a descriptor).
// Enough queued that a worker seldom sleeps and has to be woken per folder.
constexpr int kFoldersReadPerWorker = 8;
constexpr int kFoldersKeptAhead = 128;

// Folders the walk has left, closed by a worker in groups of this many; while
// this many groups wait for a worker, the walk closes its folders itself, so
// busy workers cannot make descriptors pile up.
constexpr size_t kFoldersClosedTogether = 32;
constexpr int kClosingGroups = 2;

}  // namespace

Walker::Walker(std::shared_ptr<const NameFilter> names, bool recursive,
               const std::atomic_bool *cancel, WalkWorkers workers, WalkCounts &counts)
    : recursive(recursive), cancel(cancel), workers(std::move(workers)), counts(counts),
      lister(names, cancel)
{
    if (this->workers.threads == 0)
        return;
    for (int i = 0; i < this->workers.threads; ++i)
        listers.push_back(std::make_unique<DirectoryLister>(names, cancel));
    prefetch = std::make_unique<ListingPrefetch>(frames, this->workers.submit, listers, recursive,
                                                 kFoldersReadPerWorker * this->workers.threads,
                                                 kFoldersKeptAhead, cancel);
}

Walker::~Walker() = default;

QString Walker::folderPath() const
{
    QString dirName = path;
    if (dirName.size() > 1)
        dirName.chop(1);  // the separator at its end, but that of "/"
    return dirName;
}

void Walker::walk(const QString &root, WalkVisitor &visitor)
{
    if (folders.enterRoot(encodePath(root)) != Entered::Yes) {
        counts.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    path = root;
    if (!listTop(nullptr)) {
        folders.leave();
        return;
    }
    while (!frames.empty()) {
        const WalkFrame &top = frames.back();
        if (!cancelled() && top.nextSubdir < top.listing().subdirs.size())
            descend(visitor);
        else
            finishTop(visitor);
    }
}

bool Walker::listTop(std::shared_ptr<PrefetchedFolder> ahead)
{
    counts.folders.fetch_add(1, std::memory_order_relaxed);
    WalkFrame &top = frames.back();
    if (ahead) {
        top.readAhead = std::move(ahead);
    } else {
        const int fd = folders.topFd();
        if (fd < 0 || !lister.list(fd, folders.topDevice(), recursive, &top.ownListing)) {
            counts.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
    }
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    top.pathLength = path.size();
    if (prefetch)
        prefetch->listed();
    return true;
}

void Walker::descend(WalkVisitor &visitor)
{
    WalkFrame &top = frames.back();
    const int index = top.nextSubdir;
    const ListedEntry &subdir = top.listing().subdirs.at(index);
    top.nextSubdir = index + 1;
    // Hits found so far keep flowing while a worker reads the folder.
    std::shared_ptr<PrefetchedFolder> ahead = prefetch
            ? prefetch->take(index, folders.topFd(), lister, [&visitor] { visitor.whileWaiting(); })
            : nullptr;
    Entered entered;
    if (ahead) {
        entered = ahead->opened != Entered::Yes ? ahead->opened
                : !ahead->listed
                ? Entered::Unreadable
                : folders.adopt(subdir.bytes, ahead->fd.release(), ahead->device, ahead->inode);
    } else {
        entered = folders.enter(subdir.bytes);
    }
    switch (entered) {
    case Entered::Yes:
        path += subdir.name;
        if (!listTop(std::move(ahead)))
            leaveTop();
        break;
    case Entered::Unreadable:
        counts.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
        break;
    case Entered::Vanished:
    case Entered::AlreadyOnDescent:
        break;  // gone since the listing, or a link back up: nothing to read
    }
}

void Walker::finishTop(WalkVisitor &visitor)
{
    if (prefetch)
        prefetch->leaving();
    if (!cancelled())
        visitor.visitFolder(*this, frames.back().listing());
    leaveTop();
}

void Walker::leaveTop()
{
    std::shared_ptr<UniqueFd> left = folders.leave();
    if (frames.empty())
        return;  // the start folder: closed here
    path.truncate(frames.back().pathLength);
    closeOnWorkers(std::move(left));
}

// Closing a folder that was read frees the kernel's index of its entries, a
// good part of what the walk's own thread would spend per folder: the
// workers do it, a group at a time.
void Walker::closeOnWorkers(std::shared_ptr<UniqueFd> folder)
{
    if (workers.threads == 0 || closingGroups.load(std::memory_order_relaxed) >= kClosingGroups)
        return;  // closed here as it goes
    leftFolders.push_back(std::move(folder));
    if (leftFolders.size() < kFoldersClosedTogether)
        return;
    closingGroups.fetch_add(1, std::memory_order_relaxed);
    workers.submit([this, group = std::move(leftFolders)](int) mutable {
        group.clear();
        closingGroups.fetch_sub(1, std::memory_order_relaxed);
    });
    leftFolders.clear();
}
