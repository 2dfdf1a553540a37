#ifndef DIAGNOSTICS_H
#define DIAGNOSTICS_H

#include <QByteArray>

#include <cstdio>

// The one sink for the engine's diagnostic texts (archive errors). Standard
// output unless redirected; a front end whose standard output carries results
// switches it to standard error.
void setDiagnosticStream(FILE *stream);

// The stream diagnostics currently go to; never null.
FILE *diagnosticStream();

// Writes a printf-style text to the sink and flushes it, so the texts keep
// their order with other output of the process.
void diagnostic(const char *format, ...)
#if defined(__GNUC__) || defined(__clang__)
        __attribute__((format(printf, 1, 2)))
#endif
        ;

// While it lives, the diagnostics of the calling thread go into `buffer`
// instead of the sink: a worker's job collects them so that they are written
// in the order of the jobs, not in the order the workers happen to finish.
class DiagnosticsCapture
{
public:
    explicit DiagnosticsCapture(QByteArray &buffer);
    ~DiagnosticsCapture();
    DiagnosticsCapture(const DiagnosticsCapture &) = delete;
    DiagnosticsCapture &operator=(const DiagnosticsCapture &) = delete;

private:
    QByteArray *previous;
};

// Writes collected diagnostics to the sink (nothing when empty).
void writeDiagnostics(const QByteArray &text);

#endif  // DIAGNOSTICS_H
