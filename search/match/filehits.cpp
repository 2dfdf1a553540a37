#include "filehits.h"

FileHits::FileHits(HitSink &sink, const QString &reportName, const HitLimits &limits,
                   const std::atomic_bool *cancel)
    : sink(sink), reportName(reportName), limits(limits), cancel(cancel)
{
}

void FileHits::show(qint64 lineNo, const QString &text, bool context)
{
    TFileInfo hit {reportName, lineNo, text};
    hit.context = context;
    sink.append(std::move(hit));
    lastShown = lineNo;
}

bool FileHits::take(qint64 lineNo, const QString &text, bool matched)
{
    if (cancel && cancel->load(std::memory_order_relaxed))
        return false;
    const bool limitReached = limits.maxCount > 0 && matches >= limits.maxCount;
    if (matched && !limitReached) {
        for (const auto &line : held) {
            if (line.first > lastShown)
                show(line.first, line.second, true);
        }
        held.clear();
        show(lineNo, text, false);
        ++matches;
        afterLeft = limits.after;
        return !(limits.maxCount > 0 && matches >= limits.maxCount && afterLeft == 0);
    }
    if (afterLeft > 0) {
        show(lineNo, text, true);
        --afterLeft;
        return !(limitReached && afterLeft == 0);
    }
    if (limitReached)
        return false;
    if (limits.before > 0) {
        held.append({lineNo, text});
        if (held.size() > limits.before)
            held.removeFirst();
    }
    return true;
}
