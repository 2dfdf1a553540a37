#ifndef ZIPENTRY_H
#define ZIPENTRY_H

#include "membernames.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// What a ZIP central directory entry says of a member beyond its data: who
// made it, how its name is written, when it was changed and what kind of
// file it is. The same whichever parser read the entry.
struct ZipEntry
{
    quint16 versionMadeBy = 0;  // the maker's system in the high byte
    quint16 flag = 0;           // general purpose flags
    quint32 dosDateTime = 0;    // DOS date in the high 16 bits, time in the low
    quint32 externalAttributes = 0;
    QByteArray rawName;
    QByteArray extra;  // the central directory's extra fields

    bool isEncrypted() const { return flag & 0x1; }
    bool namesUtf8() const { return flag & 0x800; }
    // DOS, NTFS and VFAT makers separate folders with "\\", which elsewhere
    // is a character of the name.
    bool usesBackslashes() const;
    // DOS and Windows makers write legacy names in an OEM code page, the
    // others in their locale's charset.
    NameMaker nameMaker() const { return usesBackslashes() ? NameMaker::Dos : NameMaker::Unix; }
    // A link, device or pipe recorded by a Unix maker: no text, whatever
    // bytes stand for it (a link's target).
    bool isSpecialFile() const;
    // The last modification in seconds since the epoch: the extended
    // timestamp where the entry has one, else its DOS date and time, which
    // are the writer's local time; TFileInfo::kNoTime when it has neither.
    qint64 modified() const;
    // The member's name, "/" between folders.
    QString memberName(MemberNameDecoder &names) const;
};

// The legacy names of an archive's entries, gathered by their maker's
// family in one pass over the directory, from which the decoder picks the
// code pages the locale does not name.
class LegacyNameSample
{
public:
    explicit LegacyNameSample(const MemberNameDecoder &names);
    // True when no code page is left to pick: no entry need be noted.
    bool isNeeded() const { return needed; }
    void note(const ZipEntry &entry);
    void pickFor(MemberNameDecoder &names) const;

private:
    const MemberNameDecoder &names;
    const bool needed;
    QList<QByteArray> legacy[2];  // by NameMaker
};

#endif  // ZIPENTRY_H
