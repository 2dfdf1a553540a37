#include "ordereddelivery.h"

#include "diagnostics.h"
#include "joboutput.h"

struct OrderedDelivery::Item
{
    enum class Kind { Begin, Hit, Job, End };
    Kind kind;
    QString dirName;                 // Begin
    TFileInfo hit;                   // Hit
    std::shared_ptr<JobOutput> job;  // Job
};

OrderedDelivery::OrderedDelivery(int pieceSize, Deliver deliver, const std::atomic_bool *cancel)
    : pieceSize(pieceSize), handOn(std::move(deliver)), cancel(cancel)
{
}

OrderedDelivery::~OrderedDelivery() = default;

void OrderedDelivery::beginFolder(const QString &dirName)
{
    items.push_back(Item {Item::Kind::Begin, dirName, {}, {}});
}

void OrderedDelivery::addHit(TFileInfo hit)
{
    items.push_back(Item {Item::Kind::Hit, {}, std::move(hit), {}});
}

void OrderedDelivery::addJob(std::shared_ptr<JobOutput> job)
{
    items.push_back(Item {Item::Kind::Job, {}, {}, std::move(job)});
    ++jobsPending;
}

void OrderedDelivery::endFolder()
{
    items.push_back(Item {Item::Kind::End, {}, {}, {}});
}

void OrderedDelivery::deliverUntilPending(int jobs)
{
    deliver(Wait::Never, jobs);
}

void OrderedDelivery::deliver(Wait wait, int pendingLimit)
{
    while (!items.empty() && !cancel->load(std::memory_order_relaxed)) {
        Item &front = items.front();
        switch (front.kind) {
        case Item::Kind::Begin:
            currentDir = front.dirName;
            current = std::make_unique<HitSink>(pieceSize, [this](const QList<TFileInfo> &piece) {
                return handOn(currentDir, piece);
            });
            break;
        case Item::Kind::Hit:
            current->append(front.hit);
            break;
        case Item::Kind::Job: {
            const bool mustWait
                    = wait == Wait::ForAll || (pendingLimit >= 0 && jobsPending > pendingLimit);
            if (!drainHeadJob(mustWait))
                return;  // still running, or a stop came
            --jobsPending;
            break;
        }
        case Item::Kind::End:
            current->flush();
            if (!current->isEmpty())
                return;  // a stop came: the rest stays undelivered
            current.reset();
            break;
        }
        items.pop_front();
    }
}

bool OrderedDelivery::drainHeadJob(bool wait)
{
    JobOutput &job = *items.front().job;
    for (;;) {
        QList<QList<TFileInfo>> pieces;
        QByteArray text;
        const bool done = job.take(pieces, text, wait);
        writeDiagnostics(text);
        for (const QList<TFileInfo> &piece : qAsConst(pieces)) {
            for (const TFileInfo &hit : piece)
                current->append(hit);
        }
        if (done)
            return true;
        if (!wait || cancel->load(std::memory_order_relaxed))
            return false;
    }
}

QList<ResultBatch> OrderedDelivery::takeUndelivered()
{
    // The folder being handed on when the stop came, then those after it.
    QList<ResultBatch> folders {
            ResultBatch {currentDir, current ? current->take() : QList<TFileInfo>()}};
    current.reset();
    for (Item &item : items) {
        switch (item.kind) {
        case Item::Kind::Begin:
            folders.append(ResultBatch {item.dirName, {}});
            break;
        case Item::Kind::Hit:
            folders.last().namelist.append(item.hit);
            break;
        case Item::Kind::Job: {
            QList<QList<TFileInfo>> pieces;
            QByteArray text;
            item.job->take(pieces, text, false);
            for (const QList<TFileInfo> &piece : pieces)
                folders.last().namelist.append(piece);
            break;
        }
        case Item::Kind::End:
            break;
        }
    }
    items.clear();
    jobsPending = 0;
    QList<ResultBatch> found;
    for (const ResultBatch &folder : qAsConst(folders)) {
        if (!folder.namelist.isEmpty())
            found.append(folder);
    }
    return found;
}
