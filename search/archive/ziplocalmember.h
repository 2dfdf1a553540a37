#ifndef ZIPLOCALMEMBER_H
#define ZIPLOCALMEMBER_H

#include <QByteArray>
#include <QtGlobal>

#include <memory>

struct z_stream_s;

// One ZIP member read from its local header on, with its sizes and offset
// taken from the central record and its ZIP64 field, for what minizip does
// not read: members whose local header names them with another length than
// the central directory (tools that write the two in different encodings;
// bsdtar, 7z and unzip read those), and members of 4 GiB and more. Stored and
// deflated members without encryption.
class LocalZipMember
{
public:
    LocalZipMember();
    ~LocalZipMember();
    LocalZipMember(const LocalZipMember &) = delete;
    LocalZipMember &operator=(const LocalZipMember &) = delete;

    // Finds the member whose central record starts at `centralOffset` of the
    // archive open at `fd`; the record must name `rawName`. False when the
    // member cannot be read this way.
    bool locate(int fd, quint64 centralOffset, const QByteArray &rawName);

    // Where the member's compressed data starts and how long it is.
    quint64 dataOffset() const { return dataStart; }
    quint64 compressedSize() const { return compressed; }

    // Up to `max` next bytes of the member's data: 0 at its end, -1 on an error.
    qint64 read(char *buffer, qint64 max);
    // True when the data, read to its end, does not match the recorded CRC.
    bool checksumMismatch() const { return ended && crc != expectedCrc; }

private:
    qint64 readData(char *buffer, qint64 max);

    int fd = -1;
    int method = 0;
    quint64 dataStart = 0;
    quint64 compressed = 0;
    quint64 consumed = 0;  // compressed bytes handed to inflate or copied
    bool streamEnded = false;
    bool ended = false;  // read returned 0
    quint32 expectedCrc = 0;
    quint32 crc = 0;
    std::unique_ptr<z_stream_s> stream;
    QByteArray input;  // compressed bytes read ahead for inflate
};

#endif  // ZIPLOCALMEMBER_H
