#include "zipwalker.h"

#include "archiveerrors.h"
#include "archivefile.h"
#include "archivemember.h"
#include "membernames.h"
#include "membersearch.h"
#include "zipentry.h"
#include "ziplocalmember.h"

#include <unzip.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kNameBufferSize = 256;
constexpr int kExtraBufferSize = 65536;  // an extra field's length is 16 bits
constexpr unsigned kReadChunk = 1u << 20;
constexpr ZPOS64_T kZip64Mark = 0xFFFFFFFF;

constexpr qint64 kStreamBuffer = 64 * 1024;

// minizip's file functions over a descriptor that stays open with the
// caller; reads with pread, so no shared file position is moved. minizip
// reads headers a few bytes at a time, so reads go through a buffer.
struct DescriptorStream
{
    DescriptorStream(int fd, qint64 size) : fd(fd), size(size) { }

    // Copies `n` bytes at `position` (all inside the file) to `target`.
    bool copy(char *target, qint64 n)
    {
        const qint64 at = qint64(position);
        if (at >= bufferStart && at + n <= bufferStart + buffer.size()) {
            memcpy(target, buffer.constData() + (at - bufferStart), size_t(n));
            return true;
        }
        if (n >= kStreamBuffer)
            return readFully(fd, at, target, n);
        const qint64 fill = qMin(kStreamBuffer, size - at);
        buffer.resize(int(fill));
        if (!readFully(fd, at, buffer.data(), fill)) {
            buffer.clear();
            return false;
        }
        bufferStart = at;
        memcpy(target, buffer.constData(), size_t(n));
        return true;
    }

    const int fd;
    const qint64 size;
    quint64 position = 0;
    bool failed = false;
    QByteArray buffer;  // file bytes from bufferStart on
    qint64 bufferStart = 0;
};

voidpf openStream(voidpf, const void *stream, int)
{
    return const_cast<void *>(stream);
}

uLong readStream(voidpf, voidpf opaque, void *buffer, uLong size)
{
    auto *stream = static_cast<DescriptorStream *>(opaque);
    // A seek may have gone anywhere, beyond the end too (offsets of a
    // damaged archive): past the end nothing is left.
    const qint64 left = stream->position >= quint64(stream->size)
            ? 0
            : stream->size - qint64(stream->position);
    const qint64 n = qMin<qint64>(qint64(size), left);
    if (n > 0 && !stream->copy(static_cast<char *>(buffer), n)) {
        stream->failed = true;
        return 0;
    }
    stream->position += quint64(n);
    return uLong(n);
}

