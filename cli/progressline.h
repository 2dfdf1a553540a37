#ifndef PROGRESSLINE_H
#define PROGRESSLINE_H

#include <QString>

#include <cstdio>
#include <mutex>

// One status line on a terminal, redrawn in place and cleared at the end.
// Diagnostics of the search thread go to the same terminal through
// diagnostics(), which takes the status line away before the text and keeps
// the next status line off a text that did not end its line.
class ProgressLine
{
public:
    explicit ProgressLine(int fd);
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void show(const QString &text);
    void clear();

    // A stream for diagnostic texts, usable from any thread while this
    // object lives; null when the C library cannot make one.
    FILE *diagnostics() const { return diagnosticFile; }

private:
    static ssize_t writeDiagnostic(void *self, const char *data, size_t size);
    void write(const char *data, size_t size);

    const int fd;
    std::mutex mutex;      // orders status lines against diagnostics
    bool shown = false;    // guarded by mutex
    bool midLine = false;  // guarded by mutex: a diagnostic left the cursor mid-line
    FILE *diagnosticFile = nullptr;
};

#endif  // PROGRESSLINE_H
