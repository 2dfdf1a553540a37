#ifndef SEARCHRUN_H
#define SEARCHRUN_H

#include "hitprinter.h"
#include "interruptnotifier.h"
#include "options.h"
#include "searchthread.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>

class ProgressLine;

// One search from the command line: runs the engine, prints hits as their
// batches arrive, stops on SIGINT or SIGTERM (printing every hit found before
// the stop), shows a progress line when standard error is a terminal of its
// own, and ends with a count of what could not be read.
class SearchRun : public QObject
{
    Q_OBJECT

public:
    explicit SearchRun(const ParsedArguments &arguments);
    ~SearchRun() override;

    // Runs the search to its end or to a stop; returns the exit status.
    int exec();

private:
    // Decides which of the main thread and the watchdog ends the process:
    // whoever closes it first; the other never touches the run again.
    struct ExitGate
    {
        std::mutex mutex;
        bool closed = false;  // guarded by mutex
    };

    void onInterrupted(int signalNumber);
    void updateProgress();
    void armWatchdog();
    void printUndelivered();

    const SearchRequest request;
    const bool quiet;                   // nothing printed; the first hit ends the search
    const bool silent;                  // no diagnostics
    std::atomic_bool quietHit {false};  // a hit was found while quiet
    // Declared before the worker so that it outlives it: the worker's
    // batches go to the printer.
    HitPrinter printer;
    searchThread worker;
    InterruptNotifier interrupts;
    std::unique_ptr<ProgressLine> progress;  // null unless shown
    QTimer progressTimer;
    QEventLoop loop;
    int stopSignal = 0;
    std::shared_ptr<ExitGate> exitGate;  // shared with the watchdog
};

#endif  // SEARCHRUN_H
