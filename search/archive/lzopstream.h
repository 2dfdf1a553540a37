#ifndef LZOPSTREAM_H
#define LZOPSTREAM_H

#include "bytesource.h"

#include <QtGlobal>

#include <vector>

// The .lzo files of the lzop program, decoded here with liblzo2 (libarchive
// would start the lzop program for them): a header, then blocks of LZO1X
// data, each with its two sizes and the checksums the header asks for, then
// a zero. Files written one after another read as one stream, as lzop -dc
// reads them. Nothing is handed out of a block before its checksums hold.
class LzopStream
{
public:
    enum class Fault {
        None,
        NotLzop,      // no lzop header, a damaged one, or a method or filter not known
        Damaged,      // a block cannot be decoded or the data ends early
        BadChecksum,  // a block decodes but does not match its checksum
    };

    explicit LzopStream(ByteSource::Reader compressed);
    LzopStream(const LzopStream &) = delete;
    LzopStream &operator=(const LzopStream &) = delete;

    // Reads the first header; false (NotLzop) when there is none.
    bool begin();
    // When the first file was last modified (seconds since the epoch), as
    // its header keeps it; TFileInfo::kNoTime for none.
    qint64 modified() const { return fileTime; }
    // Up to `max` next decoded bytes: 0 at the end, -1 once a fault ends the stream.
    qint64 read(char *buffer, qint64 max);
    Fault fault() const { return failure; }

private:
    bool readExactly(char *target, qint64 size);
    bool readHeader();
    bool nextBlockSize(quint32 *decodedSize);
    bool nextBlock();
    bool fail(Fault fault);

    std::vector<char> inputBlock;
    ByteSource input;
    quint32 flags = 0;
    int filter = 0;  // lzop's delta filter: its distance, 0 for none
    qint64 fileTime;
    std::vector<char> packed;
    std::vector<char> decoded;
    qint64 decodedPos = 0;
    qint64 decodedLen = 0;
    bool ended = false;
    Fault failure = Fault::None;
};

#endif  // LZOPSTREAM_H
