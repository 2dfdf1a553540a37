#include "readerprocesspool.h"

#include "jobchannel.h"
#include "readerprocess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>

namespace {

// How often a running job's limits and the stop are looked at.
constexpr int kTickMs = 20;

// A job that finds every process busy waits for one to come free before it
// starts another: while one is starting (loading its libraries and entering
// the sandbox, which takes long on a loaded machine), up to kWaitForStart;
// then for those running jobs, up to about what a start costs on an idle
// machine. A short job behind another then costs no process of its own.
// The stop is looked at in between.
constexpr std::chrono::milliseconds kWaitForStart {2000};
constexpr std::chrono::milliseconds kWaitForBusy {40};
constexpr std::chrono::milliseconds kWaitStep {5};

// Why a reader process went.
enum class Failure { Memory, Time, Clock, Forbidden, Died };

QByteArray sizeText(qint64 bytes)
{
    constexpr qint64 kMiB = qint64(1) << 20;
    if (bytes >= 1024 * kMiB && bytes % (1024 * kMiB) == 0)
        return QByteArray::number(bytes / (1024 * kMiB)) + " GiB";
    return QByteArray::number((bytes + kMiB - 1) / kMiB) + " MiB";
}

QByteArray durationText(std::chrono::milliseconds time)
{
    const qint64 seconds = (time.count() + 999) / 1000;
    if (seconds >= 60 && seconds % 60 == 0)
        return QByteArray::number(seconds / 60) + " min";
    return QByteArray::number(seconds) + " s";
}

QByteArray failureLine(const QByteArray &displayPath, Failure failure, int status,
                       const ReaderLimits &limits)
{
    QByteArray why;
    switch (failure) {
    case Failure::Memory:
        why = "used more than " + sizeText(limits.memoryBytes);
        break;
    case Failure::Time:
        why = "took more than " + durationText(limits.processorTime) + " of processor time";
        break;
    case Failure::Clock:
        why = "ran for more than " + durationText(limits.runningTime);
        break;
    case Failure::Forbidden:
        why = "tried to write a file, open a connection or start a program";
        break;
    case Failure::Died:
        if (WIFSIGNALED(status)) {
            const char *name = sigabbrev_np(WTERMSIG(status));
            why = "crashed ("
                    + (name ? "SIG" + QByteArray(name) : QByteArray::number(WTERMSIG(status)))
                    + ')';
        } else {
            why = "ended with status " + QByteArray::number(WEXITSTATUS(status));
        }
        break;
    }
    return displayPath + " stopped: the reader " + why + '\n';
}

Failure failureOf(int status, bool saidOutOfMemory)
{
    if (saidOutOfMemory)
        return Failure::Memory;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS)
        return Failure::Forbidden;  // the system-call filter ended it
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        return Failure::Time;
    return Failure::Died;
}

}  // namespace

ReaderProcessPool::ReaderProcessPool(const QString &program, const ReaderLimits &limits)
    : program(program), limits(limits)
{
}

ReaderProcessPool::~ReaderProcessPool() = default;

std::unique_ptr<ReaderProcess> ReaderProcessPool::takeIdle()
{
    while (!idle.empty()) {
        std::unique_ptr<ReaderProcess> process = std::move(idle.back());
        idle.pop_back();
        if (process->isIdleAndAlive())
            return process;  // else gone while it waited: the next, or a fresh one
    }
    return nullptr;
}

std::unique_ptr<ReaderProcess> ReaderProcessPool::acquire(QString *error,
                                                          const std::atomic_bool *cancel)
{
    using Clock = std::chrono::steady_clock;
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    std::unique_ptr<ReaderProcess> process;
    {
        std::unique_lock<std::mutex> lock(mutex);
        const Clock::time_point begun = Clock::now();
        Clock::time_point busySince = Clock::time_point::max();
        for (process = takeIdle(); !process && !cancelled(); process = takeIdle()) {
            const Clock::time_point now = Clock::now();
            if (spawning > 0 || !starting.empty()) {
                if (now - begun > kWaitForStart)
                    break;
            } else if (busy.empty()) {
                break;
            } else {
                busySince = std::min(busySince, now);
                if (now - busySince > kWaitForBusy)
                    break;
            }
            released.wait_for(lock, kWaitStep);
        }
        if (!process && cancelled())
            return nullptr;
        if (!process)
            ++spawning;
    }
    const bool fresh = !process;
    if (fresh)
        process = ReaderProcess::start(program, limits, error);
    std::lock_guard<std::mutex> lock(mutex);
    if (fresh)
        --spawning;
    if (process) {
        busy.push_back(process->pid());
        if (fresh)
            starting.push_back(process->pid());
    }
    return process;
}

