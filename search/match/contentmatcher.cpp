#include "contentmatcher.h"

#include "anonymousfile.h"
#include "bytesource.h"
#include "codecs.h"
#include "fileencoding.h"
#include "hitline.h"
#include "linematcher.h"
#include "pathcodec.h"
#include "pseudofs.h"
#include "textstreamlines.h"
#include "uniquefd.h"
#include "utf8lines.h"

#include <QFile>
#include <QTextCodec>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kUtf8Mib = 106;
// A NUL among a file's first bytes makes it binary.
constexpr qint64 kBinaryProbe = 64 << 10;
// Hits of a file held while it is not known to qualify; past this the file
// is read once more when it does.
constexpr int kHeldHits = 4096;

// Opens the regular file `name` of `folderFd` for reading: a link is followed
// only when `followLink`, a FIFO or device swapped in since the listing does
// not block the open, and only a regular file is kept.
int openRegularFileAt(int folderFd, const char *name, bool followLink, qint64 *size,
                      qint64 *modified, ContentMatcher::FileOutcome *outcome)
{
    const int fd = ::openat(folderFd, name,
                            O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK
                                    | (followLink ? 0 : O_NOFOLLOW));
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
    *modified = info.st_mtime;
    *outcome = ContentMatcher::FileOutcome::Searched;
    return fd;
}

bool startsWithUnicodeMark(const char *data, qint64 size)
{
    const QByteArray head = QByteArray::fromRawData(data, int(qMin<qint64>(size, 4)));
    return head.startsWith("\xff\xfe") || head.startsWith("\xfe\xff")
            || head.startsWith(QByteArray("\x00\x00\xfe\xff", 4));
}

}  // namespace

TextQuery ContentMatcher::lineQuery() const
{
    return textQuery.isLiteral() ? TextQuery(grepText, caseSensitivity) : textQuery;
}

