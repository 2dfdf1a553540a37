#include "archivemember.h"

#include "anonymousfile.h"
#include "archiveerrors.h"
#include "archivefile.h"
#include "archiveformat.h"
#include "archivewalkers.h"
#include "membersearch.h"
#include "pathcodec.h"

#include <QDir>

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace {

// An archive nested in another that can only be read with seeks (ZIP, 7z,
// ISO, CAB, RAR) is copied to a file without a name first; larger ones are
// passed over rather than filling the temporary folder.
constexpr qint64 kMaxSpooledArchive = qint64(512) << 20;
constexpr qint64 kSpoolChunk = 1 << 20;

bool isStreamable(ArchiveFormat format)
{
    switch (format) {
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

// Writes the member into an anonymous file; an invalid file when it cannot,
// when it is too large (`tooLarge` set) or when a stop came.
ArchiveFile spool(const ArchiveScope &scope, const ByteSource::Reader &read, bool *tooLarge)
{
    const int fd = createAnonymousFile();
    if (fd < 0)
        return ArchiveFile();
    std::vector<char> chunk(kSpoolChunk);
    qint64 total = 0;
    for (;;) {
        *tooLarge = total > kMaxSpooledArchive;
        if (scope.search.isCancelled() || *tooLarge) {
            ::close(fd);
            return ArchiveFile();
        }
        const qint64 got = read(chunk.data(), kSpoolChunk);
        if (got == 0)
            break;
        if (got < 0 || !writeFully(fd, chunk.data(), got)) {
            ::close(fd);
            return ArchiveFile();
        }
        total += got;
    }
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return ArchiveFile();
    }
    return ArchiveFile::adopt(fd);
}

void walkNested(const ArchiveScope &outer, const ArchiveMember &member, const QString &hitName,
                ArchiveFormat format)
{
    const ArchiveScope scope {outer.search,
                              outer.hits,
                              outer.names,
                              member.name.mid(member.name.lastIndexOf(QLatin1Char('/')) + 1),
                              hitName + QDir::separator(),
                              outer.displayPath + '/' + encodePath(member.name),
                              outer.depth + 1,
                              outer.outcome};
    if (isStreamable(format)) {
        walkArchiveStream(format, member.read, scope);
        return;
    }
    bool tooLarge = false;
    const ArchiveFile file = spool(scope, member.read, &tooLarge);
    if (file.isOpen())
        walkArchiveFile(format, file, scope);
    else if (tooLarge)
        reportTooLarge(scope);
}

// A compressed file holds one member named after it: a name search has
// named it already, by the file's own name.
bool looksInto(const ArchiveScope &scope, ArchiveFormat format)
{
    return format != ArchiveFormat::Compressed || scope.search.searchesContent();
}

}  // namespace

bool searchWantsMember(const MemberSearch &search, const QString &memberName)
{
    return search.wantsMember(memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1));
}

bool memberWantsData(const ArchiveScope &scope, const QString &name, bool hasData)
{
    if (!hasData)
        return false;
    const ArchiveFormat format = archiveFormatOf(name);
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
    const ArchiveFormat format = archiveFormatOf(member.name);
    if (format != ArchiveFormat::None) {
        if (!looksInto(scope, format))
            return;
        if (scope.depth < kMaxArchiveDepth)
            walkNested(scope, member, hitName, format);
        else
            reportTooDeep(scope, member.name);
        return;
    }
    if (wanted && contentSearch) {
        scope.hits.setFileTime(member.modified);
        search.searchMember(member.read, scope.hits, hitName);
        scope.hits.setFileTime(TFileInfo::kNoTime);
    }
}
