#ifndef HITTIMES_H
#define HITTIMES_H

#include "filetimes.h"
#include "tfileinfo.h"

#include <QList>
#include <QString>

// The hits of folder `dirName` with the modification time of each file on
// disk, as the search thread gives it; a path that does not exist has none.
inline QList<TFileInfo> withFileTimes(const QString &dirName, QList<TFileInfo> hits)
{
    fillMissingFileTimes(dirName, hits);
    return hits;
}

#endif  // HITTIMES_H
