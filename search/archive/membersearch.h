#ifndef MEMBERSEARCH_H
#define MEMBERSEARCH_H

#include "bytesource.h"
#include "hitsink.h"

#include <QString>

// What the archive room asks of the search it serves. The room walks the
// archives and names their members; what the user asked for, and what is
// done with a member's bytes, is the search's. searchMember is the one place
// where a member's bytes leave the room.
class MemberSearch
{
public:
    virtual ~MemberSearch() = default;

    // True once the search has stopped: walks end between members and reads.
    virtual bool isCancelled() const = 0;
    // True in a content search, where members that match are read, not named.
    virtual bool searchesContent() const = 0;
    // True when a member called `name` (its name after its last "/", empty
    // for a folder entry) is one the user asked for.
    virtual bool wantsMember(const QString &name) const = 0;
    // Reads a member that is wanted in a content search from `read` and
    // appends its hits, each named `hitName`.
    virtual void searchMember(const ByteSource::Reader &read, HitSink &hits,
                              const QString &hitName) const = 0;
};

#endif  // MEMBERSEARCH_H
