#ifndef READERPROCESSPOOL_H
#define READERPROCESSPOOL_H

#include "hitsink.h"
#include "readerjob.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <vector>

class ReaderProcess;

// Where the outcome of a job run in a reader process goes.
struct ReaderJobOutput
{
    HitSink &hits;            // the job's hits, in order, as they come
    QByteArray &diagnostics;  // its diagnostic lines, and the line of a reader that failed
    std::atomic<quint64> *unreadableFiles = nullptr;  // counted up; may be null
};

// Reader processes for the jobs that parse formats from outside, so that a
// reader's crash, hang or runaway memory costs one job, never the search.
// A process is started when a job first needs one and kept between jobs and
// searches; any number of threads may run jobs at once, each in a process of
// its own. A job that finds every process busy waits a little, about what a
// start costs, for one to come free before it starts another: a short job
// behind another costs no second process. A process that fails is replaced
// by a fresh one for the next job.
class ReaderProcessPool
{
public:
    explicit ReaderProcessPool(const QString &program, const ReaderLimits &limits = {});
    // Ends every process; no job may run then.
    ~ReaderProcessPool();
    ReaderProcessPool(const ReaderProcessPool &) = delete;
    ReaderProcessPool &operator=(const ReaderProcessPool &) = delete;

    enum class JobEnd {
        Done,       // the reader answered the whole job
        Failed,     // the reader died or went past a limit: one diagnostic line says so
        Abandoned,  // stopped: the job's process was killed, nothing more was taken
    };

    // Runs `job` in a reader process and hands what it finds to `output` as
    // it comes; waits for the end, or for `cancel` (checked every few
    // milliseconds), and returns how the job ended. Hits handed on before a
    // failure stay handed on.
    JobEnd run(const ReaderJob &job, ReaderJobOutput &output, const std::atomic_bool *cancel);

    // The processes now kept, busy or idle (tests).
    std::vector<pid_t> processIds() const;
    // Those of them still starting: spawned, and silent since (tests).
    std::vector<pid_t> startingProcessIds() const;

private:
    std::unique_ptr<ReaderProcess> acquire(QString *error, const std::atomic_bool *cancel);
    std::unique_ptr<ReaderProcess> takeIdle();  // with mutex held
    void release(std::unique_ptr<ReaderProcess> process);
    void forget(const ReaderProcess &process);
    // The process has sent its first message: it no longer counts as starting.
    void answered(const ReaderProcess &process);

    const QString program;
    const ReaderLimits limits;
    mutable std::mutex mutex;
    std::condition_variable released;  // a process became idle, or answered its first job
    std::vector<std::unique_ptr<ReaderProcess>> idle;  // guarded by mutex
    std::vector<pid_t> busy;                           // guarded by mutex
    int spawning = 0;                                  // being spawned; guarded by mutex
    std::vector<pid_t> starting;  // spawned, not yet answered; guarded by mutex
};

#endif  // READERPROCESSPOOL_H
