#ifndef FOLDEROPEN_H
#define FOLDEROPEN_H

#include <fcntl.h>

// How the walk opens a folder: links to folders are followed (the walk
// enters them), and nothing it opens can become its controlling terminal.
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// What came of entering a folder.
enum class Entered {
    Yes,
    Unreadable,     // no permission, an I/O error: counted
    Vanished,       // gone, or no longer a folder, since its parent was listed
    AlreadyWalked,  // reached before by another path (a link): not walked again
    NoDescriptor    // the process holds all the descriptors it may: to be tried again
};

// What a failed open (its errno) means for the walk.
Entered enteredAfterFailure(int error);

#endif  // FOLDEROPEN_H
