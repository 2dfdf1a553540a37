#include "temporaryspace.h"

#include <QByteArray>

#include <atomic>
#include <cstdio>
#include <mutex>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int kSlots = 64;
constexpr quint64 kAreaMark = 0x76656c746f747370ull;  // "veltotsp"

// The shared count: the bytes taken in all, and who holds how many of them.
struct Area
{
    std::atomic<quint64> mark;
    std::atomic<qint64> inUse;
    struct Slot
    {
        std::atomic<qint64> process;
        std::atomic<qint64> held;
    } slots[kSlots];
};
static_assert(std::atomic<qint64>::is_always_lock_free, "the count is shared between processes");

struct Local
{
    std::mutex mutex;
    Area *area = nullptr;
    int fd = -1;
    int slot = -1;
};

Local &local()
{
    static Local state;
    return state;
}

qint64 thisProcess()
{
#ifdef Q_OS_WIN
    return 1;
#else
    return qint64(::getpid());
#endif
}

// False once the process has ended (gone, or a zombie not yet reaped). Read
// from /proc, which a reader process may still open.
bool isAlive(qint64 process)
{
#ifdef Q_OS_WIN
    Q_UNUSED(process)
    return true;
#else
    char path[48];
    std::snprintf(path, sizeof(path), "/proc/%lld/stat", static_cast<long long>(process));
    FILE *stat = std::fopen(path, "re");
    if (!stat)
        return false;
    char text[512];
    const size_t got = std::fread(text, 1, sizeof(text) - 1, stat);
    std::fclose(stat);
    text[got] = 0;
    const QByteArray line(text);
    const int close = line.lastIndexOf(')');
    const char state = close >= 0 && close + 2 < line.size() ? line.at(close + 2) : 'X';
    return state != 'Z' && state != 'X';
#endif
}

// Gives back what processes that have ended held.
void sweep(Area &area)
{
    for (Area::Slot &slot : area.slots) {
        const qint64 process = slot.process.load();
        if (process == 0 || process == thisProcess() || isAlive(process))
            continue;
        area.inUse -= slot.held.exchange(0);
        qint64 expected = process;
        slot.process.compare_exchange_strong(expected, 0);
    }
}

int claimSlot(Area &area)
{
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kSlots; ++i) {
            qint64 expected = 0;
            if (area.slots[i].process.compare_exchange_strong(expected, thisProcess()))
                return i;
        }
        sweep(area);
    }
    return -1;
}

Area *mapArea(int fd)
{
#ifdef Q_OS_WIN
    Q_UNUSED(fd)
    return nullptr;
#else
    void *mapped = ::mmap(nullptr, sizeof(Area), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<Area *>(mapped);
#endif
}

// The area of this process, made on first use; the slot it counts under.
Area *areaOfThisProcess(int *slot)
{
    Local &state = local();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.area) {
#ifndef Q_OS_WIN
        // Above the descriptors a reader process is given its own at.
        const int made = ::memfd_create("velto-temporary-space", MFD_CLOEXEC);
        const int fd = made >= 0 ? ::fcntl(made, F_DUPFD_CLOEXEC, 16) : -1;
        if (made >= 0)
            ::close(made);
        if (fd >= 0 && ::ftruncate(fd, sizeof(Area)) == 0)
            state.area = mapArea(fd);
        if (state.area)
            state.fd = fd;
        else if (fd >= 0)
            ::close(fd);
#endif
        if (!state.area)
            state.area = new Area();  // zeroed: counted in this process only
        state.area->mark = kAreaMark;
    }
    if (state.slot < 0)
        state.slot = claimSlot(*state.area);
    *slot = state.slot;
    return state.area;
}

}  // namespace

namespace TemporarySpace {

int shareableDescriptor()
{
    int slot = -1;
    areaOfThisProcess(&slot);
    return local().fd;
}

bool adopt(int fd)
{
#ifdef Q_OS_WIN
    Q_UNUSED(fd)
    return false;
#else
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || info.st_size != qint64(sizeof(Area)))
        return false;
    Area *area = mapArea(fd);
    if (!area)
        return false;
    if (area->mark.load() != kAreaMark) {
        ::munmap(area, sizeof(Area));
        return false;
    }
    Local &state = local();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.area = area;
    state.fd = fd;
    state.slot = -1;
    return true;
#endif
}

qint64 inUse()
{
    int slot = -1;
    return areaOfThisProcess(&slot)->inUse.load();
}

}  // namespace TemporarySpace

TemporaryShare::~TemporaryShare()
{
    if (held == 0)
        return;
    int slot = -1;
    Area *area = areaOfThisProcess(&slot);
    area->slots[slot].held -= held;
    area->inUse -= held;
}

TemporaryShare &TemporaryShare::operator=(TemporaryShare &&other) noexcept
{
    if (this != &other) {
        TemporaryShare old(std::move(*this));
        held = other.held;
        other.held = 0;
    }
    return *this;
}

bool TemporaryShare::grow(qint64 bytes)
{
    int slot = -1;
    Area *area = areaOfThisProcess(&slot);
    if (slot < 0)
        return false;
    for (int round = 0; round < 2; ++round) {
        if (area->inUse.fetch_add(bytes) + bytes <= TemporarySpace::kBudget) {
            area->slots[slot].held += bytes;
            held += bytes;
            return true;
        }
        area->inUse -= bytes;
        // Space a killed reader held is given back before the budget is
        // taken as full.
        sweep(*area);
    }
    return false;
}
