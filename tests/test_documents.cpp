// The document readers over documents written by real writers (see
// data/documents/make-samples.sh), damaged, encrypted and hostile ones.
#include "documentkind.h"
#include "documentreader.h"
#include "sheetrow.h"
#include "stringtable.h"
#include "treebuilder.h"
#include "zipbuilder.h"

#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(DocumentPlace::Kind)
Q_DECLARE_METATYPE(DocumentKind)

namespace {

struct Reading
{
    std::vector<DocumentLine> lines;
    DocumentOutcome outcome;
    DocumentKind kind = DocumentKind::None;
};

// Reads the document at `path` as the engine will: kind by name and content.
Reading readFile(const QString &path, int maxLines = -1)
{
    Reading reading;
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        qFatal("cannot open %s", qPrintable(path));
    reading.kind = documentKindOf(path, fd);
    reading.outcome = readDocument(fd, reading.kind, QFileInfo(path).fileName(),
                                   [&](const DocumentLine &line) {
                                       reading.lines.push_back(line);
                                       return maxLines < 0 || int(reading.lines.size()) < maxLines;
                                   });
    close(fd);
    return reading;
}

QString sample(const QString &name)
{
    return QStringLiteral(VELTO_FIXTURES_DIR "/documents/") + name;
}

const DocumentLine *lineWith(const Reading &reading, const QString &phrase)
{
    for (const DocumentLine &line : reading.lines) {
        if (line.text.contains(phrase, Qt::CaseInsensitive))
            return &line;
    }
    return nullptr;
}

// The text without the blanks a layout leaves around it (tabs are kept).
QString withoutBlanks(const QString &text)
{
    int first = 0;
    int last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

long peakKilobytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const QByteArray kWordBody
        = "<?xml version=\"1.0\"?><w:document "
          "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
          "<w:body><w:p><w:r><w:t>first line</w:t></w:r></w:p>";

}  // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private slots:
    void phrasesAreFoundOnTheirLineAndPlace_data();
    void phrasesAreFoundOnTheirLineAndPlace();
    void wordsSplitAcrossRunsAreWhole();
    void kindIsToldByNameAndContent_data();
    void kindIsToldByNameAndContent();
    void badDocumentsGiveOneDiagnostic_data();
    void badDocumentsGiveOneDiagnostic();
    void hostileXmlCostsBoundedMemory_data();
    void hostileXmlCostsBoundedMemory();
    void packagesAsTheirFormatsLayThemOut_data();
    void packagesAsTheirFormatsLayThemOut();
    void rtfCodePagesAndEscapes_data();
    void rtfCodePagesAndEscapes();
    void readingStopsWhenAsked();
    void sharedStringsBeyondMemoryAreKept();
    void storedNumbersShowAsGeneralFormatShowsThem();
};

