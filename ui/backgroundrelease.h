#ifndef BACKGROUNDRELEASE_H
#define BACKGROUNDRELEASE_H

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

// Destroys, on a thread of its own, what the GUI thread is done with but
// did not allocate. glibc frees a block under the lock of the arena it came
// from; a search's hits come from the search's threads, which take those
// locks for every hit they make, so the GUI thread freeing a million hits
// waited on them tens of thousands of times, for most of a second in all.
// Whatever is handed over is destroyed in the order handed, and all of it
// before this object is gone.
class BackgroundRelease
{
public:
    BackgroundRelease();
    ~BackgroundRelease();
    BackgroundRelease(const BackgroundRelease &) = delete;
    BackgroundRelease &operator=(const BackgroundRelease &) = delete;

    // Takes `value` over; it is destroyed on the release thread.
    template<typename T> void release(T &&value)
    {
        hand(std::make_unique<Held<std::decay_t<T>>>(std::forward<T>(value)));
    }

private:
    struct Item
    {
        virtual ~Item() = default;
    };
    template<typename T> struct Held : Item
    {
        explicit Held(T &&taken) : value(std::move(taken)) { }
        T value;
    };

    void hand(std::unique_ptr<Item> item);
    void run();

    std::mutex mutex;
    std::condition_variable handed;
    std::vector<std::unique_ptr<Item>> waiting;  // guarded by mutex
    bool ending = false;                         // guarded by mutex
    std::thread thread;                          // last: starts once the rest exists
};

#endif  // BACKGROUNDRELEASE_H
