#include "opendocumentreader.h"

#include "documentlines.h"
#include "filebytes.h"
#include "packageparts.h"
#include "sheetrow.h"
#include "zippackage.h"

#include <utility>
#include <vector>

namespace {

constexpr int kMaxRowRepeats = 1 << 20;  // the rows of the tallest sheet
constexpr int kMaxSpaces = 1000;

// Elements whose text is not the document's: tracked deletions, the
// numbers of notes (their bodies are read), an annotation's author and
// date, declarations and the styles that come before the body.
bool holdsNoText(const QXmlStreamReader &reader)
{
    const QStringRef name = reader.name();
    if (reader.namespaceUri().contains(QLatin1String("purl.org/dc")))
        return name == QLatin1String("creator") || name == QLatin1String("date");
    static const char *const names[] = {"tracked-changes",
                                        "note-citation",
                                        "sequence-decls",
                                        "variable-decls",
                                        "user-field-decls",
                                        "master-styles",
                                        "styles",
                                        "automatic-styles",
                                        "font-face-decls",
                                        "meta",
                                        "settings",
                                        "scripts",
                                        "forms",
                                        "index-title-template",
                                        "event-listeners"};
    for (const char *candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

int repeats(XmlStream &xml, const char *attribute, int most)
{
    bool number = false;
    const int n = xml.attribute(QLatin1String(attribute)).toInt(&number);
    return number && n > 1 ? qMin(n, most) : 1;
}

}  // namespace

struct OpenDocumentBody::State
{
    enum class Body { Text, Spreadsheet, Presentation, Drawing };

    explicit State(DocumentLines &lines) : lines(lines), row(lines) { }

    // Text goes to the cell while a spreadsheet cell is open, else to the line.
    void append(QStringView text)
    {
        if (inCell)
            cell.append(text.left(DocumentLines::kMaxLineChars - cell.size()));
        else
            lines.append(text);
    }
    void paragraphBreak()
    {
        if (inCell) {
            if (!cell.isEmpty())
                cell.append(QLatin1Char(' '));
        } else {
            lines.endLine();
        }
    }
    void endRow()
    {
        bool any = false;
        for (const auto &c : cells)
            any = any || !c.first.isEmpty();
        for (int i = 0; any && i < rowRepeats && !lines.stopped(); ++i) {
            for (const auto &c : cells)
                row.addCells(c.first, c.second);
            row.end();
        }
        cells.clear();
        columns = 0;
        rowChars = 0;
    }

    DocumentLines &lines;
    SheetRow row;
    Body body = Body::Text;
    int pages = 0;       // sheets, slides or pages met
    int paragraphs = 0;  // open text:p / text:h
    bool inCell = false;
    QString cell;
    int cellRepeats = 1;
    int rowRepeats = 1;
    int columns = 0;                             // cells of the row so far
    qint64 rowChars = 0;                         // text of the row's cells so far
    std::vector<std::pair<QString, int>> cells;  // the row's cells and their repeats
};

OpenDocumentBody::OpenDocumentBody(DocumentLines &lines) : state(std::make_unique<State>(lines)) { }

OpenDocumentBody::~OpenDocumentBody() = default;

bool OpenDocumentBody::operator()(XmlStream &xml, QXmlStreamReader::TokenType token)
{
    State &s = *state;
    const QXmlStreamReader &reader = xml.xml();
    if (token == QXmlStreamReader::StartElement) {
        const QStringRef name = reader.name();
        if (holdsNoText(reader))
            return xml.skipElement();
        if (name == QLatin1String("spreadsheet")) {
            s.body = State::Body::Spreadsheet;
        } else if (name == QLatin1String("presentation")
                   && reader.namespaceUri().endsWith(QLatin1String(":office:1.0"))) {
            s.body = State::Body::Presentation;
        } else if (name == QLatin1String("drawing")) {
            s.body = State::Body::Drawing;
        } else if (name == QLatin1String("p") || name == QLatin1String("h")) {
            if (s.paragraphs++ > 0)
                s.paragraphBreak();  // a note or frame inside a paragraph
        } else if (name == QLatin1String("s")) {
            const int n = repeats(xml, "c", kMaxSpaces);
            for (int i = 0; i < n; ++i)
                s.append(u" ");
        } else if (name == QLatin1String("tab")) {
            s.append(u"\t");
        } else if (name == QLatin1String("line-break")) {
            s.paragraphBreak();
        } else if (name == QLatin1String("page") && s.body != State::Body::Text) {
            DocumentPlace place;
            place.kind = s.body == State::Body::Presentation ? DocumentPlace::Kind::Slide
                                                             : DocumentPlace::Kind::Page;
            place.number = ++s.pages;
            s.lines.setPlace(place);
        } else if (s.body == State::Body::Spreadsheet) {
            if (name == QLatin1String("table")) {
                DocumentPlace place;
                place.kind = DocumentPlace::Kind::Sheet;
                place.number = ++s.pages;
                place.name = xml.attribute(QLatin1String("name"));
                s.lines.setPlace(place);
            } else if (name == QLatin1String("table-row")) {
                s.rowRepeats = repeats(xml, "number-rows-repeated", kMaxRowRepeats);
            } else if (name == QLatin1String("table-cell")
                       || name == QLatin1String("covered-table-cell")) {
                s.inCell = true;
                s.cell.clear();
                s.cellRepeats = repeats(xml, "number-columns-repeated", SheetRow::kMaxColumns);
            }
        }
    } else if (token == QXmlStreamReader::EndElement) {
        const QStringRef name = reader.name();
        if (name == QLatin1String("p") || name == QLatin1String("h")) {
            s.paragraphs = qMax(0, s.paragraphs - 1);
            s.paragraphBreak();
        } else if (s.body == State::Body::Spreadsheet && s.inCell
                   && (name == QLatin1String("table-cell")
                       || name == QLatin1String("covered-table-cell"))) {
            s.inCell = false;
            s.rowChars += s.cell.size();
            if (s.columns < SheetRow::kMaxColumns && s.rowChars <= SheetRow::kMaxRowChars)
                s.cells.emplace_back(s.cell.trimmed(), s.cellRepeats);
            s.columns += s.cellRepeats;
        } else if (s.body == State::Body::Spreadsheet && name == QLatin1String("table-row")) {
            s.endRow();
        }
    } else if (token == QXmlStreamReader::Characters && s.paragraphs > 0) {
        s.append(reader.text());
    }
    return true;
}

namespace {

// True when the package's manifest lists content.xml as encrypted.
bool contentIsEncrypted(PackageParts &parts, ZipPackage &zip)
{
    if (zip.find("META-INF/manifest.xml").isEmpty())
        return false;
    bool inContent = false;
    bool encrypted = false;
    parts.read("META-INF/manifest.xml", [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement) {
            if (xml.xml().name() == QLatin1String("file-entry"))
                inContent
                        = xml.attribute(QLatin1String("full-path")) == QLatin1String("content.xml");
            else if (xml.xml().name() == QLatin1String("encryption-data") && inContent)
                encrypted = true;
        }
        return !encrypted;
    });
    return encrypted;
}

}  // namespace

DocumentProblem readOpenDocument(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    if (contentIsEncrypted(parts, zip))
        return DocumentProblem::encrypted();
    OpenDocumentBody body(lines);
    parts.read("content.xml", std::ref(body));
    lines.endLine();
    return parts.problem();
}

DocumentProblem readFlatOpenDocument(int fd, DocumentLines &lines)
{
    FileBytes bytes(fd);
    XmlStream xml([&bytes](char *buffer, qint64 max) { return bytes.read(buffer, max); },
                  QStringLiteral("the XML"), lines);
    OpenDocumentBody body(lines);
    for (;;) {
        const QXmlStreamReader::TokenType token = xml.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument
            || !body(xml, token))
            break;
    }
    lines.endLine();
    return xml.problem();
}