void TestDocuments::phrasesAreFoundOnTheirLineAndPlace_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<qint64>("lineNumber");
    QTest::addColumn<DocumentPlace::Kind>("placeKind");
    QTest::addColumn<int>("placeNumber");
    QTest::addColumn<QString>("placeName");
    QTest::addColumn<QString>("text");

    const QString fox = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    const QString chinese = QStringLiteral("敏捷的棕色狐狸跳过了懒狗。");
    const auto none = DocumentPlace::Kind::None;
    // The text documents: title, heading, English, Chinese, a word split by
    // its formatting, a ligature; the second heading and a hyphenated line.
    struct Text
    {
        const char *file;
        DocumentPlace::Kind kind;
        int foxPlace;   // page or slide of the first part
        int restPlace;  // of the second part
    };
    const Text texts[] = {
            {"sample.docx", none, 0, 0},
            {"sample.doc", none, 0, 0},
            {"sample.odt", none, 0, 0},
            {"sample.fodt", none, 0, 0},
            {"sample.rtf", none, 0, 0},
            {"sample.epub", none, 0, 0},
            {"sample.pdf", DocumentPlace::Kind::Page, 1, 1},
            {"sample.odg", DocumentPlace::Kind::Page, 1, 1},
            {"sample.pptx", DocumentPlace::Kind::Slide, 2, 3},
            {"sample.odp", DocumentPlace::Kind::Slide, 2, 3},
            {"sample.ppt", DocumentPlace::Kind::Slide, 2, 3},
    };
    for (const Text &t : texts) {
        const QString file = QLatin1String(t.file);
        QTest::addRow("%s/English phrase", t.file) << file << "QUICK BROWN fox" << qint64(3)
                                                   << t.kind << t.foxPlace << QString() << fox;
        QTest::addRow("%s/Chinese phrase", t.file)
                << file << "棕色狐狸" << qint64(4) << t.kind << t.foxPlace << QString() << chinese;
        QTest::addRow("%s/word split by its formatting", t.file)
                << file << "Split word" << qint64(5) << t.kind << t.foxPlace << QString()
                << "Split word here.";
        QTest::addRow("%s/ligature spelt by its letters", t.file)
                << file << "fine ligature" << qint64(6) << t.kind << t.foxPlace << QString()
                << "A fine ligature.";
        QTest::addRow("%s/line after a page or slide change", t.file)
                << file << "Second part" << qint64(7) << t.kind << t.restPlace << QString()
                << "Second part";
    }
    QTest::newRow("sample.pdf/word hyphenated at a line end")
            << "sample.pdf"
            << "hyphenated" << qint64(8) << DocumentPlace::Kind::Page << 1 << QString()
            << "Contract terms are hyphenated at the end of a line.";
    // The spreadsheets: two sheets, a row a line, cells joined by a tab.
    for (const char *file : {"sample.xlsx", "sample.xls", "sample.ods", "sample.fods"}) {
        const auto sheet = DocumentPlace::Kind::Sheet;
        QTest::addRow("%s/English cell", file)
                << QString::fromLatin1(file) << "brown fox" << qint64(2) << sheet << 1 << "Summary"
                << "The quick brown fox\t42";
        QTest::addRow("%s/number as shown", file)
                << QString::fromLatin1(file) << "3.25" << qint64(3) << sheet << 1 << "Summary"
                << "Pi\t3.25";
        QTest::addRow("%s/Chinese cell on a Chinese sheet", file)
                << QString::fromLatin1(file) << "棕色狐狸" << qint64(5) << sheet << 2 << "数据"
                << "敏捷的棕色狐狸\t7";
        QTest::addRow("%s/far cell keeps its column", file)
                << QString::fromLatin1(file) << "far cell" << qint64(6) << sheet << 2 << "数据"
                << "\t\t\tfar cell";
    }
}

void TestDocuments::phrasesAreFoundOnTheirLineAndPlace()
{
    QFETCH(QString, file);
    QFETCH(QString, phrase);
    QFETCH(qint64, lineNumber);
    QFETCH(DocumentPlace::Kind, placeKind);
    QFETCH(int, placeNumber);
    QFETCH(QString, placeName);
    QFETCH(QString, text);

    const Reading reading = readFile(sample(file));
    QVERIFY(reading.kind != DocumentKind::None);
    QCOMPARE(reading.outcome.status, DocumentOutcome::Status::Read);
    QVERIFY(reading.outcome.diagnostic.isEmpty());
    for (size_t i = 0; i < reading.lines.size(); ++i)
        QCOMPARE(reading.lines[i].number, qint64(i + 1));
    const DocumentLine *line = lineWith(reading, phrase);
    QVERIFY2(line, qPrintable(phrase));
    QCOMPARE(line->number, lineNumber);
    QCOMPARE(withoutBlanks(line->text), text);
    QCOMPARE(line->place.kind, placeKind);
    QCOMPARE(line->place.number, placeNumber);
    QCOMPARE(line->place.name, placeName);
}

void TestDocuments::wordsSplitAcrossRunsAreWhole()
{
    // python-docx wrote "He", "llo ", "wor", "ld", " across ", "运", "行" as
    // seven runs of one paragraph.
    const Reading reading = readFile(sample(QStringLiteral("runs.docx")));
    QCOMPARE(reading.lines.size(), size_t(2));
    QCOMPARE(reading.lines[1].text, QStringLiteral("Hello world across 运行"));
    QCOMPARE(reading.lines[1].number, qint64(2));
}

