#ifndef NATIVEPATH_H
#define NATIVEPATH_H

#include <QDateTime>
#include <QString>
#include <QUrl>

// Paths as the window hands them to the desktop. A path text may hold bytes
// that do not decode in the locale's encoding (pathcodec.h); these calls use
// the exact bytes, so such a file is found, opened and copied like any other.

// A file URL whose path percent-encodes the exact bytes of `path`.
QUrl localFileUrl(const QString &path);

// The path as plain text, one line whatever its name: itself where it
// decodes; else its file URL, which names the same bytes in valid text (as
// GLib gives such names as text); a path with a line feed or another control
// character quoted as a shell reads it back ('a'$'\n''b', as ls writes it).
QString pathAsText(const QString &path);

// Whether something exists at `path`, and its last modification (invalid
// when there is nothing), asked of the exact bytes; links are followed.
bool pathExists(const QString &path);
QDateTime lastModified(const QString &path);

#endif  // NATIVEPATH_H
