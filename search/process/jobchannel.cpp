#include "jobchannel.h"

#include <QDataStream>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kHeaderSize = 5;

bool sendAll(int fd, const char *data, size_t size, int passFd)
{
    while (size > 0) {
        iovec part {const_cast<char *>(data), size};
        msghdr message {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        if (passFd >= 0) {
            std::memset(control, 0, sizeof(control));
            message.msg_control = control;
            message.msg_controllen = sizeof(control);
            cmsghdr *header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(header), &passFd, sizeof(int));
        }
        const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        passFd = -1;  // the descriptor went with the first bytes
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

// Reads exactly `size` bytes; a descriptor that comes with them goes to `fd`.
bool receiveAll(int fd, char *data, size_t size, int *receivedFd)
{
    while (size > 0) {
        iovec part {data, size};
        msghdr message {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        const ssize_t got = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
                continue;
            int passed = -1;
            std::memcpy(&passed, CMSG_DATA(header), sizeof(int));
            if (receivedFd && *receivedFd < 0)
                *receivedFd = passed;
            else
                ::close(passed);  // only one descriptor is ever sent
        }
        data += got;
        size -= size_t(got);
    }
    return true;
}

}  // namespace

bool JobChannel::send(MessageKind kind, const QByteArray &payload, int fd) const
{
    if (quint32(payload.size()) > kMaxPayload)
        return false;
    QByteArray message(kHeaderSize, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(payload.size()), message.data());
    message[4] = char(kind);
    message += payload;
    return sendAll(socketFd, message.constData(), size_t(message.size()), fd);
}

bool JobChannel::receive(ChannelMessage &message) const
{
    if (message.fd >= 0)
        ::close(message.fd);
    message.fd = -1;
    char header[kHeaderSize];
    if (!receiveAll(socketFd, header, kHeaderSize, &message.fd))
        return false;
    const quint32 size = qFromLittleEndian<quint32>(header);
    if (size > kMaxPayload)
        return false;
    message.kind = MessageKind(quint8(header[4]));
    message.payload.resize(int(size));
    return receiveAll(socketFd, message.payload.data(), size, &message.fd);
}

QByteArray encodeJob(const ReaderJob &job)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << job.kind << job.entryName << job.entryText << job.displayPath << job.request;
    return bytes;
}

bool decodeJob(const QByteArray &payload, ReaderJob &job)
{
    QDataStream in(payload);
    in >> job.kind >> job.entryName >> job.entryText >> job.displayPath >> job.request;
    return in.status() == QDataStream::Ok;
}

QByteArray encodeHits(const QList<TFileInfo> &hits)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(hits.size());
    for (const TFileInfo &hit : hits)
        out << hit.fileName << hit.lineNo << hit.lineText << quint8(hit.kind) << hit.modified
            << hit.place;
    return bytes;
}

bool decodeHits(const QByteArray &payload, QList<TFileInfo> &hits)
{
    QDataStream in(payload);
    quint32 count = 0;
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        TFileInfo hit;
        quint8 kind = 0;
        in >> hit.fileName >> hit.lineNo >> hit.lineText >> kind >> hit.modified >> hit.place;
        if (kind > quint8(TFileInfo::Kind::Count))
            return false;
        hit.kind = TFileInfo::Kind(kind);
        hits.append(std::move(hit));
    }
    return in.status() == QDataStream::Ok;
}

QByteArray encodeCount(qint64 count)
{
    QByteArray bytes(sizeof(qint64), Qt::Uninitialized);
    qToLittleEndian<qint64>(count, bytes.data());
    return bytes;
}

qint64 decodeCount(const QByteArray &payload)
{
    return payload.size() == int(sizeof(qint64)) ? qFromLittleEndian<qint64>(payload.constData())
                                                 : 0;
}
