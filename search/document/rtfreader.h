#ifndef RTFREADER_H
#define RTFREADER_H

#include "documentproblem.h"

class DocumentLines;

// The text of an RTF file read from the descriptor in pieces: \par, \line,
// \cell and \row end lines, \tab is a tab; \uN gives a UTF-16 unit and
// skips its \ucN fallback characters; \'hh bytes and 8-bit text are decoded
// in the code page of the current font's \fcharset, else of \ansicpg (936
// for Chinese). Font, colour and style tables, pictures, field
// instructions and every \* destination unknown to the reader are passed
// over. No place.
DocumentProblem readRtf(int fd, DocumentLines &lines);

#endif  // RTFREADER_H
