#include "archivesearch.h"

#include "archiveerrors.h"
#include "archivefile.h"
#include "archivemember.h"
#include "archivewalkers.h"
#include "decodeahead.h"
#include "libarchiveinput.h"
#include "libarchivewalker.h"
#include "lzopwalker.h"
#include "membersearch.h"
#include "pathcodec.h"
#include "rarvolumeset.h"
#include "splitset.h"
#include "tarheaders.h"
#include "uniquefd.h"
#include "zipdirectory.h"
#include "zipwalker.h"

#include <QDir>

#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A ZIP is read through its central directory; one whose directory is
// missing or damaged, front to back from its local headers.
void walkZip(const ArchiveFile &file, const ArchiveScope &scope)
{
    if (!walkZipArchive(file, scope))
        walkZipLocalHeaders(LibarchiveInput::file(file), scope);
}

// Opens the ZIP `name`; only when no file has that name, `name` with ".zip"
// appended, as the name may have been given without its suffix.
void searchZipArchiveAt(int folderFd, const QByteArray &name, bool followLink,
                        const ArchiveScope &scope)
{
    ArchiveFile file(folderFd, name, followLink);
    if (!file.isOpen() && !existsAt(folderFd, name))
        file = ArchiveFile(folderFd, name + ".zip");
    if (file.isOpen()) {
        scope.outcome->storedSize = file.size();
        walkZip(file, scope);
    } else {
        reportCannotOpen(scope);
    }
}

// The RAR `name`, with the volumes of its set beside it.
void searchRarArchiveAt(int folderFd, const QByteArray &name, bool followLink,
                        const ArchiveScope &scope)
{
    const ArchiveFile first(folderFd, name, followLink);
    if (!first.isOpen()) {
        reportCannotOpen(scope);
        return;
    }
    const RarVolumeSet set = rarVolumeSet(folderFd, name);
    // The whole set counts for its expansion limit.
    scope.outcome->storedSize = first.size();
    for (const QByteArray &volume : set.volumes.mid(1))
        scope.outcome->storedSize += qMax<qint64>(0, regularFileSizeAt(folderFd, volume));
    const int slash = scope.displayPath.lastIndexOf('/');
    walkRarVolumes(set, scope.displayPath.left(slash + 1),
                   LibarchiveInput::volumes(folderFd, set.volumes), scope);
}

// A program: the ZIP, 7z or RAR archive a self-extracting one carries after
// its code; a plain program carries none and is not reported.
void walkSelfExtracting(const ArchiveFile &file, const ArchiveScope &scope)
{
    if (!walkZipArchive(file, scope))
        walkEmbeddedArchive(LibarchiveInput::file(file), scope);
}

// The archive cut into pieces whose first is `name`, read as one; the whole
// set counts for its expansion limit.
void searchSplitArchiveAt(int folderFd, const QByteArray &name, bool followLink,
                          const ArchiveScope &scope)
{
    const ArchiveFile first(folderFd, name, followLink);
    if (!first.isOpen()) {
        reportCannotOpen(scope);
        return;
    }
    const ArchiveFormat format = splitArchiveFormatOf(scope.name);
    const SplitSet set = splitSet(folderFd, name, first, format);
    scope.outcome->storedSize = set.size;
    const QByteArray folder = scope.displayPath.left(scope.displayPath.lastIndexOf('/') + 1);
    walkSplitArchive(format, LibarchiveInput::volumes(folderFd, set.pieces),
                     set.missingPiece.isEmpty() ? QByteArray() : folder + set.missingPiece, scope);
}

// A compressed tar or cpio is decompressed on a thread of its own while the
// walk parses and searches what came before; the other formats decompress
// member by member inside their own reader, or not at all.
std::unique_ptr<LibarchiveInput> inputOf(ArchiveFormat format, const ArchiveFile &file)
{
    if (format == ArchiveFormat::Tar || format == ArchiveFormat::Cpio) {
        if (std::unique_ptr<DecodeAhead> ahead = DecodeAhead::start(file))
            return LibarchiveInput::decoded(std::move(ahead));
    }
    return LibarchiveInput::file(file);
}

}  // namespace

void walkArchiveFile(ArchiveFormat format, const ArchiveFile &file, const ArchiveScope &scope)
{
    switch (format) {
    case ArchiveFormat::None:
        return;
    case ArchiveFormat::Zip:
        walkZip(file, scope);
        return;
    case ArchiveFormat::Rar:
        // An archive inside an archive has no volumes beside it.
        walkRarVolumes(rarVolumeSetOf(file.fd()), QByteArray(), LibarchiveInput::file(file), scope);
        return;
    case ArchiveFormat::SelfExtracting:
        walkSelfExtracting(file, scope);
        return;
    default:
        if (isLzopName(scope.name))
            walkLzop(format, readerOf(file), scope);
        else
            walkLibarchive(format, inputOf(format, file), scope);
        return;
    }
}

void walkArchiveStream(ArchiveFormat format, const ByteSource::Reader &read,
                       const ArchiveScope &scope)
{
    if (isLzopName(scope.name))
        walkLzop(format, read, scope);
    else
        walkLibarchive(format, LibarchiveInput::stream(read), scope);
}

