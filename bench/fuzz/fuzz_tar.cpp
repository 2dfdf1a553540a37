// Feeds arbitrary bytes, as they are and in one gzip stream, to the name
// search's own listing of a tar from its headers, and checks that whatever
// it lists is what the archive walk lists, in order and with its times.
#include "archivesearch.h"
#include "fuzzinput.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace {

QStringList named(const QList<TFileInfo> &hits)
{
    QStringList out;
    for (const TFileInfo &hit : hits)
        out << hit.fileName + QLatin1Char('|') + QString::number(hit.modified);
    return out;
}

void compare(const QByteArray &path)
{
    const QFileInfo file(QFile::decodeName(path));
    const int folder = ::open(QFile::encodeName(file.path()).constData(), O_RDONLY | O_DIRECTORY);
    const ArchiveNameRules rules;
    HitSink listed;
    const bool byHeaders
            = listTarNamesByHeaders(ArchiveJob {folder, QFile::encodeName(file.fileName()),
                                                file.fileName(), path, rules, false},
                                    fuzzArchiveSearch(false), listed);
    ::close(folder);
    if (!byHeaders)
        return;
    HitSink walked;
    searchArchive(file.filePath(), walked, fuzzArchiveSearch(false));
    if (named(listed.take()) != named(walked.take()))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    compare(writeFuzzInput(data, size, "input.tar"));
    uLongf packedSize = compressBound(uLong(size)) + 32;
    QByteArray packed(int(packedSize), '\0');
    z_stream stream {};
    deflateInit2(&stream, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = const_cast<Bytef *>(data);
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = uInt(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(int(stream.total_out));
    deflateEnd(&stream);
    compare(writeFuzzInput(reinterpret_cast<const uint8_t *>(packed.constData()),
                           size_t(packed.size()), "input.tar.gz"));
    return 0;
}
