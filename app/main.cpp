#include "appdirs.h"
#include "localtimezone.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "startup.h"
#include "visibilityreporter.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    pinLocalTimeZone();
    QApplication app(argc, argv);
    // Lets the desktop match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.velto"));
    SingleInstance instance(QCoreApplication::applicationFilePath(), SingleInstance::currentUser());
    const QString allDrives = allDrivesList();

    // Every relative path of the program (the hand-over file, a relative
    // argument, a typed directory) resolves against its own folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    stampHandOverFile(handOverFile(), QDateTime::currentDateTime());
    if (instance.isRunning())
        return 0;  // the running instance sees the hand-over file change

    installStyleAndCodecs();
    installQtTranslations();
    MainWindow window;
    window.initTargetDir(initialDirectoryList(QCoreApplication::arguments().value(1), allDrives));
    instance.setActivationWindow(&window, true);

    // Test seams: report show/hide on stdout; start with the window hidden,
    // as if sent to the tray.
    VisibilityReporter::attachIfRequested(&window);
    if (qEnvironmentVariableIntValue("VELTO_START_HIDDEN") != 1)
        window.setVisible(true);
    return app.exec();
}
