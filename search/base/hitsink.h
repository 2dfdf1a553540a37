#ifndef HITSINK_H
#define HITSINK_H

#include "tfileinfo.h"

#include <QList>

#include <functional>
#include <utility>

// Where the hits of one folder go while it is searched: kept in order and,
// when a delivery is given, handed over in pieces of at most `pieceSize`, so
// that a folder (or one file) with millions of hits never holds them all and
// hits found before a stop are not all kept back until the folder ends.
class HitSink
{
public:
    // Hands a piece on and says whether it did; a piece not handed on stays.
    using Deliver = std::function<bool(const QList<TFileInfo> &piece)>;

    // Keeps every hit until taken (one file, an archive, a test).
    HitSink() = default;
    // Hands a piece to `deliver` whenever `pieceSize` hits are kept, and the
    // rest on flush().
    HitSink(int pieceSize, Deliver deliver) : pieceSize(pieceSize), deliver(std::move(deliver)) { }

    void append(TFileInfo hit)
    {
        if (hit.modified == TFileInfo::kNoTime)
            hit.modified = fileTime;
        kept.append(hit);
        if (deliver && kept.size() >= pieceSize)
            flush();
    }

    // The last modification of the file whose hits are appended next, given
    // to each of them that comes without one; kNoTime once that file is done.
    void setFileTime(qint64 modified) { fileTime = modified; }

    // Hands over what is kept, if anything.
    void flush()
    {
        if (deliver && !kept.isEmpty() && deliver(kept))
            kept.clear();
    }

    bool isEmpty() const { return kept.isEmpty(); }
    int size() const { return kept.size(); }
    // The hits kept and not yet handed over.
    QList<TFileInfo> take() { return std::exchange(kept, QList<TFileInfo>()); }

private:
    int pieceSize = 0;
    Deliver deliver;
    QList<TFileInfo> kept;
    qint64 fileTime = TFileInfo::kNoTime;
};

#endif  // HITSINK_H
