#ifndef ORDEREDDELIVERY_H
#define ORDEREDDELIVERY_H

#include "hitsink.h"
#include "resultbatch.h"
#include "tfileinfo.h"

#include <QList>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class JobOutput;

// Puts the hits of a search back into the order of a walk on one thread,
// whatever order the workers finish in: the walk records, folder by folder,
// the hits it has (name hits) and the jobs that will find more (files,
// archives), and the delivery hands them on in that order, each folder's in
// pieces of at most searchThread::kPieceSize as one thread would, so the
// batches are the same for any number of workers.
class OrderedDelivery
{
public:
    // Hands one piece of a folder's hits on; false once the search stopped.
    using Deliver = std::function<bool(const QString &dirName, const QList<TFileInfo> &piece)>;

    OrderedDelivery(int pieceSize, Deliver deliver, const std::atomic_bool *cancel);
    ~OrderedDelivery();

    // Walk side, in walk order.
    void beginFolder(const QString &dirName);
    void addHit(TFileInfo hit);
    void addJob(std::shared_ptr<JobOutput> job);
    void endFolder();

    // Hands on what is ready at the head without waiting.
    void deliverReady() { deliver(Wait::Never); }
    // Waits for the head jobs until at most `jobs` are pending.
    void deliverUntilPending(int jobs);
    // Hands everything on, waiting for every job.
    void deliverAll() { deliver(Wait::ForAll); }

    int pendingJobs() const { return jobsPending; }
    // The sink of the folder being handed on, once everything recorded has
    // been handed on (a job the walk runs itself writes straight into it);
    // null otherwise.
    HitSink *headSink() { return items.empty() ? current.get() : nullptr; }

    // After a stop, once the workers are done: what was found and not handed
    // on, folder by folder, in order.
    QList<ResultBatch> takeUndelivered();

private:
    enum class Wait { Never, ForAll };
    struct Item;
    void deliver(Wait wait, int pendingLimit = -1);
    // Takes what the head job has; true once it is done and taken.
    bool drainHeadJob(bool wait);

    const int pieceSize;
    const Deliver handOn;
    const std::atomic_bool *const cancel;
    std::deque<Item> items;
    int jobsPending = 0;
    // The folder being handed on: its name and what is kept of its hits.
    QString currentDir;
    std::unique_ptr<HitSink> current;
};

#endif  // ORDEREDDELIVERY_H
