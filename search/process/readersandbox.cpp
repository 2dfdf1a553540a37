#include "readersandbox.h"

#include <QDir>
#include <QFile>

#include <seccomp.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/fs.h>

namespace {

// Landlock rights and fields of kernels newer than the headers Debian 12
// builds against; the values are the kernel's stable interface.
constexpr quint64 kFsTruncate = 1ull << 14;  // version 3
constexpr quint64 kFsIoctlDev = 1ull << 15;  // version 5
constexpr quint64 kNetBindTcp = 1ull << 0;   // version 4
constexpr quint64 kNetConnectTcp = 1ull << 1;
constexpr quint64 kScopeAbstractUnixSocket = 1ull << 0;  // version 6
constexpr quint64 kScopeSignal = 1ull << 1;

// The kernel's landlock_path_beneath_attr, packed as the kernel has it.
struct __attribute__((packed)) LandlockPathBeneath
{
    quint64 allowedAccess = 0;
    qint32 parentFd = -1;
};

struct LandlockRuleset
{
    quint64 handledAccessFs = 0;
    quint64 handledAccessNet = 0;
    quint64 scoped = 0;
};

#ifndef VELTO_SANITIZED
qint64 addressSpaceInUse()
{
    FILE *statm = std::fopen("/proc/self/statm", "re");
    if (!statm)
        return 0;
    unsigned long pages = 0;
    if (std::fscanf(statm, "%lu", &pages) != 1)
        pages = 0;
    std::fclose(statm);
    return qint64(pages) * sysconf(_SC_PAGESIZE);
}
#endif

bool limitResources(qint64 memoryBytes, SandboxReport *report)
{
    const rlimit noCore {0, 0};
    if (::setrlimit(RLIMIT_CORE, &noCore) != 0)
        return false;
#ifndef VELTO_SANITIZED
    // What the program mapped to start (its libraries) is not the reader's:
    // the budget comes on top of it. A sanitizer's allocator dies at the
    // limit in its own way: there the search's watch of the resident memory
    // is the limit.
    const qint64 limit = addressSpaceInUse() + memoryBytes;
    const rlimit addressSpace {rlim_t(limit), rlim_t(limit)};
    if (::setrlimit(RLIMIT_AS, &addressSpace) != 0)
        return false;
    report->addressSpace = limit;
#else
    Q_UNUSED(memoryBytes)
    Q_UNUSED(report)
#endif
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0
            && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

// Every right that changes the file system or starts a program, and the
// network and other processes, as far as the kernel's version knows them.
int enterLandlock()
{
    const long abi
            = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return 0;
    LandlockRuleset ruleset;
    ruleset.handledAccessFs = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE
            | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE
            | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR
            | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK
            | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK
            | LANDLOCK_ACCESS_FS_MAKE_SYM;
    size_t size = sizeof(quint64);
    if (abi >= 2)
        ruleset.handledAccessFs |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        ruleset.handledAccessFs |= kFsTruncate;
    if (abi >= 4) {
        ruleset.handledAccessNet = kNetBindTcp | kNetConnectTcp;
        size = 2 * sizeof(quint64);
    }
    if (abi >= 5)
        ruleset.handledAccessFs |= kFsIoctlDev;
    if (abi >= 6) {
        ruleset.scoped = kScopeAbstractUnixSocket | kScopeSignal;
        size = sizeof(LandlockRuleset);
    }
    const int fd = int(::syscall(SYS_landlock_create_ruleset, &ruleset, size, 0));
    if (fd < 0)
        return 0;
    // One rule grants something back: writing in the temporary folder, where
    // the system-call filter lets only files without a name be opened.
    const int temporaryFolder = ::open(QFile::encodeName(QDir::tempPath()).constData(),
                                       O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (temporaryFolder >= 0) {
        LandlockPathBeneath rule;
        rule.allowedAccess = LANDLOCK_ACCESS_FS_WRITE_FILE;
        rule.parentFd = temporaryFolder;
        ::syscall(SYS_landlock_add_rule, fd, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(temporaryFolder);
    }
    const bool entered = ::syscall(SYS_landlock_restrict_self, fd, 0) == 0;
    ::close(fd);
    return entered ? int(abi) : 0;
}

// A reader that does what it may not is ended at once: the search reports
// its job and carries on with a fresh process.
bool addRules(scmp_filter_ctx filter)
{
    const uint32_t kill = SCMP_ACT_KILL_PROCESS;
    static const int killed[] = {
            // programs and processes
            SCMP_SYS(execve),
            SCMP_SYS(execveat),
            SCMP_SYS(fork),
            SCMP_SYS(vfork),
            SCMP_SYS(ptrace),
            SCMP_SYS(process_vm_readv),
            SCMP_SYS(process_vm_writev),
            SCMP_SYS(pidfd_open),
            SCMP_SYS(pidfd_send_signal),
            SCMP_SYS(tkill),
            SCMP_SYS(unshare),
            SCMP_SYS(setns),
            SCMP_SYS(setrlimit),
            // network and sockets
            SCMP_SYS(socket),
            SCMP_SYS(socketpair),
            SCMP_SYS(connect),
            SCMP_SYS(bind),
            SCMP_SYS(listen),
            SCMP_SYS(accept),
            SCMP_SYS(accept4),
            // the file system
            SCMP_SYS(creat),
            SCMP_SYS(mkdir),
            SCMP_SYS(mkdirat),
            SCMP_SYS(rmdir),
            SCMP_SYS(unlink),
            SCMP_SYS(unlinkat),
            SCMP_SYS(rename),
            SCMP_SYS(renameat),
            SCMP_SYS(renameat2),
            SCMP_SYS(link),
            SCMP_SYS(linkat),
            SCMP_SYS(symlink),
            SCMP_SYS(symlinkat),
            SCMP_SYS(mknod),
            SCMP_SYS(mknodat),
            SCMP_SYS(chmod),
            SCMP_SYS(fchmod),
            SCMP_SYS(fchmodat),
            SCMP_SYS(chown),
            SCMP_SYS(fchown),
            SCMP_SYS(lchown),
            SCMP_SYS(fchownat),
            SCMP_SYS(truncate),
            SCMP_SYS(utime),
            SCMP_SYS(utimes),
            SCMP_SYS(utimensat),
            SCMP_SYS(futimesat),
            SCMP_SYS(setxattr),
            SCMP_SYS(lsetxattr),
            SCMP_SYS(fsetxattr),
            SCMP_SYS(removexattr),
            SCMP_SYS(lremovexattr),
            SCMP_SYS(fremovexattr),
            SCMP_SYS(name_to_handle_at),
            SCMP_SYS(open_by_handle_at),
            SCMP_SYS(mount),
            SCMP_SYS(umount2),
            SCMP_SYS(pivot_root),
            SCMP_SYS(chroot),
            SCMP_SYS(swapon),
            SCMP_SYS(swapoff),
            SCMP_SYS(quotactl),
            SCMP_SYS(acct),
            SCMP_SYS(fanotify_init),
            // kernel interfaces past the filter, or none a reader needs
            SCMP_SYS(io_uring_setup),
            SCMP_SYS(bpf),
            SCMP_SYS(perf_event_open),
            SCMP_SYS(userfaultfd),
            SCMP_SYS(keyctl),
            SCMP_SYS(add_key),
            SCMP_SYS(request_key),
            SCMP_SYS(kexec_load),
            SCMP_SYS(init_module),
            SCMP_SYS(finit_module),
            SCMP_SYS(delete_module),
            SCMP_SYS(reboot),
            SCMP_SYS(sethostname),
            SCMP_SYS(setdomainname),
    };
    for (const int call : killed) {
        if (seccomp_rule_add(filter, kill, call, 0) != 0)
            return false;
    }
    const scmp_datum_t self = scmp_datum_t(::getpid());
    const scmp_datum_t tmpfile = __O_TMPFILE;
    bool ok = true;
    const auto add = [&](uint32_t action, int call, scmp_arg_cmp condition) {
        ok = ok && seccomp_rule_add(filter, action, call, 1, condition) == 0;
    };
    // Threads only: a new process comes without CLONE_THREAD.
    add(kill, SCMP_SYS(clone), SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
    // Signals to the process itself only.
    add(kill, SCMP_SYS(kill), SCMP_A0(SCMP_CMP_NE, self));
    add(kill, SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_NE, self));
    add(kill, SCMP_SYS(rt_sigqueueinfo), SCMP_A0(SCMP_CMP_NE, self));
    add(kill, SCMP_SYS(rt_tgsigqueueinfo), SCMP_A0(SCMP_CMP_NE, self));
    // Limits may be read, never set.
    add(kill, SCMP_SYS(prlimit64), SCMP_A2(SCMP_CMP_NE, 0));
    // File flags the owner of a file opened for reading could still change.
    add(kill, SCMP_SYS(ioctl), SCMP_A1(SCMP_CMP_EQ, FS_IOC_SETFLAGS));
    add(kill, SCMP_SYS(ioctl), SCMP_A1(SCMP_CMP_EQ, FS_IOC_FSSETXATTR));
    // Files open for reading only, but files without a name (O_TMPFILE),
    // which Landlock lets be made in the temporary folder only: the copies
    // of archives inside archives that must be read with seeks.
    const struct
    {
        int call;
        unsigned flagsArg;
    } opens[] = {{SCMP_SYS(open), 1}, {SCMP_SYS(openat), 2}};
    for (const auto &open : opens) {
        const auto flags = [&](scmp_datum_t mask, scmp_datum_t value) {
            return scmp_arg_cmp {open.flagsArg, SCMP_CMP_MASKED_EQ, mask, value};
        };
        add(kill, open.call, flags(O_ACCMODE | tmpfile, O_WRONLY));
        add(kill, open.call, flags(O_ACCMODE | tmpfile, O_RDWR));
        add(kill, open.call, flags(O_CREAT | tmpfile, O_CREAT));
        add(kill, open.call, flags(O_TRUNC | tmpfile, O_TRUNC));
    }
    // Calls whose arguments a filter cannot read: the C library falls back
    // to the ones above.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), 0) == 0
            && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    return ok;
}

bool enterSeccomp()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter)
        return false;
    const bool loaded = addRules(filter) && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

}  // namespace

bool enterReaderSandbox(qint64 memoryBytes, SandboxReport *report)
{
    if (!limitResources(memoryBytes, report))
        return false;
    report->landlockAbi = enterLandlock();
    report->seccomp = enterSeccomp();
    return report->seccomp;
}
