#include "filehits.h"

FileHits::FileHits(HitSink &sink, const QString &reportName, const HitLimits &limits,
                   const std::atomic_bool *cancel)
    : sink(sink), reportName(reportName), limits(limits), cancel(cancel)
{
    if (limits.countOnly)
        this->limits.before = this->limits.after = 0;
}

void FileHits::show(const Line &line, TFileInfo::Kind kind)
{
    if (!limits.countOnly)
        sink.append(TFileInfo {reportName, line.number, line.text, kind, TFileInfo::kNoTime,
                               line.place});
    lastShown = line.number;
}

bool FileHits::take(qint64 lineNo, const QString &text, bool matched, const QString &place)
{
    if (cancel && cancel->load(std::memory_order_relaxed))
        return false;
    const bool limitReached = limits.maxCount > 0 && matches >= limits.maxCount;
    if (matched && !limitReached) {
        for (const Line &line : held) {
            if (line.number > lastShown)
                show(line, TFileInfo::Kind::Context);
        }
        held.clear();
        show({lineNo, text, place}, TFileInfo::Kind::Hit);
        ++matches;
        afterLeft = limits.after;
        return !(limits.maxCount > 0 && matches >= limits.maxCount && afterLeft == 0);
    }
    if (afterLeft > 0) {
        show({lineNo, text, place}, TFileInfo::Kind::Context);
        --afterLeft;
        return !(limitReached && afterLeft == 0);
    }
    if (limitReached)
        return false;
    if (limits.before > 0) {
        held.append({lineNo, text, place});
        if (held.size() > limits.before)
            held.removeFirst();
    }
    return true;
}
