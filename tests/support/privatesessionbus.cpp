#include "privatesessionbus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

// A session bus that anyone on the machine's account may use, and that
// starts only the services of its own folder (no desktop's file manager).
const char busConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%1</listen>
  <servicedir>%1/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

PrivateSessionBus::PrivateSessionBus()
{
    const QString config = dir.filePath(QStringLiteral("bus.conf"));
    if (dir.isValid() && QDir().mkdir(dir.filePath(QStringLiteral("services")))
        && writeFile(config, QString::fromLatin1(busConfig).arg(dir.path()).toUtf8())) {
        const QByteArray command = "dbus-daemon --fork --print-address=1 --print-pid=1 --config-file='"
                                   + QFile::encodeName(config) + "' 2>/dev/null";
        if (FILE *out = popen(command.constData(), "r")) {
            char line[512] = {};
            if (fgets(line, sizeof line, out))
                address = QByteArray(line).trimmed();
            if (fgets(line, sizeof line, out))
                pid = QByteArray(line).trimmed().toLongLong();
            pclose(out);
        }
    }
    // Without a daemon, a bus that cannot be reached.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.isEmpty() ? "unix:path=/nonexistent" : address);
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (pid <= 0)
        return;
    kill(pid_t(pid), SIGTERM);
    // Its socket lies in the folder: let it go before the folder does.
    for (int i = 0; i < 200 && kill(pid_t(pid), 0) == 0; ++i)
        usleep(10000);
}

bool PrivateSessionBus::addActivatableService(const QString &name, const QString &command)
{
    const QByteArray entry = "[D-BUS Service]\nName=" + name.toUtf8() + "\nExec=" + command.toUtf8() + '\n';
    return writeFile(dir.filePath(QStringLiteral("services/%1.service").arg(name)), entry)
        && reloadConfig();
}

bool PrivateSessionBus::removeActivatableService(const QString &name)
{
    return QFile::remove(dir.filePath(QStringLiteral("services/%1.service").arg(name)))
        && reloadConfig();
}

bool PrivateSessionBus::reloadConfig()
{
    const QDBusMessage reload = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
    return QDBusConnection::sessionBus().call(reload).type() == QDBusMessage::ReplyMessage;
}
