#include "joboutput.h"

#include <chrono>

namespace {

// Waits end in steps this long so that a stop is seen promptly.
constexpr std::chrono::milliseconds kWaitStep {10};

}  // namespace

bool JobOutput::push(const QList<TFileInfo> &piece)
{
    std::unique_lock<std::mutex> lock(mutex);
    while (heldHits >= kHeldHits && !cancelled())
        changed.wait_for(lock, kWaitStep);
    pieces.append(piece);
    heldHits += piece.size();
    changed.notify_all();
    return true;
}

void JobOutput::finish()
{
    hits.flush();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    changed.notify_all();
}

bool JobOutput::take(QList<QList<TFileInfo>> &out, QByteArray &text, bool wait)
{
    std::unique_lock<std::mutex> lock(mutex);
    while (wait && pieces.isEmpty() && !done && !cancelled())
        changed.wait_for(lock, kWaitStep);
    out.append(pieces);
    pieces.clear();
    heldHits = 0;
    changed.notify_all();
    if (!done)
        return false;
    text.append(diagnosticText);
    diagnosticText.clear();
    return true;
}
