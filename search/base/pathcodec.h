#ifndef PATHCODEC_H
#define PATHCODEC_H

#include <QByteArray>
#include <QString>

// File names are bytes; the engine, the window and velto-find carry them as
// QString. A name decodes with the locale's encoding, and every byte that
// does not decode there becomes a reserved code unit of its own, U+DC80 to
// U+DCFF (a lone low surrogate, which no decoding of valid text gives), so
// that encoding the text gives back exactly the bytes the name had. A name
// copied from another system in its own code page, or with a stray byte, is
// therefore found, opened, reported and handed on unchanged.

// The text of a name or path as the file system holds it.
QString decodePath(const char *bytes, int size);
QString decodePath(const QByteArray &bytes);

// The exact bytes of a name or path made by decodePath (or typed by the user).
QByteArray encodePath(const QString &path);

// True when `path` holds a byte that did not decode.
bool hasUndecodedBytes(const QString &path);

// The byte that the code unit at `index` stands for, or -1 when it stands for
// none (an ordinary character, or half of a surrogate pair).
int undecodedByteAt(const QString &path, int index);

#endif  // PATHCODEC_H