const ByteNeedle &ContentMatcher::anchorFor(const QString &text, Qt::CaseSensitivity cs) const
{
    if (text != anchorText || cs != anchorCase || anchorText.isNull()) {
        anchorText = text;
        anchorCase = cs;
        anchor = utf8AnchorFor(text, cs);
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
    if (isCancelled())
        return FileOutcome::Searched;
    qint64 size = 0;
    qint64 modified = TFileInfo::kNoTime;
    FileOutcome outcome;
    const UniqueFd file(
            openRegularFileAt(folderFd, name.constData(), followLinks, &size, &modified, &outcome));
    if (file.get() < 0)
        return outcome;
    ByteSource source(file.get(), readBlock);
    // The hits carry the time of the file as it was opened.
    hits.setFileTime(modified);
    searchSource(source, hits, reportName);
    hits.setFileTime(TFileInfo::kNoTime);
    return FileOutcome::Searched;
}

void ContentMatcher::searchDescriptor(int fd, HitSink &hits, const QString &reportName) const
{
    if (isCancelled())
        return;
    ByteSource source(fd, readBlock);
    searchSource(source, hits, reportName);
}

void ContentMatcher::searchTextLines(const TextLines &read, HitSink &hits,
                                     const QString &reportName) const
{
    if (isCancelled())
        return;
    const TextQuery query = lineQuery();
    qint64 found;
    if (requiredTexts.isEmpty() && excludedTexts.isEmpty()) {
        found = searchTextReading(read, query, hits, reportName, 0, nullptr, nullptr);
    } else {
        HitSink held;
        bool overflowed = false;
        std::vector<bool> conditions;
        found = searchTextReading(read, query, held, reportName, kHeldHits, &overflowed,
                                  &conditions);
        const auto required = conditions.begin() + requiredTexts.size();
        const bool qualified = std::all_of(conditions.begin(), required, [](bool b) { return b; })
                && std::none_of(required, conditions.end(), [](bool b) { return b; });
        if (found == 0 || isCancelled() || !qualified) {
            found = 0;
        } else if (!overflowed) {
            for (TFileInfo &hit : held.take())
                hits.append(std::move(hit));
        } else {
            found = searchTextReading(read, query, hits, reportName, 0, nullptr, nullptr);
        }
    }
    if (limits.countOnly && !isCancelled())
        hits.append(TFileInfo {reportName, found, QString(), TFileInfo::Kind::Count});
}

qint64 ContentMatcher::searchTextReading(const TextLines &read, const TextQuery &query,
                                         HitSink &hits, const QString &reportName, int holdAtMost,
                                         bool *overflowed, std::vector<bool> *conditionsHeld) const
{
    // A document's lines come whole, at most DocumentLines' million
    // characters long: each is matched as it is.
    QList<TextQuery> conditions;
    if (conditionsHeld) {
        conditions = requiredTexts + excludedTexts;
        conditionsHeld->assign(size_t(conditions.size()), false);
    }
    const auto settled = [&] {
        // An excluded text disqualifies at once; else only the end tells.
        for (int i = requiredTexts.size(); i < conditions.size(); ++i) {
            if ((*conditionsHeld)[size_t(i)])
                return true;
        }
        return excludedTexts.isEmpty()
                && std::all_of(conditionsHeld->begin(), conditionsHeld->end(),
                               [](bool b) { return b; });
    };
    FileHits shaped(hits, reportName, limits, cancelFlag);
    bool wanting = !(query.isLiteral() && query.literal().contains(QLatin1Char('\n')));
    read([&](qint64 number, const QString &text, const QString &place) {
        for (int i = 0; i < conditions.size(); ++i) {
            if (!(*conditionsHeld)[size_t(i)])
                (*conditionsHeld)[size_t(i)] = conditions[i].matches(text);
        }
        if (wanting) {
            const bool matched = query.matches(text);
            wanting = shaped.take(number, text.left(kMaxLineText), matched, place);
            if (holdAtMost > 0 && hits.size() >= holdAtMost) {
                *overflowed = true;
                wanting = false;
            }
        }
        return !isCancelled() && (wanting || (conditionsHeld && !settled()));
    });
    return shaped.hitCount();
}

void ContentMatcher::searchStream(ByteSource &source, HitSink &hits,
                                  const QString &reportName) const
{
    if (isCancelled())
        return;
    if (requiredTexts.isEmpty() && excludedTexts.isEmpty()) {
        searchSource(source, hits, reportName);
        return;
    }
    // The conditions may need a second reading, which a stream cannot give.
    const TemporaryCopy copy(source, [this] { return isCancelled(); });
    if (copy.outcome() != TemporaryCopy::Outcome::Made)
        return;
    std::vector<char> block;
    ByteSource again(copy.fd(), block);
    searchSource(again, hits, reportName);
}

bool ContentMatcher::isSkippedBinary(ByteSource &source) const
{
    if (binaryFiles == BinaryFiles::Text)
        return false;
    const char *first = nullptr;
    const qint64 size = qMin(source.peek(&first), kBinaryProbe);
    if (size == 0 || !memchr(first, 0, size_t(size)) || startsWithUnicodeMark(first, size))
        return false;
    // Deep search reads text in two- and four-byte units without a mark too.
    return !deepSearch || detectFileEncoding(first, size, false).lines.unitBytes == 1;
}

void ContentMatcher::searchSource(ByteSource &source, HitSink &hits,
                                  const QString &reportName) const
{
    const qint64 found = searchQualified(source, hits, reportName);
    if (limits.countOnly && !isCancelled())
        hits.append(TFileInfo {reportName, found, QString(), TFileInfo::Kind::Count});
}

qint64 ContentMatcher::searchQualified(ByteSource &source, HitSink &hits,
                                       const QString &reportName) const
{
    if (isSkippedBinary(source))
        return 0;
    const TextQuery query = lineQuery();
    if (requiredTexts.isEmpty() && excludedTexts.isEmpty())
        return searchLines(source, query, deepPlan, limits, hits, reportName);
    // A file without hits shows nothing whatever it holds: its conditions
    // are looked at only once it has one.
    HitSink held;
    bool overflowed = false;
    const qint64 found = searchLines(source, query, deepPlan, limits, held, reportName, kHeldHits,
                                     &overflowed);
    if (found == 0 || isCancelled() || !qualifies(source))
        return 0;
    if (!overflowed) {
        for (const TFileInfo &hit : held.take())
            hits.append(hit);
        return found;
    }
    return source.rewind() ? searchLines(source, query, deepPlan, limits, hits, reportName) : 0;
}

bool ContentMatcher::qualifies(ByteSource &source) const
{
    conditionPlans.resize(size_t(requiredTexts.size() + excludedTexts.size()));
    for (int i = 0; i < requiredTexts.size(); ++i) {
        if (!holds(source, requiredTexts[i], conditionPlans[size_t(i)]))
            return false;
    }
    for (int i = 0; i < excludedTexts.size(); ++i) {
        if (holds(source, excludedTexts[i], conditionPlans[size_t(requiredTexts.size() + i)]))
            return false;
    }
    return !isCancelled();
}

bool ContentMatcher::holds(ByteSource &source, const TextQuery &query, DeepPlan &plan) const
{
    // A source that cannot be read again holds nothing more for sure.
    if (!source.rewind())
        return false;
    HitSink none;
    return searchLines(source, query, plan, HitLimits {1, 0, 0, true}, none, QString()) > 0;
}

qint64 ContentMatcher::searchLines(ByteSource &source, const TextQuery &query, DeepPlan &plan,
                                   const HitLimits &limits, HitSink &hits,
                                   const QString &reportName, int holdAtMost,
                                   bool *overflowed) const
{
    // Lines never hold a line feed.
    if (query.isLiteral() && query.literal().contains(QLatin1Char('\n')))
        return 0;
    FileHits shaped(hits, reportName, limits, cancelFlag);
    const auto take = [&](qint64 lineNo, const QString &text, bool matched) {
        if (!shaped.take(lineNo, text, matched))
            return false;
        if (holdAtMost > 0 && hits.size() >= holdAtMost) {
            *overflowed = true;
            return false;
        }
        return true;
    };
    if (deepSearch) {
        // Deep hits come once the whole file is read, grouped by codec.
        HitSink all;
        if (!plan.fits(codecPatterns, query) && !plan.prepare(codecPatterns, query, cancelFlag))
            return 0;
        searchAllCodecs(plan, source, all, reportName, cancelFlag);
        for (const TFileInfo &hit : all.take()) {
            if (!take(hit.lineNo, hit.lineText, true))
                break;
        }
        return shaped.hitCount();
    }
    LineReport report;
    report.allLines = limits.wantsContext();
    report.onLine = [&](qint64 lineNo, const QString &head, bool matched) {
        return take(lineNo, cutToLineText(head), matched);
    };
    searchNormal(source, query, report);
    return shaped.hitCount();
}

void ContentMatcher::searchNormal(ByteSource &source, const TextQuery &query,
                                  const LineReport &report) const
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
    LineMatcher matcher(query, kHeadChars);
    const ByteNeedle &needle = anchorFor(query.anchorText(), query.anchorCase());
    if (codec->mibEnum() == kUtf8Mib && (!needle.isEmpty() || !query.isLiteral()))
        searchUtf8Lines(source, query, needle, scanBuffer, matcher, cancelFlag, report);
    else
        searchTextStreamLines(source, locale, true, query, matcher, cancelFlag, report);
}
