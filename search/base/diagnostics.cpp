#include "diagnostics.h"

#include <QList>

#include <atomic>
#include <cstdarg>

namespace {

// Null means standard output; kept atomic because the search thread writes
// while the front end may have set the stream from another thread earlier.
std::atomic<FILE *> sink {nullptr};

thread_local QByteArray *captured = nullptr;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// `message` as whole lines, each ending with one line feed; see diagnostic().
QByteArray asLines(const QByteArray &message)
{
    QByteArray lines;
    for (const QByteArray &line : message.split('\n')) {
        int end = line.size();
        while (end > 0 && isBlank(line.at(end - 1)))
            --end;
        if (end > 0)
            lines += line.left(end) + '\n';
    }
    return lines;
}

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
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    QByteArray message;
    if (length > 0) {
        message.resize(length + 1);
        std::vsnprintf(message.data(), size_t(length) + 1, format, args);
        message.chop(1);  // the terminating zero
    }
    va_end(args);

    const QByteArray lines = asLines(message);
    if (captured)
        captured->append(lines);
    else
        writeDiagnostics(lines);
}
