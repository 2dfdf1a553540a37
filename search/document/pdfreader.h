#ifndef PDFREADER_H
#define PDFREADER_H

#include "documentproblem.h"

class DocumentLines;

// The text of a PDF through Poppler, page by page in reading order; the
// place is the page. A word hyphenated at the end of a line is joined with
// its rest on the next line (one line then holds both). A stop is seen
// between pages and between lines.
DocumentProblem readPdf(int fd, DocumentLines &lines);

#endif  // PDFREADER_H
