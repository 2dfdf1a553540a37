#include "contentmatcher.h"

#include "anonymousfile.h"
#include "asciicodecs.h"
#include "bytesource.h"
#include "codecs.h"
#include "linematcher.h"
#include "pathcodec.h"
#include "pseudofs.h"
#include "singlebytecodec.h"
#include "textstreamlines.h"
#include "utf8lines.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTextCodec>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLineText = 80;
// Characters kept of a matching line: the reported 80 and room for a deep
// hit's conversion, which may change the length of what it converts.
constexpr int kHeadChars = 256;
// A deep hit's head grows while its conversion stays short: the conversion can
// drop characters (lone surrogates through UTF-16, a "+" through UTF-7), and
// the hit must read as the whole line converted. The bound keeps memory in
// check on a huge line; a few characters past the 80 absorb what a cut at the
// head's end may change in the conversion's last characters.
constexpr int kMaxDeepHeadChars = 1 << 20;
constexpr int kConversionSlack = 8;
// Deep search reads files up to this size into memory once and decodes them
// there for every codec; larger files are read again for every codec.
constexpr qint64 kDeepInMemoryLimit = qint64(24) << 20;
constexpr int kUtf8Mib = 106;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    const int fd;
};

// Opens the regular file `name` of `folderFd` for reading: no link is
// followed, a FIFO or device swapped in since the listing does not block the
// open, and only a regular file is kept.
int openRegularFileAt(int folderFd, const char *name, qint64 *size,
                      ContentMatcher::FileOutcome *outcome)
{
    const int fd =
        ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        const bool vanished = errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
        *outcome = vanished ? ContentMatcher::FileOutcome::NotRegular
                            : ContentMatcher::FileOutcome::Unreadable;
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *outcome = ContentMatcher::FileOutcome::NotRegular;
        return -1;
    }
    *size = info.st_size;
    *outcome = ContentMatcher::FileOutcome::Searched;
    return fd;
}

