#include "libarchivewalker.h"

#include "archivemember.h"
#include "libarchiveinput.h"
#include "libarchivereader.h"
#include "membernames.h"
#include "membersearch.h"
#include "rarerrors.h"

#include <archive_entry.h>

#include <cerrno>

namespace {

const char *formatLabel(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::SevenZip:
        return "7z";
    case ArchiveFormat::Tar:
        return "tar";
    case ArchiveFormat::Cpio:
        return "cpio";
    case ArchiveFormat::Iso:
        return "ISO 9660";
    case ArchiveFormat::Cab:
        return "CAB";
    default:
        return "compressed";
    }
}

void supportFilters(archive *a)
{
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_lzma(a);
    archive_read_support_filter_zstd(a);
    archive_read_support_filter_compress(a);
}

// Only the format the name says, so that a file is never read as another.
void supportFormat(archive *a, ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::SevenZip:
        archive_read_support_format_7zip(a);
        break;
    case ArchiveFormat::Tar:
        archive_read_support_format_tar(a);
        supportFilters(a);
        break;
    case ArchiveFormat::Cpio:
        archive_read_support_format_cpio(a);
        supportFilters(a);
        break;
    case ArchiveFormat::Iso:
        archive_read_support_format_iso9660(a);
        break;
    case ArchiveFormat::Cab:
        archive_read_support_format_cab(a);
        break;
    default:
        archive_read_support_format_raw(a);
        supportFilters(a);
        break;
    }
}

// Formats that keep names in Unicode give them so; the others keep the bytes
// their maker wrote, read by the name rules.
bool storesUnicodeNames(ArchiveFormat format)
{
    return format == ArchiveFormat::SevenZip || format == ArchiveFormat::Iso;
}

class LibarchiveWalk
{
public:
    LibarchiveWalk(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                   const ArchiveScope &scope)
        : format(format), scope(scope), names(scope.names), input(std::move(input))
    {
    }

    void run();

private:
    bool open();
    QString memberName(archive_entry *entry);
    void headerFailure();
    qint64 readData(char *buffer, qint64 max);

    const ArchiveFormat format;
    const ArchiveScope &scope;
    MemberNameDecoder names;
    const std::unique_ptr<LibarchiveInput> input;  // outlives the reader that reads it
    ArchivePtr reader;
    bool dataFailed = false;
};

bool LibarchiveWalk::open()
{
    reader.reset(archive_read_new());
    if (!reader) {
        reportRarError(RarResult::NoMemory, scope.displayPath, RarContext::Open);
        return false;
    }
    supportFormat(reader.get(), format);
    if (input->open(reader.get()) != ARCHIVE_OK) {
        if (archive_errno(reader.get()) == ENOMEM)
            reportRarError(RarResult::NoMemory, scope.displayPath, RarContext::Open);
        else
            reportNotArchive(scope.displayPath, formatLabel(format));
        return false;
    }
    return true;
}

QString LibarchiveWalk::memberName(archive_entry *entry)
{
    if (format == ArchiveFormat::Compressed)
        return compressedMemberName(scope.name);
    if (storesUnicodeNames(format)) {
        if (const char *utf8 = archive_entry_pathname_utf8(entry))
            return QString::fromUtf8(utf8);
    }
    const char *raw = archive_entry_pathname(entry);
    return names.decode(raw ? QByteArray(raw) : QByteArray());
}

void LibarchiveWalk::headerFailure()
{
    if (archive_read_has_encrypted_entries(reader.get()) > 0) {
        reportPasswordRequest();
        reportRarError(RarResult::MissingPassword, scope.displayPath, RarContext::Header);
    } else if (archive_errno(reader.get()) == ENOMEM) {
        reportRarError(RarResult::NoMemory, scope.displayPath, RarContext::Header);
    } else {
        reportRarError(RarResult::BadData, scope.displayPath, RarContext::Header);
    }
}

qint64 LibarchiveWalk::readData(char *buffer, qint64 max)
{
    if (scope.search.isCancelled() || dataFailed)
        return 0;
    const la_ssize_t got = archive_read_data(reader.get(), buffer, size_t(max));
    if (got < 0) {
        dataFailed = true;
        reportRarError(archive_errno(reader.get()) == ENOMEM ? RarResult::NoMemory
                                                             : RarResult::BadData,
                       scope.displayPath, RarContext::Process);
    }
    return got;
}

void LibarchiveWalk::run()
{
    if (!open())
        return;
    while (!scope.search.isCancelled() && !dataFailed) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        // A damaged header asks for a retry past it; the walk ends there.
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            headerFailure();
            break;
        }
        // A compressed file must really be compressed: read without a
        // filter, any file would pass as one.
        if (format == ArchiveFormat::Compressed && archive_filter_count(reader.get()) < 2) {
            reportNotArchive(scope.displayPath, formatLabel(format));
            break;
        }
        ArchiveMember member;
        member.name = memberName(entry);
        member.hasData = archive_entry_filetype(entry) == AE_IFREG;
        const bool encrypted = archive_entry_is_data_encrypted(entry);
        if (encrypted && memberWantsData(scope, member.name, member.hasData)) {
            reportPasswordRequest();
            reportRarError(RarResult::MissingPassword, scope.displayPath, RarContext::Process);
        }
        if (!encrypted)
            member.read = [this](char *buffer, qint64 max) { return readData(buffer, max); };
        visitMember(scope, member);
    }
}

}  // namespace

void walkLibarchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                    const ArchiveScope &scope)
{
    LibarchiveWalk(format, std::move(input), scope).run();
}
