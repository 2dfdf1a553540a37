#include "singleinstance.h"

#include "appdirs.h"
#include "privatefolder.h"
#include "windowreturn.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// A message longer than this is no start's folder list; its sender is dropped.
constexpr qint64 maxMessageBytes = 1 << 20;

const PrivateFolder &runtimeFolder()
{
    static const PrivateFolder folder = privateRuntimeFolder();
    return folder;
}

QString lockPath(const QString &id)
{
    const PrivateFolder &folder = runtimeFolder();
    return folder.path.isEmpty() ? QString() : folder.path + QLatin1Char('/') + id + ".lock";
}

}  // namespace

SingleInstance::SingleInstance(const QString &executablePath, const QString &user, QObject *parent)
    : QObject(parent), id(identifier(executablePath, user)), lock(lockPath(id))
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
    return runtimeFolder().path + QLatin1Char('/') + identifier;
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
    if (!runtimeFolder().problem.isEmpty()) {
        failureText
                = QStringLiteral("no private folder for the lock: %1").arg(runtimeFolder().problem);
        return false;
    }
    if (!lock.tryLock(0)) {
        otherRunning = lock.error() == QLockFile::LockFailedError && ownerIsAlive();
        if (!otherRunning)
            failureText = QStringLiteral("the lock file %1 cannot be taken, and no running "
                                         "instance holds it")
                                  .arg(lockPath(id));
        return otherRunning;
    }

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

// QLockFile reports a lock it cannot read (a folder, a file of no instance)
// as held. A live owner has written its process id into it; one that is
// starting right now writes it within moments.
bool SingleInstance::ownerIsAlive()
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        qint64 pid = 0;
        QString host, application;
        if (lock.getLockInfo(&pid, &host, &application) && pid > 0)
            return true;
        QThread::msleep(20);
    }
    return false;
}

void SingleInstance::setActivationWindow(QWidget *window, bool activate)
{
    activationWindow = window;
    activateOnMessage = activate;
}

bool SingleInstance::sendMessage(const QByteArray &message, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The first instance takes the lock before it listens: a start that comes
    // right after it may knock before the door is there.
    for (;;) {
        socket.connectToServer(serverName(id));
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    socket.write(message);
    const bool sent = socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime())))
            || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(int(qMax<qint64>(1, deadline.remainingTime())));
    return sent;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        // Any data counts as a wake-up call; the message is whole once the
        // sender has closed the connection, and waits in the socket till then.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > maxMessageBytes)
                socket->abort();
            else
                activateWindow();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            const QByteArray message = socket->readAll();
            socket->deleteLater();
            if (message.isEmpty() || message.size() > maxMessageBytes)
                return;
            activateWindow();
            emit messageReceived(message);
        });
    }
}

void SingleInstance::activateWindow()
{
    if (!activateOnMessage || !activationWindow)
        return;
    bringBack(activationWindow);
}
