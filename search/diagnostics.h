#ifndef DIAGNOSTICS_H
#define DIAGNOSTICS_H

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

#endif // DIAGNOSTICS_H
