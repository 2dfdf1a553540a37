#include "epubreader.h"

#include "documentlines.h"
#include "packageparts.h"
#include "zippackage.h"

#include <QSet>

#include <map>

namespace {

bool isBlock(const QStringRef &name)
{
    static const char *const names[] = {
            "p",       "div",        "h1",      "h2",         "h3",     "h4",      "h5",    "h6",
            "li",      "dt",         "dd",      "blockquote", "pre",    "td",      "th",    "tr",
            "caption", "figcaption", "section", "article",    "header", "footer",  "aside", "nav",
            "table",   "ul",         "ol",      "dl",         "hr",     "address", "body"};
    for (const char *candidate : names) {
        if (name == QLatin1String(candidate))
            return true;
    }
    return false;
}

// Named entities of XHTML that a content document may use through its DTD.
QString entityText(const QStringRef &name)
{
    struct Entity
    {
        const char *name;
        char16_t text;
    };
    static const Entity entities[] = {
            {"nbsp", 0xA0},    {"ensp", 0x2002},  {"emsp", 0x2003},   {"thinsp", 0x2009},
            {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018},  {"rsquo", 0x2019},
            {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"hellip", 0x2026}, {"middot", 0xB7},
            {"bull", 0x2022},  {"copy", 0xA9},    {"reg", 0xAE},      {"trade", 0x2122},
            {"shy", 0xAD},
    };
    for (const Entity &entity : entities) {
        if (name == QLatin1String(entity.name))
            return QString(QChar(entity.text));
    }
    return QString();
}

// Gathers the lines of one XHTML content document.
class ContentText
{
public:
    explicit ContentText(DocumentLines &lines) : lines(lines) { }

    bool operator()(XmlStream &xml, QXmlStreamReader::TokenType token)
    {
        const QXmlStreamReader &reader = xml.xml();
        switch (token) {
        case QXmlStreamReader::StartElement: {
            const QStringRef name = reader.name();
            if (name == QLatin1String("head") || name == QLatin1String("script")
                || name == QLatin1String("style"))
                return xml.skipElement();
            if (name == QLatin1String("br") || isBlock(name))
                breakLine();
            if (name == QLatin1String("pre"))
                ++preformatted;
            break;
        }
        case QXmlStreamReader::EndElement:
            if (isBlock(reader.name()))
                breakLine();
            if (reader.name() == QLatin1String("pre"))
                preformatted = qMax(0, preformatted - 1);
            break;
        case QXmlStreamReader::Characters:
            add(reader.text());
            break;
        case QXmlStreamReader::EntityReference:
            add(QStringView(entityText(reader.name())));
            break;
        default:
            break;
        }
        return true;
    }

private:
    void breakLine()
    {
        lines.endLine();
        pendingSpace = false;
    }

    void add(QStringView text)
    {
        for (const QChar c : text) {
            if (preformatted && c == QLatin1Char('\n')) {
                breakLine();
            } else if (!preformatted && c.isSpace() && c != QChar(0xA0)) {
                pendingSpace = !lines.lineIsEmpty();
            } else {
                if (pendingSpace)
                    lines.append(QLatin1Char(' '));
                pendingSpace = false;
                lines.append(c);
            }
        }
    }

    DocumentLines &lines;
    int preformatted = 0;
    bool pendingSpace = false;
};

// The package document's path, from META-INF/container.xml.
QByteArray packageDocument(PackageParts &parts)
{
    QByteArray path;
    parts.read("META-INF/container.xml", [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement
            && xml.xml().name() == QLatin1String("rootfile"))
            path = xml.attribute(QLatin1String("full-path")).toUtf8();
        return path.isEmpty();
    });
    return path;
}

// The content documents in spine order.
std::vector<QByteArray> spine(PackageParts &parts, const QByteArray &opf)
{
    std::map<QString, QByteArray> manifest;
    std::vector<QString> order;
    parts.read(opf, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token != QXmlStreamReader::StartElement)
            return true;
        if (xml.xml().name() == QLatin1String("item"))
            manifest[xml.attribute(QLatin1String("id"))]
                    = PackageParts::resolve(opf, xml.attribute(QLatin1String("href")));
        else if (xml.xml().name() == QLatin1String("itemref"))
            order.push_back(xml.attribute(QLatin1String("idref")));
        return manifest.size() < PackageParts::kMaxEntries
                && order.size() < PackageParts::kMaxEntries;
    });
    std::vector<QByteArray> documents;
    for (const QString &id : order) {
        const auto it = manifest.find(id);
        if (it != manifest.end())
            documents.push_back(it->second);
    }
    return documents;
}

// The parts META-INF/encryption.xml says are encrypted (fonts are obfuscated
// this way too, so only the content documents count).
QSet<QByteArray> encryptedParts(PackageParts &parts, ZipPackage &zip)
{
    QSet<QByteArray> encrypted;
    if (zip.find("META-INF/encryption.xml").isEmpty())
        return encrypted;
    parts.read("META-INF/encryption.xml", [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement
            && xml.xml().name() == QLatin1String("CipherReference"))
            encrypted.insert(
                    PackageParts::resolve(QByteArray(), xml.attribute(QLatin1String("URI"))));
        return true;
    });
    return encrypted;
}

}  // namespace

DocumentProblem readEpub(ZipPackage &zip, DocumentLines &lines)
{
    PackageParts parts(zip, lines);
    const QByteArray opf = packageDocument(parts);
    if (opf.isEmpty())
        return parts.problem().isNone()
                ? DocumentProblem::damaged(QStringLiteral("it names no package document"))
                : parts.problem();
    const QSet<QByteArray> encrypted = encryptedParts(parts, zip);
    for (const QByteArray &document : spine(parts, opf)) {
        if (encrypted.contains(document))
            return DocumentProblem::encrypted();
        ContentText text(lines);
        if (!parts.read(document, std::ref(text)))
            break;
        lines.endLine();
    }
    lines.endLine();
    return parts.problem();
}
