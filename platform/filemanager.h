#ifndef FILEMANAGER_H
#define FILEMANAGER_H

#include <QStringList>

#include <functional>
#include <utility>

// Asks the desktop to show the files and folders at `paths` selected in
// their folders: one request per folder, naming that folder's paths in the
// given order, each once. Returns at once. Where the desktop's file manager
// cannot be reached or refuses the request, the folder is opened instead.
void showInFileManager(const QStringList &paths);

// Replaces what showInFileManager does (tests record the requests); an empty
// handler restores the desktop's file manager.
using FileManagerHandler = std::function<void(const QStringList &paths)>;
void setFileManagerHandler(FileManagerHandler handler);

#endif // FILEMANAGER_H
