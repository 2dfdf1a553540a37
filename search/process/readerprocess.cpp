#include "readerprocess.h"

#include "temporaryspace.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// The descriptors the reader finds its socket and the search's count of
// temporary space at.
constexpr int kReaderFd = 3;
constexpr int kTemporarySpaceFd = 4;

}  // namespace

std::unique_ptr<ReaderProcess> ReaderProcess::start(const QString &program,
                                                    const ReaderLimits &limits, QString *error)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    UniqueFd ours(ends[0]);
    UniqueFd theirs(ends[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Every descriptor of the search is close-on-exec or closed here, so no
    // reader holds another's socket and each sees its own search go.
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), kReaderFd);
    const int temporarySpace = TemporarySpace::shareableDescriptor();
    if (temporarySpace >= 0)
        posix_spawn_file_actions_adddup2(&actions, temporarySpace, kTemporarySpaceFd);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
#ifndef VELTO_SANITIZED
    // What a library prints on its way out is not the user's diagnostic: the
    // search words each failure itself.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#endif
    posix_spawn_file_actions_addclosefrom_np(
            &actions, temporarySpace >= 0 ? kTemporarySpaceFd + 1 : kReaderFd + 1);

    const QByteArray path = QFile::encodeName(program);
    const QByteArray fdText = QByteArray::number(kReaderFd);
    const QByteArray memoryText = QByteArray::number(limits.memoryBytes);
    const QByteArray spaceText = QByteArray::number(kTemporarySpaceFd);
    std::vector<char *> argv
            = {const_cast<char *>(path.constData()), const_cast<char *>("--reader-fd"),
               const_cast<char *>(fdText.constData()), const_cast<char *>("--memory-limit"),
               const_cast<char *>(memoryText.constData())};
    if (temporarySpace >= 0) {
        argv.push_back(const_cast<char *>("--temporary-space-fd"));
        argv.push_back(const_cast<char *>(spaceText.constData()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed
            = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        *error = QString::fromLocal8Bit(std::strerror(failed));
        return nullptr;
    }
    return std::unique_ptr<ReaderProcess>(new ReaderProcess(pid, std::move(ours)));
}

ReaderProcess::ReaderProcess(pid_t pid, UniqueFd socket)
    : processId(pid), socket(std::move(socket)), jobChannel(this->socket.get())
{
}

ReaderProcess::~ReaderProcess()
{
    if (!reaped) {
        kill();
        reap();
    }
}

std::chrono::nanoseconds ReaderProcess::processorTime() const
{
    clockid_t clock;
    timespec used {};
    if (reaped || ::clock_getcpuclockid(processId, &clock) != 0
        || ::clock_gettime(clock, &used) != 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

qint64 ReaderProcess::residentBytes() const
{
    char path[40];
    std::snprintf(path, sizeof(path), "/proc/%d/statm", int(processId));
    FILE *statm = std::fopen(path, "re");
    if (!statm)
        return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    if (std::fscanf(statm, "%lu %lu", &size, &resident) != 2)
        resident = 0;
    std::fclose(statm);
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

bool ReaderProcess::isIdleAndAlive() const
{
    pollfd watched {socket.get(), POLLIN | POLLRDHUP, 0};
    return ::poll(&watched, 1, 0) == 0;
}

void ReaderProcess::kill()
{
    if (!reaped)
        ::kill(processId, SIGKILL);
}

int ReaderProcess::reap()
{
    if (reaped)
        return status;
    socket = UniqueFd();
    while (::waitpid(processId, &status, 0) < 0 && errno == EINTR) { }
    reaped = true;
    return status;
}
