#include "backgroundrelease.h"

BackgroundRelease::BackgroundRelease() : thread([this] { run(); }) { }

BackgroundRelease::~BackgroundRelease()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ending = true;
    }
    handed.notify_one();
    thread.join();
}

void BackgroundRelease::hand(std::unique_ptr<Item> item)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting.push_back(std::move(item));
    }
    handed.notify_one();
}

void BackgroundRelease::run()
{
    std::vector<std::unique_ptr<Item>> taken;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            handed.wait(lock, [this] { return ending || !waiting.empty(); });
            if (waiting.empty())
                return;  // ending, with nothing left
            taken.swap(waiting);
        }
        // Destroyed outside the lock: the GUI thread hands over meanwhile.
        taken.clear();
    }
}