void TestDocuments::kindIsToldByNameAndContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<DocumentKind>("kind");

    const QByteArray zip("PK\x03\x04rest", 8);
    const QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1rest", 12);
    QTest::newRow("pdf by its header") << "a.PDF" << QByteArray("%PDF-1.7\n") << DocumentKind::Pdf;
    QTest::newRow("pdf header after junk")
            << "a.pdf" << QByteArray("junk\n%PDF-1.4") << DocumentKind::Pdf;
    QTest::newRow("pdf without its header is no document")
            << "a.pdf" << QByteArray("hello") << DocumentKind::None;
    QTest::newRow("docx in a ZIP") << "a.Docx" << zip << DocumentKind::WordXml;
    QTest::newRow("encrypted docx is a compound file")
            << "a.docx" << compound << DocumentKind::Word97;
    QTest::newRow("doc that is OOXML") << "a.doc" << zip << DocumentKind::WordXml;
    QTest::newRow("doc that is RTF") << "a.doc" << QByteArray("{\\rtf1\\ansi") << DocumentKind::Rtf;
    QTest::newRow("wps is a Word document") << "a.wps" << compound << DocumentKind::Word97;
    QTest::newRow("et is an Excel workbook") << "a.et" << compound << DocumentKind::Excel97;
    QTest::newRow("dps is a presentation") << "a.dps" << compound << DocumentKind::PowerPoint97;
    QTest::newRow("xlsm in a ZIP") << "a.xlsm" << zip << DocumentKind::SheetXml;
    QTest::newRow("ppsx in a ZIP") << "a.ppsx" << zip << DocumentKind::SlidesXml;
    QTest::newRow("odg in a ZIP") << "a.odg" << zip << DocumentKind::OpenDocument;
    QTest::newRow("epub that is text is no document")
            << "a.epub" << QByteArray("text") << DocumentKind::None;
    QTest::newRow("flat ODF with a mark and blanks")
            << "a.fods" << QByteArray("\xEF\xBB\xBF \n<?xml") << DocumentKind::FlatOpenDocument;
    QTest::newRow("rtf by its header") << "a.rtf" << QByteArray("{\\rtf1") << DocumentKind::Rtf;
    QTest::newRow("text file is no document")
            << "a.txt" << QByteArray("%PDF-") << DocumentKind::None;
    QTest::newRow("zip archive is no document") << "a.zip" << zip << DocumentKind::None;
}

void TestDocuments::kindIsToldByNameAndContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QFETCH(DocumentKind, kind);
    QCOMPARE(documentKindForContent(name, head), kind);
}

void TestDocuments::badDocumentsGiveOneDiagnostic_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("diagnostic");
    QTest::addColumn<QStringList>("linesKept");

    const auto cut = [](const char *file) {
        const QByteArray bytes = fileBytes(sample(QLatin1String(file)));
        return bytes.left(bytes.size() * 2 / 3);
    };
    QTest::newRow("XML in ZIP/docx cut short")
            << "sample.docx" << cut("sample.docx")
            << "sample.docx is damaged: its ZIP directory is missing or cut short" << QStringList();
    QTest::newRow("XML in ZIP/encrypted docx")
            << "encrypted.docx" << fileBytes(sample(QStringLiteral("encrypted.docx")))
            << "encrypted.docx is encrypted: its text cannot be read" << QStringList();
    QTest::newRow("PDF/cut short")
            << "sample.pdf" << cut("sample.pdf")
            << "sample.pdf is damaged: the PDF library reports \"Couldn't find trailer "
               "dictionary\""
            << QStringList();
    QTest::newRow("PDF/encrypted")
            << "encrypted.pdf" << fileBytes(sample(QStringLiteral("encrypted.pdf")))
            << "encrypted.pdf is encrypted: its text cannot be read" << QStringList();
    QTest::newRow("PDF/not a PDF after its header")
            << "junk.pdf" << QByteArray("%PDF-1.4\n garbage")
            << "junk.pdf is damaged: the PDF library reports \"Couldn't find trailer dictionary\""
            << QStringList();
    QTest::newRow("RTF/cut short keeps the lines before")
            << "sample.rtf" << fileBytes(sample(QStringLiteral("sample.rtf"))).left(600)
            << "sample.rtf is damaged: it ends inside a group"
            << QStringList {"Velto", "Velto sample document",
                            "The quick brown fox jumps over the lazy dog.",
                            "敏捷的棕色狐狸跳过了懒狗。", "Split word here"};
    QTest::newRow("compound file/doc cut short")
            << "sample.doc" << cut("sample.doc")
            << "sample.doc is damaged: its compound file structure is damaged" << QStringList();
    QTest::newRow("compound file/xls cut short")
            << "sample.xls" << cut("sample.xls")
            << "sample.xls is damaged: its compound file structure is damaged" << QStringList();
    // The Word document's flags say it is encrypted: the File Information
    // Block starts with its magic number, found once in this file.
    QByteArray encryptedDoc = fileBytes(sample(QStringLiteral("sample.doc")));
    const int fib = encryptedDoc.indexOf(QByteArray("\xEC\xA5", 2));
    QVERIFY(fib > 0);
    encryptedDoc[fib + 0x0B] = char(encryptedDoc[fib + 0x0B] | 0x01);
    QTest::newRow("compound file/doc flagged encrypted")
            << "sample.doc" << encryptedDoc << "sample.doc is encrypted: its text cannot be read"
            << QStringList();
}

