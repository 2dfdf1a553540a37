#include "listingprefetch.h"

#include <algorithm>

ListingPrefetch::ListingPrefetch(WalkStack &frames, Submit submit,
                                 const std::vector<std::unique_ptr<DirectoryLister>> &listers,
                                 bool wantSubdirs, int busy, int kept,
                                 const std::atomic_bool *cancel)
    : frames(frames), submitJob(std::move(submit)), listers(listers), wantSubdirs(wantSubdirs),
      busyLimit(busy), keptLimit(kept), cancel(cancel)
{
}

void ListingPrefetch::listed()
{
    WalkFrame &top = frames.back();
    top.ahead.assign(size_t(top.listing().subdirs.size()), nullptr);
    top.firstNotGiven = 0;
    noteTopHasWork();
    refill();
}

void ListingPrefetch::leaving()
{
    for (const std::shared_ptr<PrefetchedFolder> &folder : frames.back().ahead) {
        if (folder)
            --kept;  // never entered: a stop came
    }
    if (!withWork.empty() && withWork.back() == frames.size() - 1)
        withWork.pop_back();
}

void ListingPrefetch::noteTopHasWork()
{
    const size_t top = frames.size() - 1;
    if (frames.back().firstNotGiven < int(frames.back().ahead.size())
        && (withWork.empty() || withWork.back() != top))
        withWork.push_back(top);
}

std::shared_ptr<PrefetchedFolder> ListingPrefetch::take(int index, int parentFd,
                                                        DirectoryLister &lister,
                                                        const std::function<void()> &whileWaiting)
{
    WalkFrame &top = frames.back();
    top.firstNotGiven = std::max(top.firstNotGiven, top.nextSubdir);
    std::shared_ptr<PrefetchedFolder> folder = std::move(top.ahead[size_t(index)]);
    if (folder)
        --kept;
    // A frame passed over while its folder was closed to make room has work
    // again now that the walk is back in it.
    noteTopHasWork();
    if (!folder)
        return nullptr;
    refill();
    if (folder->claim())
        folder->read(parentFd, top.listing().subdirs.at(index).bytes, lister, wantSubdirs,
                     top.listing().ignore);
    else
        folder->waitUntilDone(whileWaiting);
    return folder;
}

void ListingPrefetch::refill()
{
    // Deepest frame first: its folders come next in the walk's order.
    const auto room = [this] {
        return kept < keptLimit && reading.load(std::memory_order_relaxed) < busyLimit;
    };
    for (size_t k = withWork.size(); k-- > 0 && room();) {
        WalkFrame &frame = frames[withWork[k]];
        const std::shared_ptr<UniqueFd> parent = frame.fd;
        if (parent) {
            int i = frame.firstNotGiven;
            for (; i < int(frame.ahead.size()) && room(); ++i)
                submit(frame, parent, i);
            frame.firstNotGiven = i;
            if (i < int(frame.ahead.size()))
                return;  // no room left
        }
        // Every subfolder given, or the folder closed by the walk to make
        // room (the walk reads those itself): nothing to do here for now.
        withWork.erase(withWork.begin() + std::ptrdiff_t(k));
    }
}

void ListingPrefetch::submit(WalkFrame &frame, const std::shared_ptr<UniqueFd> &parent, int index)
{
    auto folder = std::make_shared<PrefetchedFolder>();
    frame.ahead[size_t(index)] = folder;
    ++kept;
    reading.fetch_add(1, std::memory_order_relaxed);
    const QByteArray name = frame.listing().subdirs.at(index).bytes;
    submitJob([this, folder, parent, name, ignore = frame.listing().ignore](int worker) {
        if (folder->claim()) {
            if (cancel->load(std::memory_order_relaxed)) {
                folder->opened = Entered::Vanished;  // not read: the search stopped
                folder->markDone();
            } else {
                folder->read(parent->get(), name, *listers[size_t(worker)], wantSubdirs, ignore);
            }
        }
        reading.fetch_sub(1, std::memory_order_relaxed);
    });
}

void ListingPrefetch::shrink()
{
    keptLimit = std::max(1, keptLimit / 2);
    busyLimit = std::max(1, std::min(busyLimit, keptLimit));
}
