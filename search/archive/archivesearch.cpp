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

void walkArchiveFile(ArchiveFormat format, const QByteArray &archiveName, const ArchiveFile &file,
                     const ArchiveScope &scope)
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
        walkLibarchive(format, archiveName, LibarchiveInput::file(file), scope);
        return;
    }
}

void walkArchiveStream(ArchiveFormat format, const QByteArray &archiveName,
                       const ByteSource::Reader &read, const ArchiveScope &scope)
{
    walkLibarchive(format, archiveName, LibarchiveInput::stream(read), scope);
}

void searchArchiveAt(int folderFd, const QByteArray &name, const QString &path, HitSink &hits,
                     const ContentMatcher &matcher, const ArchiveNameRules &names)
{
    const ArchiveFormat format = archiveFormatOf(name);
    if (format == ArchiveFormat::None)
        return;
    const ArchiveScope scope {matcher,          hits, names, decodePath(name) + QDir::separator(),
                              encodePath(path), 1};
    if (format == ArchiveFormat::Zip) {
        searchZipArchiveAt(folderFd, name, scope);
        return;
    }
    if (format == ArchiveFormat::Rar) {
        searchRarArchiveAt(folderFd, name, scope);
        return;
    }
    const ArchiveFile file(folderFd, name);
    if (!file.isOpen()) {
        reportRarError(RarResult::OpenError, scope.displayPath, RarContext::Open);
        return;
    }
    walkArchiveFile(format, name, file, scope);
}

void searchArchive(const QString &path, HitSink &hits, const ContentMatcher &matcher,
                   const ArchiveNameRules &names)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(qMax(slash, 1));
    // A folder that cannot be opened (-1) leaves the archive unopened: the
    // walkers say so in their own words.
    const UniqueFd folderFd(
            ::open(encodePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    searchArchiveAt(folderFd.get(), encodePath(path.mid(slash + 1)), path, hits, matcher, names);
}
