#ifndef DECODEAHEAD_H
#define DECODEAHEAD_H

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class ArchiveFile;
struct archive;

// The decompressed bytes of a compressed archive file (a tar.gz, a
// cpio.bz2, ...), decoded on a thread of their own a few blocks ahead of
// the walk that parses and searches them. Decompression is most of the cost
// of such an archive, and one stream cannot be cut in pieces: this way the
// walk and the decompressor each have a core. At most kBlocks blocks wait;
// memory stays bounded whatever the data expands to.
class DecodeAhead
{
public:
    // Starts decoding `file`, which must outlive this; null when it is not
    // compressed in a way libarchive decodes, or cannot be opened so: it is
    // then read as it is, as before, and its faults said in the usual words.
    static std::unique_ptr<DecodeAhead> start(const ArchiveFile &file);
    // Stops the decoding thread, at the latest after the block it decodes.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead &) = delete;
    DecodeAhead &operator=(const DecodeAhead &) = delete;

    // Points `data` at the next decoded bytes and returns their number,
    // waiting for them; valid until the next call. 0 at the end; less than 0
    // when decoding failed (its error number in errorNumber()), and at every
    // call after.
    qint64 next(const void **data);
    int errorNumber() const;

    static constexpr size_t kBlockSize = 8 * 1024;
    static constexpr size_t kBlocks = 64;

private:
    struct Decoder;
    explicit DecodeAhead(std::unique_ptr<Decoder> decoder);
    void decode();

    const std::unique_ptr<Decoder> decoder;  // the decoding thread's alone
    mutable std::mutex mutex;
    std::condition_variable changed;       // a block was filled or handed back, or the end came
    std::deque<std::vector<char>> filled;  // decoded, not yet handed out; guarded by mutex
    std::vector<std::vector<char>> spare;  // handed back for reuse; guarded by mutex
    bool ended = false;                    // nothing more will be filled; guarded by mutex
    int error = 0;              // the decoder's error number, 0 if none; guarded by mutex
    bool stopping = false;      // the reader is gone; guarded by mutex
    std::vector<char> current;  // the block handed out last; the reader's alone
    std::thread thread;
};

#endif  // DECODEAHEAD_H
