#ifndef HITPRINTER_H
#define HITPRINTER_H

#include "tfileinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>

// Formats hits for standard output and writes them in large blocks. Runs on
// the search thread (connected directly to PushGotFiles) so a batch is
// written as it arrives and memory stays bounded; flush() belongs to whoever
// holds the printer once the search thread has ended.
class HitPrinter
{
public:
    enum class Format { Lines, Json };

    HitPrinter(int fd, Format format);

    void printBatch(const QString &dirName, const QList<TFileInfo> &hits);
    // Writes what is buffered. False once any write to the descriptor failed.
    bool flush();

    // Hits printed so far; readable from any thread.
    quint64 hitCount() const { return hits.load(std::memory_order_relaxed); }
    bool failed() const { return writeError.load(std::memory_order_relaxed) != 0; }
    // The errno of the failed write, 0 while none failed.
    int error() const { return writeError.load(std::memory_order_relaxed); }

private:
    void appendLine(const QByteArray &prefix, const TFileInfo &hit);
    void appendJson(const QString &dirName, const TFileInfo &hit);
    void writeOut();

    int fd;
    Format format;
    QByteArray buffer;
    std::atomic<quint64> hits{0};
    std::atomic_int writeError{0};
};

// Appends `text` as a JSON string literal in UTF-8: quotes, backslashes and
// control characters escaped, other characters as they are; a lone surrogate
// becomes U+FFFD so the output is always valid UTF-8.
void appendJsonString(QByteArray &out, const QString &text);

#endif // HITPRINTER_H
