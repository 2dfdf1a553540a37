#ifndef STARTUP_H
#define STARTUP_H

#include <QDateTime>
#include <QString>

// The stamp every start writes into the hand-over file: "dd.MM.yyyy
// hh:mm:ss.zzz", 23 characters.
QString showNowStamp(const QDateTime &when);

// Creates or truncates `path` and writes the stamp of `when`, with no line
// end. A file that cannot be opened is passed over: a later start then simply
// cannot wake the running window.
void writeShowNowFile(const QString &path, const QDateTime &when);

// The initial list of start directories: `argument` unchanged when it names a
// directory (relative names resolve against the working directory), else
// `allDrives`.
QString initialDirectoryList(const QString &argument, const QString &allDrives);

// The application-wide style (Cleanlooks, else Fusion) and the "system" codec
// as the codec for the locale.
void installStyleAndCodecs();

#endif // STARTUP_H
