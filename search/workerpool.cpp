#include "workerpool.h"

WorkerPool::WorkerPool(int count)
{
    for (int i = 0; i < count; ++i)
        threads.emplace_back([this, i] { work(i); });
}

WorkerPool::~WorkerPool()
{
    finish();
}

void WorkerPool::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    wake.notify_all();
    for (std::thread &thread : threads) {
        if (thread.joinable())
            thread.join();
    }
}

void WorkerPool::submit(Job job)
{
    if (threads.empty()) {
        job(0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(job));
    }
    wake.notify_one();
}

void WorkerPool::work(int worker)
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;  // closing, and every job has been taken
            job = std::move(queue.front());
            queue.pop_front();
        }
        job(worker);
    }
}
