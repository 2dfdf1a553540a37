#include "hitprinter.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int flushThreshold = 256 * 1024;

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

// The directory with one separator after it, also for "/" itself.
QByteArray pathPrefix(const QString &dirName)
{
    if (dirName.endsWith(QLatin1Char('/')) || dirName.endsWith(QLatin1Char('\\')))
        return dirName.toLocal8Bit();
    return (dirName + QLatin1Char('/')).toLocal8Bit();
}

} // namespace

void appendJsonString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        case '\b': out += "\\b"; continue;
        case '\f': out += "\\f"; continue;
        default: break;
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
    buffer.reserve(flushThreshold + 64 * 1024);
}

void HitPrinter::printBatch(const QString &dirName, const QList<TFileInfo> &batch)
{
    if (format == Format::Lines) {
        const QByteArray prefix = pathPrefix(dirName);
        for (const TFileInfo &hit : batch)
            appendLine(prefix, hit);
    } else {
        for (const TFileInfo &hit : batch)
            appendJson(dirName, hit);
    }
    hits.fetch_add(quint64(batch.size()), std::memory_order_relaxed);
}

void HitPrinter::appendLine(const QByteArray &prefix, const TFileInfo &hit)
{
    buffer += prefix;
    buffer += hit.fileName.toLocal8Bit();
    if (hit.lineNo != 0) {
        buffer += ':';
        buffer += QByteArray::number(hit.lineNo);
        buffer += ':';
        buffer += hit.lineText.toLocal8Bit();
    }
    buffer += '\n';
    if (buffer.size() >= flushThreshold)
        writeOut();
}

void HitPrinter::appendJson(const QString &dirName, const TFileInfo &hit)
{
    buffer += "{\"dir\": ";
    appendJsonString(buffer, dirName);
    buffer += ", \"file\": ";
    appendJsonString(buffer, hit.fileName);
    buffer += ", \"line\": ";
    buffer += QByteArray::number(hit.lineNo);
    buffer += ", \"text\": ";
    appendJsonString(buffer, hit.lineText);
    buffer += "}\n";
    if (buffer.size() >= flushThreshold)
        writeOut();
}

bool HitPrinter::flush()
{
    writeOut();
    return !failed();
}

void HitPrinter::writeOut()
{
    const char *data = buffer.constData();
    qint64 left = buffer.size();
    while (left > 0 && !failed()) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            writeError.store(errno, std::memory_order_relaxed);
            break;
        }
        data += written;
        left -= written;
    }
    buffer.resize(0);  // keeps the capacity
}
