#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include "contentmatcher.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Writes one fuzzer input to a file named `fileName` in a private folder and
// returns its 8-bit path; diagnostics go to /dev/null.
QByteArray writeFuzzInput(const uint8_t *data, size_t size, const char *fileName);

// A matcher that takes every member (name search when `text` is empty).
ContentMatcher fuzzMatcher(const QString &text);

#endif  // FUZZINPUT_H
