// A content search through the window, end to end: the form filled, the
// search started as the Search button starts it, and the clock stopped when
// the search has ended and every hit is in the table. Prints that time, the
// longest pause of the event loop, the peak memory, and (with --stop-after)
// the longest pause after a Stop while the hits found so far drain.
//
//   velto-window-search [--stop-after MS] TEXT DIR
#include "localtimezone.h"
#include "mainwindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    pinLocalTimeZone();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption stopOption("stop-after", "Stop the search after MS ms.", "MS");
    parser.addOption(stopOption);
    parser.addPositionalArgument("TEXT", "The text to search for.");
    parser.addPositionalArgument("DIR", "The folder to search.");
    parser.process(app);
    if (parser.positionalArguments().size() != 2)
        parser.showHelp(2);

    MainWindow window;
    window.resize(1024, 700);
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("comboBoxForFind"))->setEditText("*");
    window.findChild<QComboBox *>(QStringLiteral("comboBoxForGrep"))
            ->setEditText(parser.positionalArguments().at(0));
    window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"))
            ->setEditText(parser.positionalArguments().at(1));
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView_result"));
    auto *worker = window.findChild<QThread *>();
    QLabel *count = window.statusBar()->findChildren<QLabel *>().value(0);

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    qint64 stoppedAt = -1;
    qint64 longestGapAfterStop = 0;
    qint64 doneAt = -1;
    int rows = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        if (stoppedAt >= 0)
            longestGapAfterStop = std::max(longestGapAfterStop, now - lastTick);
        lastTick = now;
        rows = table->model()->rowCount();
        const QString found = count->text().section(QLatin1Char(':'), 1);
        if (doneAt < 0 && !worker->isRunning() && now > 100 && found.toInt() == rows
            && found.toInt() > 0)
            doneAt = now;
        if (doneAt >= 0 && now - doneAt > 300)
            app.quit();
    });
    if (parser.isSet(stopOption)) {
        QTimer::singleShot(parser.value(stopOption).toInt() + 200, [&] {
            stoppedAt = clock.elapsed();
            QMetaObject::invokeMethod(&window, "do_search");  // the Stop button
        });
    }
    QTimer::singleShot(200, [&] {
        clock.start();
        probe.start(10);
        QMetaObject::invokeMethod(&window, "do_search", Qt::DirectConnection);
    });
    app.exec();

    std::printf("hits in table:          %d\n", rows);
    std::printf("search to last row:     %.2f s\n", doneAt / 1000.0);
    std::printf("longest probe gap:      %lld ms\n", static_cast<long long>(longestGap));
    if (stoppedAt >= 0)
        std::printf("longest gap after stop: %lld ms (stopped at %.2f s)\n",
                    static_cast<long long>(longestGapAfterStop), stoppedAt / 1000.0);
    std::printf("peak memory:            %.0f MiB\n", peakMemoryMiB());
    return 0;
}
