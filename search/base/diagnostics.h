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

// Writes one message, printf-style, to the sink as a line of its own and
// flushes it, so the texts keep their order with other output of the
// process. A message carries no line feed: the sink ends it with one. Line
// feeds that do come are taken as line ends: each line is written once with
// one line feed, its trailing blanks cut, and lines that hold nothing are
// dropped, so a message never runs into what follows it.
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

// Writes collected diagnostics, whole lines, to the sink (nothing when empty).
void writeDiagnostics(const QByteArray &text);

#endif  // DIAGNOSTICS_H
