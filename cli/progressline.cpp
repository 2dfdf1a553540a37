#include "progressline.h"

#include <unistd.h>

namespace {

// Carriage return, then erase to the end of the line.
const char clearSequence[] = "\r\033[K";

} // namespace

ProgressLine::ProgressLine(int fd) : fd(fd) {}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::show(const QString &text)
{
    write(QByteArray(clearSequence) + text.toLocal8Bit());
    shown = true;
}

void ProgressLine::clear()
{
    if (!shown)
        return;
    write(clearSequence);
    shown = false;
}

void ProgressLine::write(const QByteArray &bytes)
{
    // A lost status line is harmless; a terminal takes these few bytes at once.
    [[maybe_unused]] const ssize_t ignored = ::write(fd, bytes.constData(), size_t(bytes.size()));
}