void ReaderProcessPool::answered(const ReaderProcess &process)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto at = std::find(starting.begin(), starting.end(), process.pid());
        if (at == starting.end())
            return;
        starting.erase(at);
    }
    released.notify_all();
}

void ReaderProcessPool::forget(const ReaderProcess &process)
{
    answered(process);
    std::lock_guard<std::mutex> lock(mutex);
    busy.erase(std::remove(busy.begin(), busy.end(), process.pid()), busy.end());
}

void ReaderProcessPool::release(std::unique_ptr<ReaderProcess> process)
{
    forget(*process);
    {
        std::lock_guard<std::mutex> lock(mutex);
        idle.push_back(std::move(process));
    }
    released.notify_one();
}

std::vector<pid_t> ReaderProcessPool::processIds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<pid_t> ids = busy;
    for (const std::unique_ptr<ReaderProcess> &process : idle)
        ids.push_back(process->pid());
    return ids;
}

std::vector<pid_t> ReaderProcessPool::startingProcessIds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return starting;
}

ReaderProcessPool::JobEnd ReaderProcessPool::run(const ReaderJob &job, ReaderJobOutput &output,
                                                 const std::atomic_bool *cancel)
{
    QString error;
    std::unique_ptr<ReaderProcess> process = acquire(&error, cancel);
    if (!process && cancel && cancel->load(std::memory_order_relaxed))
        return JobEnd::Abandoned;
    if (!process) {
        output.diagnostics += job.displayPath + " not searched: the reader could not be started ("
                + error.toLocal8Bit() + ")\n";
        return JobEnd::Failed;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    Clock::time_point nextLook = started;
    const std::chrono::nanoseconds startTime = process->processorTime();
    const qint64 startMemory = process->residentBytes();
    bool outOfMemory = false;
    Failure over = Failure::Died;  // or the limit the job went past
    const auto fail = [&] {
        process->kill();
        const int status = process->reap();
        forget(*process);
        const Failure failure = over != Failure::Died ? over : failureOf(status, outOfMemory);
        output.diagnostics += failureLine(job.displayPath, failure, status, limits);
        return JobEnd::Failed;
    };
    // The limits are looked at every tick, also while messages keep coming:
    // a reader that loops sending hits is stopped like one that loops silent.
    // The kernel holds the address space; what a reader holds beyond its
    // budget without asking for more (a sanitizer build's allocator) is
    // stopped here.
    const auto overALimit = [&] {
        const Clock::time_point now = Clock::now();
        if (now < nextLook)
            return false;
        nextLook = now + std::chrono::milliseconds(kTickMs);
        if (process->processorTime() - startTime > limits.processorTime)
            over = Failure::Time;
        else if (now - started > limits.runningTime)
            over = Failure::Clock;
        else if (process->residentBytes() - startMemory > limits.memoryBytes)
            over = Failure::Memory;
        return over != Failure::Died;
    };

    const JobChannel &channel = process->channel();
    if (!channel.send(MessageKind::Job, encodeJob(job), job.folderFd))
        return fail();
    ChannelMessage message;
    bool heard = false;  // from the process in this job
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            process->kill();
            process->reap();
            forget(*process);
            return JobEnd::Abandoned;
        }
        pollfd ready {channel.fd(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, kTickMs);
        if (polled < 0 && errno != EINTR)
            return fail();
        if (overALimit())
            return fail();
        if (polled <= 0)
            continue;
        if (!channel.receive(message))
            return fail();
        if (!heard) {
            heard = true;
            answered(*process);
        }
        switch (message.kind) {
        case MessageKind::Hits: {
            QList<TFileInfo> hits;
            if (!decodeHits(message.payload, hits))
                return fail();
            for (TFileInfo &hit : hits)
                output.hits.append(std::move(hit));
            break;
        }
        case MessageKind::Diagnostics:
            output.diagnostics += message.payload;
            break;
        case MessageKind::Unreadable:
            if (output.unreadableFiles)
                output.unreadableFiles->fetch_add(
                        quint64(std::max<qint64>(0, decodeCount(message.payload))),
                        std::memory_order_relaxed);
            break;
        case MessageKind::OutOfMemory:
            outOfMemory = true;
            break;
        case MessageKind::Taken:
            break;  // heard: the process no longer counts as starting
        case MessageKind::Done:
            release(std::move(process));
            return JobEnd::Done;
        case MessageKind::Job:
        default:
            return fail();  // a reader sends no jobs, nor anything unknown
        }
    }
}
