// Feeds the main window a large number of name hits the way the search thread
// does (queued deliveries from another thread) and measures how the result
// table copes: the time until the last row is in, the longest pause of the
// event loop while rows arrive, and the peak memory.
//
//   velto-table-bench [--hits N] [--batches B] [--missing-files]
//
// The hits name real files unless --missing-files is given, so every row pays
// for reading a modification time as it would after a real search.
#include "localtimezone.h"
#include "mainwindow.h"
#include "tfileinfo.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

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

}  // namespace

// Stands in for the search thread: emits one delivery per directory from its
// own thread, as fast as it can.
class Feeder : public QObject
{
    Q_OBJECT

public:
    Feeder(QString dirName, int batches, int hitsPerBatch)
        : dirName(std::move(dirName)), batches(batches), hitsPerBatch(hitsPerBatch)
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
            for (int i = 0; i < hitsPerBatch; ++i)
                hits << TFileInfo {QStringLiteral("f%1.txt").arg(i), 0, QString()};
            emit PushGotFiles(QString(dirName), hits);
        }
    }

private:
    const QString dirName;
    const int batches;
    const int hitsPerBatch;
};

int main(int argc, char **argv)
{
    pinLocalTimeZone();  // as the program does at start-up
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption hitsOption("hits", "Hits in total.", "N", "1000000");
    const QCommandLineOption batchesOption("batches", "Directory batches.", "B", "2000");
    const QCommandLineOption missingOption("missing-files", "Hits name files that do not exist.");
    parser.addOptions({hitsOption, batchesOption, missingOption});
    parser.process(app);
    const int batches = parser.value(batchesOption).toInt();
    const int total = parser.value(hitsOption).toInt() / batches * batches;
    const int perBatch = total / batches;

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary directory");
    if (!parser.isSet(missingOption)) {
        for (int i = 0; i < perBatch; ++i) {
            QFile file(dir.filePath(QStringLiteral("f%1.txt").arg(i)));
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot create %s", qPrintable(file.fileName()));
        }
    }

    MainWindow window;
    window.show();
    QAbstractItemModel *model
            = window.findChild<QTableView *>(QStringLiteral("tableView_result"))->model();

    QElapsedTimer clock;
    qint64 lastRowAt = -1;
    QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        if (lastRowAt < 0 && model->rowCount() == total)
            lastRowAt = clock.elapsed();
    });

    // The probe: a 10 ms timer whose longest gap tells how long the window
    // stopped answering while rows arrived.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    int rowsAfterLongestGap = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastRowAt < 0 && now - lastTick > longestGap) {
            longestGap = now - lastTick;
            rowsAfterLongestGap = model->rowCount();
        }
        lastTick = now;
        if (lastRowAt >= 0 && now - lastRowAt > 500)
            app.quit();  // time for the final column fit to show in the gap record
    });

    QThread feederThread;
    Feeder feeder(QDir::toNativeSeparators(dir.path()), batches, perBatch);
    feeder.moveToThread(&feederThread);
    QObject::connect(&feeder, SIGNAL(PushGotFiles(QString, QList<TFileInfo>)), &window,
                     SLOT(do_GetResultFileInfo(QString, QList<TFileInfo>)));
    QObject::connect(&feederThread, &QThread::started, &feeder, &Feeder::run);

    QTimer::singleShot(200, [&] {  // let the window settle first
        clock.start();
        probe.start(10);
        feederThread.start();
    });
    app.exec();
    feederThread.quit();
    feederThread.wait();

    std::printf("rows in table:          %d of %d (%d batches of %d, %s files)\n",
                model->rowCount(), total, batches, perBatch,
                parser.isSet(missingOption) ? "missing" : "existing");
    std::printf("time to the last row:   %.2f s\n", lastRowAt / 1000.0);
    std::printf("longest probe gap:      %lld ms (ending with %d rows in)\n",
                static_cast<long long>(longestGap), rowsAfterLongestGap);
    std::printf("peak memory:            %.0f MiB\n", peakMemoryMiB());
    return model->rowCount() == total ? 0 : 1;
}

#include "table-bench.moc"
