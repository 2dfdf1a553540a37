#ifndef WALKRULES_H
#define WALKRULES_H

#include "namefilter.h"

#include <QDateTime>
#include <QtGlobal>

#include <limits>
#include <memory>

// What the walk takes in beyond the name patterns: hidden entries, links,
// names and folders left out, depth, size and modification time. The
// defaults take in what the walk always has: no hidden entries, links to
// folders entered and links to files passed over, every depth, size and
// time. The rules do not change once the search has begun and may be read
// by any number of threads at once.
struct WalkRules
{
    enum class Links {
        FoldersOnly,  // links to folders are entered; links to files passed over
        All,          // links to folders and to files are taken as what they point to
        None          // no link is entered or listed
    };

    bool hidden = false;  // names starting with "." are listed and entered
    // Single compressed files (.gz, .xz, ...) are listed among the archives.
    // A name search names their one member by the file's own name and has
    // nothing to open in them: it lists only the archives that hold more.
    bool compressedFilesAsArchives = true;
    bool ignoreFiles = false;  // what .gitignore and .ignore files list is passed over
    Links links = Links::FoldersOnly;
    // Files and folders whose names these match are neither listed nor
    // entered; null: none.
    std::shared_ptr<const NameFilter> excludedFiles;
    std::shared_ptr<const NameFilter> excludedFolders;
    // Levels below a start folder whose entries are listed; 1: the start
    // folder's own, 0: no limit.
    int maxDepth = 0;
    // Files larger than minSize and smaller than maxSize (bytes) pass; a
    // folder passes no size condition.
    qint64 minSize = -1;
    qint64 maxSize = std::numeric_limits<qint64>::max();
    // Entries modified after `newerThan` and before `olderThan` pass
    // (seconds since the epoch).
    qint64 newerThan = std::numeric_limits<qint64>::min();
    qint64 olderThan = std::numeric_limits<qint64>::max();

    bool limitsSize() const
    {
        return minSize >= 0 || maxSize != std::numeric_limits<qint64>::max();
    }
    bool limitsTime() const
    {
        return newerThan != std::numeric_limits<qint64>::min()
                || olderThan != std::numeric_limits<qint64>::max();
    }
    // True when the size and time of an entry decide whether it passes.
    bool needsStatus() const { return limitsSize() || limitsTime(); }
    // Whether an entry of this kind, size and modification time passes.
    bool passes(bool isFolder, qint64 size, qint64 modified) const;
    // Whether the walk lists entries of a folder `depth` levels below a
    // start folder (the start folder itself is at 1).
    bool listsAtDepth(int depth) const { return maxDepth == 0 || depth <= maxDepth; }
};

// A size condition as typed: "+" (larger than) or "-" (smaller than), a
// whole number, and an optional unit k, M, G or T (powers of 1024, either
// case, an optional "B" after it). False when it cannot be read.
bool parseSizeCondition(const QString &text, bool *larger, qint64 *bytes);

// A time as typed for a time condition, in seconds since the epoch: a local
// date ("2026-01-01", its start), a date and time ("2026-01-01 08:30", the
// seconds optional, "T" allowed for the blank) or a duration back from `now`
// (a whole number and s, m or min, h, d or w: "7d" is a week before now).
// False when it cannot be read.
bool parseTimeCondition(const QString &text, const QDateTime &now, qint64 *seconds);

#endif  // WALKRULES_H
