#include "privatesessionbus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A session bus that anyone on the machine's account may use, and that
// starts only the services of its own folder (no desktop's file manager).
const char busConfig[]
        = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
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
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(bytes) == bytes.size();
}

}  // namespace

PrivateSessionBus::PrivateSessionBus()
{
    const QString config = dir.filePath(QStringLiteral("bus.conf"));
    int addressPipe[2];
    if (dir.isValid() && QDir().mkdir(dir.filePath(QStringLiteral("services")))
        && writeFile(config, QString::fromLatin1(busConfig).arg(dir.path()).toUtf8())
        && ::pipe(addressPipe) == 0) {
        const QByteArray configOption = "--config-file=" + QFile::encodeName(config);
        const QByteArray addressOption = "--print-address=" + QByteArray::number(addressPipe[1]);
        pid = ::fork();
        if (pid == 0) {
            // A child of the test that ends with it, even when the test is
            // killed or crashes: no daemon is left behind.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(addressPipe[0]);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDERR_FILENO);
            ::execlp("dbus-daemon", "dbus-daemon", "--nofork", configOption.constData(),
                     addressOption.constData(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(addressPipe[1]);
        if (FILE *out = ::fdopen(addressPipe[0], "r")) {
            char line[512] = {};
            if (std::fgets(line, sizeof line, out))
                address = QByteArray(line).trimmed();
            std::fclose(out);
        }
        if (address.isEmpty() && pid > 0) {
            ::waitpid(pid_t(pid), nullptr, 0);  // no dbus-daemon to run
            pid = 0;
        }
    }
    // Without a daemon, a bus that cannot be reached.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.isEmpty() ? "unix:path=/nonexistent" : address);
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (pid <= 0)
        return;
    // Its socket lies in the folder: let it go before the folder does.
    ::kill(pid_t(pid), SIGTERM);
    ::waitpid(pid_t(pid), nullptr, 0);
}

bool PrivateSessionBus::addActivatableService(const QString &name, const QString &command)
{
    const QByteArray entry
            = "[D-BUS Service]\nName=" + name.toUtf8() + "\nExec=" + command.toUtf8() + '\n';
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
