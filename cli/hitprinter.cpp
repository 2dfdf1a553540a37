#include "hitprinter.h"

#include "pathcodec.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Writes go out in pieces no larger than a pipe holds (Linux's default pipe
// buffer), so that a slow reader shows progress piece by piece and a stalled
// one is seen, with few calls while the reader keeps up.
constexpr qint64 writeChunk = 64 * 1024;

void appendUtf8(QByteArray &out, uint code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The directory's exact bytes with one separator after them, also for "/".
QByteArray pathPrefix(const QString &dirName)
{
    QByteArray prefix = encodePath(dirName);
    if (!prefix.endsWith('/') && !prefix.endsWith('\\'))
        prefix += '/';
    return prefix;
}

// `"key": "text"`, and `, "key_bytes": "base64"` behind it when the text
// holds bytes that did not decode and so reads as U+FFFD there.
void appendJsonPath(QByteArray &out, const char *key, const QString &path)
{
    out += '"';
    out += key;
    out += "\": ";
    appendJsonString(out, path);
    if (!hasUndecodedBytes(path))
        return;
    out += ", \"";
    out += key;
    out += "_bytes\": \"";
    out += encodePath(path).toBase64();
    out += '"';
}

bool writableWithin(int fd, std::chrono::milliseconds wait)
{
    pollfd watched = {fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&watched, 1, int(wait.count()));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

void appendJsonString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\b':
            out += "\\b";
            continue;
        case '\f':
            out += "\\f";
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(c, text.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    out += '"';
}

HitPrinter::HitPrinter(int fd, Format format) : fd(fd), format(format)
{
    buffer.reserve(kFlushThreshold + 64 * 1024);
}

void HitPrinter::printBatch(const QString &dirName, const QList<TFileInfo> &batch)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (format == Format::Lines) {
        const QByteArray prefix = pathPrefix(dirName);
        for (const TFileInfo &hit : batch)
            appendLine(prefix, hit);
    } else {
        QByteArray dirField;
        appendJsonPath(dirField, "dir", dirName);
        for (const TFileInfo &hit : batch)
            appendJson(dirField, hit);
    }
    hits.fetch_add(quint64(batch.size()), std::memory_order_relaxed);
}

void HitPrinter::appendLine(const QByteArray &prefix, const TFileInfo &hit)
{
    buffer += prefix;
    buffer += encodePath(hit.fileName);
    if (hit.lineNo != 0) {
        buffer += ':';
        buffer += QByteArray::number(hit.lineNo);
        buffer += ':';
        buffer += hit.lineText.toLocal8Bit();
    }
    buffer += '\n';
    if (buffer.size() >= kFlushThreshold)
        writeOut();
}

void HitPrinter::appendJson(const QByteArray &dirField, const TFileInfo &hit)
{
    buffer += '{';
    buffer += dirField;
    buffer += ", ";
    appendJsonPath(buffer, "file", hit.fileName);
    buffer += ", \"line\": ";
    buffer += QByteArray::number(hit.lineNo);
    buffer += ", \"text\": ";
    appendJsonString(buffer, hit.lineText);
    buffer += "}\n";
    if (buffer.size() >= kFlushThreshold)
        writeOut();
}

bool HitPrinter::flush()
{
    const std::lock_guard<std::mutex> lock(mutex);
    writeOut();
    return !failed();
}

void HitPrinter::flushBeforeExit(std::chrono::milliseconds stall)
{
    if (!mutex.try_lock())
        return;  // a write that nobody reads holds the printer
    // The lock stays taken: the process ends after this write.
    writeOut(stall);
}

void HitPrinter::writeOut(std::chrono::milliseconds stall)
{
    const char *data = buffer.constData();
    qint64 left = buffer.size();
    while (left > 0 && !failed()) {
        if (stall.count() > 0 && !writableWithin(fd, stall))
            break;
        const ssize_t taken = ::write(fd, data, size_t(qMin(left, writeChunk)));
        if (taken < 0) {
            if (errno == EINTR)
                continue;
            writeError.store(errno, std::memory_order_relaxed);
            break;
        }
        data += taken;
        left -= taken;
        written.fetch_add(quint64(taken), std::memory_order_relaxed);
    }
    buffer.resize(0);  // keeps the capacity
}
