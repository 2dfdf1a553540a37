#include "hitprinter.h"

#include "hitjson.h"
#include "pathcodec.h"
#include "visiblecontrols.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Writes go out in pieces no larger than a pipe holds (Linux's default pipe
// buffer), so that a slow reader shows progress piece by piece and a stalled
// one is seen, with few calls while the reader keeps up.
constexpr qint64 writeChunk = 64 * 1024;

// The directory's exact bytes with one separator after them, also for "/".
QByteArray pathPrefix(const QString &dirName)
{
    QByteArray prefix = encodePath(dirName);
    if (!prefix.endsWith('/') && !prefix.endsWith('\\'))
        prefix += '/';
    return prefix;
}

// grep's default colours (GREP_COLORS): file name, line number, separator, match.
constexpr const char *kPathColour = "35";
constexpr const char *kLineColour = "32";
constexpr const char *kSeparatorColour = "36";
constexpr const char *kMatchColour = "01;31";

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

bool countsAsFound(const TFileInfo &hit)
{
    return hit.kind == TFileInfo::Kind::Hit
            || (hit.kind == TFileInfo::Kind::Count && hit.lineNo > 0);
}

HitPrinter::HitPrinter(int fd, Format format, PrintStyle style)
    : fd(fd), format(format), style(std::move(style))
{
    buffer.reserve(kFlushThreshold + 64 * 1024);
}

void HitPrinter::printBatch(const QString &dirName, const QList<TFileInfo> &batch)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (format == Format::Lines) {
        const QByteArray prefix = style.visibleControls ? pathPrefix(withVisibleControls(dirName))
                                                        : pathPrefix(dirName);
        for (const TFileInfo &hit : batch) {
            if (hit.kind == TFileInfo::Kind::Count)
                appendCount(prefix, hit);
            else
                appendLine(prefix, hit);
        }
    } else {
        const QByteArray dirField = jsonDirField(dirName);
        for (const TFileInfo &hit : batch)
            appendJson(dirField, hit);
    }
    hits.fetch_add(quint64(std::count_if(batch.begin(), batch.end(), countsAsFound)),
                   std::memory_order_relaxed);
}

bool HitPrinter::listsFile(const TFileInfo &count) const
{
    switch (style.listing) {
    case PrintStyle::Listing::FilesWithHits:
        return count.lineNo > 0;
    case PrintStyle::Listing::FilesWithoutHits:
        return count.lineNo == 0;
    case PrintStyle::Listing::Counts:
    case PrintStyle::Listing::Lines:
        break;
    }
    return true;
}

QByteArray HitPrinter::shownBytes(const QString &text) const
{
    return (style.visibleControls ? withVisibleControls(text) : text).toLocal8Bit();
}

void HitPrinter::appendColoured(const QByteArray &bytes, const char *sgr)
{
    if (!style.colour) {
        buffer += bytes;
        return;
    }
    // As grep writes it: the colour, an erase to the line's end (so a
    // background colour does not run on), the text, then both reset.
    buffer += "\033[";
    buffer += sgr;
    buffer += "m\033[K";
    buffer += bytes;
    buffer += "\033[m\033[K";
}

void HitPrinter::appendPath(const QByteArray &prefix, const QString &fileName, char separator)
{
    QByteArray path = prefix;
    path += encodePath(style.visibleControls ? withVisibleControls(fileName) : fileName);
    appendColoured(path, kPathColour);
    if (style.nullAfterName)
        buffer += '\0';
    else if (separator == '\n')
        buffer += separator;
    else
        appendColoured(QByteArray(1, separator), kSeparatorColour);
}

void HitPrinter::appendText(const QString &text, bool isHit)
{
    int start = 0;
    int end = 0;
    int from = 0;
    if (style.colour && isHit) {
        // Each match coloured; an empty one colours nothing and moves on.
        while (from <= text.size() && style.matches.find(text, from, &start, &end)) {
            buffer += shownBytes(text.mid(from, start - from));
            if (end > start)
                appendColoured(shownBytes(text.mid(start, end - start)), kMatchColour);
            from = end > start ? end : end + 1;
            if (end == start && start < text.size())
                buffer += shownBytes(text.mid(start, 1));
        }
    }
    if (from < text.size())
        buffer += shownBytes(text.mid(from));
}

void HitPrinter::appendLine(const QByteArray &prefix, const TFileInfo &hit)
{
    if (hit.lineNo == 0) {
        appendPath(prefix, hit.fileName, '\n');  // a name hit
    } else {
        const bool isHit = hit.kind == TFileInfo::Kind::Hit;
        const char separator = isHit ? ':' : '-';
        if (style.contextLines) {
            const QByteArray path = prefix + encodePath(hit.fileName);
            if (lastLine >= 0 && (path != lastPath || hit.lineNo > lastLine + 1)) {
                appendColoured("--", kSeparatorColour);
                buffer += '\n';
            }
            lastPath = path;
            lastLine = hit.lineNo;
        }
        if (style.fileNames)
            appendPath(prefix, hit.fileName, separator);
        appendColoured(QByteArray::number(hit.lineNo), kLineColour);
        appendColoured(QByteArray(1, separator), kSeparatorColour);
        if (!hit.place.isEmpty())
            buffer += shownBytes(QLatin1Char('[') + hit.place + QLatin1String("]\t"));
        appendText(hit.lineText, isHit);
        buffer += '\n';
    }
    if (buffer.size() >= kFlushThreshold)
        writeOut();
}

void HitPrinter::appendCount(const QByteArray &prefix, const TFileInfo &hit)
{
    if (!listsFile(hit))
        return;
    if (style.listing == PrintStyle::Listing::FilesWithHits
        || style.listing == PrintStyle::Listing::FilesWithoutHits) {
        appendPath(prefix, hit.fileName, '\n');
    } else {
        if (style.fileNames)
            appendPath(prefix, hit.fileName, ':');
        buffer += QByteArray::number(hit.lineNo);
        buffer += '\n';
    }
    if (buffer.size() >= kFlushThreshold)
        writeOut();
}

void HitPrinter::appendJson(const QByteArray &dirField, const TFileInfo &hit)
{
    const int objectStart = buffer.size();
    buffer += '{';
    buffer += dirField;
    buffer += ", ";
    appendJsonPath(buffer, "file", hit.fileName);
    if (hit.kind == TFileInfo::Kind::Count) {
        if (!listsFile(hit)) {
            buffer.resize(objectStart);
            return;
        }
        buffer += ", \"count\": ";
        buffer += QByteArray::number(hit.lineNo);
        buffer += "}\n";
        if (buffer.size() >= kFlushThreshold)
            writeOut();
        return;
    }
    buffer += ", \"line\": ";
    buffer += QByteArray::number(hit.lineNo);
    buffer += ", \"text\": ";
    appendJsonString(buffer, hit.lineText);
    if (!hit.place.isEmpty()) {
        buffer += ", \"place\": ";
        appendJsonString(buffer, hit.place);
    }
    // Marked only when lines around hits were asked for, as ripgrep marks them.
    if (style.contextLines)
        buffer += hit.kind == TFileInfo::Kind::Context ? ", \"type\": \"context\""
                                                       : ", \"type\": \"match\"";
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
