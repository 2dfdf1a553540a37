#ifndef PRIVATEFOLDER_H
#define PRIVATEFOLDER_H

#include <QString>

// The folder that holds the single-instance lock and local socket. Whoever
// can create or replace names in it can stop the window from starting, or
// talk to it, so it must be the user's alone.
struct PrivateFolder
{
    QString path;     // empty when there is no such folder
    QString problem;  // then: why, in one English sentence for standard error
};

// $XDG_RUNTIME_DIR when it is set and is a folder of the user's own that
// nobody else may enter; else "velto-UID" in the temporary folder, made 0700
// when missing. A folder there that is a link, belongs to someone else or
// cannot be made is a problem, never a reason to use a shared place. Both
// are checked on the open folder, not on its name.
PrivateFolder privateRuntimeFolder();

#endif  // PRIVATEFOLDER_H
