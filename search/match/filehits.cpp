#include "filehits.h"

FileHits::FileHits(HitSink &sink, const QString &reportName, const HitLimits &limits,
                   const std::atomic_bool *cancel)
    : sink(sink), reportName(reportName), limits(limits), cancel(cancel)
{
    if (limits.countOnly)
        this->limits.before = this->limits.after = 0;
}

void FileHits::show(qint64 lineNo, const QString &text, TFileInfo::Kind kind)
{
    if (!limits.countOnly)
        sink.append(TFileInfo {reportName, lineNo, text, kind});
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
                show(line.first, line.second, TFileInfo::Kind::Context);
        }
        held.clear();
        show(lineNo, text, TFileInfo::Kind::Hit);
        ++matches;
        afterLeft = limits.after;
        return !(limits.maxCount > 0 && matches >= limits.maxCount && afterLeft == 0);
    }
    if (afterLeft > 0) {
        show(lineNo, text, TFileInfo::Kind::Context);
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
