#ifndef HITPRINTER_H
#define HITPRINTER_H

#include "textquery.h"
#include "tfileinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>

// What is printed of the hits, and how, as grep's options ask.
struct PrintStyle
{
    // Lines (and names), or per file from its Count record: the files
    // with hits (-l), those without (-L), or each with its count.
    enum class Listing { Lines, FilesWithHits, FilesWithoutHits, Counts };
    Listing listing = Listing::Lines;
    bool fileNames = true;       // the path before a line or count (-h: off)
    bool nullAfterName = false;  // a NUL ends the path instead of ':' or a line feed (-0)
    bool colour = false;         // grep's colours: path, line number, separators, matches
    // Control characters of paths and lines shown, not sent (a terminal).
    bool visibleControls = false;
    // Lines around hits were asked for: "--" between groups, and JSON
    // says of each line whether it is a match or context.
    bool contextLines = false;
    TextQuery matches;  // what is coloured in a line
};

// Formats hits for standard output and writes them in large blocks. The
// search thread prints each batch as it arrives (connected directly to
// PushGotFiles), so memory stays bounded; the thread that holds the printer
// prints what a stopped search kept back and flushes at the end. Calls from
// different threads are serialised.
class HitPrinter
{
public:
    enum class Format { Lines, Json };

    HitPrinter(int fd, Format format, PrintStyle style = PrintStyle());

    void printBatch(const QString &dirName, const QList<TFileInfo> &hits);
    // Writes what is buffered. False once any write to the descriptor failed.
    bool flush();
    // For an exit that cannot wait for ever: writes what is buffered as long
    // as the reader takes it, giving up once nothing has been taken for
    // `stall`; writes nothing while another thread holds the printer (stuck
    // in a write). Nothing is written after it; the process is to end.
    void flushBeforeExit(std::chrono::milliseconds stall);

    // Matching lines and name hits printed or counted so far (context lines
    // and files with a count of 0 are none); readable from any thread.
    quint64 hitCount() const { return hits.load(std::memory_order_relaxed); }
    // Bytes the descriptor has taken so far; readable from any thread.
    quint64 bytesWritten() const { return written.load(std::memory_order_relaxed); }
    // The buffer is written once it holds this many bytes.
    static constexpr int kFlushThreshold = 256 * 1024;
    bool failed() const { return writeError.load(std::memory_order_relaxed) != 0; }
    // The errno of the failed write, 0 while none failed.
    int error() const { return writeError.load(std::memory_order_relaxed); }

private:
    void appendLine(const QByteArray &prefix, const TFileInfo &hit);
    void appendCount(const QByteArray &prefix, const TFileInfo &hit);
    // The path, then what ends it before a line or count (`separator`).
    void appendPath(const QByteArray &prefix, const QString &fileName, char separator);
    void appendText(const QString &text, bool isHit);
    // `bytes` in the colour `sgr` when colouring.
    void appendColoured(const QByteArray &bytes, const char *sgr);
    QByteArray shownBytes(const QString &text) const;
    // Whether the file of a Count record is listed.
    bool listsFile(const TFileInfo &count) const;
    // `dirField` is the object's "dir" member (and "dir_bytes"), made once per batch.
    void appendJson(const QByteArray &dirField, const TFileInfo &hit);
    // Writes the buffer; with a positive `stall`, gives up when the
    // descriptor takes nothing for that long.
    void writeOut(std::chrono::milliseconds stall = std::chrono::milliseconds(0));

    const int fd;
    const Format format;
    const PrintStyle style;
    // The last line printed, for the separators between groups; guarded by mutex.
    QByteArray lastPath;
    qint64 lastLine = -1;
    std::mutex mutex;   // guards the buffer and the order of writes
    QByteArray buffer;  // guarded by mutex
    std::atomic<quint64> hits {0};
    std::atomic<quint64> written {0};
    std::atomic_int writeError {0};
};

// True for what makes a search successful: a name hit, a matching line, a
// file's count above 0 (not a context line, not a count of 0).
bool countsAsFound(const TFileInfo &hit);

#endif  // HITPRINTER_H
