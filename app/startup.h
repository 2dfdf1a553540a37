#ifndef STARTUP_H
#define STARTUP_H

#include "appdirs.h"

#include <QDateTime>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>

class QTranslator;

// The stamp every start writes into the hand-over file: "dd.MM.yyyy
// hh:mm:ss.zzz", 23 characters.
QString showNowStamp(const QDateTime &when);

// Creates or truncates `path` and writes the stamp of `when`, with no line
// end, never through a link; a new file is the user's alone (0600). A file
// that cannot be opened, or a link, is passed over: a later start then simply
// cannot wake the running window. Returns whether the stamp was written.
bool writeShowNowFile(const QString &path, const QDateTime &when);

// Stamps the program's hand-over file `file` (see handOverFile()), and says
// in one line on standard error what stood in its usual place when that was
// passed over.
void stampHandOverFile(const HandOverFile &file, const QDateTime &when);

// The start folders given on the command line: every argument after the
// program's name, each one folder whatever its characters (a ";", bytes that
// are not text in the locale's encoding), kept exactly as pathcodec.h does.
QStringList startFolders(int argc, const char *const argv[]);

// The first of `folders` that is not an existing folder (relative names
// resolve against the working directory), or a null string when all are.
// Such a folder is refused, never replaced by another.
QString unusableStartFolder(const QStringList &folders);

// The start folders as a later start hands them to the running window over
// the single-instance channel, and back. An empty list only wakes the window;
// a message that is no such list reads as an empty one.
QByteArray startFoldersMessage(const QStringList &folders);
QStringList startFoldersInMessage(const QByteArray &message);

// Loads Qt's own texts in Chinese (standard buttons, the file and folder
// dialogs) from `folder`, so that they match the form, and installs them.
// Returns the translator (owned by the application), or nullptr when the
// translations are missing there: Qt's texts then stay English.
QTranslator *installQtTranslations(const QString &folder
                                   = QLibraryInfo::location(QLibraryInfo::TranslationsPath));

// The application-wide style (Cleanlooks, else Fusion) and the locale's own
// encoding (localeCodec) as the codec for the locale.
void installStyleAndCodecs();

#endif  // STARTUP_H
