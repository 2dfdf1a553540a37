#include "rarvolumeset.h"

#include "archivefile.h"
#include "rarlayout.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int kMaxVolumes = 10000;

RarVolumeLayout scanFd(int fd)
{
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return RarVolumeLayout();
    file.seek(0);
    return scanRarLayout(file);
}

RarVolumeLayout scanFile(int folderFd, const QByteArray &name)
{
    const ArchiveFile file(folderFd, name);
    return scanFd(file.fd());
}

// A volume name taken apart: volume `index` of the set is named by `compose`.
// Names are bytes; the numbering is ASCII, so they are read as Latin-1, one
// character per byte, and every byte comes back as it was.
struct VolumeNumbering
{
    QByteArray prefix;
    qlonglong index = -1;  // -1: the name follows no known numbering
    int width = 0;
    QByteArray suffix;
    bool newNumbering = true;

    QByteArray compose(qlonglong volumeIndex) const
    {
        if (index < 0 || volumeIndex < 0)
            return QByteArray();
        if (newNumbering)  // "a.part1.rar" is volume 0
            return prefix
                    + QStringLiteral("%1")
                              .arg(volumeIndex + 1, width, 10, QLatin1Char('0'))
                              .toLatin1()
                    + suffix;
        if (volumeIndex == 0)  // "a.rar", then "a.r00", "a.r01", ...
            return prefix + "rar";
        if (volumeIndex > 100)
            return QByteArray();
        return prefix + 'r' + QByteArray::number(volumeIndex - 1).rightJustified(2, '0');
    }
};

VolumeNumbering parseVolumeName(const QByteArray &path, bool newNumbering)
{
    VolumeNumbering numbering;
    numbering.newNumbering = newNumbering;
    const QString latin1 = QString::fromLatin1(path);
    if (newNumbering) {
        static const QRegularExpression partName(
                QStringLiteral("^(.*\\.part)(\\d{1,9})(\\.rar)$"),
                QRegularExpression::CaseInsensitiveOption
                        | QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = partName.match(latin1);
        if (match.hasMatch() && match.captured(2).toLongLong() > 0) {
            numbering.prefix = match.captured(1).toLatin1();
            numbering.index = match.captured(2).toLongLong() - 1;
            numbering.width = match.captured(2).size();
            numbering.suffix = match.captured(3).toLatin1();
        }
        return numbering;
    }
    static const QRegularExpression oldName(
            QStringLiteral("^(.*\\.)(rar|r\\d\\d)$"),
            QRegularExpression::CaseInsensitiveOption
                    | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = oldName.match(latin1);
    if (match.hasMatch()) {
        const QString suffix = match.captured(2).toLower();
        numbering.prefix = match.captured(1).toLatin1();
        numbering.index = suffix == QLatin1String("rar") ? 0 : suffix.midRef(1).toInt() + 1;
    }
    return numbering;
}

// The volume next to `path`; the path itself when its name follows no known
// numbering, so that a member needing a volume is still marked.
QByteArray neighbourOrSelf(const QByteArray &path, const RarVolumeLayout &layout, int step)
{
    const QByteArray name = adjacentVolumeName(path, layout.newNumbering, step);
    return name.isEmpty() ? path : name;
}

// Appends the members of one volume, joining a member continued from the
// previous volume to the one it continues. `pending` is the member whose data
// went on past the previous volume, or -1.
void addVolumeMembers(RarVolumeSet &set, const RarVolumeLayout &layout, int volume, int &pending)
{
    for (const RarMemberLayout &header : layout.members) {
        if (header.splitBefore && pending >= 0) {
            RarSetMember &member = set.members[pending];
            member.lastVolume = volume;
            member.encrypted = member.encrypted || header.encrypted;
        } else {
            RarSetMember member;
            member.encrypted = header.encrypted;
            member.lastVolume = volume;
            if (header.splitBefore)
                member.missingVolume = neighbourOrSelf(set.volumes.at(volume), layout, -1);
            set.members.append(member);
            pending = set.members.size() - 1;
        }
        if (!header.splitAfter)
            pending = -1;
    }
}

}  // namespace

QByteArray adjacentVolumeName(const QByteArray &path, bool newNumbering, int step)
{
    const VolumeNumbering numbering = parseVolumeName(path, newNumbering);
    return numbering.compose(numbering.index + step);
}

QByteArray firstVolumeName(const QByteArray &path, bool newNumbering)
{
    return parseVolumeName(path, newNumbering).compose(0);
}

RarVolumeSet rarVolumeSetOf(int fd)
{
    RarVolumeSet set;
    set.volumes.append(QByteArray());
    const RarVolumeLayout layout = scanFd(fd);
    set.headersEncrypted = layout.headersEncrypted;
    int pending = -1;
    addVolumeMembers(set, layout, 0, pending);
    return set;
}

RarVolumeSet rarVolumeSet(int folderFd, const QByteArray &path)
{
    RarVolumeSet set;
    set.volumes.append(path);
    RarVolumeLayout layout = scanFile(folderFd, path);
    if (!layout.recognized)
        return set;
    set.headersEncrypted = layout.headersEncrypted;
    if (layout.isVolume && !layout.isFirstVolume) {
        const QByteArray first = firstVolumeName(path, layout.newNumbering);
        if (!first.isEmpty() && first != path && isRegularFileAt(folderFd, first)) {
            set.coveredByFirstVolume = true;
            return set;
        }
    }

    int pending = -1;
    addVolumeMembers(set, layout, 0, pending);
    while (layout.isVolume && set.volumes.size() < kMaxVolumes) {
        const QByteArray next = adjacentVolumeName(set.volumes.last(), layout.newNumbering, 1);
        if (next.isEmpty() || !isRegularFileAt(folderFd, next))
            break;
        const RarVolumeLayout nextLayout = scanFile(folderFd, next);
        if (!nextLayout.recognized || !nextLayout.isVolume || nextLayout.isFirstVolume)
            break;
        set.volumes.append(next);
        layout = nextLayout;
        addVolumeMembers(set, layout, set.volumes.size() - 1, pending);
    }
    if (pending >= 0)
        set.members[pending].missingVolume = neighbourOrSelf(set.volumes.last(), layout, 1);
    return set;
}
