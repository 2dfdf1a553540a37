#ifndef OFFICEXMLREADERS_H
#define OFFICEXMLREADERS_H

#include "documentproblem.h"

class DocumentLines;
class ZipPackage;

// The text of a .docx: the body, then headers, footers, footnotes,
// endnotes and comments; no place.
DocumentProblem readWordXml(ZipPackage &zip, DocumentLines &lines);

// The rows of an .xlsx, sheet by sheet in the workbook's order: a row is a
// line of its cells joined by a tab (empty cells between kept), shared
// strings resolved, other values as stored; the place is the sheet.
DocumentProblem readSheetXml(ZipPackage &zip, DocumentLines &lines);

// The text of a .pptx, slide by slide in the presentation's order, each
// slide's notes after it; the place is the slide.
DocumentProblem readSlidesXml(ZipPackage &zip, DocumentLines &lines);

#endif  // OFFICEXMLREADERS_H
