#ifndef LISTINGPREFETCH_H
#define LISTINGPREFETCH_H

#include "directorylister.h"
#include "prefetchedfolder.h"
#include "walkframe.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

// Opens and lists folders on the workers ahead of the walk, in the order the
// walk will enter them: below the folder just listed first, then the next
// folders of the frames above. At most `busy` folders are being read at a
// time, and at most `kept` read and not yet entered (each holds a
// descriptor). The walk stays on its own thread and in its own order; only
// the reading of folders moves, so name searches, which read nothing else,
// use every core too. What is read ahead for a frame is kept in the frame.
class ListingPrefetch
{
public:
    // Runs a job on one of the workers, in the order given; the job is told
    // which worker runs it.
    using Submit = std::function<void(std::function<void(int worker)>)>;

    // `listers` holds one lister per worker.
    ListingPrefetch(WalkStack &frames, Submit submit,
                    const std::vector<std::unique_ptr<DirectoryLister>> &listers, bool wantSubdirs,
                    int busy, int kept, const std::atomic_bool *cancel);

    // The top frame is listed and the walk enters its subfolders next: they
    // are read ahead while its folder stays open.
    void listed();
    // The walk leaves the top frame: what was read ahead for it and not
    // entered (a stop came) no longer counts.
    void leaving();
    // The walk enters subfolder `index` of the top frame (whose nextSubdir
    // it has moved past it), open as `parentFd`: the folder as read ahead, or null when it was not given to
    // the workers. One that no worker has begun yet the walk reads itself
    // with `lister`; for one being read it waits, calling `whileWaiting`.
    std::shared_ptr<PrefetchedFolder> take(int index, int parentFd, DirectoryLister &lister,
                                           const std::function<void()> &whileWaiting);
    // Gives the workers the next folders in the walk's order, up to the limits.
    void refill();
    // A worker found no descriptor to open a folder with: fewer folders are
    // read and kept ahead from now on.
    void shrink();

private:
    void submit(WalkFrame &frame, const std::shared_ptr<UniqueFd> &parent, int index);
    // Notes that the top frame may have subfolders not yet given.
    void noteTopHasWork();

    WalkStack &frames;
    const Submit submitJob;
    const std::vector<std::unique_ptr<DirectoryLister>> &listers;
    const bool wantSubdirs;
    int busyLimit;
    int keptLimit;
    const std::atomic_bool *cancel;
    // The frames that may have subfolders not given to the workers, deepest
    // last, so that a refill looks at those with work only, however deep the
    // walk is.
    std::vector<size_t> withWork;
    int kept = 0;                 // given to the workers and not yet taken
    std::atomic_int reading {0};  // given to the workers and not yet read
};

#endif  // LISTINGPREFETCH_H
