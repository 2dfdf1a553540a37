#ifndef ARCHIVEWALKERS_H
#define ARCHIVEWALKERS_H

#include "archiveformat.h"
#include "archivescope.h"
#include "bytesource.h"

class ArchiveFile;

// Walks the archive of `format` open at `file`.
void walkArchiveFile(ArchiveFormat format, const ArchiveFile &file, const ArchiveScope &scope);

// Walks the archive of a format read front to back (tar, cpio, a compressed
// file) whose bytes `read` pulls.
void walkArchiveStream(ArchiveFormat format, const ByteSource::Reader &read,
                       const ArchiveScope &scope);

#endif  // ARCHIVEWALKERS_H
