#ifndef UTF8LINES_H
#define UTF8LINES_H

#include "bytesearch.h"
#include "textstreamlines.h"

#include <QString>

#include <vector>

// The longest part of `text` whose UTF-8 bytes (ASCII letters in either case
// when `cs` ignores case) every line that contains `text` must hold: the
// characters that decode from exactly one byte form up to ASCII case. Empty
// when no character of the text qualifies.
ByteNeedle utf8AnchorFor(const QString &text, Qt::CaseSensitivity cs);

// Reports the lines of UTF-8 data that match `query`, with the same line
// numbers and texts as searchTextStreamLines with the UTF-8 codec, but finds
// them by searching `anchor` in the raw bytes and looks only at the lines
// that hold it (at every line when the anchor is empty or every line is
// reported). An expression matches a line's bytes; only the lines reported
// are decoded. `work` is the caller's buffer, kept across files. Lines
// longer than the buffer go through `longLines`, whose head length also
// bounds the text reported of every other line.
void searchUtf8Lines(ByteSource &source, const TextQuery &query, const ByteNeedle &anchor,
                     std::vector<char> &work, LineMatcher &longLines,
                     const std::atomic_bool *cancel, const LineReport &report);

#endif  // UTF8LINES_H
