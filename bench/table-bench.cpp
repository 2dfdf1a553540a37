// Feeds the main window a large number of hits the way the search thread
// does (queued deliveries from another thread, each with its file's time)
// and measures how the result table copes: the time until the last row is
// in, the longest pause of the event loop while rows arrive, the peak
// memory, the time to sort by each column, and the pause when a new search
// clears the table.
//
//   velto-table-bench [--hits N] [--batches B] [--content]
//
// --content gives every hit a line number and a line of 60 characters (ten
// lines a file), as a content search does, every line its own, all of them
// beginning alike; without it they are name hits.
#include "localtimezone.h"
#include "mainwindow.h"
#include "tfileinfo.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Peak resident set size of this process in MiB, from the kernel's record.
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

// Processor time of the calling thread in ms: on a shared machine the wall
// time of a step is mostly waiting for a core.
double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

}  // namespace

// Stands in for the search thread: emits one delivery per directory from its
// own thread, as fast as it can.
class Feeder : public QObject
{
    Q_OBJECT

public:
    Feeder(QString dirName, int batches, int hitsPerBatch, bool content)
        : dirName(std::move(dirName)), batches(batches), hitsPerBatch(hitsPerBatch),
          content(content)
    {
    }

signals:
    // Emitted from the feeder thread.
    void PushGotFiles(QString dirName, QList<TFileInfo> namelist);

public slots:
    void run()
    {
        for (int b = 0; b < batches; ++b) {
            QList<TFileInfo> hits;
            hits.reserve(hitsPerBatch);
            for (int i = 0; i < hitsPerBatch; ++i) {
                const int file = content ? i / 10 : i;
                hits << TFileInfo {
                        QStringLiteral("f%1.txt").arg(file), content ? qint64(i % 10 + 1) * 7 : 0,
                        content ? QStringLiteral("    the line %1 of the file that holds "
                                                 "the word, as found")
                                          .arg(qint64(b) * hitsPerBatch + i, 8)
                                : QString(),
                        TFileInfo::Kind::Hit, qint64(1600000000) + b * 60 + file};
            }
            emit PushGotFiles(QString(dirName), hits);
        }
    }

private:
    const QString dirName;
    const int batches;
    const int hitsPerBatch;
    const bool content;
};

int main(int argc, char **argv)
{
    pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption hitsOption("hits", "Hits in total.", "N", "1000000");
    const QCommandLineOption batchesOption("batches", "Directory batches.", "B", "2000");
    const QCommandLineOption contentOption("content", "Content hits, ten lines a file.");
    parser.addOptions({hitsOption, batchesOption, contentOption});
    parser.process(app);
    const int batches = parser.value(batchesOption).toInt();
    const int total = parser.value(hitsOption).toInt() / batches * batches;
    const int perBatch = total / batches;

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary directory");

    MainWindow window;
    window.show();
    QAbstractItemModel *model
            = window.findChild<QTableView *>(QStringLiteral("tableView_result"))->model();

    QElapsedTimer clock;
    qint64 lastRowAt = -1;
    double startCpu = 0;
    double lastRowCpu = 0;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (lastRowAt < 0 && model->rowCount() == total) {
            lastRowAt = clock.elapsed();
            lastRowCpu = threadCpuMs();
        }
    });

    // The probe: a 10 ms timer whose longest gap tells how long the window
    // stopped answering while rows arrived.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    // The processor time the GUI thread spent within each gap tells work from
    // waiting for a core: the longest of those is what a quiet machine shows.
    qint64 lastTick = 0;
    double lastTickCpu = 0;
    qint64 longestGap = 0;
    double longestGapCpu = 0;
    int rowsAfterLongestGap = 0;
    double longestBusy = 0;
    int rowsAfterLongestBusy = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const double cpu = threadCpuMs();
        if (lastRowAt < 0 && now - lastTick > longestGap) {
            longestGap = now - lastTick;
            longestGapCpu = cpu - lastTickCpu;
            rowsAfterLongestGap = model->rowCount();
        }
        if (lastRowAt < 0 && cpu - lastTickCpu > longestBusy) {
            longestBusy = cpu - lastTickCpu;
            rowsAfterLongestBusy = model->rowCount();
        }
        lastTick = now;
        lastTickCpu = cpu;
        if (lastRowAt >= 0 && now - lastRowAt > 500)
            app.quit();  // time for the final column fit to show in the gap record
    });

    QThread feederThread;
    Feeder feeder(QDir::toNativeSeparators(dir.path()), batches, perBatch,
                  parser.isSet(contentOption));
    feeder.moveToThread(&feederThread);
    QObject::connect(&feeder, SIGNAL(PushGotFiles(QString, QList<TFileInfo>)), &window,
                     SLOT(do_GetResultFileInfo(QString, QList<TFileInfo>)));
    QObject::connect(&feederThread, &QThread::started, &feeder, &Feeder::run);

    QTimer::singleShot(200, [&] {  // let the window settle first
        clock.start();
        startCpu = threadCpuMs();
        lastTickCpu = startCpu;
        probe.start(10);
        feederThread.start();
    });
    app.exec();
    feederThread.quit();
    feederThread.wait();

    const int shown = model->rowCount();
    std::printf("rows in table:          %d of %d (%d batches of %d, %s hits)\n", shown, total,
                batches, perBatch, parser.isSet(contentOption) ? "content" : "name");
    std::printf("time to the last row:   %.2f s (GUI thread CPU %.2f s)\n", lastRowAt / 1000.0,
                (lastRowCpu - startCpu) / 1000.0);
    std::printf(
            "longest probe gap:      %lld ms (GUI thread CPU %.0f ms; ending with %d rows in)\n",
            static_cast<long long>(longestGap), longestGapCpu, rowsAfterLongestGap);
    std::printf("longest busy gap:       GUI thread CPU %.0f ms (ending with %d rows in)\n",
                longestBusy, rowsAfterLongestBusy);
    std::printf("peak memory:            %.0f MiB\n", peakMemoryMiB());

    // Sorting: each column, as a click on its header does.
    auto *table = window.findChild<QTableView *>(QStringLiteral("tableView_result"));
    for (int column = 0; column < model->columnCount(); ++column) {
        QElapsedTimer sortClock;
        sortClock.start();
        const double cpuBefore = threadCpuMs();
        table->sortByColumn(column, Qt::AscendingOrder);
        std::printf("sort by column %d:       %lld ms (CPU %.0f ms)\n", column,
                    static_cast<long long>(sortClock.elapsed()), threadCpuMs() - cpuBefore);
    }

    // A new search clears the table: the time the request holds the window.
    auto *find = window.findChild<QComboBox *>(QStringLiteral("comboBoxForFind"));
    auto *folder = window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"));
    find->setEditText(QStringLiteral("no-such-name"));
    folder->setEditText(dir.path());
    QElapsedTimer clearClock;
    clearClock.start();
    const double clearCpu = threadCpuMs();
    QMetaObject::invokeMethod(&window, "do_search", Qt::DirectConnection);
    std::printf("new search over them:   %lld ms (CPU %.0f ms)\n",
                static_cast<long long>(clearClock.elapsed()), threadCpuMs() - clearCpu);
    return shown == total ? 0 : 1;
}

#include "table-bench.moc"
