#ifndef THREADHANDOVER_H
#define THREADHANDOVER_H

// ThreadSanitizer sees only instrumented code, and Qt is not instrumented: the
// order that QThread::wait(), finished() and queued signals set between the
// search thread and its owner passes through Qt's futex-based mutex and event
// queue, where it cannot see it. The search thread marks each hand-over with
// handOver(thread), the receiving side marks taking it with takeOver(thread),
// and ThreadSanitizer sees the order. In other builds both are empty.

#if defined(__SANITIZE_THREAD__)
#define VELTO_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELTO_TSAN 1
#endif
#endif

#ifdef VELTO_TSAN
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);

inline void handOver(const void *thread)
{
    __tsan_release(const_cast<void *>(thread));
}

inline void takeOver(const void *thread)
{
    __tsan_acquire(const_cast<void *>(thread));
}
#else
inline void handOver(const void *) { }
inline void takeOver(const void *) { }
#endif

#endif  // THREADHANDOVER_H
