#include "zippackage.h"

#include <unzip.h>

#include <cerrno>
#include <unistd.h>

#include <sys/stat.h>

namespace {

// A document with more parts than this is not a document a person wrote.
constexpr uLong kMaxParts = 200000;
constexpr uLong kEncryptedFlag = 1;

}  // namespace

// minizip's file functions over the caller's descriptor, read with pread.
struct ZipPackage::Stream
{
    int fd = -1;
    quint64 size = 0;
    quint64 position = 0;
    bool failed = false;
};

struct ZipPackage::Entry
{
    unz64_file_pos position;
    bool encrypted;
};

namespace {

voidpf openStream(voidpf, const void *stream, int)
{
    return const_cast<void *>(stream);
}

template<typename Stream> uLong readStream(voidpf, voidpf opaque, void *buffer, uLong size)
{
    auto *stream = static_cast<Stream *>(opaque);
    if (stream->position >= stream->size)
        return 0;
    const quint64 n = qMin<quint64>(size, stream->size - stream->position);
    ssize_t got;
    do {
        got = pread(stream->fd, buffer, size_t(n), off_t(stream->position));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        stream->failed = true;
        return 0;
    }
    stream->position += quint64(got);
    return uLong(got);
}

uLong writeStream(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

template<typename Stream> ZPOS64_T tellStream(voidpf, voidpf opaque)
{
    return static_cast<Stream *>(opaque)->position;
}

template<typename Stream> long seekStream(voidpf, voidpf opaque, ZPOS64_T offset, int origin)
{
    auto *stream = static_cast<Stream *>(opaque);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        stream->position = offset;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        stream->position += offset;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        stream->position = stream->size + offset;
        break;
    default:
        return -1;
    }
    return 0;
}

int closeStream(voidpf, voidpf)
{
    return 0;
}

template<typename Stream> int errorStream(voidpf, voidpf opaque)
{
    return static_cast<Stream *>(opaque)->failed ? 1 : 0;
}

}  // namespace

ZipPackage::ZipPackage(int fd) : stream(std::make_unique<Stream>())
{
    struct stat st;
    if (fstat(fd, &st) != 0) {
        problem = DocumentProblem::damaged(QStringLiteral("the file cannot be read"));
        return;
    }
    stream->fd = fd;
    stream->size = quint64(st.st_size);
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = openStream;
    functions.zread_file = readStream<Stream>;
    functions.zwrite_file = writeStream;
    functions.ztell64_file = tellStream<Stream>;
    functions.zseek64_file = seekStream<Stream>;
    functions.zclose_file = closeStream;
    functions.zerror_file = errorStream<Stream>;
    zip = unzOpen2_64(stream.get(), &functions);
    if (!zip) {
        problem = DocumentProblem::damaged(
                QStringLiteral("its ZIP directory is missing or cut short"));
        return;
    }
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK || global.number_entry > kMaxParts) {
        problem = DocumentProblem::damaged(
                QStringLiteral("its ZIP directory is damaged or too large"));
        return;
    }
    QByteArray name(1024, '\0');
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), uLong(name.size()), nullptr, 0,
                                    nullptr, 0)
            != UNZ_OK) {
            problem = DocumentProblem::damaged(QStringLiteral("its ZIP directory is damaged"));
            return;
        }
        auto entry = std::make_unique<Entry>();
        unzGetFilePos64(zip, &entry->position);
        entry->encrypted = (info.flag & kEncryptedFlag) != 0;
        const QByteArray key(name.constData(),
                             int(qMin<uLong>(info.size_filename, uLong(name.size()))));
        entries.emplace(key, std::move(entry));  // the first of a repeated name wins
    }
}

ZipPackage::~ZipPackage()
{
    if (zip) {
        close();
        unzClose(zip);
    }
}

QByteArray ZipPackage::find(const QByteArray &name) const
{
    if (entries.count(name))
        return name;
    for (const auto &entry : entries) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.first;
    }
    return QByteArray();
}

bool ZipPackage::open(const QByteArray &name, DocumentProblem *why)
{
    close();
    const auto it = entries.find(name);
    if (!problem.isNone() || it == entries.end()) {
        *why = DocumentProblem::damaged(
                QStringLiteral("it has no part %1").arg(QString::fromUtf8(name)));
        return false;
    }
    if (it->second->encrypted) {
        *why = DocumentProblem::encrypted();
        return false;
    }
    if (unzGoToFilePos64(zip, &it->second->position) != UNZ_OK
        || unzOpenCurrentFile(zip) != UNZ_OK) {
        *why = DocumentProblem::damaged(
                QStringLiteral("its part %1 is damaged").arg(QString::fromUtf8(name)));
        return false;
    }
    partOpen = true;
    return true;
}

qint64 ZipPackage::read(char *buffer, qint64 max)
{
    if (!partOpen)
        return -1;
    const int n = unzReadCurrentFile(zip, buffer, unsigned(qMin<qint64>(max, 1 << 20)));
    return n < 0 ? -1 : n;
}

void ZipPackage::close()
{
    if (partOpen)
        unzCloseCurrentFile(zip);
    partOpen = false;
}
