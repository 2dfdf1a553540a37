#include "documentsearch.h"

#include "anonymousfile.h"
#include "diagnostics.h"
#include "documentmodule.h"
#include "uniquefd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// How the front ends name a place: "page 3", "sheet Totals", "slide 2".
QString placeLabel(const DocumentPlace &place)
{
    switch (place.kind) {
    case DocumentPlace::Kind::None:
        break;
    case DocumentPlace::Kind::Page:
        return QStringLiteral("page %1").arg(place.number);
    case DocumentPlace::Kind::Sheet:
        return place.name.isEmpty() ? QStringLiteral("sheet %1").arg(place.number)
                                    : QStringLiteral("sheet ") + place.name;
    case DocumentPlace::Kind::Slide:
        return QStringLiteral("slide %1").arg(place.number);
    }
    return QString();
}

// The one call of the document room's reader: the lines of the document of
// `kind` open at `fd`, each with its place's label; the diagnostic, if any.
QString readLines(int fd, DocumentKind kind, const QString &name,
                  const ContentMatcher::TextLineTaker &take, const std::atomic_bool *stop)
{
    DocumentPlace lastPlace;
    QString label;
    const DocumentOutcome outcome = readDocumentThroughModule(
            fd, kind, name,
            [&](const DocumentLine &line) {
                if (!(line.place == lastPlace)) {
                    lastPlace = line.place;
                    label = placeLabel(line.place);
                }
                return take(line.number, line.text, label);
            },
            stop);
    return outcome.status == DocumentOutcome::Status::Failed ? outcome.diagnostic : QString();
}

// The document open at `fd` searched by its lines; each reading starts at
// the file's start.
void searchDocument(const ContentMatcher &matcher, int fd, DocumentKind kind,
                    const QString &shownName, HitSink &hits, const QString &reportName)
{
    QString problem;
    matcher.searchTextLines(
            [&](const ContentMatcher::TextLineTaker &take) {
                problem = readLines(fd, kind, shownName, take, matcher.cancelFlag);
            },
            hits, reportName);
    if (!problem.isEmpty())
        diagnostic("%s", problem.toLocal8Bit().constData());
}

}  // namespace

bool isDocumentName(const QString &name)
{
    return documentKindForName(name) != DocumentKind::None;
}

bool readDocumentLines(int fd, const QString &name, const ContentMatcher::TextLineTaker &take,
                       const std::atomic_bool *stop, QString *problem)
{
    const DocumentKind kind = documentKindOf(name, fd);
    if (kind == DocumentKind::None)
        return false;
    *problem = readLines(fd, kind, name, take, stop);
    return true;
}

bool searchDocumentFileAt(const ContentMatcher &matcher, int folderFd, const QByteArray &name,
                          const QString &shownPath, HitSink &hits, const QString &reportName)
{
    // As the matcher opens a file: a link followed only when the walk
    // follows links, no blocking open of a FIFO swapped in, regular files
    // only; anything else goes back to it.
    const UniqueFd file(::openat(folderFd, name.constData(),
                                 O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK
                                         | (matcher.followLinks ? 0 : O_NOFOLLOW)));
    struct stat info;
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const DocumentKind kind = documentKindOf(reportName, file.get());
    if (kind == DocumentKind::None)
        return false;
    hits.setFileTime(info.st_mtime);
    searchDocument(matcher, file.get(), kind, shownPath, hits, reportName);
    hits.setFileTime(TFileInfo::kNoTime);
    return true;
}

void searchDocumentMember(const ContentMatcher &matcher, const ByteSource::Reader &read,
                          HitSink &hits, const QString &hitName)
{
    // The readers seek: the member goes to an anonymous file first.
    std::vector<char> block;
    ByteSource source(read, block);
    const TemporaryCopy copy(source, [&matcher] { return matcher.isCancelled(); });
    if (copy.outcome() != TemporaryCopy::Outcome::Made)
        return;
    const DocumentKind kind = documentKindOf(hitName, copy.fd());
    if (kind != DocumentKind::None)
        searchDocument(matcher, copy.fd(), kind, hitName, hits, hitName);
    else
        matcher.searchDescriptor(copy.fd(), hits, hitName);
}
