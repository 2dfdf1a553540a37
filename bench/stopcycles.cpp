// Starts and stops the search thread many times at random moments over a
// tree and checks that every stop is prompt and that nothing is emitted once
// stop() has returned. Built with -DVELTO_BENCH=ON; run it in a sanitizer
// build so that leaks and races show too (bench/stress.sh does).
//   velto-stop-cycles TREE [CYCLES] [SEED]
#include "searchthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

struct Mode
{
    const char *name;
    QString text;
    bool deep;
};

long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velto-stop-cycles TREE [CYCLES] [SEED]\n");
        return 2;
    }
    const QString tree = args.at(1);
    const int cycles = args.value(2, QStringLiteral("500")).toInt();
    QRandomGenerator random(args.value(3, QStringLiteral("1")).toUInt());
    const Mode modes[] = {{"name", QString(), false},
                          {"content", QStringLiteral("needle"), false},
                          {"deep", QStringLiteral("needle"), true}};

    searchThread thread;
    std::atomic_bool stopReturned {false};
    std::atomic<int> lateEmissions {0};
    std::atomic<long> hits {0};
    // Direct connection: the slot runs on the search thread inside the emission,
    // so an emission that begins after stop() returned is seen here.
    QObject::connect(
            &thread, &searchThread::PushGotFiles, &thread,
            [&](const QString &, const QList<TFileInfo> &namelist) {
                if (stopReturned.load())
                    ++lateEmissions;
                hits += namelist.size();
            },
            Qt::DirectConnection);

    // One full run per mode gives the span within which the stops fall.
    qint64 fullRunMs[3];
    for (int m = 0; m < 3; ++m) {
        QElapsedTimer clock;
        clock.start();
        thread.setParameters({QDir(tree)}, {QStringLiteral("*")}, modes[m].text,
                             Qt::CaseInsensitive, true, false, modes[m].deep);
        thread.start();
        thread.wait();
        fullRunMs[m] = std::max<qint64>(1, clock.elapsed());
        std::printf("full %s search: %lld ms, %ld hits\n", modes[m].name, (long long)fullRunMs[m],
                    hits.exchange(0));
    }

    long rssAfterWarmUp = 0;
    qint64 slowestStopMs = 0;
    int endedBeforeStop = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const int m = cycle % 3;
        thread.setParameters({QDir(tree)}, {QStringLiteral("*")}, modes[m].text,
                             Qt::CaseInsensitive, true, false, modes[m].deep);
        stopReturned = false;
        thread.start();
        // Within the first half of a full run, so that most stops land mid-search.
        QThread::usleep(random.bounded(quint32(fullRunMs[m] * 500)));
        if (thread.isFinished())
            ++endedBeforeStop;
        QElapsedTimer clock;
        clock.start();
        thread.stop();
        stopReturned = true;
        if (!thread.wait(10000)) {
            std::fprintf(stderr, "cycle %d (%s): the search did not end within 10 s of the stop\n",
                         cycle, modes[m].name);
            return 1;
        }
        slowestStopMs = std::max(slowestStopMs, clock.elapsed());
        if (cycle == cycles / 10)
            rssAfterWarmUp = residentKib();
    }
    const long rssAtEnd = residentKib();
    std::printf("%d cycles: %d ended before their stop, slowest stop %lld ms, "
                "%d emissions after a stop, resident memory %ld KiB after %d cycles, %ld KiB at "
                "the end\n",
                cycles, endedBeforeStop, (long long)slowestStopMs, lateEmissions.load(),
                rssAfterWarmUp, cycles / 10 + 1, rssAtEnd);
    return lateEmissions.load() == 0 ? 0 : 1;
}
