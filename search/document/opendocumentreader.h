#ifndef OPENDOCUMENTREADER_H
#define OPENDOCUMENTREADER_H

#include "documentproblem.h"
#include "xmlstream.h"

#include <memory>

class DocumentLines;
class ZipPackage;

// The text of an OpenDocument body (<office:body> of content.xml, or of a
// flat .fodt/.fods): in text documents a paragraph or heading is a line; in
// spreadsheets a row is a line of its cells' shown texts joined by a tab,
// the place its sheet; in presentations and drawings each page's text
// stands at its slide or page. Tracked deletions and note numbers are
// passed over.
class OpenDocumentBody
{
public:
    explicit OpenDocumentBody(DocumentLines &lines);
    ~OpenDocumentBody();

    // Takes one token of the XML; false when it cannot be read on.
    bool operator()(XmlStream &xml, QXmlStreamReader::TokenType token);

private:
    struct State;
    std::unique_ptr<State> state;
};

// Reads a zipped OpenDocument (.odt .ods .odp .odg).
DocumentProblem readOpenDocument(ZipPackage &zip, DocumentLines &lines);

// Reads a flat OpenDocument (.fodt .fods) from the descriptor.
DocumentProblem readFlatOpenDocument(int fd, DocumentLines &lines);

#endif  // OPENDOCUMENTREADER_H
