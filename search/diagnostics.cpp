#include "diagnostics.h"

#include <atomic>
#include <cstdarg>

namespace {

// Null means standard output; kept atomic because the search thread writes
// while the front end may have set the stream from another thread earlier.
std::atomic<FILE *> sink{nullptr};

} // namespace

void setDiagnosticStream(FILE *stream)
{
    sink.store(stream, std::memory_order_release);
}

FILE *diagnosticStream()
{
    FILE *stream = sink.load(std::memory_order_acquire);
    return stream ? stream : stdout;
}

void diagnostic(const char *format, ...)
{
    FILE *stream = diagnosticStream();
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fflush(stream);
}
