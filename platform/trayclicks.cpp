#include "trayclicks.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>
#endif

TrayClicks trayClicksOnThisDesktop()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return TrayClicks::SingleAndDouble;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusMessage get = QDBusMessage::createMethodCall(
            watcher, QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    get.setAutoStartService(false);  // Qt looks only at a watcher that runs
    const QDBusMessage reply = bus.call(get);
    const bool hostRegistered = reply.type() == QDBusMessage::ReplyMessage
            && !reply.arguments().isEmpty()
            && reply.arguments().first().value<QDBusVariant>().variant().toBool();
    return hostRegistered ? TrayClicks::SingleOnly : TrayClicks::SingleAndDouble;
#else
    return TrayClicks::SingleAndDouble;
#endif
}
