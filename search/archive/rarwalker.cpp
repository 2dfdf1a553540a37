#include "rarwalker.h"

#include "contentmatcher.h"
#include "extractfile.h"
#include "pathcodec.h"
#include "rarerrors.h"
#include "rarvolumeset.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr size_t kReadBlockSize = 64 * 1024;
constexpr size_t kChunkSize = 64 * 1024;

struct ArchiveFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

// Why libarchive could not open the set: a first volume that can be read but
// was not recognised is no RAR archive.
RarResult openResult(archive *a, const QString &firstVolume)
{
    if (archive_errno(a) == ENOMEM)
        return RarResult::NoMemory;
    QFile file(firstVolume);
    return file.open(QIODevice::ReadOnly) ? RarResult::BadArchive : RarResult::OpenError;
}

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
    RarWalk(const QByteArray &archivePath, HitSink &hits, const ContentMatcher &matcher)
        : archivePath(archivePath), archiveName(decodePath(archivePath)), hits(hits),
          matcher(matcher), extractFile(matcher, "rar.tmp")
    {
    }

    void run();

private:
    bool openArchive();
    RarResult headerFailure() const;
    // Announces the volumes up to `volume` that the walk has moved into.
    void enterVolume(int volume);
    // Checks what the member needs before its data is touched.
    RarResult memberReadiness(archive_entry *entry, const RarSetMember &layout, bool extracting);
    RarResult extract();

    const QByteArray archivePath;
    const QString archiveName;
    HitSink &hits;
    const ContentMatcher &matcher;
    ExtractFile extractFile;
    RarVolumeSet volumeSet;
    ArchivePtr reader;
    std::unique_ptr<char[]> chunk;  // allocated with the first extraction
    int announcedVolume = 0;
};

bool RarWalk::openArchive()
{
    reader.reset(archive_read_new());
    if (!reader) {
        reportRarError(RarResult::NoMemory, archivePath, RarContext::Open);
        return false;
    }
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());

    std::vector<QByteArray> encoded;
    for (const QString &volume : volumeSet.volumes)
        encoded.push_back(volume == archiveName ? archivePath : encodePath(volume));
    std::vector<const char *> names;
    for (const QByteArray &name : encoded)
        names.push_back(name.constData());
    names.push_back(nullptr);
    if (archive_read_open_filenames(reader.get(), names.data(), kReadBlockSize) != ARCHIVE_OK) {
        reportRarError(openResult(reader.get(), archiveName), archivePath, RarContext::Open);
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
        reportNextVolume(encodePath(volumeSet.volumes.at(announcedVolume)));
    }
}

RarResult RarWalk::memberReadiness(archive_entry *entry, const RarSetMember &layout,
                                   bool extracting)
{
    enterVolume(layout.lastVolume);
    if (!layout.missingVolume.isEmpty()) {
        // The request for the volume is answered at once: abandon it.
        reportMissingVolume(encodePath(layout.missingVolume));
        return RarResult::OpenError;
    }
    if (extracting && (layout.encrypted || archive_entry_is_data_encrypted(entry))) {
        // No password is ever supplied.
        reportPasswordRequest();
        return RarResult::MissingPassword;
    }
    return RarResult::Success;
}

RarResult RarWalk::extract()
{
    if (!chunk) {
        chunk.reset(new (std::nothrow) char[kChunkSize]);
        if (!chunk)
            return RarResult::NoMemory;
    }
    if (!extractFile.open())
        return RarResult::CreateError;
    for (;;) {
        if (matcher.isCancelled())
            return RarResult::Success;
        const la_ssize_t got = archive_read_data(reader.get(), chunk.get(), kChunkSize);
        if (got == 0)
            break;
        if (got < 0) {
            extractFile.close();
            return archive_errno(reader.get()) == ENOMEM ? RarResult::NoMemory : RarResult::BadData;
        }
        if (!extractFile.write(chunk.get(), size_t(got))) {
            extractFile.close();
            return RarResult::WriteError;
        }
    }
    return extractFile.close() ? RarResult::Success : RarResult::CloseError;
}

void RarWalk::run()
{
    volumeSet = rarVolumeSet(archiveName);
    if (volumeSet.coveredByFirstVolume || !openArchive())
        return;

    const bool contentSearch = !matcher.grepText.isEmpty();
    RarResult headerResult = RarResult::EndArchive;
    for (int index = 0; !matcher.isCancelled(); ++index) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN) {
            headerResult = headerFailure();
            break;
        }
        const QString name = memberName(entry);
        const bool matches = matcher.matchesName(name);
        const QString hitName = archiveHitName(archiveName, name);
        if (matches && !contentSearch)
            hits.append(TFileInfo{hitName, 0, QString()});
        // Skipping a member needs its volumes as much as extracting it does.
        RarResult result =
            memberReadiness(entry, volumeSet.members.value(index), matches && contentSearch);
        if (result == RarResult::Success && matches && contentSearch) {
            result = extract();
            if (matcher.isCancelled())
                return;
            if (result == RarResult::Success)
                matcher.searchFile(extractFile.path(), hits, hitName);
        }
        if (result != RarResult::Success) {
            reportRarError(result, archivePath, RarContext::Process);
            headerResult = RarResult::Success;
            break;
        }
    }
    reportRarError(headerResult, archivePath, RarContext::Header);
}

} // namespace

void searchRarArchive(const QByteArray &archivePath, HitSink &hits,
                      const ContentMatcher &matcher)
{
    RarWalk(archivePath, hits, matcher).run();
}
