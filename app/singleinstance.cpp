#include "singleinstance.h"

#include "appdirs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// A folder only this user can write, so nobody else can take or block our
// lock and socket names.
QString privateRuntimeDir()
{
    static const QString dir = [] {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        return runtime.isEmpty() ? QDir::tempPath() : runtime;
    }();
    return dir;
}

}  // namespace

SingleInstance::SingleInstance(const QString &executablePath, const QString &user, QObject *parent)
    : QObject(parent), id(identifier(executablePath, user)),
      lock(privateRuntimeDir() + QLatin1Char('/') + id + QStringLiteral(".lock"))
{
    // A live first instance keeps its lock however long it runs; only a lock
    // whose process is gone counts as stale.
    lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::identifier(const QString &executablePath, const QString &user)
{
    const QByteArray key = canonicalPathKey(executablePath).toUtf8() + '\n' + user.toUtf8();
    return QStringLiteral("velto-")
            + QString::fromLatin1(
                    QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

QString SingleInstance::serverName(const QString &identifier)
{
#ifdef Q_OS_WIN
    return identifier;  // a named pipe; pipes are per session already
#else
    return privateRuntimeDir() + QLatin1Char('/') + identifier;
#endif
}

QString SingleInstance::currentUser()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\')
            + qEnvironmentVariable("USERNAME");
#else
    // The real account, not $USER, which a changed identity may leave behind.
    return QString::number(::getuid());
#endif
}

bool SingleInstance::isRunning()
{
    if (decided)
        return otherRunning;
    decided = true;
    otherRunning = !lock.tryLock(0);
    if (otherRunning)
        return true;

    // We are the first instance: a socket file left by a killed one would make
    // listen() fail, and only its owner can hold our lock, so it is safe to go.
    const QString name = serverName(id);
    QLocalServer::removeServer(name);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    server->listen(name);  // without it only the message wake-up is lost
    return false;
}

void SingleInstance::setActivationWindow(QWidget *window, bool activate)
{
    activationWindow = window;
    activateOnMessage = activate;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The content does not matter: any message counts as a wake-up call.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            socket->readAll();
            activateWindow();
        });
    }
}

void SingleInstance::activateWindow()
{
    if (!activateOnMessage || !activationWindow)
        return;
    activationWindow->setWindowState(activationWindow->windowState() & ~Qt::WindowMinimized);
    activationWindow->raise();
    activationWindow->activateWindow();
}
