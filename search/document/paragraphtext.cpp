#include "paragraphtext.h"

#include "documentlines.h"
#include "packageparts.h"

namespace {

// Elements whose content is no text of the document: formatting, deleted
// text, field instructions, phonetic guides, fields DrawingML fills in
// (slide numbers, dates), and the fallback copy of a drawing that a
// Choice holds again.
bool holdsNoText(const QStringRef &name)
{
    static const char *const names[]
            = {"pPr",      "rPr",     "sectPr",    "tblPr", "trPr", "tcPr",    "bodyPr",
               "lstStyle", "delText", "instrText", "rPh",   "fld",  "Fallback"};
    for (const char *candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

}  // namespace

bool ParagraphText::operator()(XmlStream &xml, QXmlStreamReader::TokenType token)
{
    const QXmlStreamReader &reader = xml.xml();
    switch (token) {
    case QXmlStreamReader::StartElement: {
        const QStringRef name = reader.name();
        if (holdsNoText(name))
            return xml.skipElement();
        if (name == QLatin1String("t")) {
            inText = true;
        } else if (name == QLatin1String("r")) {
            ++runDepth;
        } else if (name == QLatin1String("p")) {
            lines.endLine();  // text before a text box stays a line of its own
        } else if (name == QLatin1String("br") || name == QLatin1String("cr")) {
            lines.endLine();
        } else if (name == QLatin1String("tab") && runDepth > 0) {
            lines.append(QLatin1Char('\t'));
        } else if (name == QLatin1String("noBreakHyphen")) {
            lines.append(QLatin1Char('-'));
        }
        break;
    }
    case QXmlStreamReader::EndElement: {
        const QStringRef name = reader.name();
        if (name == QLatin1String("t"))
            inText = false;
        else if (name == QLatin1String("r"))
            runDepth = qMax(0, runDepth - 1);
        else if (name == QLatin1String("p"))
            lines.endLine();
        break;
    }
    case QXmlStreamReader::Characters:
        if (inText)
            lines.append(reader.text());
        break;
    default:
        break;
    }
    return true;
}

bool readParagraphPart(PackageParts &parts, const QByteArray &name, DocumentLines &lines)
{
    ParagraphText text(lines);
    if (!parts.read(name, std::ref(text)))
        return false;
    lines.endLine();
    return true;
}
