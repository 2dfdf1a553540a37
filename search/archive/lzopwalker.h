#ifndef LZOPWALKER_H
#define LZOPWALKER_H

#include "archiveformat.h"
#include "archivescope.h"
#include "bytesource.h"

#include <QString>

// True for the names whose bytes are lzop's (.lzo, .tar.lzo, .tzo): they are
// decoded here, as libarchive would start the lzop program for them.
bool isLzopName(const QString &name);

// An lzop file whose bytes `compressed` pulls: one compressed file
// (`format` Compressed), whose member is named after it, or a tar inside it.
// A file that is not lzop's, damaged blocks and wrong checksums are reported
// once, after what was decoded before them has been searched.
void walkLzop(ArchiveFormat format, const ByteSource::Reader &compressed,
              const ArchiveScope &scope);

#endif  // LZOPWALKER_H
