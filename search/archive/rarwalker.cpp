#include "rarwalker.h"

#include "archivefile.h"
#include "archivemember.h"
#include "libarchiveinput.h"
#include "libarchivereader.h"
#include "membersearch.h"
#include "rarerrors.h"
#include "rarvolumeset.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>

namespace {

// libarchive gives a name in UTF-8 where it can convert it; the locale's
// 8-bit form is the fallback.
QString memberName(archive_entry *entry)
{
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char *local = archive_entry_pathname(entry))
        return QString::fromLocal8Bit(local);
    return QString();
}

class RarWalk
{
public:
    RarWalk(const ArchiveScope &scope, RarVolumeSet volumeSet, QByteArray volumeFolder,
            std::unique_ptr<LibarchiveInput> input)
        : scope(scope), archivePath(scope.displayPath), volumeSet(std::move(volumeSet)),
          volumeFolder(std::move(volumeFolder)), input(std::move(input))
    {
    }

    void run(bool fileOpened);

private:
    bool openArchive(bool fileOpened);
    RarResult headerFailure() const;
    // Announces the volumes up to `volume` that the walk has moved into.
    void enterVolume(int volume);
    // Checks what the member needs before its data is touched.
    RarResult memberReadiness(archive_entry *entry, const RarSetMember &layout, bool extracting);
    // Visits the member, reading its data only when `readable`. Hits found
    // before damaged data stay, as in a ZIP member: holding them back until
    // the member ends would keep every hit of a huge member in memory.
    RarResult visit(const QString &name, bool hasData, bool readable);

    const ArchiveScope &scope;
    const QByteArray archivePath;
    RarVolumeSet volumeSet;
    const QByteArray volumeFolder;                 // prefix that names a volume in diagnostics
    const std::unique_ptr<LibarchiveInput> input;  // outlives the reader that reads it
    ArchivePtr reader;
    int announcedVolume = 0;
};

bool RarWalk::openArchive(bool fileOpened)
{
    reader.reset(archive_read_new());
    if (!reader) {
        reportRarError(RarResult::NoMemory, archivePath, RarContext::Open);
        return false;
    }
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());
    if (!fileOpened || input->open(reader.get()) != ARCHIVE_OK) {
        // A first volume that can be read but is not recognised is no RAR archive.
        const RarResult result = !fileOpened            ? RarResult::OpenError
                : archive_errno(reader.get()) == ENOMEM ? RarResult::NoMemory
                                                        : RarResult::BadArchive;
        reportRarError(result, archivePath, RarContext::Open);
        return false;
    }
    return true;
}

RarResult RarWalk::headerFailure() const
{
    if (volumeSet.headersEncrypted) {
        reportPasswordRequest();
        return RarResult::MissingPassword;
    }
    return archive_errno(reader.get()) == ENOMEM ? RarResult::NoMemory : RarResult::BadData;
}

void RarWalk::enterVolume(int volume)
{
    for (; announcedVolume < volume && announcedVolume + 1 < volumeSet.volumes.size();) {
        ++announcedVolume;
        reportNextVolume(volumeFolder + volumeSet.volumes.at(announcedVolume));
    }
}

RarResult RarWalk::memberReadiness(archive_entry *entry, const RarSetMember &layout,
                                   bool extracting)
{
    enterVolume(layout.lastVolume);
    if (!layout.missingVolume.isEmpty()) {
        // The request for the volume is answered at once: abandon it.
        reportMissingVolume(volumeFolder + layout.missingVolume);
        return RarResult::OpenError;
    }
    if (extracting && (layout.encrypted || archive_entry_is_data_encrypted(entry))) {
        // No password is ever supplied.
        reportPasswordRequest();
        return RarResult::MissingPassword;
    }
    return RarResult::Success;
}

RarResult RarWalk::visit(const QString &name, bool hasData, bool readable)
{
    RarResult result = RarResult::Success;
    ArchiveMember member;
    member.name = name;
    member.hasData = hasData;
    if (readable) {
        member.read = [this, &result](char *buffer, qint64 max) -> qint64 {
            if (scope.search.isCancelled())
                return 0;
            const la_ssize_t got = archive_read_data(reader.get(), buffer, size_t(max));
            if (got < 0)
                result = archive_errno(reader.get()) == ENOMEM ? RarResult::NoMemory
                                                               : RarResult::BadData;
            return got;
        };
    }
    visitMember(scope, member);
    return result;
}

void RarWalk::run(bool fileOpened)
{
    if (volumeSet.coveredByFirstVolume || !openArchive(fileOpened))
        return;

    RarResult headerResult = RarResult::EndArchive;
    for (int index = 0; !scope.search.isCancelled(); ++index) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            headerResult = headerFailure();
            break;
        }
        const QString name = memberName(entry);
        const bool hasData = archive_entry_filetype(entry) == AE_IFREG;
        // Skipping a member needs its volumes as much as extracting it does.
        RarResult result = memberReadiness(entry, volumeSet.members.value(index),
                                           memberWantsData(scope, name, hasData));
        // A member whose data cannot be read is still named.
        const RarResult visited = visit(name, hasData, result == RarResult::Success);
        if (result == RarResult::Success)
            result = visited;
        if (scope.search.isCancelled())
            return;
        if (result != RarResult::Success) {
            reportRarError(result, archivePath, RarContext::Process);
            headerResult = RarResult::Success;
            break;
        }
    }
    reportRarError(headerResult, archivePath, RarContext::Header);
}

}  // namespace

void searchRarArchiveAt(int folderFd, const QByteArray &name, const ArchiveScope &scope)
{
    RarVolumeSet set = rarVolumeSet(folderFd, name);
    const QList<QByteArray> volumes = set.volumes;
    const bool firstOpens = ArchiveFile(folderFd, name).isOpen();
    const int slash = scope.displayPath.lastIndexOf('/');
    RarWalk(scope, std::move(set), scope.displayPath.left(slash + 1),
            LibarchiveInput::volumes(folderFd, volumes))
            .run(firstOpens);
}

void walkRarArchive(const ArchiveFile &file, const ArchiveScope &scope)
{
    RarWalk(scope, rarVolumeSetOf(file.fd()), QByteArray(), LibarchiveInput::file(file))
            .run(file.isOpen());
}
