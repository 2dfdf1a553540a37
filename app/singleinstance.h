#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// One running instance per program copy and user. The first instance holds a
// lock file and listens on a local socket; both are named after the
// executable's canonical path and the user, so copies in other folders never
// see each other, and both live in a folder only the user may enter
// (privatefolder.h), so nobody else can block or reach them. A lock left by a
// killed instance is taken over (QLockFile recognises the dead process) and
// its leftover socket is removed.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `executablePath` names the program copy; `user` the account running it.
    SingleInstance(const QString &executablePath, const QString &user, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when another live instance of this copy holds the lock. The first
    // call that finds none takes the lock and starts listening for messages.
    // False as well when the lock cannot be taken for any other reason (no
    // private folder, a lock file no running instance wrote): then failure()
    // says why, and this start may be neither the first nor a later one.
    bool isRunning();
    QString failure() const { return failureText; }

    // With `activateOnMessage`, any message that arrives on the local socket
    // restores, shows, raises and activates `window`.
    void setActivationWindow(QWidget *window, bool activateOnMessage);

    // A later start: hands `message` to the running instance, which emits
    // messageReceived with it. Waits at most `timeoutMs` for the instance to
    // listen (it may be starting). Returns whether the message went out.
    bool sendMessage(const QByteArray &message, int timeoutMs = 3000);

    // The name shared by the lock file and the local socket.
    static QString identifier(const QString &executablePath, const QString &user);
    // The local socket's name for that identifier.
    static QString serverName(const QString &identifier);
    // The account running this process.
    static QString currentUser();

signals:
    // A whole message of a later start: everything it wrote before it closed
    // the connection.
    void messageReceived(const QByteArray &message);

private:
    void acceptConnections();
    void activateWindow();
    bool ownerIsAlive();

    QString id;
    QString failureText;
    QLockFile lock;
    bool decided = false;
    bool otherRunning = false;
    QLocalServer *server = nullptr;
    QPointer<QWidget> activationWindow;
    bool activateOnMessage = false;
};

#endif  // SINGLEINSTANCE_H
