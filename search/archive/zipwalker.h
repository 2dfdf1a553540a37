#ifndef ZIPWALKER_H
#define ZIPWALKER_H

#include "archivescope.h"

#include <QByteArray>

class ArchiveFile;

// Opens the ZIP archive `name` of the open folder (or, failing that,
// `name` with ".zip" appended) and walks it; writes "Cannot open %s or
// %s.zip" with the scope's display path when neither opens.
void searchZipArchiveAt(int folderFd, const QByteArray &name, const ArchiveScope &scope);

// Walks the ZIP archive open at `file` from its first central directory
// entry: each member goes to visitMember, directory entries without data.
// Members whose data overlaps another member's are diagnosed once per archive
// and never expanded again. False when the file is no ZIP archive.
bool walkZipArchive(const ArchiveFile &file, const ArchiveScope &scope);

#endif  // ZIPWALKER_H
