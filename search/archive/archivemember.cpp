#include "archivemember.h"

#include "anonymousfile.h"
#include "archivefile.h"
#include "archiveformat.h"
#include "archivewalkers.h"
#include "contentmatcher.h"
#include "diagnostics.h"
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
    return format == ArchiveFormat::Tar || format == ArchiveFormat::Cpio
            || format == ArchiveFormat::Compressed;
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
        if (scope.matcher.isCancelled() || *tooLarge) {
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
    const QByteArray memberName = encodePath(member.name.mid(member.name.lastIndexOf('/') + 1));
    const ArchiveScope scope {outer.matcher,
                              outer.hits,
                              outer.names,
                              hitName + QDir::separator(),
                              outer.displayPath + '/' + encodePath(member.name),
                              outer.depth + 1};
    if (isStreamable(format)) {
        walkArchiveStream(format, memberName, member.read, scope);
        return;
    }
    bool tooLarge = false;
    const ArchiveFile file = spool(scope, member.read, &tooLarge);
    if (file.isOpen())
        walkArchiveFile(format, memberName, file, scope);
    else if (tooLarge)
        diagnostic("\n%s: too large to look into\n", scope.displayPath.constData());
}

std::vector<char> &readBlock()
{
    // One member is read at a time on a thread; a nested archive reads its
    // outer member without a block of its own.
    thread_local std::vector<char> block;
    return block;
}

}  // namespace

bool memberWantsData(const ArchiveScope &scope, const QString &name, bool hasData)
{
    if (!hasData)
        return false;
    if (archiveFormatOf(encodePath(name)) != ArchiveFormat::None)
        return scope.depth < kMaxArchiveDepth;
    return !scope.matcher.grepText.isEmpty() && scope.matcher.matchesName(name);
}

void visitMember(const ArchiveScope &scope, const ArchiveMember &member)
{
    const ContentMatcher &matcher = scope.matcher;
    const bool contentSearch = !matcher.grepText.isEmpty();
    const bool matches = matcher.matchesName(member.name);
    const QString hitName = scope.hitPrefix + QDir::toNativeSeparators(member.name);
    if (matches && !contentSearch)
        scope.hits.append(TFileInfo {hitName, 0, QString()});
    if (!member.hasData || !member.read)
        return;
    const ArchiveFormat format = archiveFormatOf(encodePath(member.name));
    if (format != ArchiveFormat::None) {
        if (scope.depth < kMaxArchiveDepth)
            walkNested(scope, member, hitName, format);
        return;
    }
    if (matches && contentSearch) {
        ByteSource source(member.read, readBlock());
        matcher.searchStream(source, scope.hits, hitName);
    }
}
