#include "filemanager.h"

#ifdef Q_OS_WIN
#include <QProcess>
#else
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
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

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool fileManagerOnBus(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    const QDBusConnectionInterface *busInterface = bus.interface();
    return busInterface && busInterface->isServiceRegistered(fileManagerService).value();
}

void selectInDesktopFileManager(const QString &path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!fileManagerOnBus(bus)) {
        // Without a file manager to select it, show the folder that holds it.
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        return;
    }
    QDBusMessage showItems = QDBusMessage::createMethodCall(
        fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    showItems << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)}
              << QString();
    // Sent without waiting for the answer; a failure is of no interest.
    bus.send(showItems);
}

#endif

} // namespace

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
