#ifndef EPUBREADER_H
#define EPUBREADER_H

#include "documentproblem.h"

class DocumentLines;
class ZipPackage;

// The text of an EPUB's content documents in spine order: a block of XHTML
// (paragraph, heading, list item, table cell, ...) is a line, <br/> breaks
// one, white space is folded as a browser folds it except in <pre>; heads,
// scripts and styles are passed over. No place.
DocumentProblem readEpub(ZipPackage &zip, DocumentLines &lines);

#endif  // EPUBREADER_H
