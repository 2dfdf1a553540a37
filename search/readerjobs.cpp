#include "readerjobs.h"

#include "contentmatcher.h"
#include "diagnostics.h"
#include "documentsearch.h"
#include "matchsettings.h"
#include "membermatcher.h"
#include "pathcodec.h"
#include "readerprocesspool.h"
#include "uniquefd.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QByteArray kArchiveKind = QByteArrayLiteral("archive");
const QByteArray kDocumentKind = QByteArrayLiteral("document");
const QByteArray kPreviewKind = QByteArrayLiteral("preview");

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

// What needs no reader: a name search's listing of a plain ZIP, whose
// central directory this program reads itself, or of a plain tar, whose
// headers it reads itself; neither keeps any member's data.
bool listHere(const ForeignFile &file, const ParsingHere &here, HitSink &hits)
{
    if (file.kind != ForeignFile::Kind::Archive)
        return false;
    const ArchiveJob job {file.folderFd,    file.name,         file.hitName,
                          file.displayPath, here.archiveNames, here.matcher.followLinks};
    return listZipNamesByDirectory(job, here.members, hits)
            || listTarNamesByHeaders(job, here.members, hits);
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

QByteArray encodeSpot(const PreviewSpot &spot)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << spot.member << spot.lineNo << spot.codec << spot.documents;
    return bytes;
}

bool decodeSpot(const QByteArray &bytes, PreviewSpot *spot)
{
    QDataStream in(bytes);
    in >> spot->member >> spot->lineNo >> spot->codec >> spot->documents;
    return in.status() == QDataStream::Ok;
}

// Opens the file as the window does (through a link, without blocking, a
// regular file only) and reads what the preview shows of it.
PreviewLines previewHere(const ForeignFile &file, const PreviewSpot &spot,
                         const std::function<bool()> &stillWanted)
{
    const UniqueFd fd(::openat(file.folderFd, file.name.constData(),
                               O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        PreviewLines unread;
        unread.problem = decodePath(file.displayPath) + QStringLiteral(": cannot be opened");
        return unread;
    }
    return readPreviewLines(PreviewFile {fd.get(), file.hitName, file.folderFd, file.name}, spot,
                            stillWanted);
}

// The last line of diagnostics: the reader's own line when it failed.
QString lastLine(const QByteArray &diagnostics)
{
    const QByteArray text = diagnostics.trimmed();
    return decodePath(text.mid(text.lastIndexOf('\n') + 1));
}

// The lines come back as hits, numbered from the first shown; a missing
// member as an unreadable file; a document's problem as its diagnostic.
PreviewLines previewApart(ReaderProcessPool &readers, const ForeignFile &file,
                          const PreviewSpot &spot, const std::atomic_bool *cancel)
{
    const ReaderJob job {kPreviewKind, file.folderFd,    file.name,
                         file.hitName, file.displayPath, encodeSpot(spot)};
    HitSink hits;
    QByteArray diagnostics;
    std::atomic<quint64> unreadable {0};
    ReaderJobOutput output {hits, diagnostics, &unreadable};
    const ReaderProcessPool::JobEnd end = readers.run(job, output, cancel);
    PreviewLines result;
    const QList<TFileInfo> lines = hits.take();
    if (!lines.isEmpty())
        result.firstLineNo = lines.first().lineNo;
    for (const TFileInfo &line : lines)
        result.lines.append(line.lineText);
    result.noSuchMember = unreadable.load() > 0;
    if (end == ReaderProcessPool::JobEnd::Failed || result.lines.isEmpty())
        result.problem = lastLine(diagnostics);
    return result;
}

// The reader process's side of a preview: the lines, read as previewHere
// reads them.
void previewInReader(const ReaderJob &job, ReaderReplies &replies)
{
    PreviewSpot spot;
    if (!decodeSpot(job.request, &spot)) {
        diagnostic("%s: the reader cannot read this job", job.displayPath.constData());
        return;
    }
    const ForeignFile file {ForeignFile::Kind::Document, job.folderFd, job.entryName, job.entryText,
                            job.displayPath};
    const PreviewLines read = previewHere(file, spot, [] { return true; });
    for (int i = 0; i < read.lines.size(); ++i)
        replies.hits().append(TFileInfo {QString(), read.firstLineNo + i, read.lines.at(i),
                                         TFileInfo::Kind::Context});
    if (read.noSuchMember)
        replies.unreadable(1);
    if (!read.problem.isEmpty())
        diagnostic("%s", encodePath(read.problem).constData());
}

}  // namespace

PreviewLines previewForeignFile(ReaderProcessPool *readers, const ForeignFile &file,
                                const PreviewSpot &spot, const std::atomic_bool *cancel)
{
    if (readers)
        return previewApart(*readers, file, spot, cancel);
    return previewHere(file, spot, [cancel] { return !cancel || !cancel->load(); });
}

bool searchForeignFile(ReaderProcessPool *readers, const ForeignFile &file,
                       const QByteArray &settings, const ParsingHere &here, HitSink &hits,
                       const std::atomic_bool *cancel)
{
    if (!readers)
        return searchHere(file, here, hits);
    return listHere(file, here, hits) || searchApart(*readers, file, settings, hits, cancel);
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
            {kDocumentKind,
             [](const ReaderJob &job, ReaderReplies &replies) {
                 readForeignFile(job, replies, ForeignFile::Kind::Document);
             }},
            {kPreviewKind, previewInReader}};
}
