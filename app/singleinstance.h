#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// One running instance per program copy and user. The first instance holds a
// lock file and listens on a local socket; both are named after the
// executable's canonical path and the user, so copies in other folders never
// see each other. A lock left by a killed instance is taken over (QLockFile
// recognises the dead process) and its leftover socket is removed.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `executablePath` names the program copy; `user` the account running it.
    SingleInstance(const QString &executablePath, const QString &user, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when another instance of this copy holds the lock. The first call
    // that finds none takes the lock and starts listening for messages.
    bool isRunning();

    // With `activateOnMessage`, any message that arrives on the local socket
    // restores, raises and activates `window`.
    void setActivationWindow(QWidget *window, bool activateOnMessage);

    // The name shared by the lock file and the local socket.
    static QString identifier(const QString &executablePath, const QString &user);
    // The local socket's name for that identifier.
    static QString serverName(const QString &identifier);
    // The account running this process.
    static QString currentUser();

private:
    void acceptConnections();
    void activateWindow();

    QString id;
    QLockFile lock;
    bool decided = false;
    bool otherRunning = false;
    QLocalServer *server = nullptr;
    QPointer<QWidget> activationWindow;
    bool activateOnMessage = false;
};

#endif  // SINGLEINSTANCE_H
