#ifndef JOBOUTPUT_H
#define JOBOUTPUT_H

#include "hitsink.h"
#include "tfileinfo.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <mutex>

// What one job (a file or an archive searched by a worker) found: its hits in
// pieces and its diagnostics, taken by the delivery in the order of the jobs.
// A job holds at most kHeldHits hits not yet taken and then waits, so memory
// stays bounded however many hits a file has and however slowly they are
// printed. The delivery takes from the job at its head, so that one always
// goes on; the others go on once they are at the head.
class JobOutput
{
public:
    static constexpr int kHeldHits = 2000;

    explicit JobOutput(const std::atomic_bool *cancel) : cancel(cancel) { }

    // Worker side. The sink hands the job's hits over in pieces.
    HitSink &sink() { return hits; }
    // The job's diagnostic texts, written when the job is delivered.
    QByteArray &diagnostics() { return diagnosticText; }
    // Hands over what the sink keeps and marks the job done.
    void finish();

    // Delivery side. Moves the pieces found so far to `pieces` and the
    // diagnostics to `text`; with `wait`, waits (in short steps, ending on a
    // stop) until there is something or the job is done. True once the job
    // is done and everything has been taken.
    bool take(QList<QList<TFileInfo>> &pieces, QByteArray &text, bool wait);

private:
    bool push(const QList<TFileInfo> &piece);
    bool cancelled() const { return cancel->load(std::memory_order_relaxed); }

    const std::atomic_bool *const cancel;
    HitSink hits {500, [this](const QList<TFileInfo> &piece) { return push(piece); }};
    QByteArray diagnosticText;  // written by the worker only, taken once done

    std::mutex mutex;
    std::condition_variable changed;
    QList<QList<TFileInfo>> pieces;  // guarded by mutex
    int heldHits = 0;                // guarded by mutex
    bool done = false;               // guarded by mutex
};

#endif  // JOBOUTPUT_H
