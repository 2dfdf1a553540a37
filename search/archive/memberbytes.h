#ifndef MEMBERBYTES_H
#define MEMBERBYTES_H

#include <QByteArray>
#include <QString>

#include <functional>

// Reads one member of the archive `name` in the folder open at `folderFd`
// (through a link), whose decoded name ends `displayName`: `member` is its
// path as the results name it below the archive, through archives nested
// in it. The archive is walked as a search walks it, so every format, set
// of pieces and rule for names a search knows holds here too. The member's
// bytes go to `consume` in blocks until it returns false, the member ends
// or `stillWanted` (asked between members and blocks) says no more. False
// when no such member was found.
bool readArchiveMember(int folderFd, const QByteArray &name, const QString &displayName,
                       const QString &member, const std::function<bool()> &stillWanted,
                       const std::function<bool(const char *data, qint64 size)> &consume);

#endif  // MEMBERBYTES_H
