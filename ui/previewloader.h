#ifndef PREVIEWLOADER_H
#define PREVIEWLOADER_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// What the preview shows: the lines of a file around one line.
struct PreviewRequest
{
    QString path;            // the file on disk (for an archive member: the archive)
    QString member;          // the member's path inside the archive, empty for a file
    qint64 lineNo = 0;       // the hit's line, 0 for a name hit (the file's start is shown)
    QByteArray codec;        // the codec that found a deep-search hit; empty: the file's own
    bool documents = false;  // a document shows its text, each line behind its place
    quint64 generation = 0;
};

// The lines read for a request.
struct PreviewText
{
    quint64 generation = 0;
    qint64 firstLineNo = 1;  // the number of lines.first()
    QStringList lines;
    QString problem;  // why nothing could be read; empty when lines were read
};
Q_DECLARE_METATYPE(PreviewText)

// Reads the lines around a hit on its own thread, so a large file or a slow
// disk never holds the window: it reads from the start until the lines after
// the hit are in (never more than the file held when it was opened), keeps
// only the lines it will show, and gives up as soon as a newer request comes.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    // Lines shown before and after the hit.
    static constexpr int kContext = 200;
    // A shown line is cut after this many characters.
    static constexpr int kMaxLineChars = 2000;

    // Marks every request older than `generation` as not wanted any more;
    // callable from any thread.
    void supersede(quint64 generation) { latest.store(generation, std::memory_order_relaxed); }

public slots:
    void load(const PreviewRequest &request);

signals:
    // Emitted from the loader's thread.
    void loaded(const PreviewText &text);

private:
    bool wanted(quint64 generation) const
    {
        return latest.load(std::memory_order_relaxed) <= generation;
    }

    std::atomic<quint64> latest {0};
};

// Reads the lines around `request.lineNo` from `path` as the loader does,
// on the calling thread; `stillWanted` is asked between blocks.
PreviewText readPreview(const PreviewRequest &request, const std::function<bool()> &stillWanted);

#endif  // PREVIEWLOADER_H
