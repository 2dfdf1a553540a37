#include "filemanager.h"

#ifdef Q_OS_WIN
#include <QProcess>
#else
#include <algorithm>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#endif

namespace {

FileManagerHandler &replacedHandler()
{
    static FileManagerHandler handler;
    return handler;
}

#ifdef Q_OS_WIN

void selectInDesktopFileManager(const QStringList &paths)
{
    // explorer selects one item per window: one command per path, written as
    // the shell reads it: "/select," and the path.
    for (const QString &path : paths) {
        QProcess explorer;
        explorer.setProgram(QStringLiteral("explorer"));
        explorer.setNativeArguments(QStringLiteral("/select,") + path);
        explorer.startDetached();
    }
}

#else

struct FolderItems
{
    QString folder;
    QStringList paths;
};

// The folders holding `paths`, in the order of their first path, each with
// its paths in order and each path once.
QList<FolderItems> groupByFolder(const QStringList &paths)
{
    QList<FolderItems> groups;
    for (const QString &path : paths) {
        const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        const QString folder = info.absolutePath();
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&folder](const FolderItems &g) { return g.folder == folder; });
        if (group == groups.end())
            group = groups.insert(groups.end(), FolderItems{folder, {}});
        if (!group->paths.contains(info.filePath()))
            group->paths << info.filePath();
    }
    return groups;
}

void openFolder(const QString &folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

// org.freedesktop.FileManager1.ShowItems, sent with D-Bus activation: when no
// file manager runs, the bus starts the one the desktop provides (Nautilus,
// for one, is started on demand and leaves when idle). The reply is awaited
// in the event loop, never in this call; an error reply (nothing to start,
// a refusal) opens the folder instead.
void showItems(const QDBusConnection &bus, const FolderItems &items)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call.setAutoStartService(true);
    QStringList uris;
    for (const QString &path : items.paths)
        uris << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    call << uris << QString();

    auto *reply = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    const QString folder = items.folder;
    QObject::connect(reply, &QDBusPendingCallWatcher::finished, reply,
                     [folder](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             openFolder(folder);
                         finished->deleteLater();
                     });
}

void selectInDesktopFileManager(const QStringList &paths)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    for (const FolderItems &items : groupByFolder(paths)) {
        if (bus.isConnected())
            showItems(bus, items);
        else
            openFolder(items.folder);  // no session bus: nobody to ask
    }
}

#endif

} // namespace

void showInFileManager(const QStringList &paths)
{
    if (replacedHandler())
        replacedHandler()(paths);
    else
        selectInDesktopFileManager(paths);
}

void setFileManagerHandler(FileManagerHandler handler)
{
    replacedHandler() = std::move(handler);
}
