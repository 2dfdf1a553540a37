#ifndef CONTENTMATCHER_H
#define CONTENTMATCHER_H

#include "bytesearch.h"
#include "codecpattern.h"
#include "deepsearch.h"
#include "hitsink.h"
#include "tfileinfo.h"

#include <QList>
#include <QRegExp>
#include <QString>

#include <atomic>
#include <vector>

class ByteSource;
class QTextCodec;

// Decides which lines of one file contain the search text. Owned by the
// search thread; written by setParameters while the thread is idle and only
// read while it runs.
class ContentMatcher
{
public:
    QList<QRegExp> nameRegExps;         // wildcard patterns, case-insensitive; archive members only
    QString grepText;                   // the search text as typed; never empty in searchFile
    QList<CodecPattern> codecPatterns;  // deep search: one entry per available codec
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool exactMatch = false;
    bool deepSearch = false;

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
    // without following a link and without blocking, and read only when the
    // opened file is a regular one. Unreadable: no permission or an I/O error.
    FileOutcome searchFileAt(int folderFd, const QByteArray &name, HitSink &hits,
                             const QString &reportName) const;

    // The same for the bytes `source` hands out, read once from the start
    // (an archive member streamed from its decompressor).
    void searchStream(ByteSource &source, HitSink &hits, const QString &reportName) const;

    // True when the part of an archive member name after its last "/"
    // matches one of nameRegExps exactly; false for an empty list.
    bool matchesName(const QString &memberName) const;

    bool isCancelled() const { return cancelFlag && cancelFlag->load(std::memory_order_relaxed); }

private:
    void searchNormal(ByteSource &source, HitSink &hits, const QString &reportName) const;
    void searchDeep(ByteSource &source, HitSink &hits, const QString &reportName) const;
    const ByteNeedle &anchorFor(const QString &text) const;

    // The byte anchor of the last text searched, kept across files.
    mutable QString anchorText;
    mutable Qt::CaseSensitivity anchorCase = Qt::CaseSensitive;
    mutable ByteNeedle anchor;
    // Read buffers kept across files, so that no file pays for allocating them.
    mutable std::vector<char> readBlock;
    mutable std::vector<char> scanBuffer;
    // The deep-search list prepared for the current text and case rule.
    mutable DeepPlan deepPlan;
};

#endif  // CONTENTMATCHER_H
