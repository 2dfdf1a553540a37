#ifndef DOCUMENTKIND_H
#define DOCUMENTKIND_H

#include <QByteArray>
#include <QString>

// The document formats whose text the readers give.
enum class DocumentKind {
    None,              // not a document: its bytes are searched as they are
    Pdf,               // .pdf
    WordXml,           // .docx .docm .dotx
    SheetXml,          // .xlsx .xlsm
    SlidesXml,         // .pptx .ppsx
    OpenDocument,      // .odt .ods .odp .odg
    FlatOpenDocument,  // .fodt .fods
    Epub,              // .epub
    Rtf,               // .rtf
    Word97,            // .doc .wps
    Excel97,           // .xls .et
    PowerPoint97,      // .ppt .dps
};

// The kind a file's name promises, by its suffix ignoring case.
DocumentKind documentKindForName(const QString &name);

// The kind of a document named `name` whose first bytes are `head` (at
// least the first 1,024 when the file has them): None when the content is
// not what the name promises. A Word, Excel or PowerPoint name takes the
// container the content is in (an OOXML file saved as .doc is read as
// OOXML, an encrypted .docx as a compound file), and an RTF file saved as
// .doc is read as RTF.
DocumentKind documentKindForContent(const QString &name, const QByteArray &head);

// documentKindForContent with the first bytes read from `fd` (at offset 0,
// the file position untouched); None when they cannot be read.
DocumentKind documentKindOf(const QString &name, int fd);

#endif  // DOCUMENTKIND_H
