#ifndef ARCHIVEERRORS_H
#define ARCHIVEERRORS_H

#include "archivescope.h"

#include <QString>

// What went wrong with an archive, said in words on one line that names the
// archive (as the scope's display path) and, where there is one, the member.
// Every report but the limits (too large, too deep, overlapping entries)
// marks the archive as not read in full, for the count of what could not be
// read.

// The file could not be opened at all.
void reportCannotOpen(const ArchiveScope &scope);
// The file is not of the kind `formatName` ("ZIP", "7z", "tar") its name says.
void reportNotArchive(const ArchiveScope &scope, const char *formatName);
// The archive's structure is damaged after `lastMember` (empty: before any
// member); nothing after the damage is read.
void reportDamaged(const ArchiveScope &scope, const QString &lastMember);
// A ZIP whose central directory is missing or damaged, read from its local
// headers up to `lastMember`.
void reportNoCentralDirectory(const ArchiveScope &scope, const QString &lastMember);
// The member's data is damaged; what came before the damage was searched.
void reportDamagedMember(const ArchiveScope &scope, const QString &member);
// The member's data does not match its checksum.
void reportChecksumMismatch(const ArchiveScope &scope, const QString &member);
// `members` encrypted members could not be read: no password is ever asked for.
void reportEncrypted(const ArchiveScope &scope, int members);
// The names themselves are encrypted: nothing can be listed.
void reportEncryptedNames(const ArchiveScope &scope);
// The member's data goes on in the volume `volumePath`, which is not there.
void reportMissingVolume(const ArchiveScope &scope, const QString &member,
                         const QByteArray &volumePath);
// The archive, cut into pieces, goes on in the piece `piecePath`, which is
// not there; it was read up to `lastMember` (null: nothing could be read).
void reportMissingPiece(const ArchiveScope &scope, const QByteArray &piecePath,
                        const QString &lastMember);
// The walk moves on to the next volume of a set (not an error).
void reportNextVolume(const QByteArray &volumePath);
void reportNoMemory(const ArchiveScope &scope);

// The limits: an archive inside another that would take the search's
// temporary space past its budget to copy, one nested deeper than the search
// looks, members whose data overlaps, members that expand past the archive
// on disk's limit (said once, naming that archive; nothing is reported of it
// after that).
void reportTooLarge(const ArchiveScope &scope);
void reportExpansionLimit(const ArchiveScope &scope);
void reportTooDeep(const ArchiveScope &scope, const QString &member);
void reportOverlap(const ArchiveScope &scope);

#endif  // ARCHIVEERRORS_H
