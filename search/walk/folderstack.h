#ifndef FOLDERSTACK_H
#define FOLDERSTACK_H

#include "folderopen.h"
#include "uniquefd.h"
#include "walkframe.h"

#include <QByteArray>

#include <cstddef>
#include <memory>
#include <unordered_set>

#include <sys/types.h>

// The descriptors of the walker's frames, the folders on the way down from
// one start folder. Each is opened relative to its parent (openat), so the
// depth of a tree is bounded neither by PATH_MAX nor by the number of
// descriptors a process may hold: at most `maxOpen` folders stay open, fewer
// once an open has failed for lack of descriptors (the stack then closes its
// shallowest folders and tries again, and keeps to the lower number). A
// folder closed to make room is opened again when the walk comes back up to
// it, through ".." of the folder below (one call per level, however deep),
// or else from its nearest open ancestor by the same names; either way it is
// checked to be the same folder (device and inode). A folder's descriptor is
// shared with whoever still reads in it (the jobs of the workers), so it
// stays open for them after the stack closes it.
class FolderStack
{
public:
    static constexpr int kMaxOpen = 64;

    // Pushes and pops the frames of `frames`, which it fills with the folder;
    // at most `maxOpen` of them stay open.
    explicit FolderStack(WalkStack &frames, int maxOpen = kMaxOpen);
    FolderStack(const FolderStack &) = delete;
    FolderStack &operator=(const FolderStack &) = delete;

    // Opens the start folder by its path (relative paths resolve against the
    // working directory) and forgets the folders entered below the start
    // folder before. The stack must be empty.
    Entered enterRoot(const QByteArray &path);
    // Opens the folder `name` of the top folder, following a link to a
    // folder. A folder entered before below the same start folder (by
    // another path, which only links make) is not entered again: a cycle of
    // links ends, and links that lead many ways to one folder cost one walk.
    Entered enter(const QByteArray &name);
    // Takes over `fd`, the folder `name` of the top folder as enter() would
    // have opened it (a worker opened it ahead of the walk), with the same
    // check against the folders entered; `fd` is closed when it is not entered.
    Entered adopt(const QByteArray &name, int fd, dev_t device, ino_t inode);
    // Leaves the top folder: its descriptor is closed when the returned
    // reference goes (at once, unless the caller keeps it).
    std::shared_ptr<UniqueFd> leave();

    // A descriptor of the top folder, opened again when it was closed to
    // make room; -1 when it cannot be (it vanished or was replaced, or no
    // descriptor was to be had: topFailure() tells).
    int topFd();
    // The same descriptor, to be kept after the walk has moved on; null
    // when it cannot be had.
    std::shared_ptr<UniqueFd> topFolder();
    dev_t topDevice() const { return frames.back().device; }
    // Why the top folder could last not be opened again.
    Entered topFailure() const { return reopenFailure; }

private:
    struct Identity
    {
        dev_t device;
        ino_t inode;
        bool operator==(const Identity &other) const
        {
            return device == other.device && inode == other.inode;
        }
    };
    struct IdentityHash
    {
        size_t operator()(const Identity &id) const
        {
            return std::hash<quint64>()(quint64(id.inode) * 0x9e3779b97f4a7c15ull ^ id.device);
        }
    };

    Entered push(int parentFd, const QByteArray &name, size_t keep);
    // openat, closing open frames above `keep` while descriptors run out.
    int openFolder(int parentFd, const char *name, size_t keep);
    bool closeShallowest(size_t keep);
    bool reopen(size_t index);
    bool reopenThroughChild(size_t index, int childFd);
    void opened(size_t index, int fd);
    void makeRoom(size_t keep);
    void close(WalkFrame &frame);

    WalkStack &frames;
    int maxOpen;
    Entered reopenFailure = Entered::Vanished;
    // Every folder entered below the start folder, by device and inode.
    std::unordered_set<Identity, IdentityHash> entered;
    int openCount = 0;
    size_t firstOpen = 0;  // no frame above this one is open
};

#endif  // FOLDERSTACK_H
