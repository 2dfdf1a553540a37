#include "documentreader.h"

#include "compounddocument.h"
#include "documentlines.h"
#include "epubreader.h"
#include "officexmlreaders.h"
#include "opendocumentreader.h"
#include "pdfreader.h"
#include "rtfreader.h"
#include "zippackage.h"

namespace {

using ZipReader = DocumentProblem (*)(ZipPackage &, DocumentLines &);

DocumentProblem readZipped(int fd, ZipReader reader, DocumentLines &lines)
{
    ZipPackage zip(fd);
    if (!zip.openProblem().isNone())
        return zip.openProblem();
    return reader(zip, lines);
}

DocumentProblem readKind(int fd, DocumentKind kind, DocumentLines &lines)
{
    switch (kind) {
    case DocumentKind::None:
        break;
    case DocumentKind::Pdf:
        return readPdf(fd, lines);
    case DocumentKind::WordXml:
        return readZipped(fd, readWordXml, lines);
    case DocumentKind::SheetXml:
        return readZipped(fd, readSheetXml, lines);
    case DocumentKind::SlidesXml:
        return readZipped(fd, readSlidesXml, lines);
    case DocumentKind::OpenDocument:
        return readZipped(fd, readOpenDocument, lines);
    case DocumentKind::Epub:
        return readZipped(fd, readEpub, lines);
    case DocumentKind::FlatOpenDocument:
        return readFlatOpenDocument(fd, lines);
    case DocumentKind::Rtf:
        return readRtf(fd, lines);
    case DocumentKind::Word97:
    case DocumentKind::Excel97:
    case DocumentKind::PowerPoint97:
        return readCompoundDocument(fd, kind, lines);
    }
    return DocumentProblem();
}

}  // namespace

DocumentOutcome readDocument(int fd, DocumentKind kind, const QString &name,
                             const DocumentLineConsumer &consume, const std::atomic_bool *stop)
{
    DocumentLines lines(consume, stop);
    const DocumentProblem problem = readKind(fd, kind, lines);
    DocumentOutcome outcome;
    if (lines.stopped()) {
        outcome.status = DocumentOutcome::Status::Stopped;
    } else if (problem.kind == DocumentProblem::Kind::Encrypted) {
        outcome.status = DocumentOutcome::Status::Failed;
        outcome.diagnostic = QStringLiteral("%1 is encrypted: its text cannot be read").arg(name);
    } else if (problem.kind == DocumentProblem::Kind::Damaged) {
        outcome.status = DocumentOutcome::Status::Failed;
        outcome.diagnostic = QStringLiteral("%1 is damaged: %2").arg(name, problem.detail);
    }
    return outcome;
}
