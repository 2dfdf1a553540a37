#ifndef MEMBERBYTES_H
#define MEMBERBYTES_H

#include <QString>

#include <functional>

// Reads the member `member` (its path as the results name it) of the archive
// open at `fd`, any format libarchive reads, and hands its bytes to `consume`
// in blocks until it returns false, the member ends or `stillWanted` (asked
// between members and blocks) says no more. False when the archive cannot be
// read or holds no such member.
bool readArchiveMember(int fd, const QString &member, const std::function<bool()> &stillWanted,
                       const std::function<bool(const char *data, qint64 size)> &consume);

#endif  // MEMBERBYTES_H
