#include "libarchivewalker.h"

#include "archiveerrors.h"
#include "archivemember.h"
#include "libarchiveinput.h"
#include "libarchivereader.h"
#include "membernames.h"
#include "membersearch.h"
#include "pathcodec.h"
#include "rarvolumeset.h"

#include <archive_entry.h>

#include <cerrno>
#include <cstring>

namespace {

const char *formatLabel(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Zip:
        return "ZIP";
    case ArchiveFormat::Rar:
        return "RAR";
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
    case ArchiveFormat::Ar:
        return "ar";
    case ArchiveFormat::Rpm:
        return "RPM";
    case ArchiveFormat::Xar:
        return "xar";
    case ArchiveFormat::Lha:
        return "LHA";
    case ArchiveFormat::Warc:
        return "WARC";
    case ArchiveFormat::SelfExtracting:
        return "self-extracting";
    default:
        return "compressed";
    }
}

// Only the format the name says, so that a file is never read as another.
// A ZIP is read front to back, or through its central directory when it is
// `whole` (its pieces joined: the last holds the directory).
void supportFormat(archive *a, ArchiveFormat format, bool whole)
{
    switch (format) {
    case ArchiveFormat::Zip:
        if (whole)
            archive_read_support_format_zip_seekable(a);
        else
            archive_read_support_format_zip_streamable(a);
        break;
    case ArchiveFormat::SelfExtracting:
        // libarchive finds these after a program's code; a ZIP was tried first.
        archive_read_support_format_7zip(a);
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        break;
    case ArchiveFormat::Rar:
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
        break;
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
    case ArchiveFormat::Rpm:
        archive_read_support_filter_rpm(a);
        archive_read_support_format_cpio(a);
        supportFilters(a);
        break;
    case ArchiveFormat::Ar:
        archive_read_support_format_ar(a);
        break;
    case ArchiveFormat::Xar:
        archive_read_support_format_xar(a);
        break;
    case ArchiveFormat::Lha:
        archive_read_support_format_lha(a);
        break;
    case ArchiveFormat::Warc:
        archive_read_support_format_warc(a);
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
    return format == ArchiveFormat::SevenZip || format == ArchiveFormat::Iso
            || format == ArchiveFormat::Rar || format == ArchiveFormat::SelfExtracting;
}

// Tar, cpio and the other formats of Unix write their locale's charset; a
// ZIP read from its local headers does not say its maker, and is most often
// from DOS or Windows; CAB and LHA are formats of DOS.
NameMaker nameMakerOf(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Zip:
    case ArchiveFormat::Cab:
    case ArchiveFormat::Lha:
        return NameMaker::Dos;
    default:
        return NameMaker::Unix;
    }
}

// Members whose bytes are content: files, and whatever else carries data
// (a 7z member stored from a pipe); never folders, links or devices.
bool carriesData(archive_entry *entry)
{
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        return true;
    case AE_IFDIR:
    case AE_IFLNK:
    case AE_IFCHR:
    case AE_IFBLK:
    case AE_IFSOCK:
        return false;
    default:
        return archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0;
    }
}

// How the walk ended.
enum class WalkEnd { Complete, Cancelled, HeaderDamaged, Reported };

class LibarchiveWalk
{
public:
    LibarchiveWalk(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                   const ArchiveScope &scope)
        : format(format), scope(scope), names(scope.names), input(std::move(input))
    {
    }

    // Reads a ZIP through its central directory, not front to back.
    void readWhole() { whole = true; }

    // Reads a RAR set: the volumes to announce and what each member needs.
    void readVolumes(const RarVolumeSet *set, const QByteArray &folder)
    {
        volumes = set;
        volumeFolder = folder;
    }

    // Opens the archive; false (reported unless `quiet`) when it cannot be.
    bool open(bool quiet = false);
    WalkEnd run();
    // The last member named, null before the first.
    const QString &lastMember() const { return lastName; }
    // Says why a header could not be read.
    void reportHeaderFailure();

private:
    QString memberName(archive_entry *entry);
    bool isPaxEntry() const
    {
        return format == ArchiveFormat::Tar
                && (archive_format(reader.get()) == ARCHIVE_FORMAT_TAR_PAX_INTERCHANGE
                    || archive_format(reader.get()) == ARCHIVE_FORMAT_TAR_PAX_RESTRICTED);
    }
    // False when a member of a RAR set cannot be read (a volume is missing).
    bool volumesReady(int index, const QString &name);
    bool isEncrypted(archive_entry *entry, int index) const;
    qint64 readData(char *buffer, qint64 max);
    void beginMember();

    const ArchiveFormat format;
    const ArchiveScope &scope;
    MemberNameDecoder names;
    const std::unique_ptr<LibarchiveInput> input;  // outlives the reader that reads it
    ArchivePtr reader;
    const RarVolumeSet *volumes = nullptr;
    QByteArray volumeFolder;
    bool whole = false;
    int announcedVolume = 0;
    int encryptedUnread = 0;
    QString lastName;
    bool emptyCompressedFile = false;

