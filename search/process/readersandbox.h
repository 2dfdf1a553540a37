#ifndef READERSANDBOX_H
#define READERSANDBOX_H

#include <QtGlobal>

// What the sandbox of a reader process holds once entered.
struct SandboxReport
{
    bool seccomp = false;     // the system-call filter is in place
    int landlockAbi = 0;      // the kernel's Landlock version in force; 0: none
    qint64 addressSpace = 0;  // the address-space limit set, in bytes
};

// Closes the calling process to everything a reader has no business with,
// for good: its address space may grow by `memoryBytes` at most (in
// sanitizer builds the search watches its resident memory instead); it writes
// no file (none may be opened for writing, created, removed or changed) but
// files without a name, in the temporary folder where Landlock is, which are
// gone when closed; it opens no network or socket, starts no program, signals no other process
// and leaves no core dump. Reading files stays open: the readers open the
// entries of the folders they are given. Landlock closes the same doors again
// where the kernel has it. False when the system-call filter could not be
// set: the process must then not read anything.
bool enterReaderSandbox(qint64 memoryBytes, SandboxReport *report);

#endif  // READERSANDBOX_H
