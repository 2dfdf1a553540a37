#include "decodeahead.h"

#include "libarchiveinput.h"
#include "libarchivereader.h"

#include <cerrno>
#include <system_error>

// What the decoding thread reads with: the file as libarchive's raw format,
// every decompressor offered.
struct DecodeAhead::Decoder
{
    std::unique_ptr<LibarchiveInput> input;  // outlives the reader that reads it
    ArchivePtr reader;
};

std::unique_ptr<DecodeAhead> DecodeAhead::start(const ArchiveFile &file)
{
    auto decoder = std::make_unique<Decoder>();
    decoder->input = LibarchiveInput::file(file);
    decoder->reader.reset(archive_read_new());
    archive *a = decoder->reader.get();
    if (!a)
        return nullptr;
    archive_read_support_format_raw(a);
    supportFilters(a);
    // Only a stream a decompressor took is worth a thread: a plain file is
    // read as it is.
    archive_entry *entry = nullptr;
    if (decoder->input->open(a) != ARCHIVE_OK || archive_filter_count(a) < 2
        || archive_read_next_header(a, &entry) != ARCHIVE_OK)
        return nullptr;
    std::unique_ptr<DecodeAhead> ahead(new DecodeAhead(std::move(decoder)));
    try {
        ahead->thread = std::thread([self = ahead.get()] { self->decode(); });
    } catch (const std::system_error &) {
        return nullptr;  // no thread to be had: read on the walk's own
    }
    return ahead;
}

DecodeAhead::DecodeAhead(std::unique_ptr<Decoder> decoder) : decoder(std::move(decoder)) { }

DecodeAhead::~DecodeAhead()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

void DecodeAhead::decode()
{
    archive *a = decoder->reader.get();
    std::vector<char> block;
    block.reserve(kBlockSize);
    // Hands the block on, waiting for room; false once the reader is gone.
    const auto handOn = [this, &block] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return stopping || filled.size() < kBlocks; });
        if (stopping)
            return false;
        filled.push_back(std::move(block));
        block = std::vector<char>();
        if (!spare.empty()) {
            block = std::move(spare.back());
            spare.pop_back();
        }
        lock.unlock();
        changed.notify_all();
        block.clear();
        block.reserve(kBlockSize);
        return true;
    };
    for (;;) {
        const void *data = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(a, &data, &size, &offset);
        // What came with a failure is handed on too: the bytes before damage
        // are searched as the walk's own decompressor would have given them.
        const char *bytes = data ? static_cast<const char *>(data) : nullptr;
        for (size_t left = bytes ? size : 0; left > 0;) {
            const size_t step = qMin(left, kBlockSize - block.size());
            block.insert(block.end(), bytes, bytes + step);
            bytes += step;
            left -= step;
            if (block.size() == kBlockSize && !handOn())
                return;
        }
        if (status == ARCHIVE_OK || status == ARCHIVE_WARN)
            continue;
        if (!block.empty() && !handOn())
            return;
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        if (status != ARCHIVE_EOF)
            error = archive_errno(a) > 0 ? archive_errno(a) : EIO;
        changed.notify_all();
        return;
    }
}

qint64 DecodeAhead::next(const void **data)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (current.capacity() > 0)
        spare.push_back(std::move(current));
    current = std::vector<char>();
    changed.wait(lock, [this] { return !filled.empty() || ended; });
    if (filled.empty())
        return error ? -1 : 0;
    current = std::move(filled.front());
    filled.pop_front();
    lock.unlock();
    changed.notify_all();
    *data = current.data();
    return qint64(current.size());
}

int DecodeAhead::errorNumber() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return error;
}
