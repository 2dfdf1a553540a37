#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include "contentmatcher.h"
#include "membersearch.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Writes one fuzzer input to a file named `fileName` in a private folder and
// returns its 8-bit path; diagnostics go to /dev/null.
QByteArray writeFuzzInput(const uint8_t *data, size_t size, const char *fileName);

// A matcher for `text` (a name search when it is empty).
ContentMatcher fuzzMatcher(const QString &text);

// An archive search that wants every member: a name search, or a content
// search for "a".
const MemberSearch &fuzzArchiveSearch(bool content);

#endif  // FUZZINPUT_H
