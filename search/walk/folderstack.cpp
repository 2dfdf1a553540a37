#include "folderstack.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FolderStack::Entered FolderStack::failureOf(int error)
{
    // Gone, or no longer a folder, since its parent was listed.
    if (error == ENOENT || error == ENOTDIR)
        return Entered::Vanished;
    return Entered::Unreadable;
}

FolderStack::~FolderStack()
{
    while (!levels.empty())
        leave();
}

FolderStack::Entered FolderStack::enterRoot(const QByteArray &path)
{
    return push(AT_FDCWD, path);
}

FolderStack::Entered FolderStack::enter(const QByteArray &name)
{
    const int parent = topFd();
    if (parent < 0)
        return Entered::Vanished;
    return push(parent, name);
}

FolderStack::Entered FolderStack::push(int parentFd, const QByteArray &name)
{
    const int fd = ::openat(parentFd, name.constData(), kOpenFlags);
    if (fd < 0)
        return failureOf(errno);
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return Entered::Unreadable;
    }
    return adopt(name, fd, info.st_dev, info.st_ino);
}

FolderStack::Entered FolderStack::adopt(const QByteArray &name, int fd, dev_t device, ino_t inode)
{
    for (const Level &level : levels) {
        if (level.device == device && level.inode == inode) {
            ::close(fd);
            return Entered::AlreadyOnDescent;
        }
    }
    levels.push_back(Level {name, std::make_shared<UniqueFd>(fd), device, inode});
    ++openCount;
    makeRoom(levels.size() - 1);
    return Entered::Yes;
}

std::shared_ptr<UniqueFd> FolderStack::leave()
{
    std::shared_ptr<UniqueFd> folder = levels.back().fd;
    close(levels.back());
    levels.pop_back();
    return folder;
}

int FolderStack::topFd()
{
    const std::shared_ptr<UniqueFd> folder = topFolder();
    return folder ? folder->get() : -1;
}

std::shared_ptr<UniqueFd> FolderStack::topFolder()
{
    if (levels.empty())
        return nullptr;
    if (!levels.back().fd && !reopen(levels.size() - 1))
        return nullptr;
    return levels.back().fd;
}

// Opens the levels from the nearest open one above `index` down to `index`,
// each by its name, and checks that each is still the folder it was.
bool FolderStack::reopen(size_t index)
{
    size_t first = index;
    while (first > 0 && !levels[first - 1].fd)
        --first;
    for (size_t i = first; i <= index; ++i) {
        Level &level = levels[i];
        if (level.fd)
            continue;
        const int parentFd = i == 0 ? AT_FDCWD : levels[i - 1].fd->get();
        const int fd = ::openat(parentFd, level.name.constData(), kOpenFlags);
        if (fd < 0)
            return false;
        struct stat info;
        if (::fstat(fd, &info) != 0 || info.st_dev != level.device || info.st_ino != level.inode) {
            ::close(fd);
            return false;
        }
        level.fd = std::make_shared<UniqueFd>(fd);
        ++openCount;
        makeRoom(i);
    }
    return true;
}

// Closes the shallowest open levels above `keep` until at most kMaxOpen stay
// open: the deepest ones are those the walk uses next.
void FolderStack::makeRoom(size_t keep)
{
    for (size_t i = 0; openCount > kMaxOpen && i + 1 < keep; ++i)
        close(levels[i]);
}

void FolderStack::close(Level &level)
{
    if (!level.fd)
        return;
    level.fd.reset();
    --openCount;
}
