#ifndef ANONYMOUSFILE_H
#define ANONYMOUSFILE_H

#include <QtGlobal>

// A file open for reading and writing that has no name anyone can reach and
// is gone once its descriptor is closed: data that must be read more than
// once and is too large to keep in memory. -1 when none can be made.
int createAnonymousFile();

#include "temporaryspace.h"
#include "uniquefd.h"

#include <functional>

class ByteSource;

// What is left of a stream, copied to a file without a name and counted
// against the search's temporary space (temporaryspace.h) while it is kept.
// The file is in the temporary folder; in memory only when that folder cannot
// take one, and then only for a copy of at most kSmallCopy bytes.
class TemporaryCopy
{
public:
    static constexpr qint64 kSmallCopy = qint64(16) << 20;

    enum class Outcome {
        Made,      // fd() is the copy, positioned at its start
        TooLarge,  // the budget (or the small copy's limit) would be passed
        Failed,    // no file could be made or written, reading failed, or `stopped`
    };

    // Copies `source`; `stopped` is asked between pieces and ends the copy.
    explicit TemporaryCopy(ByteSource &source, const std::function<bool()> &stopped = {});

    Outcome outcome() const { return result; }
    int fd() const { return file.get(); }
    // Gives the descriptor up to the caller; the space stays taken while
    // this object is kept.
    int releaseFile() { return file.release(); }

private:
    UniqueFd file;
    TemporaryShare share;
    Outcome result = Outcome::Failed;
};

#endif  // ANONYMOUSFILE_H
