#include "documentlines.h"
#include "officexmlreaders.h"
#include "packageparts.h"
#include "sheetrow.h"
#include "stringtable.h"

#include <memory>

namespace {

// Collects the text of <t> elements (outside phonetic guides) of an <si>
// or <is>: a rich string's runs joined.
class StringText
{
public:
    // Takes a token inside the string; true while the string goes on.
    bool take(XmlStream &xml, QXmlStreamReader::TokenType token, const QLatin1String &end)
    {
        const QXmlStreamReader &reader = xml.xml();
        if (token == QXmlStreamReader::StartElement) {
            if (reader.name() == QLatin1String("rPh"))
                xml.skipElement();
            else if (reader.name() == QLatin1String("t"))
                inText = true;
        } else if (token == QXmlStreamReader::EndElement) {
            if (reader.name() == QLatin1String("t"))
                inText = false;
            else if (reader.name() == end)
                return false;
        } else if (token == QXmlStreamReader::Characters && inText) {
            text.append(reader.text());
        }
        return true;
    }

    QString text;

private:
    bool inText = false;
};

bool readSharedStrings(PackageParts &parts, const QByteArray &part, StringTable &table)
{
    std::unique_ptr<StringText> current;
    bool kept = true;
    parts.read(part, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (current) {
            if (!current->take(xml, token, QLatin1String("si"))) {
                kept = table.add(current->text);
                current.reset();
            }
        } else if (token == QXmlStreamReader::StartElement
                   && xml.xml().name() == QLatin1String("si")) {
            current = std::make_unique<StringText>();
        }
        return kept;
    });
    return kept;
}

// A cell's column from its reference ("AB12" is column 27, 0-based); -1
// when it has none.
int columnOf(const QString &reference)
{
    int column = 0;
    int letters = 0;
    for (const QChar c : reference) {
        const char16_t u = c.toUpper().unicode();
        if (u < 'A' || u > 'Z')
            break;
        column = column * 26 + (u - 'A' + 1);
        if (++letters > 3)
            return -1;
    }
    return letters ? column - 1 : -1;
}

// The value of a cell as stored, by its type.
QString cellText(const QString &type, const QString &value, StringTable &strings)
{
    if (type == QLatin1String("s")) {
        bool number = false;
        const qint64 i = value.trimmed().toLongLong(&number);
        return number ? strings.at(i) : QString();
    }
    if (type == QLatin1String("b"))
        return value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type.isEmpty() || type == QLatin1String("n"))
        return generalNumberText(value);
    return value;
}

void readSheet(PackageParts &parts, const QByteArray &part, StringTable &strings,
               DocumentLines &lines)
{
    SheetRow row(lines);
    QString type;
    int column = -1;
    std::unique_ptr<StringText> value;  // of <v> or an inline string <is>
    QLatin1String valueEnd("v");
    parts.read(part, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        const QXmlStreamReader &reader = xml.xml();
        if (value) {
            const bool plain = valueEnd == QLatin1String("v");
            if (plain && token == QXmlStreamReader::Characters)
                value->text.append(reader.text());
            if (!value->take(xml, token, valueEnd)) {
                row.setCell(column, plain ? cellText(type, value->text, strings) : value->text);
                value.reset();
            }
            return true;
        }
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = reader.name();
            if (name == QLatin1String("c")) {
                type = xml.attribute(QLatin1String("t"));
                column = columnOf(xml.attribute(QLatin1String("r")));
            } else if (name == QLatin1String("v") || name == QLatin1String("is")) {
                valueEnd = name == QLatin1String("v") ? QLatin1String("v") : QLatin1String("is");
                value = std::make_unique<StringText>();
            } else if (name == QLatin1String("f") || name == QLatin1String("extLst")) {
                return xml.skipElement();
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("row")) {
            row.end();
        }
        return true;
    });
    row.end();
}

}  // namespace

DocumentProblem readSheetXml(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    QByteArray workbook = PackageParts::target(parts.relationships(QByteArray()),
                                               QStringLiteral("officeDocument"));
    if (workbook.isEmpty())
        workbook = "xl/workbook.xml";
    const std::vector<PackageParts::ListedPart> sheets
            = parts.listedParts(workbook, QLatin1String("sheet"));
    const QByteArray shared
            = PackageParts::target(parts.relationships(workbook), QStringLiteral("sharedStrings"));
    StringTable strings;
    if (!shared.isEmpty() && !readSharedStrings(parts, shared, strings) && parts.problem().isNone())
        return DocumentProblem::damaged(QStringLiteral("its shared strings are too many to hold"));
    for (size_t i = 0; i < sheets.size() && parts.problem().isNone(); ++i) {
        DocumentPlace place;
        place.kind = DocumentPlace::Kind::Sheet;
        place.number = int(i + 1);
        place.name = sheets[i].name;
        lines.setPlace(place);
        readSheet(parts, sheets[i].part, strings, lines);
    }
    lines.endLine();
    return parts.problem();
}