void TestDocuments::badDocumentsGiveOneDiagnostic()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, diagnostic);
    QFETCH(QStringList, linesKept);

    TreeBuilder tree;
    const Reading reading = readFile(tree.file(name, bytes));
    QCOMPARE(reading.outcome.status, DocumentOutcome::Status::Failed);
    QCOMPARE(reading.outcome.diagnostic, diagnostic);
    QStringList texts;
    for (const DocumentLine &line : reading.lines)
        texts << line.text.trimmed();
    QCOMPARE(texts, linesKept);
}

void TestDocuments::hostileXmlCostsBoundedMemory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("diagnostic");
    QTest::addColumn<QStringList>("linesKept");

    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c)
        laughs += QByteArray("<!ENTITY ") + c + " \""
                + QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">";
    laughs += "]><w:document "
              "xmlns:w=\"x\"><w:body><w:p><w:r><w:t>&k;</w:t></w:r></w:p></w:body></w:document>";
    QTest::newRow("entity expansion is refused")
            << "bomb.docx" << QByteArray("word/document.xml") << laughs
            << "bomb.docx is damaged: word/document.xml declares XML entities, which are not "
               "expanded"
            << QStringList();
    QTest::newRow("one element of 24 MiB is refused after the lines before it")
            << "huge.docx" << QByteArray("word/document.xml")
            << kWordBody + "<w:p><w:r><w:t>" + QByteArray(24 << 20, 'a')
                    + "</w:t></w:r></w:p></w:body></w:document>"
            << "huge.docx is damaged: word/document.xml holds a piece of XML larger than 8 MiB"
            << QStringList {"first line"};
    QTest::newRow("a part cut inside an element keeps the lines before")
            << "cut.docx" << QByteArray("word/document.xml") << kWordBody + "<w:p><w:r><w:t>second"
            << "cut.docx is damaged: word/document.xml ends early" << QStringList {"first line"};
    QTest::newRow("a content document that is not XML")
            << "bad.odt" << QByteArray("content.xml") << QByteArray("<a xmlns=\"x\"><b></a>")
            << "bad.odt is damaged: content.xml is not well-formed XML at line 1 (Opening and "
               "ending tag mismatch.)"
            << QStringList();
}

void TestDocuments::hostileXmlCostsBoundedMemory()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, part);
    QFETCH(QByteArray, xml);
    QFETCH(QString, diagnostic);
    QFETCH(QStringList, linesKept);

    TreeBuilder tree;
    const QString path = ZipBuilder(tree.path(name)).add(part, xml).close();
    xml.clear();
    const long before = peakKilobytes();
    const Reading reading = readFile(path);
    QCOMPARE(reading.outcome.diagnostic, diagnostic);
    QStringList texts;
    for (const DocumentLine &line : reading.lines)
        texts << line.text;
    QCOMPARE(texts, linesKept);
#ifndef VELTO_SANITIZED
    QVERIFY2(peakKilobytes() - before < 64 * 1024,
             qPrintable(QString::number(peakKilobytes() - before)));
#endif
}

using Parts = QList<QPair<QByteArray, QByteArray>>;
Q_DECLARE_METATYPE(Parts)

// A line as "place|text": "-" for no place, "page 2", "slide 1", "sheet 1 Name".
QString describe(const DocumentLine &line)
{
    QString place;
    switch (line.place.kind) {
    case DocumentPlace::Kind::None:
        place = QStringLiteral("-");
        break;
    case DocumentPlace::Kind::Page:
        place = QStringLiteral("page %1").arg(line.place.number);
        break;
    case DocumentPlace::Kind::Slide:
        place = QStringLiteral("slide %1").arg(line.place.number);
        break;
    case DocumentPlace::Kind::Sheet:
        place = QStringLiteral("sheet %1 %2").arg(line.place.number).arg(line.place.name);
        break;
    }
    return place + QLatin1Char('|') + line.text;
}

