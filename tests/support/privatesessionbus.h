#ifndef PRIVATESESSIONBUS_H
#define PRIVATESESSIONBUS_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A session bus of the test's own: a dbus-daemon started before the
// application first reaches for a bus, with a service folder that starts
// nothing until a test adds a service to it. DBUS_SESSION_BUS_ADDRESS names
// it for the process and its children; without dbus-daemon it names a bus
// that cannot be reached. The daemon ends with the object, or with the test
// process however that ends. Make it before any thread starts.
class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    bool isRunning() const { return pid > 0; }

    // Lets the bus start `command` when a message is sent to `name` (D-Bus
    // activation); the bus reads the service file before this returns.
    bool addActivatableService(const QString &name, const QString &command);
    bool removeActivatableService(const QString &name);

private:
    bool reloadConfig();

    QTemporaryDir dir;
    QByteArray address;
    qint64 pid = 0;
};

#endif  // PRIVATESESSIONBUS_H
