#include "readerjobs.h"

#include "contentmatcher.h"
#include "diagnostics.h"
#include "matchsettings.h"
#include "membermatcher.h"
#include "readerprocesspool.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

const QByteArray kArchiveKind = QByteArrayLiteral("archive");

QString readerProgram()
{
    const QString beside
            = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath()
            + QStringLiteral("/velto-worker");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString installed = QStringLiteral(VELTO_WORKER_PROGRAM);
    return QFileInfo(installed).isExecutable() ? installed : QString();
}

// The matcher a reader process searches with, made again only when a job
// comes from a search with other settings.
struct ReaderTools
{
    QByteArray settingsBytes;
    MatchSettings settings;
    ContentMatcher matcher;
    std::unique_ptr<MemberMatcher> members;

    bool take(const QByteArray &bytes)
    {
        if (members && bytes == settingsBytes)
            return true;
        members.reset();
        if (!MatchSettings::decode(bytes, &settings))
            return false;
        settings.configure(matcher);
        members = std::make_unique<MemberMatcher>(matcher, settings.memberNames(),
                                                  settings.request.documents);
        settingsBytes = bytes;
        return true;
    }
};

}  // namespace

ReaderProcessPool *sharedReaderProcesses()
{
    // Never destroyed: at exit the processes see their socket close and end.
    static ReaderProcessPool *const pool = [] {
        const QString program = readerProgram();
        return program.isEmpty() ? nullptr : new ReaderProcessPool(program);
    }();
    return pool;
}

bool searchArchiveApart(ReaderProcessPool &readers, const ArchiveJob &job,
                        const QByteArray &settings, HitSink &hits, const std::atomic_bool *cancel)
{
    const ReaderJob reader {kArchiveKind,    job.folderFd,    job.name,
                            job.displayName, job.displayPath, settings};
    QByteArray diagnostics;
    std::atomic<quint64> unreadable {0};
    ReaderJobOutput output {hits, diagnostics, &unreadable};
    if (readers.run(reader, output, cancel) != ReaderProcessPool::JobEnd::Abandoned
        && !diagnostics.isEmpty())
        diagnostic("%s", diagnostics.constData());
    return unreadable.load() == 0;
}

namespace {

void readArchive(const ReaderJob &job, ReaderReplies &replies)
{
    static ReaderTools tools;
    if (!tools.take(job.request)) {
        diagnostic("%s: the reader cannot read this job", job.displayPath.constData());
        return;
    }
    const ArchiveJob archive {job.folderFd, job.entryName, job.entryText, job.displayPath,
                              tools.settings.archiveNames()};
    if (!searchArchiveAt(archive, *tools.members, replies.hits()))
        replies.unreadable(1);
}

}  // namespace

QHash<QByteArray, ReaderHandler> readerHandlers()
{
    return {{kArchiveKind, readArchive}};
}