void TestDocuments::packagesAsTheirFormatsLayThemOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Parts>("parts");
    QTest::addColumn<QStringList>("lines");

    const QByteArray w = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                         "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";
    const QByteArray rels
            = "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"";
    const QByteArray r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QTest::newRow("docx/body, text box, header and footnote in their order")
            << "a.docx"
            << Parts {{"_rels/.rels",
                       "<Relationships " + rels + "><Relationship Id=\"rId1\" Type=\"" + r
                               + "officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
                      {"word/_rels/document.xml.rels",
                       "<Relationships " + rels + "><Relationship Id=\"a\" Type=\"" + r
                               + "footnotes\" Target=\"footnotes.xml\"/><Relationship Id=\"b\" "
                                 "Type=\""
                               + r
                               + "header\" Target=\"/word/header1.xml\"/><Relationship Id=\"c\" "
                                 "Type=\""
                               + r
                               + "hyperlink\" Target=\"http://x\" "
                                 "TargetMode=\"External\"/></Relationships>"},
                      {"word/document.xml",
                       "<w:document " + w
                               + "><w:body><w:p><w:pPr><w:tabs><w:tab "
                                 "w:val=\"left\"/></w:tabs></w:pPr>"
                                 "<w:r><w:t>before</w:t></"
                                 "w:r><w:r><mc:AlternateContent><mc:Choice><w:txbxContent>"
                                 "<w:p><w:r><w:t>in the "
                                 "box</w:t></w:r></w:p></w:txbxContent></mc:Choice>"
                                 "<mc:Fallback><w:p><w:r><w:t>in the "
                                 "box</w:t></w:r></w:p></mc:Fallback>"
                                 "</mc:AlternateContent></w:r><w:r><w:t xml:space=\"preserve\"> "
                                 "after</w:t><w:tab/>"
                                 "<w:t>tab</w:t><w:br/><w:t>broken</w:t><w:delText>gone</"
                                 "w:delText></w:r></w:p>"
                                 "<w:p><w:r><w:instrText>PAGE</w:instrText><w:t>field "
                                 "result</w:t></w:r></w:p>"
                                 "<w:p/></w:body></w:document>"},
                      {"word/header1.xml",
                       "<w:hdr " + w + "><w:p><w:r><w:t>the header</w:t></w:r></w:p></w:hdr>"},
                      {"word/footnotes.xml",
                       "<w:footnotes " + w
                               + "><w:footnote><w:p><w:r><w:t>a "
                                 "note</w:t></w:r></w:p></w:footnote></w:footnotes>"}}
            << QStringList {"-|before",       "-|in the box", "-| after\ttab", "-|broken",
                            "-|field result", "-|the header", "-|a note"};
    const QByteArray s
            = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    QTest::newRow("xlsx/sheets in the workbook's order, every kind of cell value")
            << "a.xlsx"
            << Parts {{"xl/workbook.xml",
                       "<workbook " + s
                               + "><sheets><sheet name=\"Two\" r:id=\"r2\"/>"
                                 "<sheet name=\"One\" r:id=\"r1\"/></sheets></workbook>"},
                      {"xl/_rels/workbook.xml.rels",
                       "<Relationships " + rels + "><Relationship Id=\"r1\" Type=\"" + r
                               + "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship "
                                 "Id=\"r2\" Type=\""
                               + r
                               + "worksheet\" Target=\"worksheets/sheet2.xml\"/><Relationship "
                                 "Id=\"r3\" Type=\""
                               + r
                               + "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
                      {"xl/sharedStrings.xml",
                       "<sst " + s
                               + "><si><t>plain</t></si><si><r><t>ri</t></r><r><rPr/><t>ch</t></r>"
                                 "<rPh><t>guide</t></rPh></si></sst>"},
                      {"xl/worksheets/sheet1.xml",
                       "<worksheet " + s
                               + "><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c>"
                                 "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\" "
                                 "t=\"e\"><v>#DIV/0!</v></c>"
                                 "<c r=\"E1\"><f>1/3</f><v>0.33333333333333331</v></c>"
                                 "<c r=\"F1\" t=\"inlineStr\"><is><t>inline</t></is></c></row>"
                                 "<row r=\"4\"><c r=\"B4\" t=\"str\"><f>A1</f><v>formula "
                                 "text</v></c>"
                                 "</row><row r=\"5\"><c r=\"A5\"/></row></sheetData></worksheet>"},
                      {"xl/worksheets/sheet2.xml",
                       "<worksheet " + s
                               + "><sheetData><row><c t=\"s\"><v>0</v></c><c><v>1E+20</v></c></row>"
                                 "</sheetData></worksheet>"}}
            << QStringList {"sheet 1 Two|plain\t1e+20",
                            "sheet 2 One|rich\t\tTRUE\t#DIV/0!\t0.333333333333333\tinline",
                            "sheet 2 One|\tformula text"};
    const QByteArray p
            = "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
              "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    QTest::newRow("pptx/slides in the presentation's order with their notes")
            << "a.pptx"
            << Parts {{"ppt/presentation.xml",
                       "<p:presentation " + p
                               + "><p:sldIdLst><p:sldId id=\"257\" r:id=\"b\"/>"
                                 "<p:sldId id=\"256\" r:id=\"a\"/></p:sldIdLst>"
                                 "</p:presentation>"},
                      {"ppt/_rels/presentation.xml.rels",
                       "<Relationships " + rels + "><Relationship Id=\"a\" Type=\"" + r
                               + "slide\" Target=\"slides/slide1.xml\"/><Relationship Id=\"b\" "
                                 "Type=\""
                               + r + "slide\" Target=\"slides/slide2.xml\"/></Relationships>"},
                      {"ppt/slides/slide1.xml",
                       "<p:sld " + p
                               + "><a:p><a:r><a:t>first</a:t></a:r><a:fld><a:t>3</a:t>"
                                 "</a:fld></a:p></p:sld>"},
                      {"ppt/slides/slide2.xml",
                       "<p:sld " + p
                               + "><a:p><a:r><a:t>sec</a:t></a:r><a:r><a:t>ond</a:t>"
                                 "</a:r><a:br/><a:r><a:t>line</a:t></a:r></a:p></p:sld>"},
                      {"ppt/slides/_rels/slide2.xml.rels",
                       "<Relationships " + rels + "><Relationship Id=\"n\" Type=\"" + r
                               + "notesSlide\" "
                                 "Target=\"../notesSlides/notesSlide1.xml\"/></Relationships>"},
                      {"ppt/notesSlides/notesSlide1.xml",
                       "<p:notes " + p
                               + "><a:p><a:r><a:t>speaker note</a:t></a:r></a:p></p:notes>"}}
            << QStringList {"slide 1|second", "slide 1|line", "slide 1|speaker note",
                            "slide 2|first"};
    const QByteArray o = "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                         "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\"";
    QTest::newRow("ods/repeated rows and cells, trailing empties dropped")
            << "a.ods"
            << Parts {{"content.xml",
                       "<office:document-content " + o
                               + "><office:body><office:spreadsheet>"
                                 "<table:table table:name=\"S\"><table:table-row "
                                 "table:number-rows-repeated=\"2\">"
                                 "<table:table-cell "
                                 "table:number-columns-repeated=\"2\"><text:p>x</text:p>"
                                 "</table:table-cell><table:table-cell/"
                                 "><table:table-cell><text:p>a</text:p>"
                                 "<text:p>b</text:p></table:table-cell>"
                                 "<table:table-cell "
                                 "table:number-columns-repeated=\"16000\"/></table:table-row>"
                                 "<table:table-row "
                                 "table:number-rows-repeated=\"1048000\"><table:table-cell "
                                 "table:number-columns-repeated=\"1024\"/></table:table-row>"
                                 "</table:table></office:spreadsheet></office:body></"
                                 "office:document-content>"}}
            << QStringList {"sheet 1 S|x\tx\t\ta b", "sheet 1 S|x\tx\t\ta b"};
    QTest::newRow("odt/spaces, notes, annotations and tracked changes")
            << "a.odt"
            << Parts {{"content.xml",
                       "<office:document-content " + o
                               + "><office:body><office:text><text:tracked-changes>"
                                 "<text:p>deleted</text:p></text:tracked-changes><text:h>Title</"
                                 "text:h>"
                                 "<text:p>a<text:s "
                                 "text:c=\"3\"/>b<text:tab/>c<text:note><text:note-citation>1"
                                 "</text:note-citation><text:note-body><text:p>the "
                                 "note</text:p></text:note-body>"
                                 "</text:note>d<text:line-break/>e</"
                                 "text:p><text:p><office:annotation>"
                                 "<dc:creator>me</dc:creator><text:p>remark</text:p></"
                                 "office:annotation>"
                                 "text</text:p></office:text></office:body></"
                                 "office:document-content>"}}
            << QStringList {"-|Title", "-|a   b\tc", "-|the note", "-|d",
                            "-|e",     "-|remark",   "-|text"};
    QTest::newRow("odp/one slide per page")
            << "a.odp"
            << Parts {{"content.xml",
                       "<office:document-content " + o
                               + "><office:body><office:presentation>"
                                 "<draw:page><text:p>one</text:p></draw:page>"
                                 "<draw:page><text:p>two</text:p></draw:page>"
                                 "</office:presentation></office:body>"
                                 "</office:document-content>"}}
            << QStringList {"slide 1|one", "slide 2|two"};
    QTest::newRow("odt/encrypted content")
            << "a.odt"
            << Parts {{"META-INF/manifest.xml",
                       "<manifest:manifest "
                       "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
                       "<manifest:file-entry "
                       "manifest:full-path=\"content.xml\"><manifest:encryption-data/>"
                       "</manifest:file-entry></manifest:manifest>"},
                      {"content.xml",
                       "\x93\x11"
                       "binary"}}
            << QStringList {"a.odt is encrypted: its text cannot be read"};
    const QByteArray opf
            = "<package xmlns=\"http://www.idpf.org/2007/opf\"><manifest>"
              "<item id=\"c1\" href=\"text/chapter%201.xhtml\"/><item id=\"c2\" "
              "href=\"text/c2.xhtml\"/>"
              "</manifest><spine><itemref idref=\"c2\"/><itemref idref=\"c1\"/></spine></package>";
    QTest::newRow("epub/spine order, blocks, white space, entities")
            << "a.epub"
            << Parts {{"META-INF/container.xml",
                       "<container><rootfiles><rootfile "
                       "full-path=\"OEBPS/content.opf\"/></rootfiles></container>"},
                      {"OEBPS/content.opf", opf},
                      {"OEBPS/text/chapter 1.xhtml",
                       "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
                       "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\"><html "
                       "xmlns=\"http://www.w3.org/1999/xhtml\">"
                       "<head><title>hidden</title></head><body><p>one&nbsp;two</p><pre>a\n  "
                       "b</pre></body></html>"},
                      {"OEBPS/text/c2.xhtml",
                       "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><h1>First\n   "
                       "chapter</h1>"
                       "<p>x <em>y</em><br/>z</p><script>code()</script></body></html>"}}
            << QStringList {"-|First chapter",
                            "-|x y",
                            "-|z",
                            QStringLiteral("-|one\u00A0two"),
                            "-|a",
                            "-|  b"};
}

void TestDocuments::packagesAsTheirFormatsLayThemOut()
{
    QFETCH(QString, name);
    QFETCH(Parts, parts);
    QFETCH(QStringList, lines);

    TreeBuilder tree;
    ZipBuilder zip(tree.path(name));
    for (const auto &part : parts)
        zip.add(part.first, part.second);
    const Reading reading = readFile(zip.close());
    QStringList described;
    for (const DocumentLine &line : reading.lines)
        described << describe(line);
    if (!reading.outcome.diagnostic.isEmpty())
        described << reading.outcome.diagnostic;
    QCOMPARE(described, lines);
}

void TestDocuments::rtfCodePagesAndEscapes_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("Chinese in code page 936 as \\'hh bytes")
            << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4 text\\par next}")
            << QStringList {"中文 text", "next"};
    QTest::newRow("font charset 134 over a Western document")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset134 "
                          "\\'cb\\'ce\\'cc\\'e5;}}"
                          "\\f0 caf\\'e9 {\\f1 \\'d6\\'d0\\'ce\\'c4}\\par}")
            << QStringList {"café 中文"};
    QTest::newRow("\\u escapes skip their fallback")
            << QByteArray(
                       "{\\rtf1\\ansi\\uc1 \\u20013?\\u25991\\'3f!\\uc2\\u-10179??\\u-8694??\\par}")
            << QStringList {QStringLiteral("中文!\U0001F60A")};
    QTest::newRow("destinations and tables") << QByteArray(
            "{\\rtf1{\\*\\generator x;}{\\info{\\title hidden}}{\\stylesheet{\\s1 Normal;}}"
            "A\\tab B\\cell C\\cell\\row {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt shown}}"
            "\\line hy\\-phen\\_ated\\par}") << QStringList {"A\tB", "C", "shown", "hyphen-ated"};
}

