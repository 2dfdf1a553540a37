#include "libarchiveinput.h"

#include "archivefile.h"
#include "decodeahead.h"

#include <archive.h>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr size_t kBlockSize = 64 * 1024;

}  // namespace

// One volume: opened when libarchive first needs it, closed when it moves on.
// Read at its own position, whatever else moved the descriptor's.
struct LibarchiveInput::Part
{
    int folderFd = -1;
    QByteArray name;
    int borrowedFd = -1;  // a file the caller keeps open
    qint64 borrowedSize = 0;
    ArchiveFile owned;
    std::vector<char> block;
    qint64 position = 0;

    int fd() const { return borrowedFd >= 0 ? borrowedFd : owned.fd(); }
    // Known from the open, so that skipping a member asks the system nothing.
    qint64 size() const { return borrowedFd >= 0 ? borrowedSize : owned.size(); }
    bool ensureOpen(archive *a)
    {
        if (fd() >= 0)
            return true;
        owned = ArchiveFile(folderFd, name);
        if (!owned.isOpen()) {
            archive_set_error(a, ENOENT, "cannot open a volume");
            return false;
        }
        return true;
    }
};

namespace {

using Part = LibarchiveInput::Part;

la_ssize_t readPart(archive *a, void *client, const void **data)
{
    Part *part = static_cast<Part *>(client);
    if (!part->ensureOpen(a))
        return -1;
    part->block.resize(kBlockSize);
    for (;;) {
        const ssize_t got
                = ::pread(part->fd(), part->block.data(), kBlockSize, off_t(part->position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            archive_set_error(a, errno, "read error");
            return -1;
        }
        part->position += got;
        *data = part->block.data();
        return got;
    }
}

la_int64_t seekPart(archive *a, void *client, la_int64_t offset, int whence)
{
    Part *part = static_cast<Part *>(client);
    if (!part->ensureOpen(a))
        return ARCHIVE_FATAL;
    const qint64 base = whence == SEEK_CUR ? part->position : whence == SEEK_END ? part->size() : 0;
    if (base + offset < 0)
        return ARCHIVE_FATAL;
    part->position = base + offset;
    return la_int64_t(part->position);
}

// Skips no further than the end of the file, so that data cut short shows
// as the damage it is.
la_int64_t skipPart(archive *a, void *client, la_int64_t request)
{
    Part *part = static_cast<Part *>(client);
    if (!part->ensureOpen(a))
        return 0;
    const la_int64_t step
            = qMin<la_int64_t>(request, qMax<qint64>(0, part->size() - part->position));
    part->position += step;
    return step;
}

int closePart(archive *, void *client)
{
    Part *part = static_cast<Part *>(client);
    if (part->borrowedFd < 0)
        part->owned = ArchiveFile();
    part->block = std::vector<char>();
    part->position = 0;
    return ARCHIVE_OK;
}

int switchPart(archive *a, void *from, void *to)
{
    if (from)
        closePart(a, from);
    static_cast<Part *>(to)->position = 0;
    return ARCHIVE_OK;
}

la_ssize_t readStream(archive *a, void *client, const void **data)
{
    auto *input = static_cast<std::pair<ByteSource::Reader *, std::vector<char> *> *>(client);
    std::vector<char> &buffer = *input->second;
    const qint64 got = (*input->first)(buffer.data(), qint64(buffer.size()));
    if (got < 0) {
        archive_set_error(a, EIO, "the enclosing archive could not be read");
        return -1;
    }
    *data = buffer.data();
    return la_ssize_t(got);
}

la_ssize_t readDecoded(archive *a, void *client, const void **data)
{
    auto *ahead = static_cast<DecodeAhead *>(client);
    const qint64 got = ahead->next(data);
    if (got < 0) {
        archive_set_error(a, ahead->errorNumber(), "the compressed data could not be decoded");
        return -1;
    }
    return la_ssize_t(got);
}

}  // namespace

LibarchiveInput::~LibarchiveInput() = default;

std::unique_ptr<LibarchiveInput> LibarchiveInput::volumes(int folderFd,
                                                          const QList<QByteArray> &names)
{
    std::unique_ptr<LibarchiveInput> input(new LibarchiveInput);
    for (const QByteArray &name : names) {
        auto part = std::make_unique<Part>();
        part->folderFd = folderFd;
        part->name = name;
        input->parts.push_back(std::move(part));
    }
    return input;
}

std::unique_ptr<LibarchiveInput> LibarchiveInput::file(const ArchiveFile &file)
{
    std::unique_ptr<LibarchiveInput> input(new LibarchiveInput);
    auto part = std::make_unique<Part>();
    part->borrowedFd = file.fd();
    part->borrowedSize = file.size();
    input->parts.push_back(std::move(part));
    return input;
}

std::unique_ptr<LibarchiveInput> LibarchiveInput::stream(ByteSource::Reader read)
{
    std::unique_ptr<LibarchiveInput> input(new LibarchiveInput);
    input->read = std::move(read);
    input->buffer.resize(kBlockSize);
    return input;
}

std::unique_ptr<LibarchiveInput> LibarchiveInput::decoded(std::unique_ptr<DecodeAhead> ahead)
{
    std::unique_ptr<LibarchiveInput> input(new LibarchiveInput);
    input->ahead = std::move(ahead);
    return input;
}

int LibarchiveInput::open(archive *reader)
{
    if (ahead)
        return archive_read_open(reader, ahead.get(), nullptr, readDecoded, nullptr);
    if (read) {
        streamClient = {&read, &buffer};
        return archive_read_open(reader, &streamClient, nullptr, readStream, nullptr);
    }
    for (const auto &part : parts)
        archive_read_append_callback_data(reader, part.get());
    archive_read_set_read_callback(reader, readPart);
    archive_read_set_seek_callback(reader, seekPart);
    archive_read_set_skip_callback(reader, skipPart);
    archive_read_set_close_callback(reader, closePart);
    archive_read_set_switch_callback(reader, switchPart);
    return archive_read_open1(reader);
}
