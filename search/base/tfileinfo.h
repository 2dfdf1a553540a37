#ifndef TFILEINFO_H
#define TFILEINFO_H

#include <QList>
#include <QMetaType>
#include <QString>

#include <limits>

// One hit. The directory of the hit travels beside the list, not in the record.
struct TFileInfo
{
    // A line shown around a hit and a file's count of matching lines come
    // only when the search asks for them.
    enum class Kind : quint8 {
        Hit,      // a name hit, or a matching line
        Context,  // a line near a hit
        Count,    // one per searched file: lineNo holds its number of matching lines
    };

    QString fileName;   // entry name as listed, or the archive hit name
    qint64 lineNo = 0;  // 1-based line of a content hit, 0 for a name hit
    QString lineText;   // the matching line as prepared by the matcher; empty for a name hit
    Kind kind = Kind::Hit;
    // Last modification of the file, folder or archive member, in seconds
    // since the epoch; kNoTime when there is none to tell.
    qint64 modified = kNoTime;
    // Where a document's line stands ("page 3", "sheet Totals", "slide 2");
    // empty for other files' lines and for name hits.
    QString place = QString();

    static constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

    // The line as the front ends show it: behind its place in brackets and
    // a tab, as deep search shows a line's codec.
    QString shownLineText() const
    {
        return place.isEmpty() ? lineText
                               : QLatin1Char('[') + place + QLatin1String("]\t") + lineText;
    }
};

inline bool operator==(const TFileInfo &a, const TFileInfo &b)
{
    return a.fileName == b.fileName && a.lineNo == b.lineNo && a.lineText == b.lineText
            && a.kind == b.kind && a.place == b.place;
}

Q_DECLARE_METATYPE(TFileInfo)

#endif  // TFILEINFO_H
