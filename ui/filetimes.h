#ifndef FILETIMES_H
#define FILETIMES_H

#include "tfileinfo.h"

#include <QList>
#include <QString>

#include <functional>

// The last modification of the file at `path` in seconds since the epoch,
// TFileInfo::kNoTime when there is nothing there.
qint64 fileTimeOnDisk(const QString &path);

// Gives the hits of folder `dirName` that came without a time (name hits, a
// member of an archive that keeps none) the time of their path below the
// folder, looked up once for each run of hits that name the
// same file: a file's thousands of lines cost one look-up, and the list is
// copied only when a time is filled in. Runs on the search thread.
using FileTimeLookup = std::function<qint64(const QString &path)>;
void fillMissingFileTimes(const QString &dirName, QList<TFileInfo> &hits,
                          const FileTimeLookup &timeOf = fileTimeOnDisk);

#endif  // FILETIMES_H
