#ifndef RARWALKER_H
#define RARWALKER_H

#include "archivescope.h"

#include <QByteArray>

class ArchiveFile;

// Walks the RAR 4 or RAR 5 archive `name` of the open folder (the whole set
// when it is the first volume of one, opening each volume relative to the
// folder): each member goes to visitMember, its data streamed from the
// decompressor. Errors are written to the diagnostics sink; an error while
// reading or skipping a member ends the walk after the hits found up to it.
void searchRarArchiveAt(int folderFd, const QByteArray &name, const ArchiveScope &scope);

// The same for a RAR archive open at `file` that has no volumes beside it.
void walkRarArchive(const ArchiveFile &file, const ArchiveScope &scope);

#endif  // RARWALKER_H
