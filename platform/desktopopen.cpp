#include "desktopopen.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <QDesktopServices>
#include <QUrl>
#else
#include "pathcodec.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>
#endif

namespace {

DesktopOpenHandler &replacedHandler()
{
    static DesktopOpenHandler handler;
    return handler;
}

#ifdef Q_OS_WIN

void askDesktop(const QString &path, QObject *, const std::function<void(OpenFailure)> &failed)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) && failed)
        failed(OpenFailure::NoApplication);
}

#else

// xdg-open with one argument given as bytes: QProcess would pass its
// arguments through the locale's codec, which loses bytes that are no text.
// The child replaces itself with the opener before QProcess's own exec,
// which runs only if that fails (and then fails the same way).
class OpenerProcess : public QProcess
{
public:
    OpenerProcess(const QString &opener, const QByteArray &argument, QObject *parent)
        : QProcess(parent), program(QFile::encodeName(opener)), argument(argument)
    {
        argv[0] = program.data();
        argv[1] = this->argument.data();
        argv[2] = nullptr;
        setProgram(opener);
        setArguments({QFile::decodeName(argument)});
        // The application it starts inherits our streams, never pipes that
        // would break when the window goes.
        setProcessChannelMode(QProcess::ForwardedChannels);
        setStandardInputFile(QProcess::nullDevice());
    }

protected:
    void setupChildProcess() override { ::execv(argv[0], argv); }

private:
    QByteArray program;
    QByteArray argument;
    char *argv[3];
};

// xdg-open's exit status: 2 for a file it cannot find, 3 when no application
// or tool is there to open it, 4 for an action that failed.
OpenFailure failureOfExit(QProcess::ExitStatus status, int code)
{
    if (status != QProcess::NormalExit)
        return OpenFailure::Failed;
    switch (code) {
    case 2:
        return OpenFailure::Missing;
    case 3:
        return OpenFailure::NoApplication;
    default:
        return OpenFailure::Failed;
    }
}

void askDesktop(const QString &path, QObject *context,
                const std::function<void(OpenFailure)> &failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (failed)
            failed(OpenFailure::NoOpener);
        return;
    }
    // A path that could read as an option is made explicit.
    QByteArray argument = encodePath(path);
    if (argument.startsWith('-'))
        argument.prepend("./");
    auto *process = new OpenerProcess(opener, argument, QCoreApplication::instance());
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError) {
        if (process->state() == QProcess::NotRunning)
            process->deleteLater();
    });
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                     &QObject::deleteLater);
    if (failed && context) {
        QObject::connect(process, &QProcess::errorOccurred, context,
                         [failed](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart)
                                 failed(OpenFailure::NoOpener);
                         });
        QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                         context, [failed](int code, QProcess::ExitStatus status) {
                             if (status != QProcess::NormalExit || code != 0)
                                 failed(failureOfExit(status, code));
                         });
    }
    process->start();
}

#endif

}  // namespace

void openWithDesktop(const QString &path, QObject *context, std::function<void(OpenFailure)> failed)
{
    if (replacedHandler())
        replacedHandler()(path);
    else
        askDesktop(path, context, failed);
}

void setDesktopOpenHandler(DesktopOpenHandler handler)
{
    replacedHandler() = std::move(handler);
}
