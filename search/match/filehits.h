#ifndef FILEHITS_H
#define FILEHITS_H

#include "hitsink.h"

#include <QString>
#include <QVector>

#include <atomic>

// How many hits one file may report and how many lines around each hit
// come with it. The defaults report every matching line and nothing else.
struct HitLimits
{
    qint64 maxCount = 0;  // matching lines per file; 0 for no limit
    int before = 0;       // lines shown before each hit
    int after = 0;        // lines shown after each hit
    // Instead of lines, one Count record per searched file (also one
    // without hits, or passed over as binary or by its conditions).
    bool countOnly = false;

    bool wantsContext() const { return !countOnly && (before > 0 || after > 0); }
};

// Turns the lines one reading of a file reports into its hits: the matching
// lines up to the limit, and around them the lines before and after, marked
// as context, each line once. Once the limit is reached only the lines after
// the last hit are still taken (as context, even where they match), as grep
// does; then the file needs no more lines. Counting only, nothing is shown.
class FileHits
{
public:
    FileHits(HitSink &sink, const QString &reportName, const HitLimits &limits,
             const std::atomic_bool *cancel);

    // Takes the line `lineNo` with its shown text and, in a document, its
    // place; false once the file needs no more lines (the limit is reached,
    // or the search was stopped).
    bool take(qint64 lineNo, const QString &text, bool matched, const QString &place = QString());

    qint64 hitCount() const { return matches; }

private:
    struct Line
    {
        qint64 number;
        QString text;
        QString place;
    };
    void show(const Line &line, TFileInfo::Kind kind);

    HitSink &sink;
    const QString reportName;
    HitLimits limits;
    const std::atomic_bool *cancel;
    QVector<Line> held;  // the last lines before the next hit
    qint64 matches = 0;
    qint64 lastShown = 0;  // number of the last line shown
    int afterLeft = 0;     // lines still to show after the last hit
};

#endif  // FILEHITS_H
