#ifndef ZIPWALKER_H
#define ZIPWALKER_H

#include "archivescope.h"

class ArchiveFile;

// Walks the ZIP archive open at `file` from its first central directory
// entry: each member goes to visitMember, directory entries without data.
// Members whose data overlaps another member's are diagnosed once per archive
// and never expanded again. False when the file is no ZIP archive.
bool walkZipArchive(const ArchiveFile &file, const ArchiveScope &scope);

#endif  // ZIPWALKER_H
