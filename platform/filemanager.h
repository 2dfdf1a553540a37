#ifndef FILEMANAGER_H
#define FILEMANAGER_H

#include <QString>

#include <functional>
#include <utility>

// Asks the desktop to show the file or folder at `path` selected in its
// parent folder. Returns at once. Where the desktop's file manager cannot be
// reached or refuses the request, that folder is opened instead.
void showInFileManager(const QString &path);

// Replaces what showInFileManager does (tests record the requests); an empty
// handler restores the desktop's file manager.
using FileManagerHandler = std::function<void(const QString &path)>;
void setFileManagerHandler(FileManagerHandler handler);

#endif  // FILEMANAGER_H
