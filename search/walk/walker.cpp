#include "walker.h"

#include "pathcodec.h"

#include <QLatin1Char>

#include <algorithm>
#include <chrono>
#include <thread>

#include <sys/resource.h>

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

// Descriptors left to the rest of the process (standard streams, Qt's own,
// the files and archives the workers read) when the walk works out its
// budget.
constexpr rlim_t kDescriptorsKept = 32;

// Out of descriptors, the walk waits this long at a time, this many times at
// most, for the workers to give theirs back before it gives a folder up.
constexpr std::chrono::milliseconds kDescriptorWait {10};
constexpr int kDescriptorWaits = 300;

int descriptorsAllowed()
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    const rlim_t budget = limit.rlim_cur > kDescriptorsKept ? limit.rlim_cur - kDescriptorsKept : 0;
    return int(std::clamp<rlim_t>(budget, 8, 1 << 20));
}

}  // namespace

Walker::Walker(std::shared_ptr<const NameFilter> names, std::shared_ptr<const WalkRules> rules,
               bool recursive, const std::atomic_bool *cancel, WalkWorkers workers,
               WalkCounts &counts)
    : recursive(recursive), maxDepth(!recursive      ? 1
                                             : rules ? rules->maxDepth
                                                     : 0),
      cancel(cancel), workers(std::move(workers)), counts(counts),
      descriptors(descriptorsAllowed()), lister(names, cancel, rules),
      folders(frames, std::clamp(descriptors / 8, 2, FolderStack::kMaxOpen)),
      closedTogether(std::clamp<size_t>(size_t(descriptors) / 16, 1, kFoldersClosedTogether))
{
    if (this->workers.threads == 0)
        return;
    for (int i = 0; i < this->workers.threads; ++i)
        listers.push_back(std::make_unique<DirectoryLister>(names, cancel, rules));
    prefetch = std::make_unique<ListingPrefetch>(frames, this->workers.submit, listers, recursive,
                                                 kFoldersReadPerWorker * this->workers.threads,
                                                 std::clamp(descriptors / 4, 1, kFoldersKeptAhead),
                                                 cancel);
}

Walker::~Walker() = default;

QString Walker::folderPath() const
{
    QString dirName = path;
    if (dirName.size() > 1)
        dirName.chop(1);  // the separator at its end, but that of "/"
    return dirName;
}

int Walker::folderFd()
{
    const std::shared_ptr<UniqueFd> open = folder();
    return open ? open->get() : -1;
}

std::shared_ptr<UniqueFd> Walker::folder()
{
    std::shared_ptr<UniqueFd> open;
    whenDescriptorsFree([&] {
        open = folders.topFolder();
        return open ? Entered::Yes : folders.topFailure();
    });
    return open;
}

void Walker::walk(const QString &root, WalkVisitor &visitor)
{
    this->visitor = &visitor;
    const QByteArray rootBytes = encodePath(root);
    const Entered entered = whenDescriptorsFree([&] { return folders.enterRoot(rootBytes); });
    if (entered != Entered::Yes) {
        if (entered != Entered::Vanished)
            unreadable(rootBytes);
        else
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
        const std::shared_ptr<const IgnoreRules> parentIgnore
                = frames.size() >= 2 ? frames[frames.size() - 2].listing().ignore : nullptr;
        if (fd < 0
            || !lister.list(fd, folders.topDevice(), recursive, &top.ownListing, parentIgnore,
                            top.name)) {
            unreadable(QByteArray());
            return false;
        }
    }
    // The deepest folders the rules let the walk enter: their subfolders
    // are neither entered nor read ahead.
    if (maxDepth > 0 && int(frames.size()) >= maxDepth)
        top.listing().subdirs.clear();
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
            ? prefetch->take(index, folderFd(), lister, [&visitor] { visitor.whileWaiting(); })
            : nullptr;
    if (ahead && ahead->opened == Entered::NoDescriptor) {
        prefetch->shrink();
        ahead = nullptr;  // the walk opens it itself, waiting for a descriptor
    }
    Entered entered;
    if (ahead) {
        entered = ahead->opened != Entered::Yes ? ahead->opened
                : !ahead->listed
                ? Entered::Unreadable
                : folders.adopt(subdir.bytes, ahead->fd.release(), ahead->device, ahead->inode);
    } else {
        entered = whenDescriptorsFree([&] { return folders.enter(subdir.bytes); });
    }
    switch (entered) {
    case Entered::Yes:
        path += subdir.name;
        if (!listTop(std::move(ahead)))
            leaveTop();
        break;
    case Entered::Unreadable:
    case Entered::NoDescriptor:
        unreadable(subdir.bytes);
        break;
    case Entered::Vanished:
    case Entered::AlreadyWalked:
        break;  // gone since the listing, or walked by another path: nothing to read
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
    if (leftFolders.size() < closedTogether)
        return;
    closingGroups.fetch_add(1, std::memory_order_relaxed);
    workers.submit([this, group = std::move(leftFolders)](int) mutable {
        group.clear();
        closingGroups.fetch_sub(1, std::memory_order_relaxed);
    });
    leftFolders.clear();
}

Entered Walker::whenDescriptorsFree(const std::function<Entered()> &attempt)
{
    Entered entered = attempt();
    for (int round = 0;
         entered == Entered::NoDescriptor && round < kDescriptorWaits && !cancelled(); ++round) {
        leftFolders.clear();
        if (prefetch)
            prefetch->shrink();
        if (visitor)
            visitor->whileWaiting();  // hands on what the jobs found, and so ends them
        std::this_thread::sleep_for(kDescriptorWait);
        entered = attempt();
    }
    return entered;
}

// Counts a folder that cannot be read and names it: the subfolder `name` of
// the current folder, or the current folder itself when `name` is empty.
void Walker::unreadable(const QByteArray &name)
{
    counts.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
    const QByteArray folderBytes = frames.empty() && !name.isEmpty()
            ? name
            : encodePath(frames.empty() ? path : path + decodePath(name));
    if (visitor)
        visitor->unreadableFolder(folderBytes);
}
