#include "documentlines.h"
#include "officexmlreaders.h"
#include "packageparts.h"
#include "paragraphtext.h"

DocumentProblem readWordXml(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    QByteArray body = PackageParts::target(parts.relationships(QByteArray()),
                                           QStringLiteral("officeDocument"));
    if (body.isEmpty())
        body = "word/document.xml";
    const std::vector<PackageParts::Relationship> rels = parts.relationships(body);
    std::vector<QByteArray> order {body};
    for (const char *type : {"header", "footer", "footnotes", "endnotes", "comments"}) {
        for (const PackageParts::Relationship &rel : rels) {
            if (rel.type == QLatin1String(type) && !rel.part.isEmpty())
                order.push_back(rel.part);
        }
    }
    for (const QByteArray &part : order) {
        if (!readParagraphPart(parts, part, lines))
            break;
    }
    lines.endLine();
    return parts.problem();
}
