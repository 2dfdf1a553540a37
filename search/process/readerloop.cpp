#include "readerloop.h"

#include "jobchannel.h"
#include "readersandbox.h"
#include "temporaryspace.h"
#include "uniquefd.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#ifdef VELTO_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// Hits go to the search in pieces of this many.
constexpr int kPieceSize = 500;

// Exit status of a reader whose memory ran out in C++ code.
constexpr int kOutOfMemoryStatus = 3;

// Read by the last words below, which may run in a signal handler.
std::atomic_int channelFd {-1};
std::atomic_bool inJob {false};

SandboxReport sandbox;  // written once, before the first job

// Tells the search that memory ran out, as the reader's last message. Only
// async-signal-safe calls: it may run in a signal handler.
void sayOutOfMemory()
{
    const int fd = channelFd.load();
    if (fd < 0)
        return;
    const char message[5] = {0, 0, 0, 0, char(MessageKind::OutOfMemory)};
    [[maybe_unused]] const ssize_t sent = ::send(fd, message, sizeof(message), MSG_NOSIGNAL);
}

void onNewFailed()
{
    sayOutOfMemory();
    ::_exit(kOutOfMemoryStatus);
}

// A library that gives up ends the process with exit() or abort(); when its
// last failed call was for memory (the C library's malloc leaves ENOMEM
// behind), that is what the search is told.
void onExit()
{
    if (inJob.load() && errno == ENOMEM)
        sayOutOfMemory();
}

void onFatalSignal(int signal)
{
    if (inJob.load() && errno == ENOMEM)
        sayOutOfMemory();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installLastWords()
{
    std::set_new_handler(onNewFailed);
    std::atexit(onExit);
    std::signal(SIGABRT, onFatalSignal);
#ifndef VELTO_SANITIZED  // a sanitizer's own handlers report these
    static char alternateStack[64 * 1024];
    stack_t stack {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof(alternateStack);
    ::sigaltstack(&stack, nullptr);
    struct sigaction action
    {
    };
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_ONSTACK;
    ::sigaction(SIGSEGV, &action, nullptr);
    ::sigaction(SIGBUS, &action, nullptr);
#endif
}

// Ends the process as soon as the search's end of the socket closes, whatever
// the reader is doing: a reader must not outlive the search that started it,
// and one caught in a loop never reads the socket again.
void watchSearch(int fd)
{
    std::thread([fd] {
        pollfd watched {fd, POLLRDHUP, 0};
        while (::poll(&watched, 1, -1) < 0 && errno == EINTR) { }
        ::_exit(0);
    }).detach();
}

bool readArguments(int argc, char **argv, int *fd, qint64 *memory, int *temporarySpaceFd)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        char *end = nullptr;
        const long long value = std::strtoll(argv[i + 1], &end, 10);
        if (*end != '\0' || value < 0)
            return false;
        if (std::strcmp(argv[i], "--reader-fd") == 0)
            *fd = int(value);
        else if (std::strcmp(argv[i], "--memory-limit") == 0)
            *memory = value;
        else if (std::strcmp(argv[i], "--temporary-space-fd") == 0)
            *temporarySpaceFd = int(value);
        else
            return false;
    }
    return *fd >= 0 && *memory > 0;
}

}  // namespace

ReaderReplies::ReaderReplies(const JobChannel &channel)
    : channel(channel), sink(kPieceSize, [this](const QList<TFileInfo> &piece) {
          return sendDiagnostics() && this->channel.send(MessageKind::Hits, encodeHits(piece));
      })
{
}

bool ReaderReplies::sendDiagnostics()
{
    if (diagnosticText.isEmpty())
        return true;
    const bool sent = channel.send(MessageKind::Diagnostics, diagnosticText);
    diagnosticText.clear();
    return sent;
}

void ReaderReplies::unreadable(qint64 count)
{
    if (count > 0)
        channel.send(MessageKind::Unreadable, encodeCount(count));
}

void ReaderReplies::finish()
{
    sink.flush();
    sendDiagnostics();
    channel.send(MessageKind::Done, QByteArray());
}

const SandboxReport &enteredSandbox()
{
    return sandbox;
}

int runReaderProcess(int argc, char **argv, const QHash<QByteArray, ReaderHandler> &handlers)
{
    int fd = -1;
    qint64 memory = 0;
    int temporarySpaceFd = -1;
    if (!readArguments(argc, argv, &fd, &memory, &temporarySpaceFd))
        return 2;
    // Copies the reader makes count against the search's one budget.
    if (temporarySpaceFd >= 0 && !TemporarySpace::adopt(temporarySpaceFd))
        return 2;
    std::signal(SIGPIPE, SIG_IGN);
#ifdef VELTO_SANITIZED
    // The sandbox opens no log file: a sanitizer's reports go to standard
    // error, which the search leaves open in these builds.
    __sanitizer_set_report_path("stderr");
#endif
    if (!enterReaderSandbox(memory, &sandbox))
        return 3;
    const JobChannel channel(fd);
    channelFd = fd;
    installLastWords();
    watchSearch(fd);

    ChannelMessage message;
    while (channel.receive(message)) {
        if (message.kind != MessageKind::Job)
            return 2;
        const UniqueFd folder(message.fd);
        message.fd = -1;
        ReaderJob job;
        if (!decodeJob(message.payload, job))
            return 2;
        job.folderFd = folder.get();
        // Said at once: a job waiting for a reader that is starting need
        // not wait for this one's first hit, which may come at its end.
        channel.send(MessageKind::Taken, QByteArray());
        ReaderReplies replies(channel);
        const auto handler = handlers.constFind(job.kind);
        inJob = true;
        if (handler != handlers.constEnd())
            (*handler)(job, replies);
        else
            diagnostic("%s: no reader for %s", job.displayPath.constData(), job.kind.constData());
        inJob = false;
        replies.finish();
    }
    // The search has closed its end. Nothing the process holds needs the C
    // library's exit handlers, and a sanitizer's leak check could not run
    // inside the sandbox.
    ::_exit(0);
}
