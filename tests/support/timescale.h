#ifndef TIMESCALE_H
#define TIMESCALE_H

// Sanitizer builds run the program several times slower (ThreadSanitizer ten
// times and more, starting a deep search even more), so time limits and waits
// that assume the speed of a normal build are multiplied by this factor there.
// Normal builds keep them exact.
#if defined(__SANITIZE_THREAD__)
constexpr int kTimeScale = 20;
#elif defined(VELTO_SANITIZED)
constexpr int kTimeScale = 5;
#else
constexpr int kTimeScale = 1;
#endif

#endif  // TIMESCALE_H
