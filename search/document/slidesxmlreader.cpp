#include "documentlines.h"
#include "officexmlreaders.h"
#include "packageparts.h"
#include "paragraphtext.h"

DocumentProblem readSlidesXml(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    QByteArray presentation = PackageParts::target(parts.relationships(QByteArray()),
                                                   QStringLiteral("officeDocument"));
    if (presentation.isEmpty())
        presentation = "ppt/presentation.xml";
    const std::vector<PackageParts::ListedPart> slides
            = parts.listedParts(presentation, QLatin1String("sldId"));
    for (size_t i = 0; i < slides.size() && parts.problem().isNone(); ++i) {
        DocumentPlace place;
        place.kind = DocumentPlace::Kind::Slide;
        place.number = int(i + 1);
        lines.setPlace(place);
        const QByteArray notes = PackageParts::target(parts.relationships(slides[i].part),
                                                      QStringLiteral("notesSlide"));
        for (const QByteArray &part : {slides[i].part, notes}) {
            if (!part.isEmpty() && !readParagraphPart(parts, part, lines))
                break;
        }
    }
    lines.endLine();
    return parts.problem();
}
