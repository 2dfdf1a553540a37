// A reader process whose readers stand in for real ones that misbehave: each
// job kind does one thing a broken or hostile parser might do, after handing
// on one hit, so the tests see what a failing job keeps. Run with
// --pool-parent, it is instead a search that keeps one idle and one busy
// reader of its own and says their process ids, for the test that kills it.
#include "readerloop.h"
#include "readerprocesspool.h"

#include <QFile>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

void firstHit(const ReaderJob &job, ReaderReplies &replies)
{
    replies.hits().append(TFileInfo {QString::fromUtf8(job.entryName), 1, "before the fault"});
    replies.hits().flush();
}

// The lines of the entry, read through the folder's descriptor, each a hit,
// the whole file `request` times over.
void readLines(const ReaderJob &job, ReaderReplies &replies)
{
    const int fd = ::openat(job.folderFd, job.entryName.constData(), O_RDONLY | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        replies.unreadable(1);
        diagnostic("%s: cannot open", job.displayPath.constData());
        return;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    const int times = qMax(1, job.request.toInt());
    for (int round = 0; round < times; ++round) {
        for (int i = 0; i < lines.size(); ++i) {
            if (!lines.at(i).isEmpty())
                replies.hits().append(TFileInfo {QString::fromUtf8(job.entryName), i + 1,
                                                 QString::fromUtf8(lines.at(i))});
        }
    }
}

void allocateWithNew(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    for (;;) {
        char *block = new char[1 << 20];
        std::memset(block, 1, 1 << 20);
    }
}

// As a C library does: malloc, and the end of the process when it fails.
void allocateWithMalloc(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    for (;;) {
        void *block = std::malloc(1 << 20);
        if (!block) {
            static const char message[] = "Out of memory\n";
            [[maybe_unused]] const ssize_t written = ::write(2, message, sizeof(message) - 1);
            std::exit(1);
        }
        std::memset(block, 1, 1 << 20);
    }
}

void spin(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    for (volatile unsigned long i = 0;; i = i + 1) { }
}

// Waits without end, using no processor time.
// Waits without end, and says nothing: an archive searched without a hit.
void silent(const ReaderJob &, ReaderReplies &)
{
    for (;;)
        ::pause();
}

void block(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    for (;;)
        ::poll(nullptr, 0, -1);
}

// Sends a hit every few milliseconds without end: never silent, never busy.
void drip(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    for (;;) {
        ::poll(nullptr, 0, 5);
        replies.hits().append(TFileInfo {QString::fromUtf8(job.entryName), 2, "drip"});
        replies.hits().flush();
    }
}

void abortReader(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    std::abort();
}

void writeFile(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    const int fd = ::openat(job.folderFd, "written", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        replies.hits().append(TFileInfo {"written", 1, "the file was created"});
}

void connectOut(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(9);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0)
        replies.hits().append(TFileInfo {"socket", 1, "connected"});
}

void startProgram(const ReaderJob &job, ReaderReplies &replies)
{
    firstHit(job, replies);
    ::execl("/bin/true", "true", nullptr);
}

// What the sandbox holds, as one hit for the test to read.
void describeSandbox(const ReaderJob &, ReaderReplies &replies)
{
    const SandboxReport &sandbox = enteredSandbox();
    replies.hits().append(
            TFileInfo {"sandbox", sandbox.landlockAbi, sandbox.seccomp ? "seccomp" : "no seccomp"});
}

int poolParent(const char *program)
{
    ReaderProcessPool pool(QFile::decodeName(program));
    std::thread([&pool] {
        HitSink spinHits;
        QByteArray spinDiagnostics;
        ReaderJobOutput spinOutput {spinHits, spinDiagnostics};
        pool.run(ReaderJob {"spin", -1, "busy", "busy", "busy", {}}, spinOutput, nullptr);
    }).detach();
    while (pool.processIds().empty())
        ::usleep(1000);
    // The one process is busy: this job takes a second, idle once it is done.
    HitSink hits;
    QByteArray diagnostics;
    ReaderJobOutput output {hits, diagnostics};
    pool.run(ReaderJob {"sandbox", -1, "idle", "idle", "idle", {}}, output, nullptr);
    for (const pid_t pid : pool.processIds())
        std::printf("%d\n", int(pid));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--pool-parent") == 0)
        return poolParent(argv[0]);
    return runReaderProcess(argc, argv,
                            {{"lines", readLines},
                             {"new", allocateWithNew},
                             {"malloc", allocateWithMalloc},
                             {"spin", spin},
                             {"block", block},
                             {"silent", silent},
                             {"drip", drip},
                             {"abort", abortReader},
                             {"write", writeFile},
                             {"connect", connectOut},
                             {"exec", startProgram},
                             {"sandbox", describeSandbox}});
}
