#include "prefetchedfolder.h"

#include <cerrno>
#include <chrono>
#include <sys/stat.h>

namespace {

// Waits end in steps this long, so the walk goes on delivering meanwhile.
constexpr std::chrono::milliseconds kWaitStep {5};

}  // namespace

Entered enteredAfterFailure(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return Entered::Vanished;
    if (error == EMFILE || error == ENFILE)
        return Entered::NoDescriptor;
    return Entered::Unreadable;
}

void PrefetchedFolder::read(int parentFd, const QByteArray &name, DirectoryLister &lister,
                            bool wantSubdirs,
                            const std::shared_ptr<const IgnoreRules> &parentIgnore)
{
    UniqueFd folder(::openat(parentFd, name.constData(), kFolderOpenFlags));
    struct stat info;
    if (folder.get() < 0) {
        opened = enteredAfterFailure(errno);
    } else if (::fstat(folder.get(), &info) != 0) {
        opened = Entered::Unreadable;
    } else {
        device = info.st_dev;
        inode = info.st_ino;
        opened = Entered::Yes;
        listed = lister.list(folder.get(), info.st_dev, wantSubdirs, &listing, parentIgnore, name);
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
