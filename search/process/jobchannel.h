#ifndef JOBCHANNEL_H
#define JOBCHANNEL_H

#include "readerjob.h"
#include "tfileinfo.h"

#include <QByteArray>
#include <QList>

// The messages between the search and a reader process, over a connected
// Unix stream socket: the search sends a job, the reader answers with the
// job's hits in pieces, its diagnostics and unreadable counts as they come,
// and Done. A message is a 5-byte header (payload length, little endian, and
// its kind) and the payload; a job carries its folder's descriptor beside it.
enum class MessageKind : quint8 {
    Job = 1,          // search -> reader: a ReaderJob
    Hits = 2,         // a piece of the job's hits, in order
    Diagnostics = 3,  // diagnostic lines of the job
    Unreadable = 4,   // files of the job that could not be read (a count)
    Done = 5,         // the job has ended; nothing more of it follows
    OutOfMemory = 6,  // the reader is ending because memory ran out
    Taken = 7,        // the reader has the job: it has started, and works
};

struct ChannelMessage
{
    MessageKind kind = MessageKind::Done;
    QByteArray payload;
    int fd = -1;  // a descriptor that came with the message, owned by the receiver
};

// One end of the socket. Sending and receiving block; neither raises SIGPIPE.
class JobChannel
{
public:
    explicit JobChannel(int fd) : socketFd(fd) { }

    // False when the other end is gone. `fd` (not taken) goes along when >= 0.
    bool send(MessageKind kind, const QByteArray &payload, int fd = -1) const;
    // Waits for the next whole message; false at the other end's close or on
    // a message that does not read as one.
    bool receive(ChannelMessage &message) const;

    int fd() const { return socketFd; }

    // The largest payload a message may have; a longer one is refused.
    static constexpr quint32 kMaxPayload = 64u << 20;

private:
    int socketFd;
};

QByteArray encodeJob(const ReaderJob &job);
// False when the payload does not read as a job; the descriptor is not set.
bool decodeJob(const QByteArray &payload, ReaderJob &job);

QByteArray encodeHits(const QList<TFileInfo> &hits);
bool decodeHits(const QByteArray &payload, QList<TFileInfo> &hits);

QByteArray encodeCount(qint64 count);
qint64 decodeCount(const QByteArray &payload);

#endif  // JOBCHANNEL_H
