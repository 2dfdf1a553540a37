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

FolderStack::FolderStack(WalkStack &frames) : frames(frames) { }

Entered FolderStack::enterRoot(const QByteArray &path)
{
    return push(AT_FDCWD, path);
}

Entered FolderStack::enter(const QByteArray &name)
{
    const int parent = topFd();
    if (parent < 0)
        return Entered::Vanished;
    return push(parent, name);
}

Entered FolderStack::push(int parentFd, const QByteArray &name)
{
    const int fd = ::openat(parentFd, name.constData(), kFolderOpenFlags);
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
    if (!onDescent.insert(Identity {device, inode}).second) {
        ::close(fd);
        return Entered::AlreadyOnDescent;
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
    onDescent.erase(Identity {top.device, top.inode});
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
    const int fd = ::openat(childFd, "..", kFolderOpenFlags);
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
        const int fd = ::openat(parentFd, frame.name.constData(), kFolderOpenFlags);
        if (fd < 0)
            return false;
        if (!isFolder(fd, frame.device, frame.inode)) {
            ::close(fd);
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

// Closes the shallowest open frames above `keep` until at most kMaxOpen stay
// open: the deepest ones are those the walk uses next.
void FolderStack::makeRoom(size_t keep)
{
    size_t i = firstOpen;
    for (; openCount > kMaxOpen && i + 1 < keep; ++i)
        close(frames[i]);
    firstOpen = i;
}

void FolderStack::close(WalkFrame &frame)
{
    if (!frame.fd)
        return;
    frame.fd.reset();
    --openCount;
}
