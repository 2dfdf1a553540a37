#ifndef FOLDERSTACK_H
#define FOLDERSTACK_H

#include "uniquefd.h"

#include <QByteArray>

#include <fcntl.h>
#include <memory>
#include <sys/types.h>
#include <vector>

// The folders on the way down from one start folder. Each is opened relative
// to its parent (openat), so the depth of a tree is bounded neither by
// PATH_MAX nor by the number of descriptors a process may hold: at most
// kMaxOpen folders stay open, and a folder closed to make room is opened
// again from its nearest open ancestor when it is needed, by the same names,
// and checked to be the same folder (device and inode). A folder's
// descriptor is shared with whoever still reads in it (the jobs of the
// workers), so it stays open for them after the stack closes it.
class FolderStack
{
public:
    static constexpr int kMaxOpen = 64;
    // How folders are opened: links to folders are followed (the walk enters them).
    static constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

    FolderStack() = default;
    ~FolderStack();
    FolderStack(const FolderStack &) = delete;
    FolderStack &operator=(const FolderStack &) = delete;

    enum class Entered { Yes, Unreadable, Vanished, AlreadyOnDescent };

    // Opens the start folder by its path (relative paths resolve against the
    // working directory). The stack must be empty.
    Entered enterRoot(const QByteArray &path);
    // Opens the folder `name` of the top folder, following a link to a
    // folder. A folder already on the way down (a link back to an ancestor)
    // is not entered, so a cycle of links ends.
    Entered enter(const QByteArray &name);
    // Takes over `fd`, the folder `name` of the top folder as enter() would
    // have opened it (a worker opened it ahead of the walk), with the same
    // check against the way down; `fd` is closed when it is not entered.
    Entered adopt(const QByteArray &name, int fd, dev_t device, ino_t inode);
    // Leaves the top folder: its descriptor is closed when the returned
    // reference goes (at once, unless the caller keeps it).
    std::shared_ptr<UniqueFd> leave();

    // What a failed open (its errno) means for the walk.
    static Entered failureOf(int error);

    bool isEmpty() const { return levels.empty(); }
    // A descriptor of the top folder, opened again when it was closed to
    // make room; -1 when it cannot be (it vanished or was replaced).
    int topFd();
    // The same descriptor, to be kept after the walk has moved on; null
    // when it cannot be had.
    std::shared_ptr<UniqueFd> topFolder();
    dev_t topDevice() const { return levels.back().device; }
    ino_t topInode() const { return levels.back().inode; }

private:
    struct Level
    {
        QByteArray name;               // relative to the level above; the path for the root
        std::shared_ptr<UniqueFd> fd;  // null while closed to make room
        dev_t device = 0;
        ino_t inode = 0;
    };
    Entered push(int parentFd, const QByteArray &name);
    bool reopen(size_t index);
    void makeRoom(size_t keep);
    void close(Level &level);

    std::vector<Level> levels;
    int openCount = 0;
};

#endif  // FOLDERSTACK_H
