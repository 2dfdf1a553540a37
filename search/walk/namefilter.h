#ifndef NAMEFILTER_H
#define NAMEFILTER_H

#include "literalindex.h"
#include "wildcard.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The name test of the search, for entries on disk and members of archives
// alike: a name passes when it matches one of the patterns (Wildcard) as a
// whole, ignoring case; a pattern made of stars only, or no pattern at all,
// lets every name pass. However many patterns there are, they are compiled
// into one filter: a few are tried one by one; many are found through one run
// of plain characters each holds, the one fewest other patterns share
// (LiteralIndex), so that a name is tried only against the patterns whose run
// it contains. The filter does not change once made and may be used by any
// number of threads at once.
class NameFilter
{
public:
    explicit NameFilter(const QStringList &patterns);

    // True when `pattern` compiles as a wildcard; one that does not matches
    // no name.
    static bool isValidPattern(const QString &pattern);

    bool acceptsAll() const { return all; }
    // `bytes` is the name as the file system holds it; `decoded` is filled
    // (when still empty) with its decoding if the test needs one (ASCII
    // names are tested on their bytes).
    bool accepts(const QByteArray &bytes, QString &decoded) const;
    // The test for a name already read as text (an archive member's).
    bool acceptsText(const QString &name) const;

private:
    bool acceptsName(const NameText &name) const;

    bool all = false;
    std::vector<Wildcard> wildcards;  // the valid patterns
    // Patterns without a run of plain characters: tried for every name.
    std::vector<int> unindexed;
    LiteralIndex index;  // the rest, by their runs, once there are many
    bool indexed = false;
};

#endif  // NAMEFILTER_H
