#ifndef COMPOUNDDOCUMENT_H
#define COMPOUNDDOCUMENT_H

#include "documentkind.h"
#include "documentproblem.h"

#include <QByteArray>

class DocumentLines;
struct _GsfInput;

// One stream of a compound file (the container of the Office 97 formats),
// read through libgsf at any offset.
class CompoundStream
{
public:
    explicit CompoundStream(_GsfInput *input) : input(input) { }

    qint64 size() const;
    // Copies `n` bytes at `offset` to `target`; false when the stream has
    // not that many.
    bool readAt(qint64 offset, char *target, qint64 n);

private:
    _GsfInput *input;
};

// Reads the Word (.doc .wps), Excel (.xls .et) or PowerPoint (.ppt .dps)
// document of `kind` in the compound file at `fd`; an OOXML document that
// Office encrypted (a compound file with an EncryptedPackage) is reported
// as encrypted.
DocumentProblem readCompoundDocument(int fd, DocumentKind kind, DocumentLines &lines);

// The readers of the three formats, given the file's streams by name
// (null when absent).
class CompoundStreams
{
public:
    virtual ~CompoundStreams() = default;
    virtual CompoundStream *stream(const char *name) = 0;
};
DocumentProblem readWord97(CompoundStreams &streams, DocumentLines &lines);
DocumentProblem readExcel97(CompoundStreams &streams, DocumentLines &lines);
DocumentProblem readPowerPoint97(CompoundStreams &streams, DocumentLines &lines);

// Little-endian numbers in a record.
inline quint16 le16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
inline quint32 le32(const char *p)
{
    return quint32(le16(p)) | quint32(le16(p + 2)) << 16;
}

#endif  // COMPOUNDDOCUMENT_H
