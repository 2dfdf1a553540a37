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

// The path as plain text: itself where it decodes, else its file URL, which
// names the same bytes in valid text (as GLib gives such names as text).
QString pathAsText(const QString &path);

// Whether something exists at `path`, and its last modification (invalid
// when there is nothing), asked of the exact bytes; links are followed.
bool pathExists(const QString &path);
QDateTime lastModified(const QString &path);

#endif  // NATIVEPATH_H
