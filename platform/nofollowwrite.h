#ifndef NOFOLLOWWRITE_H
#define NOFOLLOWWRITE_H

#include <QByteArray>
#include <QString>

// Creates or empties the plain file at `path` and writes `bytes`, never
// through a link: a symbolic link (also a dangling one), a file with another
// hard link, a named pipe or a device, and a file of another user, are left
// untouched and give false. A
// file it creates is readable and writable by the user only (0600). Returns
// false, having written nothing, when the file cannot be opened.
bool writeFileWithoutFollowingLinks(const QString &path, const QByteArray &bytes);

#endif  // NOFOLLOWWRITE_H
