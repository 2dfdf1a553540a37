#ifndef SEARCHTHREAD_H
#define SEARCHTHREAD_H

#include "archivescope.h"
#include "codecpattern.h"
#include "hitsink.h"
#include "matchsettings.h"
#include "ordereddelivery.h"
#include "searchrequest.h"
#include "tfileinfo.h"
#include "walker.h"

#include <QDir>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

class ContentMatcher;
class ReaderProcessPool;

// The search: the glue between the request, the walker, the workers and the
// ordered delivery. Its thread walks the start directories depth first and
// sends the hits of each directory with PushGotFiles; files and archives are
// searched by a pool of workers meanwhile. The GUI thread writes the
// parameters only while the thread is idle, so they need no lock.
class searchThread : public QThread
{
    Q_OBJECT

public:
    explicit searchThread(QObject *parent = nullptr);
    // Stops a running search and waits for the thread before the object goes.
    ~searchThread() override;

    // The request of a front end, which passed its check(); also sets the
    // archive name codec and the worker count it holds.
    void setParameters(const SearchRequest &request);
    void setParameters(const QList<QDir> &dirs, const QStringList &patterns, const QString &text,
                       Qt::CaseSensitivity cs, bool recursive, bool exact, bool deep);

    // The code page of archive member names that say nothing of their
    // encoding; null (the default) follows the locale's language.
    void setArchiveNameCodec(QTextCodec *codec);

    // Workers that read and match files while the walk goes on: `count`, or
    // as many as the machine has cores when 0 (the default). With one, the
    // walk's own thread reads every file. The order of delivery is the same
    // for any number.
    void setWorkerCount(int count);

    // Archives and documents are parsed in the processes of `readers`, where
    // a reader that fails costs its file only; null parses them in this
    // process (tests comparing the two). By default the shared ones, where
    // the reader program is installed.
    void setReaderProcesses(ReaderProcessPool *readers);

    // Asks a running search to end. Returns at once; nothing is emitted after
    // this call, and finished() follows promptly.
    void stop();

    // The deep-search list for `text`: one entry per available codec, in the
    // order of QTextCodec::availableMibs(), then ICU's converters that list
    // leaves out, leaving out codecs that cannot represent the text.
    static QList<CodecPattern> buildCodecPatterns(const QString &text);

    // Directories entered by the current or last search; readable from any
    // thread while the search runs (for progress displays).
    quint64 visitedDirectories() const
    {
        return walkCounts.folders.load(std::memory_order_relaxed);
    }
    // Folders that could not be opened or read, and files that could not be
    // opened, in the current or last search (no permission, I/O errors); what
    // vanished while the search ran is not counted.
    quint64 unreadableFolders() const
    {
        return walkCounts.unreadableFolders.load(std::memory_order_relaxed);
    }
    quint64 unreadableFiles() const { return unreadableFileCount.load(std::memory_order_relaxed); }

    // Hits of a folder are handed over in pieces of at most this many.
    static constexpr int kPieceSize = 1000;

    // The hits a stopped search had found and not handed over, folder by
    // folder in the order of delivery. Read it after the thread has finished.
    const QList<ResultBatch> &undelivered() const { return leftOver; }

signals:
    // Emitted from the search thread (never a worker): the hits of one
    // directory, in pieces of at most kPieceSize while the directory is
    // searched, in the order of the walk.
    void PushGotFiles(QString dirName, QList<TFileInfo> namelist);

protected:
    void run() override;

private:
    class Run;  // one run: the pool, the walker, the delivery
    int threadsForRun() const;
    // Emits one piece of a directory's hits unless a stop came first.
    bool deliver(const QString &dirName, const QList<TFileInfo> &piece);

    // Written by setParameters while the thread is idle, read by the search
    // thread and its workers while it runs.
    QList<QDir> dirList;
    // The name patterns compiled once, shared by every lister and matcher.
    std::shared_ptr<const NameFilter> nameFilter
            = std::make_shared<const NameFilter>(QStringList());
    // The same for archive members; null without patterns, when none is wanted.
    std::shared_ptr<const NameFilter> memberNames;
    std::shared_ptr<const WalkRules> walkRules;  // null: the defaults
    bool recursive = true;
    // What the matcher and the member filter are made of, also in a reader.
    MatchSettings settings;
    std::unique_ptr<ContentMatcher> matcher;
    ArchiveNameRules archiveNames;
    ReaderProcessPool *readers;

    WalkCounts walkCounts;
    std::atomic<quint64> unreadableFileCount {0};
    QList<ResultBatch> leftOver;  // written by the search thread, read once it has finished
    int workerCount = 0;
    std::atomic_bool cancelRequested {false};  // set by stop() under emitMutex
    QMutex emitMutex;  // guards the check-then-emit against stop(); recursive for direct slots
};

#endif  // SEARCHTHREAD_H
