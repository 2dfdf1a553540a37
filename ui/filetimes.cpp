#include "filetimes.h"

#include "nativepath.h"

#include <QDir>

qint64 fileTimeOnDisk(const QString &path)
{
    const QDateTime modified = lastModified(path);
    return modified.isValid() ? modified.toSecsSinceEpoch() : TFileInfo::kNoTime;
}

void fillMissingFileTimes(const QString &dirName, QList<TFileInfo> &hits,
                          const FileTimeLookup &timeOf)
{
    const QString folder = dirName + QDir::separator();
    bool lookedUp = false;
    QString lookedUpName;
    qint64 lookedUpTime = TFileInfo::kNoTime;
    for (int i = 0; i < hits.size(); ++i) {
        const TFileInfo &hit = hits.at(i);
        if (hit.modified != TFileInfo::kNoTime)
            continue;
        if (!lookedUp || lookedUpName != hit.fileName) {
            lookedUpName = hit.fileName;
            lookedUpTime = timeOf(folder + lookedUpName);
            lookedUp = true;
        }
        if (lookedUpTime != TFileInfo::kNoTime)
            hits[i].modified = lookedUpTime;  // the first write copies a shared list
    }
}
