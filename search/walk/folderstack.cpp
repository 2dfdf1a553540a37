#include "folderstack.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isFolder(int fd, dev_t device, ino_t inode)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

}  // namespace

FolderStack::FolderStack(WalkStack &frames, int maxOpen) : frames(frames), maxOpen(maxOpen) { }

Entered FolderStack::enterRoot(const QByteArray &path)
{
    entered.clear();
    return push(AT_FDCWD, path, 0);
}

Entered FolderStack::enter(const QByteArray &name)
{
    const int parent = topFd();
    if (parent < 0)
        return reopenFailure;
    return push(parent, name, frames.size() - 1);
}

Entered FolderStack::push(int parentFd, const QByteArray &name, size_t keep)
{
    const int fd = openFolder(parentFd, name.constData(), keep);
    if (fd < 0)
        return enteredAfterFailure(errno);
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return Entered::Unreadable;
    }
    return adopt(name, fd, info.st_dev, info.st_ino);
}

Entered FolderStack::adopt(const QByteArray &name, int fd, dev_t device, ino_t inode)
{
    if (!entered.insert(Identity {device, inode}).second) {
        ::close(fd);
        return Entered::AlreadyWalked;
    }
    WalkFrame &frame = frames.emplace_back();
    frame.name = name;
    frame.device = device;
    frame.inode = inode;
    opened(frames.size() - 1, fd);
    return Entered::Yes;
}

std::shared_ptr<UniqueFd> FolderStack::leave()
{
    WalkFrame &top = frames.back();
    std::shared_ptr<UniqueFd> folder = top.fd;
    const size_t parent = frames.size() - 2;
    if (frames.size() >= 2 && !frames[parent].fd && folder)
        reopenThroughChild(parent, folder->get());
    close(top);
    frames.pop_back();
    return folder;
}

int FolderStack::topFd()
{
    const std::shared_ptr<UniqueFd> folder = topFolder();
    return folder ? folder->get() : -1;
}

std::shared_ptr<UniqueFd> FolderStack::topFolder()
{
    if (frames.empty())
        return nullptr;
    if (!frames.back().fd && !reopen(frames.size() - 1))
        return nullptr;
    return frames.back().fd;
}

// The walk comes back up to a folder closed to make room: ".." of the folder
// it leaves is that folder unless a link led down, which the check tells.
bool FolderStack::reopenThroughChild(size_t index, int childFd)
{
    const int fd = openFolder(childFd, "..", index);
    if (fd < 0)
        return false;
    if (!isFolder(fd, frames[index].device, frames[index].inode)) {
        ::close(fd);
        return false;
    }
    opened(index, fd);
    return true;
}

// Opens the frames from the nearest open one above `index` down to `index`,
// each by its name, and checks that each is still the folder it was.
bool FolderStack::reopen(size_t index)
{
    size_t first = index;
    while (first > 0 && !frames[first - 1].fd)
        --first;
    for (size_t i = first; i <= index; ++i) {
        WalkFrame &frame = frames[i];
        if (frame.fd)
            continue;
        const int parentFd = i == 0 ? AT_FDCWD : frames[i - 1].fd->get();
        const int fd = openFolder(parentFd, frame.name.constData(), i == 0 ? 0 : i - 1);
        if (fd < 0) {
            reopenFailure = enteredAfterFailure(errno);
            return false;
        }
        if (!isFolder(fd, frame.device, frame.inode)) {
            ::close(fd);
            reopenFailure = Entered::Vanished;
            return false;
        }
        opened(i, fd);
    }
    return true;
}

void FolderStack::opened(size_t index, int fd)
{
    frames[index].fd = std::make_shared<UniqueFd>(fd);
    ++openCount;
    firstOpen = std::min(firstOpen, index);
    makeRoom(index);
}

// Closes the shallowest open frames above `keep` until at most maxOpen stay
// open: the deepest ones are those the walk uses next.
void FolderStack::makeRoom(size_t keep)
{
    size_t i = firstOpen;
    for (; openCount > maxOpen && i + 1 < keep; ++i)
        close(frames[i]);
    firstOpen = i;
}

int FolderStack::openFolder(int parentFd, const char *name, size_t keep)
{
    for (;;) {
        const int fd = ::openat(parentFd, name, kFolderOpenFlags);
        if (fd >= 0 || (errno != EMFILE && errno != ENFILE) || !closeShallowest(keep))
            return fd;
    }
}

// Out of descriptors: the shallowest open frame above `keep` is closed, and
// the stack keeps to fewer open folders from now on.
bool FolderStack::closeShallowest(size_t keep)
{
    while (firstOpen < keep && firstOpen < frames.size() && !frames[firstOpen].fd)
        ++firstOpen;
    if (firstOpen >= keep || firstOpen >= frames.size())
        return false;
    close(frames[firstOpen]);
    ++firstOpen;
    maxOpen = std::max(1, openCount);
    return true;
}

void FolderStack::close(WalkFrame &frame)
{
    if (!frame.fd)
        return;
    frame.fd.reset();
    --openCount;
}
