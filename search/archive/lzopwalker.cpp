#include "lzopwalker.h"

#include "archiveerrors.h"
#include "archivemember.h"
#include "libarchiveinput.h"
#include "libarchivewalker.h"
#include "lzopstream.h"

bool isLzopName(const QString &name)
{
    return name.endsWith(QLatin1String(".lzo"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".tzo"), Qt::CaseInsensitive);
}

void walkLzop(ArchiveFormat format, const ByteSource::Reader &compressed, const ArchiveScope &scope)
{
    LzopStream stream(compressed);
    const bool tar = format == ArchiveFormat::Tar;
    if (!stream.begin()) {
        reportNotArchive(scope, tar ? "tar" : "compressed");
        return;
    }
    // The tar walk reports a failed read as the damage it makes in the tar.
    const ByteSource::Reader decoded
            = [&stream](char *buffer, qint64 max) { return stream.read(buffer, max); };
    if (tar) {
        walkLibarchive(format, LibarchiveInput::stream(decoded), scope);
        return;
    }
    const QString member = compressedMemberName(scope.name);
    bool reported = false;
    const auto read = [&](char *buffer, qint64 max) {
        const qint64 got = decoded(buffer, max);
        if (got < 0 && !reported) {
            reported = true;
            if (stream.fault() == LzopStream::Fault::BadChecksum)
                reportChecksumMismatch(scope, member);
            else
                reportDamagedMember(scope, member);
        }
        return got;
    };
    visitMember(scope,
                ArchiveMember {member, true, scope.compressedMemberTime(stream.modified()), read});
}
