#ifndef WALKFRAME_H
#define WALKFRAME_H

#include "directorylister.h"
#include "prefetchedfolder.h"
#include "uniquefd.h"

#include <QByteArray>

#include <deque>
#include <memory>
#include <vector>

#include <sys/types.h>

// One folder on the walk's way down, and everything the walk keeps of it: how
// it is opened again, what it holds, how far the walk has gone in it and which
// of its subfolders the workers read ahead. The walker's one stack is a deque
// of these, deepest last (a deque, so a frame stays where it is while frames
// come and go below it).
struct WalkFrame
{
    // The folder as FolderStack holds it: its name relative to the frame
    // above (the path for the first), its descriptor (null while closed to
    // make room) and its identity, checked when it is opened again.
    QByteArray name;
    std::shared_ptr<UniqueFd> fd;
    dev_t device = 0;
    ino_t inode = 0;

    // Its listing: the walk's own reading, or a worker's kept in readAhead.
    DirectoryListing ownListing;
    std::shared_ptr<PrefetchedFolder> readAhead;
    const DirectoryListing &listing() const { return readAhead ? readAhead->listing : ownListing; }
    DirectoryListing &listing() { return readAhead ? readAhead->listing : ownListing; }

    int pathLength = 0;  // the walk's path up to and with this folder's separator
    int nextSubdir = 0;  // the subfolder the walk enters next

    // ListingPrefetch: one slot per subfolder, set while a reading given to
    // the workers waits for the walk, and the first subfolder from
    // nextSubdir on that has not been given yet.
    std::vector<std::shared_ptr<PrefetchedFolder>> ahead;
    int firstNotGiven = 0;
};

using WalkStack = std::deque<WalkFrame>;

#endif  // WALKFRAME_H
