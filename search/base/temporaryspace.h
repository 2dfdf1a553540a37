#ifndef TEMPORARYSPACE_H
#define TEMPORARYSPACE_H

#include <QtGlobal>

// The temporary space that copies of data read more than once (archives
// inside archives that need seeks, members searched twice) may take at once,
// for the whole search: its own process and every reader process together.
// The count lives in a small shared memory area made by the search's
// process; each reader maps the same area from a descriptor it inherits, and
// counts under a slot of its own, so the space a reader held when it was
// killed is given back by whoever next finds the budget full.
namespace TemporarySpace {

// What every copy of a search together may take.
constexpr qint64 kBudget = qint64(512) << 20;

// The descriptor of the shared count, for reader processes to inherit; -1
// when there is none (copies are then counted in this process alone).
int shareableDescriptor();

// In a reader process: counts against the area of the descriptor `fd`
// inherited from the search. False when it is not such an area.
bool adopt(int fd);

// The bytes now taken by all copies (tests).
qint64 inUse();

}  // namespace TemporarySpace

// Space taken from the budget, given back when the object goes.
class TemporaryShare
{
public:
    TemporaryShare() = default;
    ~TemporaryShare();
    TemporaryShare(TemporaryShare &&other) noexcept : held(other.held) { other.held = 0; }
    TemporaryShare &operator=(TemporaryShare &&other) noexcept;
    TemporaryShare(const TemporaryShare &) = delete;
    TemporaryShare &operator=(const TemporaryShare &) = delete;

    // Takes `bytes` more; false, and nothing taken, when the budget has not
    // that much left.
    bool grow(qint64 bytes);
    qint64 size() const { return held; }

private:
    qint64 held = 0;
};

#endif  // TEMPORARYSPACE_H
