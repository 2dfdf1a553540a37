#include "contentmatcher.h"

#include "bytesource.h"
#include "codecs.h"
#include "linematcher.h"
#include "pathcodec.h"
#include "pseudofs.h"
#include "textstreamlines.h"
#include "uniquefd.h"
#include "utf8lines.h"

#include <QFile>
#include <QTextCodec>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLineText = 80;
// Characters kept of a matching line: the reported 80 and some to spare.
constexpr int kHeadChars = 256;
constexpr int kUtf8Mib = 106;

// Opens the regular file `name` of `folderFd` for reading: no link is
// followed, a FIFO or device swapped in since the listing does not block the
// open, and only a regular file is kept.
int openRegularFileAt(int folderFd, const char *name, qint64 *size,
                      ContentMatcher::FileOutcome *outcome)
{
    const int fd
            = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
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

QString cutToLineText(QString text)
{
    if (text.size() > kMaxLineText)
        text.resize(kMaxLineText);
    return text;
}

}  // namespace

const ByteNeedle &ContentMatcher::anchorFor(const QString &text) const
{
    if (text != anchorText || caseSensitivity != anchorCase || anchorText.isNull()) {
        anchorText = text;
        anchorCase = caseSensitivity;
        anchor = utf8AnchorFor(text, caseSensitivity);
    }
    return anchor;
}

void ContentMatcher::searchFile(const QString &path, HitSink &hits, const QString &reportName) const
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
    const UniqueFd file(openRegularFileAt(folderFd, name.constData(), &size, &outcome));
    if (file.get() < 0)
        return outcome;
    ByteSource source(file.get(), readBlock);
    if (deepSearch)
        searchDeep(source, hits, reportName);
    else
        searchNormal(source, hits, reportName);
    return FileOutcome::Searched;
}

void ContentMatcher::searchStream(ByteSource &source, HitSink &hits,
                                  const QString &reportName) const
{
    if (isCancelled() || grepText.contains(QLatin1Char('\n')))
        return;
    // Deep search too reads the bytes once.
    if (deepSearch)
        searchDeep(source, hits, reportName);
    else
        searchNormal(source, hits, reportName);
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
    // Every byte-order mark starts with one of these bytes; asking Qt costs a
    // locked codec lookup per file.
    const uchar lead = uchar(first[0]);
    const bool mayHaveMark = lead == 0x00 || lead == 0xef || lead == 0xfe || lead == 0xff;
    QTextCodec *codec = mayHaveMark
            ? QTextCodec::codecForUtfText(
                    QByteArray::fromRawData(first, int(qMin<qint64>(firstSize, 4))), locale)
            : locale;
    const auto onHit = [&](qint64 lineNo, const QString &head) {
        if (!isCancelled())
            hits.append(TFileInfo {reportName, lineNo, cutToLineText(head)});
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

void ContentMatcher::searchDeep(ByteSource &source, HitSink &hits, const QString &reportName) const
{
    if (!deepPlan.fits(codecPatterns, caseSensitivity)
        && !deepPlan.prepare(codecPatterns, caseSensitivity, cancelFlag))
        return;
    searchAllCodecs(deepPlan, source, hits, reportName, cancelFlag);
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
