#ifndef LIBARCHIVEWALKER_H
#define LIBARCHIVEWALKER_H

#include "archiveformat.h"
#include "archivescope.h"

#include <memory>

class LibarchiveInput;

// Walks a 7z, tar (plain or compressed), cpio, ISO 9660 or CAB archive, or
// one compressed file, read by libarchive from `input`; the scope's name
// names the compressed file's one member. Each member goes to visitMember, its
// data streamed from the decompressor. Errors go to the diagnostics sink with
// the RAR walk's texts: a damaged header or damaged data ends the walk, an
// encrypted member is reported (no password is ever asked for) and skipped.
void walkLibarchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                    const ArchiveScope &scope);

#endif  // LIBARCHIVEWALKER_H
