#ifndef PARAGRAPHTEXT_H
#define PARAGRAPHTEXT_H

#include "xmlstream.h"

class DocumentLines;
class PackageParts;

// The text of WordprocessingML and DrawingML (the body of .docx and the
// shapes of .pptx) as lines: a paragraph (<p>) is a line, its runs' <t>
// texts joined whatever runs split them, <tab/> a tab, <br/> a new line; a
// paragraph inside another (a text box) is a line of its own. Properties,
// deleted text, field codes and the fallback copies of drawings are passed
// over.
class ParagraphText
{
public:
    explicit ParagraphText(DocumentLines &lines) : lines(lines) { }

    // Takes one token of a part; false when the part cannot be read on.
    bool operator()(XmlStream &xml, QXmlStreamReader::TokenType token);

private:
    DocumentLines &lines;
    bool inText = false;  // inside a <t>
    int runDepth = 0;     // open <r> elements
};

// Reads the part `name` of `parts` as paragraphs into `lines` and ends its
// last line; false at a stop or a problem, which `parts` keeps.
bool readParagraphPart(PackageParts &parts, const QByteArray &name, DocumentLines &lines);

#endif  // PARAGRAPHTEXT_H
