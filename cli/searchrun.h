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

class ProgressLine;

// One search from the command line: runs the engine, prints hits as their
// batches arrive, stops on SIGINT or SIGTERM,
// and shows a progress line when standard error is a terminal of its own.
class SearchRun : public QObject
{
    Q_OBJECT

public:
    explicit SearchRun(const SearchRequest &request);
    ~SearchRun() override;

    // Runs the search to its end or to a stop; returns the exit status.
    int exec();

private:
    void onInterrupted(int signalNumber);
    void updateProgress();
    void armWatchdog();

    const SearchRequest request;
    // Declared before the worker so that it outlives it: the worker's
    // batches go to the printer.
    HitPrinter printer;
    searchThread worker;
    InterruptNotifier interrupts;
    std::unique_ptr<ProgressLine> progress;  // null unless shown
    QTimer progressTimer;
    QEventLoop loop;
    int stopSignal = 0;
    std::shared_ptr<std::atomic_bool> finishedCleanly;  // shared with the watchdog
};

#endif // SEARCHRUN_H
