// The file list on the clipboard: the CF_HDROP block byte by byte, and what
// another program reads from the X clipboard after Copy and Cut.
#include "clipboardfiles.h"
#include "pathcodec.h"
#include "resultwindowfixture.h"
#include "treebuilder.h"

#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TestClipboard : public QObject
{
    Q_OBJECT

    // Runs xclip to read one target of the clipboard, serving the clipboard
    // from this event loop meanwhile.
    static QByteArray readClipboard(const QString &target)
    {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-t"), target, QStringLiteral("-o")});
        if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
            xclip.kill();
        return xclip.exitCode() == 0 ? xclip.readAllStandardOutput() : QByteArray("xclip failed");
    }

private slots:
    void dropFilesBlock_data()
    {
        QTest::addColumn<QByteArray>("paths");
        QTest::addColumn<QByteArray>("block");
        const QByteArray header = QByteArray::fromHex("14000000"
                                                      "00000000"
                                                      "00000000"
                                                      "00000000"
                                                      "01000000");
        QTest::newRow("no path gives the header and the closing zeros")
                << QByteArray() << header + QByteArray(8, '\0');
        QTest::newRow("one path is widened with its zero unit")
                << QByteArray("/a.txt", 7)
                << header + QByteArray::fromHex("2f00 6100 2e00 7400 7800 7400 0000")
                        + QByteArray(8, '\0');
        QTest::newRow("several non-ASCII paths take fewer units than bytes")
                << QByteArray("/\xe8\xae\xa1\xe5\x88\x92\0/\xc3\xa9\0/\xf0\x9f\x98\x80\0", 17)
                << header
                        + QByteArray::fromHex(
                                "2f00 a18b 1252 0000 2f00 e900 0000 2f00 3dd8 00de 0000")
                        + QByteArray(34 - 22 + 8, '\0');
    }
    void dropFilesBlock()
    {
        QFETCH(QByteArray, paths);
        QFETCH(QByteArray, block);
        const QByteArray built = buildDropFilesBlock(paths.constData(), paths.size());
        QCOMPARE(built.size(), 2 * paths.size() + 28);
        QCOMPARE(built.toHex(' '), block.toHex(' '));
    }

    void otherProgramsReadTheFileList_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        // c\xff.txt is not UTF-8: its URIs carry the byte, its text is its URI.
        const QString list
                = QStringLiteral("\nURL/%E8%AE%A1%E5%88%92%20a.txt\nURL/b.txt\nURL/c%FF.txt");
        const QString uris
                = QStringLiteral("URL/%E8%AE%A1%E5%88%92%20a.txt\r\nURL/b.txt\r\nURL/c%FF.txt\r\n");
        QTest::newRow("copy/the GNOME list says copy") << "do_copyfiles"
                                                       << "x-special/gnome-copied-files"
                                                       << "copy" + list;
        QTest::newRow("copy/the URI list names the files by their bytes")
                << "do_copyfiles"
                << "text/uri-list" << uris;
        QTest::newRow("copy/the text is the paths") << "do_copyfiles"
                                                    << "UTF8_STRING"
                                                    << "ROOT/计划 a.txt\nROOT/b.txt\nURL/c%FF.txt";
        QTest::newRow("cut/the GNOME list says cut") << "do_cutfiles"
                                                     << "x-special/gnome-copied-files"
                                                     << "cut" + list;
        QTest::newRow("cut/the URI list names the files by their bytes") << "do_cutfiles"
                                                                         << "text/uri-list" << uris;
        QTest::newRow("cut/the KDE mark says cut") << "do_cutfiles"
                                                   << "application/x-kde-cutselection"
                                                   << "1";
    }
    void otherProgramsReadTheFileList()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("No X server (DISPLAY is unset): run under xvfb-run to test the real clipboard");
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            QSKIP("xclip is not installed: the clipboard cannot be read back");
        QFETCH(QString, action);
        QFETCH(QString, target);
        QFETCH(QString, expected);

        TreeBuilder tree;
        tree.file(QStringLiteral("计划 a.txt"));
        tree.file(QStringLiteral("b.txt"));
        tree.rawFile("c\xff.txt");
        MainWindow window;
        ResultTable results(window);
        QVERIFY(results.deliver(tree.root(),
                                {contentHit("计划 a.txt", 1, "x"), nameHit("b.txt"),
                                 contentHit("计划 a.txt", 2, "y"),
                                 nameHit(decodePath(QByteArray("c\xff.txt")))}));
        results.select({0, 1, 2, 3});
        QApplication::clipboard()->setText(QStringLiteral("before"));
        results.run(qPrintable(action));

        expected.replace(QLatin1String("URL"),
                         QUrl::fromLocalFile(tree.root()).toString(QUrl::FullyEncoded))
                .replace(QLatin1String("ROOT"), tree.root());
        QCOMPARE(QString::fromUtf8(readClipboard(target)), expected);
    }
};

int main(int argc, char *argv[])
{
    // Without an X server the block tests still run, offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestClipboard test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_clipboard.moc"
