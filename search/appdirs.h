#ifndef APPDIRS_H
#define APPDIRS_H

#include <QString>

// Where the program keeps the file it writes ("shownow.cmd"): its own
// directory when that is writable, else a per-user folder keyed by the
// executable's canonical path, so two copies of the program stay apart.
QString writableProgramDir();

// The same choice for an explicit program directory (for callers and tests
// that are not the program itself). The folder the program is installed to
// (installedProgramDir) is never chosen: it belongs to the package manager,
// even for an account that may write there.
QString writableDirFor(const QString &programDir);

// The folder the build installs the programs to (e.g. /usr/bin), or an
// empty string for a build that names none.
QString installedProgramDir();

// The hand-over file of a program in `programDir`: "shownow.cmd" in
// writableDirFor(programDir), unless what stands in its place there is not
// the user's own plain file: a link (a symbolic link, or a file with a
// second hard link), a file of another user or one that others may write, a
// folder, a pipe. Then "shownow.cmd" in the per-user folder, `passedOver`
// names the file left alone and `why` says why, in words that follow its
// name. The per-user folder, and the "velto" folder above it, are private to
// the user (0700).
struct HandOverFile
{
    QString path;
    QString passedOver;
    QString why;
};
HandOverFile handOverFileFor(const QString &programDir);

// The program's own hand-over file, which every start rewrites and the
// running instance watches: handOverFileFor the program's folder, with the
// folder of writableProgramDir().
HandOverFile handOverFile();
QString showNowFilePath();  // handOverFile().path

// Every root of QDir::drives(), each followed by ";" ("C:/;D:/;" on Windows,
// "/;" here): the default list of start directories.
QString allDrivesList();

// A key naming `path` for as long as it names the same place: its canonical
// form (compared case-insensitively on Windows), else its cleaned absolute form.
QString canonicalPathKey(const QString &path);

#endif  // APPDIRS_H
