#include "readerjobs.h"

#include "contentmatcher.h"
#include "diagnostics.h"
#include "documentsearch.h"
#include "matchsettings.h"
#include "membermatcher.h"
#include "pathcodec.h"
#include "readerprocesspool.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

namespace {

const QByteArray kArchiveKind = QByteArrayLiteral("archive");
const QByteArray kDocumentKind = QByteArrayLiteral("document");

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

namespace {

// A file named as a document: searched by its text when its first bytes
// agree, else by its bytes. False when it could not be read.
bool searchDocumentOrBytes(const ContentMatcher &matcher, const ForeignFile &file, HitSink &hits)
{
    if (searchDocumentFileAt(matcher, file.folderFd, file.name, decodePath(file.displayPath), hits,
                             file.hitName))
        return true;
    return matcher.searchFileAt(file.folderFd, file.name, hits, file.hitName)
            != ContentMatcher::FileOutcome::Unreadable;
}

bool searchHere(const ForeignFile &file, const ParsingHere &here, HitSink &hits)
{
    if (file.kind == ForeignFile::Kind::Document)
        return searchDocumentOrBytes(here.matcher, file, hits);
    const ArchiveJob job {file.folderFd,    file.name,         file.hitName,
                          file.displayPath, here.archiveNames, here.matcher.followLinks};
    return searchArchiveAt(job, here.members, hits);
}

bool searchApart(ReaderProcessPool &readers, const ForeignFile &file, const QByteArray &settings,
                 HitSink &hits, const std::atomic_bool *cancel)
{
    const QByteArray &kind
            = file.kind == ForeignFile::Kind::Document ? kDocumentKind : kArchiveKind;
    const ReaderJob job {kind, file.folderFd, file.name, file.hitName, file.displayPath, settings};
    QByteArray diagnostics;
    std::atomic<quint64> unreadable {0};
    ReaderJobOutput output {hits, diagnostics, &unreadable};
    if (readers.run(job, output, cancel) != ReaderProcessPool::JobEnd::Abandoned
        && !diagnostics.isEmpty())
        diagnostic("%s", diagnostics.constData());
    return unreadable.load() == 0;
}

}  // namespace

bool searchForeignFile(ReaderProcessPool *readers, const ForeignFile &file,
                       const QByteArray &settings, const ParsingHere &here, HitSink &hits,
                       const std::atomic_bool *cancel)
{
    return readers ? searchApart(*readers, file, settings, hits, cancel)
                   : searchHere(file, here, hits);
}

namespace {

// The reader process's side of a job: the same search as searchHere, with
// the matcher made from the job's settings.
void readForeignFile(const ReaderJob &job, ReaderReplies &replies, ForeignFile::Kind kind)
{
    static ReaderTools tools;
    if (!tools.take(job.request)) {
        diagnostic("%s: the reader cannot read this job", job.displayPath.constData());
        return;
    }
    const ForeignFile file {kind, job.folderFd, job.entryName, job.entryText, job.displayPath};
    const ArchiveNameRules archiveNames = tools.settings.archiveNames();
    if (!searchHere(file, ParsingHere {tools.matcher, *tools.members, archiveNames},
                    replies.hits()))
        replies.unreadable(1);
}

}  // namespace

QHash<QByteArray, ReaderHandler> readerHandlers()
{
    return {{kArchiveKind,
             [](const ReaderJob &job, ReaderReplies &replies) {
                 readForeignFile(job, replies, ForeignFile::Kind::Archive);
             }},
            {kDocumentKind, [](const ReaderJob &job, ReaderReplies &replies) {
                 readForeignFile(job, replies, ForeignFile::Kind::Document);
             }}};
}
