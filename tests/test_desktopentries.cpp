// What the installed package tells the desktop: the menu entry never makes
// the program the default for opening folders, and the file managers' own
// menus offer the search in a folder. Checked on the files `cmake --install`
// puts in place, with the desktop's own tools where they are installed.
#include "treebuilder.h"

#include <QProcess>
#include <QtTest>

namespace {

// Runs `program` with `args` in a clean environment plus `env`; its output.
QByteArray run(const QString &program, const QStringList &args, const QStringList &env = {})
{
    QProcess process;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    for (const QString &pair : env)
        environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
    process.setProcessEnvironment(environment);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "failed: " + process.readAllStandardError();
    return process.readAllStandardOutput();
}

}  // namespace

class TestDesktopEntries : public QObject
{
    Q_OBJECT

    TreeBuilder prefix;  // the package's files, as installed below /usr
    QString share;

    QString entry(const QString &path) const
    {
        QFile file(share + '/' + path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        const QByteArray said = run(QStringLiteral(VELTO_CMAKE),
                                    {"--install", VELTO_BUILD_TREE, "--prefix", prefix.root()});
        QVERIFY2(!said.startsWith("failed"), said.constData());
        share = prefix.path(QStringLiteral("share"));
    }

    void fileManagersOfferTheSearchInAFolder_data()
    {
        QTest::addColumn<QString>("path");  // below share/
        QTest::newRow("Thunar's Send To menu") << "Thunar/sendto/org.example.velto.desktop";
        QTest::newRow("the service menu of Dolphin and Konqueror")
                << "kio/servicemenus/org.example.velto.desktop";
    }
    void fileManagersOfferTheSearchInAFolder()
    {
        QFETCH(QString, path);
        const QStringList lines = entry(path).split('\n');
        QVERIFY2(!lines.isEmpty(), qPrintable(path));
        QVERIFY(lines.contains(QStringLiteral("MimeType=inode/directory;")));
        // Every selected folder, each one argument whatever its characters.
        QVERIFY(lines.contains(QStringLiteral("Exec=velto-search %F")));
    }

    void neverTheDefaultForFolders_data()
    {
        QTest::addColumn<bool>("fileManager");  // a file manager's entry is installed too
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("without a file manager nothing answers for folders")
                << false << QByteArray();
        QTest::newRow("the file manager stays the default for folders")
                << true << QByteArray("filer.desktop\n");
    }
    void neverTheDefaultForFolders()
    {
        QFETCH(bool, fileManager);
        QFETCH(QByteArray, answer);
        const QString menuEntry = entry("applications/org.example.velto.desktop");
        QVERIFY(menuEntry.startsWith("[Desktop Entry]"));
        QVERIFY(!menuEntry.contains("inode/directory"));
        if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("update-desktop-database")).isEmpty())
            QSKIP("xdg-utils or desktop-file-utils is not installed");

        // A desktop as the package leaves it: the caches the package's
        // trigger writes, no mimeapps.list anywhere.
        TreeBuilder desktop;
        const QString applications = desktop.folder(QStringLiteral("share/applications"));
        QVERIFY(QFile::copy(share + "/applications/org.example.velto.desktop",
                            applications + "/org.example.velto.desktop"));
        if (fileManager)
            desktop.file(QStringLiteral("share/applications/filer.desktop"),
                         "[Desktop Entry]\nType=Application\nName=Filer\nExec=filer %U\n"
                         "MimeType=inode/directory;\n");
        QCOMPARE(run(QStringLiteral("update-desktop-database"), {applications}), QByteArray());
        const QStringList env {"HOME=" + desktop.folder("home"),
                               "XDG_DATA_HOME=" + desktop.path("home"),
                               "XDG_CONFIG_HOME=" + desktop.folder("config"),
                               "XDG_CONFIG_DIRS=" + desktop.path("config"),
                               "XDG_DATA_DIRS=" + desktop.path("share")};
        QCOMPARE(run(QStringLiteral("xdg-mime"), {"query", "default", "inode/directory"}, env),
                 answer);
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntries)
#include "test_desktopentries.moc"