void TestDocuments::rtfCodePagesAndEscapes()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QStringList, lines);
    TreeBuilder tree;
    const Reading reading = readFile(tree.file(QStringLiteral("a.rtf"), rtf));
    QCOMPARE(reading.outcome.status, DocumentOutcome::Status::Read);
    QStringList texts;
    for (const DocumentLine &line : reading.lines)
        texts << line.text.trimmed();
    QCOMPARE(texts, lines);
}

void TestDocuments::readingStopsWhenAsked()
{
    // The consumer wants no more after two lines.
    const Reading reading = readFile(sample(QStringLiteral("sample.pdf")), 2);
    QCOMPARE(reading.outcome.status, DocumentOutcome::Status::Stopped);
    QCOMPARE(reading.lines.size(), size_t(2));

    // A stop request before the first line gives none.
    const std::atomic_bool stop {true};
    const int fd
            = open(QFile::encodeName(sample(QStringLiteral("sample.xlsx"))).constData(), O_RDONLY);
    int lines = 0;
    const DocumentOutcome outcome = readDocument(
            fd, DocumentKind::SheetXml, QStringLiteral("sample.xlsx"),
            [&](const DocumentLine &) { return ++lines > 0; }, &stop);
    close(fd);
    QCOMPARE(outcome.status, DocumentOutcome::Status::Stopped);
    QCOMPARE(lines, 0);
}

