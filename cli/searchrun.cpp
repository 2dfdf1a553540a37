#include "searchrun.h"

#include "diagnostics.h"
#include "progressline.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// How long a stop may take before the process ends without waiting for the
// search thread or for a standard output that nobody reads.
constexpr std::chrono::milliseconds stopGrace{2000};
constexpr int progressIntervalMs = 200;

int exitStatusForSignal(int signalNumber)
{
    return 128 + signalNumber;
}

} // namespace

SearchRun::SearchRun(const SearchRequest &request)
    : request(request),
      printer(STDOUT_FILENO, request.json ? HitPrinter::Format::Json : HitPrinter::Format::Lines),
      finishedCleanly(std::make_shared<std::atomic_bool>(false))
{
}

SearchRun::~SearchRun() = default;

int SearchRun::exec()
{
    // Standard output carries hits only.
    setDiagnosticStream(stderr);

    // Runs in the search thread, so batches are printed in emission order
    // and none waits in an event queue. The engine's emit lock is recursive,
    // so stopping from here is allowed.
    connect(&worker, &searchThread::PushGotFiles, this,
            [this](const QString &dirName, const QList<TFileInfo> &hits) {
                printer.printBatch(dirName, hits);
                if (printer.failed())
                    worker.stop();
            },
            Qt::DirectConnection);
    // finished() is emitted by the search thread; the loop quits in this one.
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    connect(&interrupts, &InterruptNotifier::interrupted, this, &SearchRun::onInterrupted);

    if (isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO)) {
        progress = std::make_unique<ProgressLine>(STDERR_FILENO);
        if (progress->diagnostics())
            setDiagnosticStream(progress->diagnostics());
        connect(&progressTimer, &QTimer::timeout, this, &SearchRun::updateProgress);
        progressTimer.start(progressIntervalMs);
    }

    worker.setArchiveNameCodec(request.archiveNameCodec);
    worker.setParameters(request.dirs, request.patterns, request.text, request.caseSensitivity,
                         request.recursive, request.exact, request.deep);
    worker.start(QThread::InheritPriority);
    loop.exec();
    worker.wait();

    progressTimer.stop();
    setDiagnosticStream(stderr);
    progress.reset();
    const bool written = printer.flush();
    finishedCleanly->store(true);

    if (stopSignal != 0)
        return exitStatusForSignal(stopSignal);
    if (!written) {
        // A reader that went away (velto-find | head) needs no message.
        if (printer.error() != EPIPE)
            std::fprintf(stderr, "velto-find: cannot write the hits: %s\n", std::strerror(printer.error()));
        return 2;
    }
    return printer.hitCount() > 0 ? 0 : 1;
}

void SearchRun::onInterrupted(int signalNumber)
{
    if (stopSignal != 0)
        return;
    stopSignal = signalNumber;
    armWatchdog();
    worker.stop();
}

// A write to a full pipe that nobody reads can hold the search thread, and
// with it the stop, for ever; after a grace period the process ends anyway.
void SearchRun::armWatchdog()
{
    const int status = exitStatusForSignal(stopSignal);
    std::thread([status, done = finishedCleanly] {
        std::this_thread::sleep_for(stopGrace);
        if (done->load())
            return;
        ::_exit(status);
    }).detach();
}

void SearchRun::updateProgress()
{
    progress->show(QStringLiteral("velto-find: %1 folders visited, %2 hits")
                       .arg(worker.visitedDirectories())
                       .arg(printer.hitCount()));
}
