#ifndef READERPROCESS_H
#define READERPROCESS_H

#include "jobchannel.h"
#include "readerjob.h"
#include "uniquefd.h"

#include <QString>

#include <chrono>
#include <memory>
#include <sys/types.h>

// One reader process as the search sees it: started from `program` with its
// end of a socket, talked to over the other end, killed and reaped when it
// goes. Its standard input and output are /dev/null, and so is its standard
// error but in sanitizer builds, whose reports it carries.
class ReaderProcess
{
public:
    // Null when the process cannot be started; `error` says why.
    static std::unique_ptr<ReaderProcess> start(const QString &program, const ReaderLimits &limits,
                                                QString *error);
    // Kills the process if it still runs, and reaps it.
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    pid_t pid() const { return processId; }
    const JobChannel &channel() const { return jobChannel; }

    // Processor time the process has used so far; zero once it is reaped.
    std::chrono::nanoseconds processorTime() const;
    // Memory it holds now (resident), in bytes; 0 when that cannot be read.
    qint64 residentBytes() const;
    // False once its end of the socket is closed or has something unasked
    // for to read: a process between jobs that is no longer fit for one.
    bool isIdleAndAlive() const;

    void kill();
    // Waits for the process to end; its wait status (as waitpid gives it).
    int reap();

private:
    ReaderProcess(pid_t pid, UniqueFd socket);

    pid_t processId;
    UniqueFd socket;
    JobChannel jobChannel;
    bool reaped = false;
    int status = 0;
};

#endif  // READERPROCESS_H
