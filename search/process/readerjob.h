#ifndef READERJOB_H
#define READERJOB_H

#include <QByteArray>
#include <QString>

#include <chrono>

// One piece of work for a reader process: a file of an open folder, read by
// the reader of `kind` as `request` asks. The folder travels as a descriptor,
// so the process needs no path and no right to open folders of its own.
struct ReaderJob
{
    QByteArray kind;         // which reader reads it
    int folderFd = -1;       // the folder holding the entry, not owned; -1: none
    QByteArray entryName;    // the entry's name in that folder, as its bytes
    QString entryText;       // the same name as the search decoded it, for hits
    QByteArray displayPath;  // the entry as diagnostics name it
    QByteArray request;      // what to look for, in the reader's own encoding
};

// What a reader process may take before it is stopped.
struct ReaderLimits
{
    // Memory beyond what the process holds when it has started.
    qint64 memoryBytes = qint64(1) << 30;
    // Processor time one job may use. Generous: a legitimate archive of
    // gigabytes is read in well under it, a reader caught in a loop never ends.
    std::chrono::milliseconds processorTime {std::chrono::minutes(10)};
    // Time one job may take on the clock: a reader that waits without end
    // (blocked, not spinning) or trickles its answer out. Longer than the
    // processor time, so that a reader that works is judged by that.
    std::chrono::milliseconds runningTime {std::chrono::minutes(15)};
};

#endif  // READERJOB_H
