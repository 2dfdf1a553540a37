#ifndef WORKERPOOL_H
#define WORKERPOOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs jobs on a fixed number of threads, each job once, in the order they
// were given: a job starts only after every job given before it has started.
// The ordered delivery relies on that: the job at the head of the delivery is
// always running or done, never waiting behind a later one. With no threads
// each job runs at once, in the caller's thread, as a plain call.
class WorkerPool
{
public:
    // The job is told which worker runs it (0 .. max(1, threads) - 1), so it
    // can use state of that worker's own.
    using Job = std::function<void(int worker)>;

    explicit WorkerPool(int threads);
    // Waits until every given job has run, then ends the threads.
    ~WorkerPool();
    // The same, earlier; no job may be given after it.
    void finish();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void submit(Job job);
    int threadCount() const { return int(threads.size()); }
    // The number of workers a job may be given: at least one.
    int workerCount() const { return threads.empty() ? 1 : int(threads.size()); }

private:
    void work(int worker);

    std::mutex mutex;
    std::condition_variable wake;  // a job was given, or the pool closes
    std::deque<Job> queue;         // guarded by mutex
    bool closing = false;          // guarded by mutex
    std::vector<std::thread> threads;
};

#endif  // WORKERPOOL_H