bool readWholeFile(int fd, qint64 size, QByteArray *bytes)
{
    bytes->resize(int(size));
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, bytes->data() + done, size_t(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    bytes->resize(int(done));
    return true;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

QString cutToLineText(QString text)
{
    if (text.size() > kMaxLineText)
        text.resize(kMaxLineText);
    return text;
}

} // namespace

const ByteNeedle &ContentMatcher::anchorFor(const QString &text) const
{
    if (text != anchorText || caseSensitivity != anchorCase || anchorText.isNull()) {
        anchorText = text;
        anchorCase = caseSensitivity;
        anchor = utf8AnchorFor(text, caseSensitivity);
    }
    return anchor;
}

int ContentMatcher::singleByteNeedle(const SingleByteCodec &table, QTextCodec *codec,
                                     const QString &text, ByteNeedle *needle) const
{
    if (text != needleText || caseSensitivity != needleCase || needleText.isNull()) {
        needles.clear();
        needleText = text;
        needleCase = caseSensitivity;
    }
    auto found = needles.constFind(codec);
    if (found == needles.constEnd()) {
        ByteNeedle made;
        const int kind = int(table.needleFor(text, caseSensitivity, &made));
        found = needles.insert(codec, qMakePair(kind, made));
    }
    *needle = found->second;
    return found->first;
}

void ContentMatcher::searchFile(const QString &path, HitSink &hits,
                                const QString &reportName) const
{
    const QByteArray native = encodePath(path);
    // Asked before opening: opening some kernel files alone has effects.
    if (isPseudoFileSystemOf(native.constData()))
        return;
    searchFileAt(AT_FDCWD, native, hits, reportName);
}

ContentMatcher::FileOutcome ContentMatcher::searchFileAt(int folderFd, const QByteArray &name,
                                                         HitSink &hits,
                                                         const QString &reportName) const
{
    // Lines never hold a line feed.
    if (isCancelled() || grepText.contains(QLatin1Char('\n')))
        return FileOutcome::Searched;
    qint64 size = 0;
    FileOutcome outcome;
    const FileDescriptor file(openRegularFileAt(folderFd, name.constData(), &size, &outcome));
    if (file.fd < 0)
        return outcome;
    if (deepSearch) {
        searchDeep(file.fd, size, hits, reportName);
    } else {
        ByteSource source(file.fd, readBlock);
        searchNormal(source, hits, reportName);
    }
    return FileOutcome::Searched;
}

void ContentMatcher::searchStream(ByteSource &source, HitSink &hits,
                                  const QString &reportName) const
{
    if (isCancelled() || grepText.contains(QLatin1Char('\n')))
        return;
    if (!deepSearch) {
        searchNormal(source, hits, reportName);
        return;
    }
    // Deep search reads the data more than once: held in memory up to a
    // bound, beyond it in a file that has no name and goes when closed.
    QByteArray whole;
    const char *data = nullptr;
    qint64 got = 0;
    while (whole.size() <= kDeepInMemoryLimit && (got = source.next(&data, kDeepInMemoryLimit)) > 0)
        whole.append(data, int(got));
    if (whole.size() <= kDeepInMemoryLimit) {
        ByteSource inMemory(whole.constData(), whole.size());
        searchDeepIn(inMemory, &whole, hits, reportName);
        return;
    }
    const FileDescriptor spool(createAnonymousFile());
    qint64 size = whole.size();
    if (spool.fd < 0 || !writeAll(spool.fd, whole.constData(), whole.size()))
        return;
    whole.clear();
    while ((got = source.next(&data, kDeepInMemoryLimit)) > 0) {
        if (isCancelled() || !writeAll(spool.fd, data, got))
            return;
        size += got;
    }
    if (::lseek(spool.fd, 0, SEEK_SET) == 0)
        searchDeep(spool.fd, size, hits, reportName);
}

void ContentMatcher::searchNormal(ByteSource &source, HitSink &hits,
                                  const QString &reportName) const
{
    QTextCodec *const locale = localeCodec ? localeCodec : systemCodec();
    // The stream's first read decides the codec by the byte-order mark.
    const char *first = nullptr;
    const qint64 firstSize = source.peek(&first);
    if (firstSize == 0)
        return;
    QTextCodec *codec = QTextCodec::codecForUtfText(
        QByteArray::fromRawData(first, int(qMin<qint64>(firstSize, 4))), locale);
    const auto onHit = [&](qint64 lineNo, const QString &head) {
        if (!isCancelled())
            hits.append(TFileInfo{reportName, lineNo, cutToLineText(head)});
    };
    LineMatcher matcher(grepText, caseSensitivity, kHeadChars);
    const ByteNeedle &needle = anchorFor(grepText);
    if (codec->mibEnum() == kUtf8Mib && !needle.isEmpty())
        searchUtf8Lines(source, grepText, caseSensitivity, needle, scanBuffer, matcher, cancelFlag,
                        onHit);
    else
        searchTextStreamLines(source, locale, true, grepText, caseSensitivity, matcher, cancelFlag,
                              onHit);
}

void ContentMatcher::searchDeep(int fd, qint64 size, HitSink &hits,
                                const QString &reportName) const
{
    QByteArray whole;
    if (size <= kDeepInMemoryLimit && readWholeFile(fd, size, &whole)) {
        ByteSource fromMemory(whole.constData(), whole.size());
        searchDeepIn(fromMemory, &whole, hits, reportName);
    } else {
        ByteSource fromDisk(fd, readBlock);
        searchDeepIn(fromDisk, nullptr, hits, reportName);
    }
}

void ContentMatcher::searchDeepIn(ByteSource &source, const QByteArray *data, HitSink &hits,
                                  const QString &reportName) const
{
    const bool inMemory = data != nullptr;
    const QByteArray &whole = inMemory ? *data : QByteArray();

    QTextCodec *const hitCodec = QTextCodec::codecForName("gb18030");
    QSet<qint64> reportedLines;
    // Lines holding a byte needle, shared by all single-byte codecs whose
    // needle for the text is the same.
    QHash<QByteArray, QVector<LineSpan>> linesByNeedle;
    // Codecs that read ASCII as ASCII all decode an ASCII file to the same
    // lines: after the first of them, the others could only repeat its line
    // numbers, which are reported once.
    const bool asciiFile = inMemory && isAsciiOnly(whole.constData(), whole.size());
    bool asciiDecodingDone = false;
    for (const CodecPattern &entry : codecPatterns) {
        if (isCancelled())
            return;
        if (asciiFile && entry.text == grepText && decodesAsciiAsItself(entry.codec)) {
            if (asciiDecodingDone)
                continue;
            asciiDecodingDone = true;
        }
        const QString prefix =
            QLatin1Char('[') + QString::fromLatin1(entry.codec->name()) + QLatin1String("]\t");
        QTextCodec *const target = hitCodec ? hitCodec : entry.codec;
        LineMatcher matcher(entry.text, caseSensitivity, kHeadChars);
        matcher.setHeadCheck(
            [&](const QString &head) {
                QString converted;
                convertThroughCodecs(head, entry.codec, converted, target);
                return converted.size() >= kMaxLineText + kConversionSlack;
            },
            kMaxDeepHeadChars);
        const auto onHit = [&](qint64 lineNo, const QString &head) {
            if (isCancelled() || reportedLines.contains(lineNo))
                return;
            reportedLines.insert(lineNo);
            QString converted;
            convertThroughCodecs(head, entry.codec, converted, target);
            hits.append(TFileInfo{reportName, lineNo, prefix + cutToLineText(converted)});
        };

        if (const SingleByteCodec *table = inMemory ? SingleByteCodec::of(entry.codec) : nullptr) {
            ByteNeedle needle;
            const auto kind = SingleByteCodec::Needle(
                singleByteNeedle(*table, entry.codec, entry.text, &needle));
            if (kind == SingleByteCodec::Needle::NeverMatches)
                continue;  // no byte decodes to some character of the text
            if (kind == SingleByteCodec::Needle::Found) {
                const QByteArray key = needle.key() + table->lineFeed();
                auto lines = linesByNeedle.constFind(key);
                if (lines == linesByNeedle.constEnd())
                    lines = linesByNeedle.insert(
                        key, linesHolding(whole.constData(), whole.size(), needle,
                                          table->lineFeed()));
                for (const LineSpan &span : *lines) {
                    QString line = table->decode(whole.constData() + span.start,
                                                 span.end - span.start - (span.endsWithFeed ? 1 : 0));
                    if (line.endsWith(QLatin1Char('\r')))
                        line.chop(1);  // "\r\n", or a '\r' that ends the file
                    if (line.indexOf(entry.text, 0, caseSensitivity) != -1)
                        onHit(span.lineNo, matcher.headOf(line));
                }
                continue;
            }
        }

        if (!source.rewind())
            continue;
        const ByteNeedle &needle = anchorFor(entry.text);
        if (entry.codec->mibEnum() == kUtf8Mib && !needle.isEmpty())
            searchUtf8Lines(source, entry.text, caseSensitivity, needle, scanBuffer, matcher,
                            cancelFlag, onHit);
        else
            searchTextStreamLines(source, entry.codec, false, entry.text, caseSensitivity, matcher,
                                  cancelFlag, onHit);
    }
}

bool ContentMatcher::matchesName(const QString &memberName) const
{
    const QString baseName = memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1);
    for (const QRegExp &rx : nameRegExps) {
        if (rx.exactMatch(baseName))
            return true;
    }
    return false;
}
