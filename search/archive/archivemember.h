#ifndef ARCHIVEMEMBER_H
#define ARCHIVEMEMBER_H

#include "archivescope.h"
#include "bytesource.h"

// Archives inside archives are looked into down to this depth; deeper ones,
// an archive holding itself among them, are only named.
constexpr int kMaxArchiveDepth = 3;

// What a walker knows of one member.
struct ArchiveMember
{
    QString name;         // as the archive names it, "/" between folders
    bool hasData = true;  // false for folders, links and other entries without content
    qint64 modified = TFileInfo::kNoTime;  // seconds since the epoch, as the archive keeps it
    // Pulls the member's data; null when it must not be read (its data
    // repeats another member's, it is encrypted).
    ByteSource::Reader read;
};

// The one rule every walker applies to a member: a name hit when the search
// wants it in a name search; its data handed to the search when it wants it
// in a content search; an archive member looked into (whatever the name
// patterns, down to kMaxArchiveDepth) instead of being read as text.
void visitMember(const ArchiveScope &scope, const ArchiveMember &member);

// True when visitMember wants the data of a member so named: to search it,
// to look into it, or to say it is nested too deep. A walker need not find
// the data of any other member.
bool memberWantsData(const ArchiveScope &scope, const QString &name, bool hasData);

// True when the search wants the member `memberName` ("/" between folders):
// it is asked about the part after the last "/", empty for a folder entry.
bool searchWantsMember(const MemberSearch &search, const QString &memberName);

#endif  // ARCHIVEMEMBER_H