    // The data of the member being read: the block libarchive decoded last,
    // and zeros for a hole before it (a sparse member).
    const char *block = nullptr;
    qint64 blockLeft = 0;
    qint64 holeLeft = 0;
    qint64 position = 0;
    bool dataEnded = false;
    bool dataFailed = false;  // reported once the bytes before the damage are handed on
    bool failureReported = false;
};

bool LibarchiveWalk::open(bool quiet)
{
    reader.reset(archive_read_new());
    if (!reader) {
        reportNoMemory(scope);
        return false;
    }
    supportFormat(reader.get(), format, whole);
    if (input->open(reader.get()) == ARCHIVE_OK)
        return true;
    // A compressed file whose decompressor found nothing to give holds an
    // empty member, which no format recognises.
    if (format == ArchiveFormat::Compressed && archive_filter_count(reader.get()) > 1) {
        emptyCompressedFile = true;
        return true;
    }
    if (!quiet) {
        if (archive_errno(reader.get()) == ENOMEM)
            reportNoMemory(scope);
        else
            reportNotArchive(scope, formatLabel(format));
    }
    return false;
}

QString LibarchiveWalk::memberName(archive_entry *entry)
{
    if (format == ArchiveFormat::Compressed)
        return compressedMemberName(scope.name);
    QString name;
    const char *utf8 = storesUnicodeNames(format) ? archive_entry_pathname_utf8(entry) : nullptr;
    if (utf8) {
        name = QString::fromUtf8(utf8);
    } else {
        const char *raw = archive_entry_pathname(entry);
        const QByteArray bytes = raw ? QByteArray(raw) : QByteArray();
        // A pax name is UTF-8, or the bytes of a name as its maker's file
        // system held them (hdrcharset=BINARY, or simply not UTF-8): those
        // are kept as the walk keeps a file's name, every byte.
        if (isPaxEntry() && names.isLegacy(bytes, false))
            name = decodePath(bytes);
        else
            name = names.decode(bytes, nameMakerOf(format));
    }
    // CAB is a format of DOS and Windows, whose folders are separated so.
    if (format == ArchiveFormat::Cab)
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

void LibarchiveWalk::reportHeaderFailure()
{
    if (archive_errno(reader.get()) == ENOMEM)
        reportNoMemory(scope);
    else if ((volumes && volumes->headersEncrypted)
             || (lastName.isNull() && archive_read_has_encrypted_entries(reader.get()) > 0))
        reportEncryptedNames(scope);
    else
        reportDamaged(scope, lastName);
}

bool LibarchiveWalk::volumesReady(int index, const QString &name)
{
    if (!volumes)
        return true;
    const RarSetMember layout = volumes->members.value(index);
    for (; announcedVolume < layout.lastVolume && announcedVolume + 1 < volumes->volumes.size();) {
        ++announcedVolume;
        reportNextVolume(volumeFolder + volumes->volumes.at(announcedVolume));
    }
    if (layout.missingVolume.isEmpty())
        return true;
    reportMissingVolume(scope, name, volumeFolder + layout.missingVolume);
    return false;
}

bool LibarchiveWalk::isEncrypted(archive_entry *entry, int index) const
{
    // libarchive flags no encrypted RAR 5 member; the set's own scan does.
    return archive_entry_is_data_encrypted(entry)
            || (volumes && volumes->members.value(index).encrypted);
}

void LibarchiveWalk::beginMember()
{
    block = nullptr;
    blockLeft = holeLeft = position = 0;
    dataEnded = dataFailed = failureReported = false;
}

qint64 LibarchiveWalk::readData(char *buffer, qint64 max)
{
    while (blockLeft == 0 && holeLeft == 0) {
        if (dataFailed) {
            if (!failureReported) {
                failureReported = true;
                if (archive_errno(reader.get()) == ENOMEM)
                    reportNoMemory(scope);
                else
                    reportDamagedMember(scope, lastName);
            }
            return -1;
        }
        if (dataEnded || scope.ended())
            return 0;
        const void *data = nullptr;
        size_t size = 0;
        la_int64_t offset = position;
        const int status = archive_read_data_block(reader.get(), &data, &size, &offset);
        if (status == ARCHIVE_EOF) {
            dataEnded = true;
            return 0;
        }
        // A decoder that fails a check at the end of a block (RAR's CRC)
        // may still hand over the block: it is searched before the damage
        // is reported.
        if (status < ARCHIVE_WARN)
            dataFailed = true;
        if (!data)
            size = 0;
        block = static_cast<const char *>(data);
        blockLeft = qint64(size);
        holeLeft = qMax<qint64>(0, qint64(offset) - position);
        position = qMax<qint64>(position, qint64(offset)) + qint64(size);
    }
    if (holeLeft > 0) {
        const qint64 n = qMin(max, holeLeft);
        memset(buffer, 0, size_t(n));
        holeLeft -= n;
        return n;
    }
    const qint64 n = qMin(max, blockLeft);
    memcpy(buffer, block, size_t(n));
    block += n;
    blockLeft -= n;
    return n;
}

WalkEnd LibarchiveWalk::run()
{
    if (emptyCompressedFile) {
        visitMember(scope,
                    ArchiveMember {memberName(nullptr), true,
                                   scope.compressedMemberTime(TFileInfo::kNoTime),
                                   [](char *, qint64) { return qint64(0); }});
        return WalkEnd::Complete;
    }
    WalkEnd end = WalkEnd::Complete;
    for (int index = 0;; ++index) {
        if (scope.ended())
            return WalkEnd::Cancelled;
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        // A damaged header asks for a retry past it; the walk ends there.
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            end = WalkEnd::HeaderDamaged;
            break;
        }
        // A compressed file must really be compressed: read without a
        // filter, any file would pass as one.
        if (format == ArchiveFormat::Compressed && archive_filter_count(reader.get()) < 2) {
            reportNotArchive(scope, formatLabel(format));
            return WalkEnd::Reported;
        }
        ArchiveMember member;
        member.name = memberName(entry);
        member.hasData = carriesData(entry);
        member.modified = format == ArchiveFormat::Compressed
                ? scope.compressedMemberTime(memberTime(entry))
                : memberTime(entry);
        lastName = member.name;
        beginMember();
        const bool ready = volumesReady(index, member.name);
        const bool encrypted = isEncrypted(entry, index);
        if (encrypted && memberWantsData(scope, member.name, member.hasData))
            ++encryptedUnread;
        if (ready && !encrypted)
            member.read = [this](char *buffer, qint64 max) { return readData(buffer, max); };
        visitMember(scope, member);
        if (!ready) {
            end = WalkEnd::Reported;
            break;
        }
        if (dataFailed) {
            if (!failureReported)
                readData(nullptr, 0);
            end = WalkEnd::Reported;
            break;
        }
    }
    if (encryptedUnread > 0)
        reportEncrypted(scope, encryptedUnread);
    return end;
}