void TestDocuments::sharedStringsBeyondMemoryAreKept()
{
    // 40 MB of strings: the table spills to its temporary file and still
    // finds each one.
    StringTable table;
    const int count = 200000;
    for (int i = 0; i < count; ++i)
        QVERIFY(table.add(QString::number(i) + QString(100, QChar(0x4E00 + i % 100))));
    QCOMPARE(table.size(), qint64(count));
    for (int i : {0, 1, 15, 16, 17, 99999, 150001, count - 1})
        QCOMPARE(table.at(i), QString::number(i) + QString(100, QChar(0x4E00 + i % 100)));
    QCOMPARE(table.at(count), QString());
    QCOMPARE(table.at(-1), QString());
}

void TestDocuments::storedNumbersShowAsGeneralFormatShowsThem()
{
    // Every stored form a cell may hold, against converting each one.
    QStringList stored {
            QStringLiteral("0"),      QStringLiteral("-0"),      QStringLiteral("00"),
            QStringLiteral("1."),     QStringLiteral(".5"),      QStringLiteral("+5"),
            QStringLiteral("1E5"),    QStringLiteral("1e-7"),    QStringLiteral(" 5"),
            QStringLiteral("abc"),    QStringLiteral("-"),       QStringLiteral(""),
            QStringLiteral("0.0001"), QStringLiteral("0.00001"), QStringLiteral("\u0661")};
    QRandomGenerator random(5);
    const auto digits = [&](int n, bool leadingNonZero) {
        QString text;
        for (int i = 0; i < n; ++i)
            text += QChar(
                    '0'
                    + ((i == 0 && leadingNonZero) ? 1 + random.bounded(9) : random.bounded(10)));
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        QString text = random.bounded(4) == 0 ? QStringLiteral("-") : QString();
        text += random.bounded(3) == 0 ? QStringLiteral("0")
                                       : digits(1 + random.bounded(18), i % 7);
        if (random.bounded(2)) {
            text += QLatin1Char('.') + QString(random.bounded(6), QLatin1Char('0'))
                    + digits(random.bounded(18), false);
        }
        stored << text;
    }
    for (const QString &text : qAsConst(stored)) {
        bool number = false;
        const double value = text.toDouble(&number);
        QCOMPARE(generalNumberText(text), number ? QString::number(value, 'g', 15) : text);
    }
}

QTEST_GUILESS_MAIN(TestDocuments)
#include "test_documents.moc"
