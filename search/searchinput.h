#ifndef SEARCHINPUT_H
#define SEARCHINPUT_H

#include <QString>
#include <QStringList>

// How the text of the input fields becomes a search, shared by the window
// and velto-find.

// The file-name field: the parts between ";", trimmed, empty ones dropped.
QStringList namePatterns(const QString &field);

// The directory field: trimmed as a whole, native separators, split at ";"
// keeping empty parts. Parts are not trimmed one by one: a blank after ";"
// belongs to the next path, and an empty part is the current directory.
QStringList directoryParts(const QString &field);

#endif // SEARCHINPUT_H
