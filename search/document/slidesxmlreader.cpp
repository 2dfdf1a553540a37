#include "documentlines.h"
#include "officexmlreaders.h"
#include "packageparts.h"
#include "paragraphtext.h"

namespace {

// The slides' parts in the presentation's order (its list of slide ids).
std::vector<QByteArray> slideParts(PackageParts &parts, const QByteArray &presentation)
{
    const std::vector<PackageParts::Relationship> rels = parts.relationships(presentation);
    std::vector<QByteArray> slides;
    parts.read(presentation, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token != QXmlStreamReader::StartElement || xml.xml().name() != QLatin1String("sldId"))
            return true;
        for (const QXmlStreamAttribute &attribute : xml.xml().attributes()) {
            // r:id, the relationship; the plain id is the slide's number
            if (attribute.name() != QLatin1String("id") || attribute.namespaceUri().isEmpty())
                continue;
            for (const PackageParts::Relationship &rel : rels) {
                if (rel.id == attribute.value() && !rel.part.isEmpty())
                    slides.push_back(rel.part);
            }
        }
        return slides.size() < PackageParts::kMaxEntries;
    });
    return slides;
}

}  // namespace

DocumentProblem readSlidesXml(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    QByteArray presentation = PackageParts::target(parts.relationships(QByteArray()),
                                                   QStringLiteral("officeDocument"));
    if (presentation.isEmpty())
        presentation = "ppt/presentation.xml";
    const std::vector<QByteArray> slides = slideParts(parts, presentation);
    for (size_t i = 0; i < slides.size() && parts.problem().isNone(); ++i) {
        DocumentPlace place;
        place.kind = DocumentPlace::Kind::Slide;
        place.number = int(i + 1);
        lines.setPlace(place);
        const QByteArray notes = PackageParts::target(parts.relationships(slides[i]),
                                                      QStringLiteral("notesSlide"));
        for (const QByteArray &part : {slides[i], notes}) {
            if (part.isEmpty())
                continue;
            ParagraphText text(lines);
            if (!parts.read(part, std::ref(text)))
                break;
            lines.endLine();
        }
    }
    lines.endLine();
    return parts.problem();
}
