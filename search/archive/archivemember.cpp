#include "archivemember.h"

#include "anonymousfile.h"
#include "archiveerrors.h"
#include "archivefile.h"
#include "archiveformat.h"
#include "archivewalkers.h"
#include "membersearch.h"
#include "pathcodec.h"

#include <QDir>

#include <vector>

namespace {

// Archives read front to back, from the member's bytes as they come; the
// others (7z, ISO, CAB, RAR) need seeks and are read from a copy.
bool isStreamable(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Zip:  // through its local headers
    case ArchiveFormat::Tar:
    case ArchiveFormat::Cpio:
    case ArchiveFormat::Ar:
    case ArchiveFormat::Rpm:
    case ArchiveFormat::Lha:
    case ArchiveFormat::Warc:
    case ArchiveFormat::Compressed:
        return true;
    default:
        return false;
    }
}

void walkNested(const ArchiveScope &outer, const ArchiveMember &member, const QString &hitName,
                ArchiveFormat format, const ByteSource::Reader &read)
{
    const ArchiveScope scope {outer.search,
                              outer.hits,
                              outer.names,
                              member.name.mid(member.name.lastIndexOf(QLatin1Char('/')) + 1),
                              hitName + QDir::separator(),
                              outer.displayPath + '/' + encodePath(member.name),
                              outer.depth + 1,
                              outer.outcome,
                              member.modified};
    if (isStreamable(format)) {
        walkArchiveStream(format, read, scope);
        return;
    }
    std::vector<char> block;
    ByteSource source(read, block);
    TemporaryCopy copy(source, [&scope] { return scope.ended(); });
    if (copy.outcome() == TemporaryCopy::Outcome::Made)
        walkArchiveFile(format, ArchiveFile::adopt(copy.releaseFile()), scope);
    else if (copy.outcome() == TemporaryCopy::Outcome::TooLarge)
        reportTooLarge(scope);
}

// The member's bytes, counted against the expansion limit of the archive on
// disk; they end where it is passed, which is said once.
ByteSource::Reader countedRead(const ArchiveScope &scope, const ByteSource::Reader &read)
{
    ArchiveOutcome *outcome = scope.outcome;
    if (!outcome)
        return read;
    return [&scope, outcome, read](char *buffer, qint64 max) -> qint64 {
        if (outcome->expansionStopped)
            return 0;
        const qint64 got = read(buffer, max);
        if (got > 0 && !outcome->expand(got)) {
            reportExpansionLimit(scope);
            return 0;
        }
        return got;
    };
}

// A compressed file holds one member named after it: a name search has
// named it already, by the file's own name.
bool looksInto(const ArchiveScope &scope, ArchiveFormat format)
{
    return format != ArchiveFormat::Compressed || scope.search.searchesContent();
}

}  // namespace

bool ArchiveScope::ended() const
{
    return search.isCancelled() || (outcome && outcome->expansionStopped);
}

bool searchWantsMember(const MemberSearch &search, const QString &memberName)
{
    return search.wantsMember(memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1));
}

bool memberWantsData(const ArchiveScope &scope, const QString &name, bool hasData)
{
    if (!hasData)
        return false;
    const ArchiveFormat format = nestedArchiveFormatOf(name);
    if (format != ArchiveFormat::None)
        return looksInto(scope, format);  // also to say it is nested too deep
    return scope.search.searchesContent() && searchWantsMember(scope.search, name);
}

void visitMember(const ArchiveScope &scope, const ArchiveMember &member)
{
    const MemberSearch &search = scope.search;
    const bool contentSearch = search.searchesContent();
    const bool wanted = searchWantsMember(search, member.name);
    const QString hitName = scope.hitPrefix + QDir::toNativeSeparators(member.name);
    if (wanted && !contentSearch)
        scope.hits.append(TFileInfo {hitName, 0, QString(), TFileInfo::Kind::Hit, member.modified});
    if (!member.hasData || !member.read)
        return;
    const ArchiveFormat format = nestedArchiveFormatOf(member.name);
    if (format != ArchiveFormat::None) {
        if (!looksInto(scope, format))
            return;
        if (scope.depth < kMaxArchiveDepth)
            walkNested(scope, member, hitName, format, countedRead(scope, member.read));
        else
            reportTooDeep(scope, member.name);
        return;
    }
    if (wanted && contentSearch) {
        scope.hits.setFileTime(member.modified);
        search.searchMember(countedRead(scope, member.read), scope.hits, hitName);
        scope.hits.setFileTime(TFileInfo::kNoTime);
    }
}