// Reads a ZIP front to back from its local headers, saying nothing of how
// it ends; `lastMember` is the last member named (null: none). False when
// the search ended meanwhile.
bool readZipLocalHeaders(std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope,
                         QString *lastMember)
{
    LibarchiveWalk walk(ArchiveFormat::Zip, std::move(input), scope);
    if (walk.open(true) && walk.run() == WalkEnd::Cancelled)
        return false;
    *lastMember = walk.lastMember();
    return true;
}

}  // namespace

void walkLibarchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                    const ArchiveScope &scope)
{
    LibarchiveWalk walk(format, std::move(input), scope);
    if (walk.open() && walk.run() == WalkEnd::HeaderDamaged)
        walk.reportHeaderFailure();
}

void walkRarVolumes(const RarVolumeSet &set, const QByteArray &volumeFolder,
                    std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope)
{
    if (set.coveredByFirstVolume)
        return;
    LibarchiveWalk walk(ArchiveFormat::Rar, std::move(input), scope);
    walk.readVolumes(&set, volumeFolder);
    if (walk.open() && walk.run() == WalkEnd::HeaderDamaged)
        walk.reportHeaderFailure();
}

void walkZipLocalHeaders(std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope)
{
    QString lastMember;
    if (!readZipLocalHeaders(std::move(input), scope, &lastMember))
        return;
    if (lastMember.isNull())
        reportNotArchive(scope, "ZIP");
    else
        reportNoCentralDirectory(scope, lastMember);
}

void walkEmbeddedArchive(std::unique_ptr<LibarchiveInput> input, const ArchiveScope &scope)
{
    LibarchiveWalk walk(ArchiveFormat::SelfExtracting, std::move(input), scope);
    if (walk.open(true) && walk.run() == WalkEnd::HeaderDamaged)
        walk.reportHeaderFailure();
}

void walkSplitArchive(ArchiveFormat format, std::unique_ptr<LibarchiveInput> input,
                      const QByteArray &missingPiece, const ArchiveScope &scope)
{
    if (missingPiece.isEmpty()) {
        LibarchiveWalk walk(format, std::move(input), scope);
        walk.readWhole();
        if (walk.open() && walk.run() == WalkEnd::HeaderDamaged)
            walk.reportHeaderFailure();
        return;
    }
    QString lastMember;
    if (format == ArchiveFormat::Zip && !readZipLocalHeaders(std::move(input), scope, &lastMember))
        return;
    reportMissingPiece(scope, missingPiece, lastMember);
}
