#ifndef APPDIRS_H
#define APPDIRS_H

#include <QString>

// Where the program keeps the files it writes ("shownow.cmd", "tmp/"): its own
// directory when that is writable, else a per-user folder keyed by the
// executable's canonical path, so two copies of the program stay apart.
QString writableProgramDir();

// The same choice for an explicit program directory (for callers and tests
// that are not the program itself).
QString writableDirFor(const QString &programDir);

// The hand-over file that every start rewrites and the running instance
// watches: "shownow.cmd" in writableProgramDir().
QString showNowFilePath();

// Every root of QDir::drives(), each followed by ";" ("C:/;D:/;" on Windows,
// "/;" here): the default list of start directories.
QString allDrivesList();

// A key naming `path` for as long as it names the same place: its canonical
// form (compared case-insensitively on Windows), else its cleaned absolute form.
QString canonicalPathKey(const QString &path);

#endif // APPDIRS_H
