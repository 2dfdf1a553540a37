#ifndef HITTIMES_H
#define HITTIMES_H

#include "nativepath.h"
#include "tfileinfo.h"

#include <QDir>
#include <QList>
#include <QString>

// The hits of folder `dirName` with the modification time of each file on
// disk, as the search thread gives it; a path that does not exist has none.
inline QList<TFileInfo> withFileTimes(const QString &dirName, QList<TFileInfo> hits)
{
    for (TFileInfo &hit : hits) {
        const QDateTime modified = lastModified(dirName + QDir::separator() + hit.fileName);
        if (modified.isValid())
            hit.modified = modified.toSecsSinceEpoch();
    }
    return hits;
}

#endif  // HITTIMES_H
