#ifndef CLIPBOARDFILES_H
#define CLIPBOARDFILES_H

#include <QByteArray>
#include <QtGlobal>

// The path bytes handed to setClipboardFiles: each path in the local 8-bit
// encoding (its exact bytes, also those that do not decode) followed by one
// zero byte; `length` counts all of them.

// Places the files named by the path bytes on the system clipboard, replacing
// whatever it held, with the effect copy (copy != 0) or move (copy == 0).
// Failures of the clipboard are ignored.
void setClipboardFiles(const char *paths, qint32 length, int copy);

// The CF_HDROP block for the path bytes: the 20-byte DROPFILES header
// (pFiles 20, pt 0/0, fNC 0, fWide 1) and the paths widened to UTF-16LE in
// room for `length` units, then zeros; 2 * length + 28 bytes in all.
QByteArray buildDropFilesBlock(const char *paths, qint32 length);

#endif  // CLIPBOARDFILES_H
