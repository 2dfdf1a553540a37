#ifndef PREVIEWLOADER_H
#define PREVIEWLOADER_H

#include "previewlines.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class ReaderProcessPool;

// What the preview shows: the lines of a file around one line.
struct PreviewRequest
{
    QString path;  // the file on disk (for an archive member: the archive)
    PreviewSpot spot;
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
// An archive member or a document is read in a reader process of `readers`
// (in this process when null), which hands back only the lines shown; a
// newer request kills the reader at once, and a reader that fails costs
// that preview only: its one line naming the file is the problem shown.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    explicit PreviewLoader(ReaderProcessPool *readers) : readers(readers) { }

    // Marks every request older than `generation` as not wanted any more,
    // and gives up the one being read; callable from any thread.
    void supersede(quint64 generation)
    {
        latest.store(generation);
        abandoned.store(true);
    }

public slots:
    void load(const PreviewRequest &request);

signals:
    // Emitted from the loader's thread.
    void loaded(const PreviewText &text);

private:
    bool wanted(quint64 generation) const { return latest.load() <= generation; }
    PreviewText read(const PreviewRequest &request);

    ReaderProcessPool *const readers;
    std::atomic<quint64> latest {0};
    // Set by supersede(), cleared by the loader before it looks at `latest`
    // for the next request, so that a newer request set after that look
    // still stops it.
    std::atomic_bool abandoned {false};
};

#endif  // PREVIEWLOADER_H
