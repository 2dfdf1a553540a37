#ifndef SEARCHINPUT_H
#define SEARCHINPUT_H

#include <QDir>
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

// True when `part` (a part of the directory field or a folder given on a
// command line, in the exact bytes pathcodec.h keeps) names an existing
// folder, as the search will open it; an empty part is the current one.
bool isExistingFolder(const QString &part);

// The folder `part` names, for the search: absolute (a relative name taken
// below the current directory, an empty one the current directory itself)
// and clean, in the part's exact bytes, which QDir would otherwise pass
// through the locale's codec on the way to an absolute path.
QDir startFolder(const QString &part);

// The wildcards the walk matches names against: the patterns as given with
// exact match, else each trimmed one wrapped in "*" so that it matches any
// name containing it.
QStringList nameFilters(const QStringList &patterns, bool exact);

// The first pattern whose wildcard cannot be compiled (a "[" never closed, a
// range written high to low), or a null string when every one can. Such a
// pattern would match no name at all, so the front ends refuse it.
QString invalidNamePattern(const QStringList &patterns, bool exact);

// True when the content text holds a line break (a line feed). Lines are
// searched one at a time without their line feeds, so such a text can never
// be found. A lone carriage return can: it stays inside the line it is in.
bool holdsLineBreak(const QString &text);

#endif  // SEARCHINPUT_H
