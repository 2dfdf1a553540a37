#include "appdirs.h"
#include "codecs.h"
#include "language.h"
#include "localtimezone.h"
#include "mainwindow.h"
#include "pathcodec.h"
#include "singleinstance.h"
#include "startup.h"
#include "visibilityreporter.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTextCodec>

#include <cstdio>

namespace {

// A folder in the text reads as the bytes it was given.
void say(const QString &text)
{
    std::fprintf(stderr, "velto-search: %s\n", encodePath(text).constData());
}

}  // namespace

int main(int argc, char *argv[])
{
    pinLocalTimeZone();
    QApplication app(argc, argv);
    // Lets the desktop match the windows to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.velto"));
    // Folder names in the locale's own encoding, as velto-find reads them.
    QTextCodec::setCodecForLocale(localeCodec());
    SingleInstance instance(QCoreApplication::applicationFilePath(), SingleInstance::currentUser());
    const QString allDrives = allDrivesList();
    const QStringList folders = startFolders(argc, argv);

    // Every relative path of the program (the hand-over file, a relative
    // argument, a typed directory) resolves against its own folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    stampHandOverFile(handOverFile(), QDateTime::currentDateTime());
    const bool running = instance.isRunning();
    if (!instance.failure().isEmpty()) {
        say(QStringLiteral("cannot start: %1.").arg(instance.failure()));
        return 1;
    }
    const QString unusable = unusableStartFolder(folders);
    const QString refusal
            = QCoreApplication::translate("MainWindow", "目录名:%1 不存在").arg(unusable);
    if (running) {
        // The running window takes the folders, or says why it does not.
        const bool handedOver = instance.sendMessage(startFoldersMessage(folders));
        if (!handedOver && !folders.isEmpty())
            say(QStringLiteral("the running window did not answer; the folders were not handed "
                               "over."));
        if (!unusable.isNull())
            say(refusal);
        return unusable.isNull() && (handedOver || folders.isEmpty()) ? 0 : 2;
    }
    if (!unusable.isNull())
        say(refusal);

    installStyleAndCodecs();
    installTranslations(uiLanguageFor(QProcessEnvironment::systemEnvironment()));
    // The form's history and the window's layout, in the user's configuration
    // folder (~/.config/velto/velto-search.conf), whatever the language.
    QSettings settings(QStringLiteral("velto"), QStringLiteral("velto-search"));
    MainWindow window;
    window.useSettings(&settings);
    window.initTargetDir(folders.isEmpty() ? allDrives : QString());
    window.takeStartFolders(folders);
    instance.setActivationWindow(&window, true);
    QObject::connect(&instance, &SingleInstance::messageReceived, &window,
                     [&window](const QByteArray &message) {
                         window.takeStartFolders(startFoldersInMessage(message));
                     });

    // Test seams: report show/hide on stdout; start with the window hidden,
    // as if sent to the tray.
    VisibilityReporter::attachIfRequested(&window);
    if (qEnvironmentVariableIntValue("VELTO_START_HIDDEN") != 1)
        window.setVisible(true);
    return app.exec();
}
