#ifndef SPLITSET_H
#define SPLITSET_H

#include "archiveformat.h"

#include <QByteArray>
#include <QList>

class ArchiveFile;

// A ZIP or 7z archive cut into pieces of bytes (.zip.001, .zip.002, ...), as
// found beside its first piece.
struct SplitSet
{
    QList<QByteArray> pieces;  // names in the folder, from the first on while the next is there
    qint64 size = 0;           // the bytes of all of them together
    QByteArray missingPiece;   // the piece the archive goes on in that is not there; empty: none
};

// The set whose first piece `name` in the open folder is open as `first`.
// A piece is missing when the archive's own records say it goes on past the
// pieces there: a 7z's start header gives its whole length, a ZIP that
// begins with a member ends with its end record. An archive whose records
// say nothing sure (damaged, or not of its `format`) is taken as whole and
// left to its walk.
SplitSet splitSet(int folderFd, const QByteArray &name, const ArchiveFile &first,
                  ArchiveFormat format);

#endif  // SPLITSET_H