uLong writeStream(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T tellStream(voidpf, voidpf opaque)
{
    return static_cast<DescriptorStream *>(opaque)->position;
}

long seekStream(voidpf, voidpf opaque, ZPOS64_T offset, int origin)
{
    auto *stream = static_cast<DescriptorStream *>(opaque);
    quint64 base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = stream->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = quint64(stream->size);
    stream->position = base + offset;
    return 0;
}

int closeStream(voidpf, voidpf)
{
    return 0;
}

int errorOfStream(voidpf, voidpf opaque)
{
    return static_cast<DescriptorStream *>(opaque)->failed ? -1 : 0;
}

struct ZipClose
{
    void operator()(void *zip) const { unzClose(zip); }
};
using ZipPtr = std::unique_ptr<void, ZipClose>;

ZipPtr openZip(DescriptorStream &stream)
{
    zlib_filefunc64_def functions {};
    functions.zopen64_file = openStream;
    functions.zread_file = readStream;
    functions.zwrite_file = writeStream;
    functions.ztell64_file = tellStream;
    functions.zseek64_file = seekStream;
    functions.zclose_file = closeStream;
    functions.zerror_file = errorOfStream;
    return ZipPtr(unzOpen2_64(&stream, &functions));
}

// Byte ranges of the archive that members' data has already taken; a member
// whose data falls into one repeats another's and is not expanded again.
class TakenRanges
{
public:
    // True when [start, end) overlaps a range taken before; otherwise takes it.
    bool overlapsOrTake(quint64 start, quint64 end)
    {
        if (end <= start)
            return false;
        auto next = ranges.upper_bound(start);
        if (next != ranges.end() && next->first < end)
            return true;
        if (next != ranges.begin() && std::prev(next)->second > start)
            return true;
        ranges.emplace(start, end);
        return false;
    }

private:
    std::map<quint64, quint64> ranges;  // start -> end, none overlapping
};

// An entry as minizip reads it: the sizes and offsets it reads the data
// by, and what the entry says of the member.
struct EntryInfo
{
    unz_file_info64 info {};
    ZipEntry facts;
};

class ZipWalk
{
public:
    ZipWalk(void *zip, const ArchiveFile &file, const ArchiveScope &scope)
        : zip(zip), file(file), scope(scope), names(scope.names), nameBuffer(kNameBufferSize),
          extraBuffer(kExtraBufferSize)
    {
    }

    void run();

private:
    int readEntryHeader(EntryInfo &entry);
    bool readEntry(EntryInfo &entry);
    void pickCodePage(ZPOS64_T entries);
    // Opens the current member's data; false when it cannot be read.
    bool openMember(const EntryInfo &entry, quint64 *dataStart, quint64 *compressedSize);
    qint64 readMember(char *buffer, qint64 max);
    void diagnoseOverlapOnce();
    // Closes the member, reporting a checksum its data does not match.
    void closeMember(const QString &name);

    void *const zip;
    const ArchiveFile &file;
    const ArchiveScope &scope;
    MemberNameDecoder names;
    std::vector<char> nameBuffer;  // grows for names longer than 255 bytes
    std::vector<char> extraBuffer;
    TakenRanges taken;
    std::unique_ptr<LocalZipMember>
            localMember;  // set while a member is read from its local header
    bool overlapDiagnosed = false;
    QString currentName;  // the member being read, null before the first
    bool memberEnded = false;
    bool memberFailed = false;
    int encryptedUnread = 0;
};

// Reads the current entry's header in full: a name that does not fit the
// buffer is read again into one large enough for it. Returns minizip's code.
int ZipWalk::readEntryHeader(EntryInfo &entry)
{
    int err = unzGetCurrentFileInfo64(zip, &entry.info, nameBuffer.data(), uLong(nameBuffer.size()),
                                      extraBuffer.data(), uLong(extraBuffer.size()), nullptr, 0);
    if (err == UNZ_OK && entry.info.size_filename >= nameBuffer.size()) {
        nameBuffer.resize(entry.info.size_filename + 1);
        err = unzGetCurrentFileInfo64(zip, &entry.info, nameBuffer.data(), uLong(nameBuffer.size()),
                                      extraBuffer.data(), uLong(extraBuffer.size()), nullptr, 0);
    }
    if (err == UNZ_OK) {
        ZipEntry &facts = entry.facts;
        facts.versionMadeBy = quint16(entry.info.version);
        facts.flag = quint16(entry.info.flag);
        facts.dosDateTime = quint32(entry.info.dosDate);
        facts.externalAttributes = quint32(entry.info.external_fa);
        facts.rawName = QByteArray(nameBuffer.data(), int(entry.info.size_filename));
        facts.extra = QByteArray(
                extraBuffer.data(),
                int(qMin<uLong>(entry.info.size_file_extra, uLong(extraBuffer.size()))));
    }
    return err;
}

bool ZipWalk::readEntry(EntryInfo &entry)
{
    const int err = readEntryHeader(entry);
    if (err != UNZ_OK)
        reportDamaged(scope, currentName);
    return err == UNZ_OK;
}

// Where the locale does not name the code page of a maker's family, it is
// the one a detector picks over all legacy names of the archive from that
// family: one pass over the central directory before the walk.
void ZipWalk::pickCodePage(ZPOS64_T entries)
{
    LegacyNameSample sample(names);
    if (!sample.isNeeded())
        return;
    EntryInfo entry;
    for (ZPOS64_T index = 0; index < entries; ++index) {
        if (readEntryHeader(entry) != UNZ_OK)
            break;  // the walk reports it when it comes there
        sample.note(entry.facts);
        if (index + 1 < entries && unzGoToNextFile(zip) != UNZ_OK)
            break;
    }
    sample.pickFor(names);
    unzGoToFirstFile(zip);
}

bool ZipWalk::openMember(const EntryInfo &entry, quint64 *dataStart, quint64 *compressedSize)
{
    localMember.reset();
    *compressedSize = entry.info.compressed_size;
    const int err = unzOpenCurrentFilePassword(zip, nullptr);
    // Debian's minizip leaves sizes of 4 GiB and more at their ZIP64 mark
    // and stops reading there; and it refuses a local header whose name has
    // another length than the central one. Both are read from the headers.
    const bool zip64Marks = entry.info.compressed_size == kZip64Mark
            || entry.info.uncompressed_size == kZip64Mark;
    if ((err == UNZ_OK && zip64Marks) || err == UNZ_BADZIPFILE) {
        auto local = std::make_unique<LocalZipMember>();
        if (local->locate(file.fd(), quint64(unzGetOffset64(zip)), entry.facts.rawName)) {
            *dataStart = local->dataOffset();
            *compressedSize = local->compressedSize();
            localMember = std::move(local);
            return true;
        }
    }
    if (err == UNZ_OK) {
        *dataStart = quint64(unzGetCurrentFileZStreamPos64(zip));
        return true;
    }
    *dataStart = 0;
    return false;
}

qint64 ZipWalk::readMember(char *buffer, qint64 max)
{
    if (scope.ended() || memberFailed || memberEnded)
        return 0;
    const unsigned want = unsigned(qMin<qint64>(max, kReadChunk));
    const qint64 got
            = localMember ? localMember->read(buffer, want) : unzReadCurrentFile(zip, buffer, want);
    memberEnded = got == 0;
    if (got < 0) {
        memberFailed = true;
        reportDamagedMember(scope, currentName);
    }
    return got;
}

void ZipWalk::diagnoseOverlapOnce()
{
    if (overlapDiagnosed)
        return;
    overlapDiagnosed = true;
    reportOverlap(scope);
}

void ZipWalk::closeMember(const QString &name)
{
    // Only data read to its end can be checked.
    const bool checked = memberEnded && !memberFailed;
    const bool mismatch = localMember ? localMember->checksumMismatch()
                                      : unzCloseCurrentFile(zip) == UNZ_CRCERROR;
    if (localMember)
        unzCloseCurrentFile(zip);
    localMember.reset();
    if (checked && mismatch)
        reportChecksumMismatch(scope, name);
}

void ZipWalk::run()
{
    unz_global_info64 globalInfo;
    if (unzGetGlobalInfo64(zip, &globalInfo) != UNZ_OK) {
        reportDamaged(scope, QString());
        return;  // the entry count is unknown
    }
    pickCodePage(globalInfo.number_entry);
    for (ZPOS64_T index = 0; index < globalInfo.number_entry; ++index) {
        if (scope.ended())
            return;
        EntryInfo entry;
        if (!readEntry(entry))
            break;
        ArchiveMember member;
        member.name = entry.facts.memberName(names);
        member.hasData = !member.name.endsWith(QLatin1Char('/')) && !entry.facts.isSpecialFile();
        member.modified = entry.facts.modified();
        currentName = member.name;
        memberEnded = memberFailed = false;
        const bool wanted = memberWantsData(scope, member.name, member.hasData);
        const bool encrypted = entry.facts.isEncrypted();
        quint64 dataStart = 0;
        quint64 compressedSize = 0;
        // Opening a member reads its local header, somewhere in the archive:
        // a name search over a jar of thousands of classes would read all
        // of them. Data never read cannot repeat another's.
        const bool readable = wanted && openMember(entry, &dataStart, &compressedSize);
        const bool repeats
                = readable && taken.overlapsOrTake(dataStart, dataStart + compressedSize);
        if (repeats)
            diagnoseOverlapOnce();
        if (wanted && encrypted)
            ++encryptedUnread;
        else if (wanted && !readable)
            reportDamagedMember(scope, member.name);
        if (readable && !repeats && !encrypted)
            member.read = [this](char *buffer, qint64 max) { return readMember(buffer, max); };
        visitMember(scope, member);
        closeMember(member.name);

        if (index + 1 < globalInfo.number_entry && unzGoToNextFile(zip) != UNZ_OK) {
            reportDamaged(scope, member.name);
            break;
        }
    }
    if (encryptedUnread > 0)
        reportEncrypted(scope, encryptedUnread);
}

}  // namespace

bool walkZipArchive(const ArchiveFile &file, const ArchiveScope &scope)
{
    DescriptorStream stream {file.fd(), file.size()};
    const ZipPtr zip = openZip(stream);
    if (!zip)
        return false;
    ZipWalk(zip.get(), file, scope).run();
    return true;
}
