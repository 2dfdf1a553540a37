#include "searchrun.h"

#include "diagnostics.h"
#include "progressline.h"
#include "threadhandover.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// After a stop, how long the output may stand still before the process ends
// without waiting for the search thread any longer.
constexpr std::chrono::milliseconds stopGrace {2000};
constexpr std::chrono::milliseconds watchdogPoll {50};
constexpr int progressIntervalMs = 200;

int exitStatusForSignal(int signalNumber)
{
    return 128 + signalNumber;
}

QByteArray counted(quint64 count, const char *one, const char *many)
{
    return QByteArray::number(count) + ' ' + (count == 1 ? one : many);
}

// grep names every file it cannot read; this is the same word in one line:
// "velto-find: 2 folders and 1 file could not be read". Empty when all was read.
QByteArray unreadableSummary(quint64 folders, quint64 files)
{
    QList<QByteArray> parts;
    if (folders > 0)
        parts << counted(folders, "folder", "folders");
    if (files > 0)
        parts << counted(files, "file", "files");
    if (parts.isEmpty())
        return QByteArray();
    return "velto-find: " + parts.join(" and ") + " could not be read\n";
}

void writeToStandardError(const QByteArray &text)
{
    [[maybe_unused]] const ssize_t ignored
            = ::write(STDERR_FILENO, text.constData(), size_t(text.size()));
}

}  // namespace

SearchRun::SearchRun(const ParsedArguments &arguments)
    : request(arguments.request), quiet(arguments.quiet), silent(arguments.silent),
      printer(STDOUT_FILENO, arguments.json ? HitPrinter::Format::Json : HitPrinter::Format::Lines,
              arguments.style),
      exitGate(std::make_shared<ExitGate>())
{
}

SearchRun::~SearchRun() = default;

int SearchRun::exec()
{
    // Standard output carries hits only.
    FILE *const diagnostics = silent ? std::fopen("/dev/null", "w") : stderr;
    setDiagnosticStream(diagnostics ? diagnostics : stderr);

    // Runs in the search thread, so batches are printed in emission order
    // and none waits in an event queue. The engine's emit lock is recursive,
    // so stopping from here is allowed.
    connect(
            &worker, &searchThread::PushGotFiles, this,
            [this](const QString &dirName, const QList<TFileInfo> &hits) {
                if (quiet) {
                    if (std::any_of(hits.begin(), hits.end(), countsAsFound)) {
                        quietHit = true;
                        worker.stop();
                    }
                    return;
                }
                printer.printBatch(dirName, hits);
                if (printer.failed())
                    worker.stop();
            },
            Qt::DirectConnection);
    // finished() is emitted by the search thread; the loop quits in this one.
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    connect(&interrupts, &InterruptNotifier::interrupted, this, &SearchRun::onInterrupted);

    if (isatty(STDERR_FILENO) && !isatty(STDOUT_FILENO) && !silent && !quiet) {
        progress = std::make_unique<ProgressLine>(STDERR_FILENO);
        if (progress->diagnostics())
            setDiagnosticStream(progress->diagnostics());
        connect(&progressTimer, &QTimer::timeout, this, &SearchRun::updateProgress);
        progressTimer.start(progressIntervalMs);
    }

    worker.setParameters(request);
    worker.start(QThread::InheritPriority);
    loop.exec();
    worker.wait();
    takeOver(&worker);
    printUndelivered();

    progressTimer.stop();
    setDiagnosticStream(stderr);
    if (diagnostics && diagnostics != stderr)
        std::fclose(diagnostics);
    progress.reset();
    const bool written = printer.flush();
    {
        const std::lock_guard<std::mutex> lock(exitGate->mutex);
        exitGate->closed = true;
    }
    if (!silent)
        writeToStandardError(
                unreadableSummary(worker.unreadableFolders(), worker.unreadableFiles()));

    if (quietHit)
        return 0;  // as grep -q: a hit, whatever else happened
    if (stopSignal != 0)
        return exitStatusForSignal(stopSignal);
    if (!written) {
        // A reader that went away (velto-find | head) needs no message.
        if (printer.error() != EPIPE)
            std::fprintf(stderr, "velto-find: cannot write the hits: %s\n",
                         std::strerror(printer.error()));
        return 2;
    }
    return printer.hitCount() > 0 ? 0 : 1;
}

// A stopped search keeps the hits it had found and not yet handed over (the
// folder it was in, and what the workers had found beyond it); they were
// found before the stop, so they are printed, in order.
void SearchRun::printUndelivered()
{
    for (const ResultBatch &folder : worker.undelivered()) {
        if (!quiet)
            printer.printBatch(folder.dirName, folder.namelist);
        else if (std::any_of(folder.namelist.begin(), folder.namelist.end(), countsAsFound))
            quietHit = true;
    }
}

void SearchRun::onInterrupted(int signalNumber)
{
    if (stopSignal != 0)
        return;
    stopSignal = signalNumber;
    armWatchdog();
    worker.stop();
}

// A search thread stuck where no stop reaches it (a write to a full pipe
// that nobody reads, a file system that does not answer) would hold the stop
// for ever. While the output moves on, the run goes on; once it has stood
// still for the grace period, the watchdog writes what it can of the hits
// printed, counts what could not be read and ends the process.
void SearchRun::armWatchdog()
{
    const int status = exitStatusForSignal(stopSignal);
    std::thread([this, status, gate = exitGate] {
        using Clock = std::chrono::steady_clock;
        std::unique_lock<std::mutex> lock(gate->mutex, std::defer_lock);
        quint64 seen = printer.bytesWritten();
        Clock::time_point quietSince = Clock::now();
        bool finishedBefore = false;
        for (;;) {
            std::this_thread::sleep_for(watchdogPoll);
            lock.lock();
            if (gate->closed)
                return;  // the run ended on its own and may be gone
            const quint64 written = printer.bytesWritten();
            if (written != seen) {
                seen = written;
                quietSince = Clock::now();
            }
            // A finished search thread leaves the last hits to the main
            // thread, which needs a moment for them unless its output stalls.
            const bool finished = worker.isFinished();
            if (Clock::now() - quietSince >= stopGrace && (!finished || finishedBefore))
                break;
            finishedBefore = finished;
            lock.unlock();
        }
        // The gate stays closed to the main thread: the run stays alive.
        printer.flushBeforeExit(stopGrace);
        if (!silent)
            writeToStandardError(
                    unreadableSummary(worker.unreadableFolders(), worker.unreadableFiles()));
        ::_exit(status);
    }).detach();
}

void SearchRun::updateProgress()
{
    progress->show(QStringLiteral("velto-find: %1 folders visited, %2 hits")
                           .arg(worker.visitedDirectories())
                           .arg(printer.hitCount()));
}
