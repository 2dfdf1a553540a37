#ifndef CONTENTMATCHER_H
#define CONTENTMATCHER_H

#include "bytesearch.h"
#include "codecpattern.h"
#include "deepsearch.h"
#include "filehits.h"
#include "hitsink.h"
#include "textquery.h"
#include "tfileinfo.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

class ByteSource;
class QTextCodec;
struct LineReport;

// Decides which lines of one file contain the search text. Owned by the
// search thread; written by setParameters while the thread is idle and only
// read while it runs.
class ContentMatcher
{
public:
    QString grepText;                   // the search text as typed; never empty in searchFile
    QList<CodecPattern> codecPatterns;  // deep search: one entry per available codec
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool exactMatch = false;
    bool deepSearch = false;
    // The walk lists links to files as what they point to: such a link is
    // opened through. Otherwise a link found at a file's name is never followed.
    bool followLinks = false;

    // What picks the lines when it is more than grepText taken literally:
    // expressions, whole words, several texts. A literal query (the default)
    // leaves grepText and caseSensitivity in charge.
    TextQuery textQuery;
    // Texts the file must also hold, each somewhere, and texts it must not
    // hold anywhere. A file's hits are reported only once it is known to
    // qualify; they are held meanwhile, up to a bound past which the file is
    // read again (a stream is first copied to an anonymous file).
    QList<TextQuery> requiredTexts;
    QList<TextQuery> excludedTexts;
    // Binary files (a NUL in the first 64 KiB and no byte-order mark) are
    // searched as text, or passed over.
    enum class BinaryFiles { Text, WithoutMatch };
    BinaryFiles binaryFiles = BinaryFiles::Text;
    HitLimits limits;

    // Codec a plain reading decodes with when no byte-order mark says
    // otherwise; the locale codec at the time setParameters ran.
    QTextCodec *localeCodec = nullptr;
    // The thread's stop flag; searchFile returns at once once it is set and
    // appends nothing after that.
    const std::atomic_bool *cancelFlag = nullptr;

    // Appends one hit per matching line of the file at `path`, each named
    // `reportName`. Unreadable files and directories give no hits.
    void searchFile(const QString &path, HitSink &hits, const QString &reportName) const;

    enum class FileOutcome { Searched, NotRegular, Unreadable };
    // The same for the file `name` of the open folder `folderFd`, which the
    // caller has checked to lie on no pseudo file system. It is opened
    // without blocking and, unless `followLinks`, without following a link,
    // and read only when the opened file is a regular one. Unreadable: no permission or an I/O error.
    FileOutcome searchFileAt(int folderFd, const QByteArray &name, HitSink &hits,
                             const QString &reportName) const;

    // The same for the bytes `source` hands out, read once from the start
    // (an archive member streamed from its decompressor).
    void searchStream(ByteSource &source, HitSink &hits, const QString &reportName) const;

    // The file open at `fd`, read from its position, as searchFileAt reads
    // one it opened.
    void searchDescriptor(int fd, HitSink &hits, const QString &reportName) const;

    // Takes a line of a text whose characters are known already (a
    // document's): its number, its text without line end, and its place;
    // false when no more lines are wanted.
    using TextLineTaker
            = std::function<bool(qint64 number, const QString &text, const QString &place)>;
    // Gives the lines of one reading of such a text, in order, to the taker.
    using TextLines = std::function<void(const TextLineTaker &take)>;
    // Appends the hits of the text `read` gives, with their places, as
    // searchFile does for a file's bytes. Deep search reads it once as it
    // is: it is Unicode already. The conditions are looked at in the same
    // reading; `read` is called again only when more hits were held
    // meanwhile than a bound allows.
    void searchTextLines(const TextLines &read, HitSink &hits, const QString &reportName) const;

    bool isCancelled() const { return cancelFlag && cancelFlag->load(std::memory_order_relaxed); }

    // The query that picks the lines shown.
    TextQuery lineQuery() const;

private:
    void searchSource(ByteSource &source, HitSink &hits, const QString &reportName) const;
    // The file's hits, if it is not a binary file passed over and meets the
    // conditions; returns the number of matching lines reported.
    qint64 searchQualified(ByteSource &source, HitSink &hits, const QString &reportName) const;
    // Reports the lines of one reading matching `query` to `hits`, as
    // `limits` say, and returns how many matched; with `holdAtMost`, stops
    // once that many hits are held and sets `*overflowed`.
    qint64 searchLines(ByteSource &source, const TextQuery &query, DeepPlan &plan,
                       const HitLimits &limits, HitSink &hits, const QString &reportName,
                       int holdAtMost = 0, bool *overflowed = nullptr) const;
    void searchNormal(ByteSource &source, const TextQuery &query, const LineReport &report) const;
    bool isSkippedBinary(ByteSource &source) const;
    // True when the file holds every required text and no excluded one.
    bool qualifies(ByteSource &source) const;
    bool holds(ByteSource &source, const TextQuery &query, DeepPlan &plan) const;
    // One reading of a known text: its hits as `limits` say; with
    // `conditionsHeld`, whether each required and then excluded text occurs.
    qint64 searchTextReading(const TextLines &read, const TextQuery &query, HitSink &hits,
                             const QString &reportName, int holdAtMost, bool *overflowed,
                             std::vector<bool> *conditionsHeld) const;
    const ByteNeedle &anchorFor(const QString &text, Qt::CaseSensitivity cs) const;

    // The byte anchor of the last text searched, kept across files.
    mutable QString anchorText;
    mutable Qt::CaseSensitivity anchorCase = Qt::CaseSensitive;
    mutable ByteNeedle anchor;
    // Read buffers kept across files, so that no file pays for allocating them.
    mutable std::vector<char> readBlock;
    mutable std::vector<char> scanBuffer;
    // The deep-search list prepared for the current text and case rule, and
    // those for the required and excluded texts, in their order.
    mutable DeepPlan deepPlan;
    mutable std::vector<DeepPlan> conditionPlans;
};

#endif  // CONTENTMATCHER_H
