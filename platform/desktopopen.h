#ifndef DESKTOPOPEN_H
#define DESKTOPOPEN_H

#include <QString>

#include <functional>

class QObject;

// Why the desktop could not open a file.
enum class OpenFailure {
    NoOpener,       // nothing to ask: xdg-open (xdg-utils) is not installed
    Missing,        // the opener found no such file
    NoApplication,  // no application is set for the file's type
    Failed,         // the opener, or the application it started, failed
};

// Asks the desktop to open the file or folder at `path` with the application
// set for its type: xdg-open with the path's exact bytes here (a name that is
// not valid text opens too, where a file URL would make some desktops give
// up), the shell's association on Windows. Returns at once. When the desktop
// says it could not, `failed` is called on the GUI thread, unless `context`
// is gone by then; without `failed` nobody is told.
void openWithDesktop(const QString &path, QObject *context = nullptr,
                     std::function<void(OpenFailure)> failed = {});

// Replaces what openWithDesktop does (tests record the requests); an empty
// handler restores the desktop's opener.
using DesktopOpenHandler = std::function<void(const QString &path)>;
void setDesktopOpenHandler(DesktopOpenHandler handler);

#endif  // DESKTOPOPEN_H
