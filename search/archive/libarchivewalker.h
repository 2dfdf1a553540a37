#ifndef LIBARCHIVEWALKER_H
#define LIBARCHIVEWALKER_H

#include "archiveformat.h"
#include "archivescope.h"

#include <QByteArray>

#include <memory>

class LibarchiveInput;
struct RarVolumeSet;

// The one walk of every archive libarchive reads: each member goes to
// visitMember, its data streamed from the decompressor; what was decoded
// before damaged data is handed on before the damage is reported. Errors go
// to the diagnostics sink, one line each: damage ends the walk; encrypted
// members are named, never read (no password is ever asked for) and counted
// in one line.

// A 7z, tar (plain or compressed), cpio, ISO 9660, CAB, ar, RPM, xar, LHA
// or WARC archive, or one compressed file, whose one member the scope's
// name names.
void walkLibarchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                    const ArchiveScope &scope);

// A RAR archive read from its first volume on through the volumes of `set`
// (`input` opens them in that order); `volumeFolder` is what names a volume
// in diagnostics before its name.
void walkRarVolumes(const RarVolumeSet &set, const QByteArray &volumeFolder,
                    std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope);

// A ZIP archive whose central directory cannot be read, read front to back
// from its members' local headers up to the damage; one line says so.
// A local header does not say who made the member (version made by) nor its
// file type (the external attributes): both are in the central directory
// only. So such names are read as DOS and Windows write them, as the most
// likely maker: a backslash separates folders and a legacy name is in an
// OEM code page; and a link, which Info-ZIP marks only there, is read as
// the small file its local header describes (its target's path as text).
void walkZipLocalHeaders(std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope);

// The 7z or RAR archive a program carries after its code (a self-extracting
// archive); nothing is said of a program that carries none.
void walkEmbeddedArchive(std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope);

// A ZIP or 7z archive (`format`) cut into pieces of bytes, which `input`
// joins in their order. When the piece it goes on in is missing (its path:
// `missingPiece`), a ZIP is read from its local headers as far as the
// pieces go and a 7z, whose table is at its end, not at all; that piece is
// named once.
void walkSplitArchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                      const QByteArray &missingPiece, const ArchiveScope &scope);

#endif  // LIBARCHIVEWALKER_H
