#ifndef TIMESCALE_H
#define TIMESCALE_H

// Sanitizer builds run the program several times slower (ThreadSanitizer up to
// ten times), so time limits and waits that assume the speed of a normal
// build are multiplied by this factor there. Normal builds keep them exact.
#ifdef VELTO_SANITIZED
constexpr int kTimeScale = 5;
#else
constexpr int kTimeScale = 1;
#endif

#endif // TIMESCALE_H
