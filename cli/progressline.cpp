#include "progressline.h"

#include <unistd.h>

namespace {

// Carriage return, then erase to the end of the line.
const char clearSequence[] = "\r\033[K";

}  // namespace

ProgressLine::ProgressLine(int fd) : fd(fd)
{
    cookie_io_functions_t functions = {};
    functions.write = &ProgressLine::writeDiagnostic;
    diagnosticFile = fopencookie(this, "w", functions);
}

ProgressLine::~ProgressLine()
{
    if (diagnosticFile)
        std::fclose(diagnosticFile);
    clear();
}

void ProgressLine::show(const QString &text)
{
    const QByteArray line = clearSequence + text.toLocal8Bit();
    const std::lock_guard<std::mutex> lock(mutex);
    if (midLine) {
        write("\n", 1);
        midLine = false;
    }
    write(line.constData(), size_t(line.size()));
    shown = true;
}

void ProgressLine::clear()
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (shown)
        write(clearSequence, sizeof clearSequence - 1);
    if (midLine)
        write("\n", 1);
    shown = midLine = false;
}

ssize_t ProgressLine::writeDiagnostic(void *self, const char *data, size_t size)
{
    ProgressLine *const line = static_cast<ProgressLine *>(self);
    const std::lock_guard<std::mutex> lock(line->mutex);
    if (line->shown) {
        line->write(clearSequence, sizeof clearSequence - 1);
        line->shown = false;
    }
    line->write(data, size);
    if (size > 0)
        line->midLine = data[size - 1] != '\n';
    return ssize_t(size);
}

void ProgressLine::write(const char *data, size_t size)
{
    // A lost status line is harmless; a terminal takes these few bytes at once.
    [[maybe_unused]] const ssize_t ignored = ::write(fd, data, size);
}
