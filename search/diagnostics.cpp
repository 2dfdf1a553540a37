#include "diagnostics.h"

#include <atomic>
#include <cstdarg>

namespace {

// Null means standard output; kept atomic because the search thread writes
// while the front end may have set the stream from another thread earlier.
std::atomic<FILE *> sink {nullptr};

thread_local QByteArray *captured = nullptr;

}  // namespace

DiagnosticsCapture::DiagnosticsCapture(QByteArray &buffer) : previous(captured)
{
    captured = &buffer;
}

DiagnosticsCapture::~DiagnosticsCapture()
{
    captured = previous;
}

void writeDiagnostics(const QByteArray &text)
{
    if (text.isEmpty())
        return;
    FILE *stream = diagnosticStream();
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
}

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
    va_list args;
    va_start(args, format);
    if (captured) {
        va_list measure;
        va_copy(measure, args);
        const int length = std::vsnprintf(nullptr, 0, format, measure);
        va_end(measure);
        if (length > 0) {
            const int at = captured->size();
            captured->resize(at + length + 1);
            std::vsnprintf(captured->data() + at, size_t(length) + 1, format, args);
            captured->chop(1);  // the terminating zero
        }
    } else {
        FILE *stream = diagnosticStream();
        std::vfprintf(stream, format, args);
        std::fflush(stream);
    }
    va_end(args);
}