bool searchArchiveAt(const ArchiveJob &job, const MemberSearch &search, HitSink &hits)
{
    const ArchiveFormat format = archiveFormatOf(job.name);
    if (format == ArchiveFormat::None)
        return true;
    ArchiveOutcome outcome;
    outcome.displayPath = job.displayPath;
    ArchiveScope scope {
            search,          hits, job.names, job.displayName, job.displayName + QDir::separator(),
            job.displayPath, 1,    &outcome};
    if (format == ArchiveFormat::Zip) {
        searchZipArchiveAt(job.folderFd, job.name, job.followLink, scope);
    } else if (format == ArchiveFormat::Rar) {
        searchRarArchiveAt(job.folderFd, job.name, job.followLink, scope);
    } else if (format == ArchiveFormat::Split) {
        searchSplitArchiveAt(job.folderFd, job.name, job.followLink, scope);
    } else {
        const ArchiveFile file(job.folderFd, job.name, job.followLink);
        outcome.storedSize = file.size();
        scope.modified = file.modified();
        if (file.isOpen())
            walkArchiveFile(format, file, scope);
        else
            reportCannotOpen(scope);
    }
    return outcome.readInFull;
}

namespace {

// A name search's hits of an archive listed without the walk, as the walk
// gives them; false, with nothing appended, when a member must be read (an
// archive inside), which only the walk does.
// Each member's time is asked of `timeOf` (by its index) only when it is a
// hit: a ZIP's local times cost a look at the time zone each.
bool listMembers(const ArchiveJob &job, const MemberSearch &search, HitSink &hits,
                 std::vector<ArchiveMember> members, const std::function<qint64(size_t)> &timeOf)
{
    ArchiveOutcome outcome;
    const ArchiveScope scope {
            search,          hits, job.names, job.displayName, job.displayName + QDir::separator(),
            job.displayPath, 1,    &outcome};
    // Every name first: an archive inside sends the whole archive to the
    // walk before anything is appended.
    std::vector<ArchiveMember> wanted;
    for (size_t i = 0; i < members.size(); ++i) {
        ArchiveMember &member = members[i];
        if (memberWantsData(scope, member.name, member.hasData))
            return false;
        if (!searchWantsMember(search, member.name))
            continue;
        member.modified = timeOf(i);
        wanted.push_back(std::move(member));
    }
    for (const ArchiveMember &member : wanted)
        visitMember(scope, member);
    return true;
}

}  // namespace

bool listZipNamesByDirectory(const ArchiveJob &job, const MemberSearch &search, HitSink &hits)
{
    if (search.searchesContent() || archiveFormatOf(job.name) != ArchiveFormat::Zip)
        return false;
    const ArchiveFile file(job.folderFd, job.name, job.followLink);
    std::vector<ZipEntry> entries;
    if (!file.isOpen() || !readPlainZipDirectory(file.fd(), file.size(), &entries))
        return false;
    MemberNameDecoder names(job.names);
    LegacyNameSample sample(names);
    for (const ZipEntry &entry : entries)
        sample.note(entry);
    sample.pickFor(names);
    std::vector<ArchiveMember> members;
    for (const ZipEntry &entry : entries) {
        ArchiveMember member;
        member.name = entry.memberName(names);
        member.hasData = !member.name.endsWith(QLatin1Char('/')) && !entry.isSpecialFile();
        members.push_back(std::move(member));
    }
    return listMembers(job, search, hits, std::move(members),
                       [&entries](size_t i) { return entries[i].modified(); });
}

bool listTarNamesByHeaders(const ArchiveJob &job, const MemberSearch &search, HitSink &hits)
{
    if (search.searchesContent() || archiveFormatOf(job.name) != ArchiveFormat::Tar)
        return false;
    const ArchiveFile file(job.folderFd, job.name, job.followLink);
    if (!file.isOpen())
        return false;
    std::vector<TarHeader> headers;
    const TarHeaders read = readPlainTarHeaders(
            file.fd(), file.size(), qMax(kFreeExpansion, file.size() * kMaxExpansionRatio),
            &headers, [&search] { return search.isCancelled(); });
    if (read == TarHeaders::Stopped)
        return true;
    if (read != TarHeaders::Listed)
        return false;
    MemberNameDecoder names(job.names);
    std::vector<ArchiveMember> members;
    for (const TarHeader &header : headers) {
        ArchiveMember member;
        member.name = names.decode(header.name, NameMaker::Unix);
        member.hasData = header.kind == TarHeader::Kind::File;
        members.push_back(std::move(member));
    }
    return listMembers(job, search, hits, std::move(members),
                       [&headers](size_t i) { return headers[i].modified; });
}

bool searchArchive(const QString &path, HitSink &hits, const MemberSearch &search,
                   const ArchiveNameRules &names)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(qMax(slash, 1));
    // A folder that cannot be opened (-1) leaves the archive unopened: the
    // walkers say so in their own words.
    const UniqueFd folderFd(
            ::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QString name = path.mid(slash + 1);
    return searchArchiveAt(
            ArchiveJob {folderFd.get(), encodePath(name), name, encodePath(path), names, false},
            search, hits);
}
