#ifndef ZIPDIRECTORY_H
#define ZIPDIRECTORY_H

#include "zipentry.h"

#include <QtGlobal>

#include <vector>

// Reads the central directory of the ZIP archive open at `fd` (`size` bytes
// long) with this program's own parser, which reads at most the last 64 KiB
// and the directory itself (at most 64 MiB) and expands nothing: one entry
// per member, in the directory's order. True only for a plain archive: one
// end record at its end whose comment runs to the end of the file, at least
// one entry (the walk calls an empty archive damaged), no ZIP64
// record nor ZIP64 mark, no bytes before the first member, and a directory
// that holds exactly the entries the end record counts. False for anything
// else, which is left to the archive walk and its diagnostics.
bool readPlainZipDirectory(int fd, qint64 size, std::vector<ZipEntry> *entries);

#endif  // ZIPDIRECTORY_H
