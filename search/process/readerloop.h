#ifndef READERLOOP_H
#define READERLOOP_H

#include "diagnostics.h"
#include "hitsink.h"
#include "readerjob.h"
#include "readersandbox.h"

#include <QByteArray>
#include <QHash>

#include <functional>

class JobChannel;

// Where a reader puts what its job finds: hits go to the search in pieces as
// they come (the socket's buffer bounds how far the reader runs ahead), each
// after the diagnostics written before it (diagnostic() is captured while the
// job runs), so a reader that dies later keeps them.
class ReaderReplies
{
public:
    explicit ReaderReplies(const JobChannel &channel);

    HitSink &hits() { return sink; }
    // Files of the job that could not be read.
    void unreadable(qint64 count);
    // Sends the hits and diagnostics kept, then Done.
    void finish();

private:
    bool sendDiagnostics();

    const JobChannel &channel;
    QByteArray diagnosticText;
    DiagnosticsCapture capture {diagnosticText};
    HitSink sink;
};

// Reads one job: finds what `replies` gets. The job's folder descriptor is
// closed by the loop once the reader returns.
using ReaderHandler = std::function<void(const ReaderJob &job, ReaderReplies &replies)>;

// The whole life of a reader process, for its main(): takes the socket
// ("--reader-fd N") and the memory budget ("--memory-limit BYTES") from the
// arguments, enters the sandbox, then answers each job with the handler of its
// kind until the search closes its end, and returns the exit status. When the
// search is gone (ended, killed), the process ends too, in a job or not.
int runReaderProcess(int argc, char **argv, const QHash<QByteArray, ReaderHandler> &handlers);

// The sandbox the process entered, for a reader that reports it.
const SandboxReport &enteredSandbox();

#endif  // READERLOOP_H
