#include "filemanager.h"

#ifdef Q_OS_WIN
#include <QProcess>
#else
#include "desktopopen.h"
#include "nativepath.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#endif

namespace {

FileManagerHandler &replacedHandler()
{
    static FileManagerHandler handler;
    return handler;
}

#ifdef Q_OS_WIN

void selectInDesktopFileManager(const QString &path)
{
    // The command line goes to explorer as written: "/select," and the path.
    QProcess explorer;
    explorer.setProgram(QStringLiteral("explorer"));
    explorer.setNativeArguments(QStringLiteral("/select,") + path);
    explorer.startDetached();
}

#else

void openFolderOf(const QString &path)
{
    openWithDesktop(QFileInfo(path).absolutePath());
}

// org.freedesktop.FileManager1.ShowItems, sent with D-Bus activation: when no
// file manager runs, the bus starts the one the desktop provides (Nautilus,
// for one, is started on demand and leaves when idle). The reply is awaited
// in the event loop, never in this call; an error reply (nothing to start,
// a refusal) opens the folder that holds the path instead.
void selectInDesktopFileManager(const QString &path)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolderOf(path);  // no session bus: nobody to ask
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call.setAutoStartService(true);
    call << QStringList {localFileUrl(path).toString(QUrl::FullyEncoded)} << QString();

    auto *reply = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(reply, &QDBusPendingCallWatcher::finished, reply,
                     [path](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openFolderOf(path);
                         finished->deleteLater();
                     });
}

#endif

}  // namespace

void showInFileManager(const QString &path)
{
    if (replacedHandler())
        replacedHandler()(path);
    else
        selectInDesktopFileManager(path);
}

void setFileManagerHandler(FileManagerHandler handler)
{
    replacedHandler() = std::move(handler);
}
