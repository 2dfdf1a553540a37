#ifndef TFILEINFO_H
#define TFILEINFO_H

#include <QList>
#include <QMetaType>
#include <QString>

// One hit. The directory of the hit travels beside the list, not in the record.
struct TFileInfo
{
    QString fileName;      // entry name as listed, or the archive hit name
    qint64 lineNo = 0;     // 1-based line of a content hit, 0 for a name hit
    QString lineText;      // the matching line as prepared by the matcher; empty for a name hit
    bool context = false;  // a line shown around a hit, not a hit itself
};

inline bool operator==(const TFileInfo &a, const TFileInfo &b)
{
    return a.fileName == b.fileName && a.lineNo == b.lineNo && a.lineText == b.lineText
            && a.context == b.context;
}

Q_DECLARE_METATYPE(TFileInfo)

#endif  // TFILEINFO_H
