#include "archivesearch.h"

#include "archivefile.h"
#include "archivewalkers.h"
#include "libarchiveinput.h"
#include "libarchivewalker.h"
#include "pathcodec.h"
#include "rarerrors.h"
#include "rarwalker.h"
#include "uniquefd.h"
#include "zipwalker.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

void walkArchiveFile(ArchiveFormat format, const ArchiveFile &file, const ArchiveScope &scope)
{
    switch (format) {
    case ArchiveFormat::None:
        return;
    case ArchiveFormat::Zip:
        if (!walkZipArchive(file, scope))
            reportNotArchive(scope.displayPath, "ZIP");
        return;
    case ArchiveFormat::Rar:
        walkRarArchive(file, scope);
        return;
    default:
        walkLibarchive(format, LibarchiveInput::file(file), scope);
        return;
    }
}

void walkArchiveStream(ArchiveFormat format, const ByteSource::Reader &read,
                       const ArchiveScope &scope)
{
    walkLibarchive(format, LibarchiveInput::stream(read), scope);
}

void searchArchiveAt(const ArchiveJob &job, const MemberSearch &search, HitSink &hits)
{
    const ArchiveFormat format = archiveFormatOf(job.name);
    if (format == ArchiveFormat::None)
        return;
    const ArchiveScope scope {
            search,          hits, job.names, job.displayName, job.displayName + QDir::separator(),
            job.displayPath, 1};
    if (format == ArchiveFormat::Zip) {
        searchZipArchiveAt(job.folderFd, job.name, scope);
        return;
    }
    if (format == ArchiveFormat::Rar) {
        searchRarArchiveAt(job.folderFd, job.name, scope);
        return;
    }
    const ArchiveFile file(job.folderFd, job.name);
    if (!file.isOpen()) {
        reportRarError(RarResult::OpenError, scope.displayPath, RarContext::Open);
        return;
    }
    walkArchiveFile(format, file, scope);
}

void searchArchive(const QString &path, HitSink &hits, const MemberSearch &search,
                   const ArchiveNameRules &names)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(qMax(slash, 1));
    // A folder that cannot be opened (-1) leaves the archive unopened: the
    // walkers say so in their own words.
    const UniqueFd folderFd(
            ::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QString name = path.mid(slash + 1);
    searchArchiveAt(ArchiveJob {folderFd.get(), encodePath(name), name, encodePath(path), names},
                    search, hits);
}
