#ifndef RARERRORS_H
#define RARERRORS_H

#include <QByteArray>

// Result codes of the RAR walk, numbered as the UnRAR library numbers them so
// that every outcome keeps its established diagnostic text. The walks of the
// other libarchive formats report with the same texts.
enum class RarResult : int {
    Success = 0,
    EndArchive = 10,
    NoMemory = 11,
    BadData = 12,
    BadArchive = 13,
    UnknownFormat = 14,
    OpenError = 15,
    CreateError = 16,
    CloseError = 17,
    ReadError = 18,
    WriteError = 19,
    SmallBuffer = 20,
    Unknown = 21,
    MissingPassword = 22,
};

// Where in the walk a result arose; code 15 reads differently after opening
// the archive than after processing a member.
enum class RarContext { Open, Header, Process };

// Writes the diagnostic text for `result` to the diagnostics sink, with the
// archive path in place of the placeholder. Success and the regular end of the
// archive write nothing.
void reportRarError(RarResult result, const QByteArray &archivePath, RarContext context);

// Written when the archive `archivePath` is not of the kind `formatName`
// ("RAR", "7z", "tar") that its name says.
void reportNotArchive(const QByteArray &archivePath, const char *formatName);

// The texts written when a member needs a password or a volume that is not
// there; both requests are answered at once (no password, abandon the volume).
void reportPasswordRequest();
void reportMissingVolume(const QByteArray &volumePath);
// Written when the walk moves on to the next volume of a set.
void reportNextVolume(const QByteArray &volumePath);

#endif  // RARERRORS_H
