#ifndef RARVOLUMESET_H
#define RARVOLUMESET_H

#include <QByteArray>
#include <QList>
#include <QVector>

// One member of a RAR archive as the walk sees it, in libarchive's entry order.
struct RarSetMember
{
    bool encrypted = false;
    int lastVolume = 0;        // index in RarVolumeSet::volumes of its data's last volume
    QByteArray missingVolume;  // the volume its data needs that is not there, if any
};

// The volumes a RAR walk opens together. A set is read from its first volume
// on, so a member that spans volumes is searched whole; the later volumes,
// which the directory walk meets as archives of their own, are then passed
// over. A later volume whose first volume is absent is read from where it is.
struct RarVolumeSet
{
    bool coveredByFirstVolume = false;  // nothing to do: the first volume reads this one
    bool headersEncrypted = false;
    QList<QByteArray> volumes;      // names in the archive's folder to open, in order
    QVector<RarSetMember> members;  // empty when the headers could not be read
};

// The set that the volume `name` of the open folder starts or belongs to.
// Names are the file system's bytes throughout.
RarVolumeSet rarVolumeSet(int folderFd, const QByteArray &name);
// The one volume open at `fd` (an archive inside an archive has no neighbours).
RarVolumeSet rarVolumeSetOf(int fd);

// The name of the volume `step` places after (or before, when negative) the
// volume at `path`: "a.part2.rar" -> "a.part3.rar" with the new numbering,
// "a.rar" -> "a.r00" -> "a.r01" with the old one. Empty when there is none.
QByteArray adjacentVolumeName(const QByteArray &path, bool newNumbering, int step);

// The name of the first volume of the set that the volume at `path` belongs to.
QByteArray firstVolumeName(const QByteArray &path, bool newNumbering);

#endif  // RARVOLUMESET_H
