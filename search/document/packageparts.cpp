#include "packageparts.h"

#include "documentlines.h"
#include "zippackage.h"

#include <QDir>
#include <QUrl>

bool PackageParts::read(const QByteArray &name, const TokenHandler &handler)
{
    if (!trouble.isNone() || lines.stopped())
        return false;
    const QByteArray stored = zip.find(name);
    if (stored.isEmpty() || !zip.open(stored, &trouble)) {
        if (stored.isEmpty())
            trouble = DocumentProblem::damaged(
                    QStringLiteral("its part %1 is missing").arg(QString::fromUtf8(name)));
        return false;
    }
    XmlStream xml([this](char *buffer, qint64 max) { return zip.read(buffer, max); },
                  QString::fromUtf8(stored), lines);
    bool going = true;
    while (going) {
        const QXmlStreamReader::TokenType token = xml.next();
        if (token == QXmlStreamReader::Invalid) {
            trouble = xml.problem();
            break;
        }
        if (token == QXmlStreamReader::EndDocument)
            break;
        going = handler(xml, token);
    }
    zip.close();
    return trouble.isNone() && !lines.stopped();
}

std::vector<PackageParts::ListedPart> PackageParts::listedParts(const QByteArray &source,
                                                                QLatin1String element)
{
    const std::vector<Relationship> rels = relationships(source);
    std::vector<ListedPart> listed;
    read(source, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token != QXmlStreamReader::StartElement || xml.xml().name() != element)
            return true;
        for (const QXmlStreamAttribute &attribute : xml.xml().attributes()) {
            // r:id, the relationship; a plain id is only a number
            if (attribute.name() != QLatin1String("id") || attribute.namespaceUri().isEmpty())
                continue;
            for (const Relationship &rel : rels) {
                if (rel.id == attribute.value() && !rel.part.isEmpty())
                    listed.push_back({xml.attribute(QLatin1String("name")), rel.part});
            }
        }
        return listed.size() < kMaxEntries;
    });
    return listed;
}

std::vector<PackageParts::Relationship> PackageParts::relationships(const QByteArray &source)
{
    const int slash = source.lastIndexOf('/');
    const QByteArray rels = source.left(slash + 1) + "_rels/" + source.mid(slash + 1) + ".rels";
    std::vector<Relationship> found;
    if (zip.find(rels).isEmpty())
        return found;
    read(rels, [&](XmlStream &xml, QXmlStreamReader::TokenType token) {
        if (token == QXmlStreamReader::StartElement
            && xml.xml().name() == QLatin1String("Relationship")) {
            Relationship rel;
            rel.id = xml.attribute(QLatin1String("Id"));
            const QString type = xml.attribute(QLatin1String("Type"));
            rel.type = type.mid(type.lastIndexOf(QLatin1Char('/')) + 1);
            if (xml.attribute(QLatin1String("TargetMode")) != QLatin1String("External"))
                rel.part = resolve(source, xml.attribute(QLatin1String("Target")));
            found.push_back(rel);
        }
        return found.size() < kMaxEntries;
    });
    return found;
}

QByteArray PackageParts::target(const std::vector<Relationship> &rels, const QString &type)
{
    for (const Relationship &rel : rels) {
        if (rel.type == type)
            return rel.part;
    }
    return QByteArray();
}

QByteArray PackageParts::resolve(const QByteArray &source, const QString &href)
{
    QString path = QUrl::fromPercentEncoding(href.section(QLatin1Char('#'), 0, 0).toUtf8());
    if (!path.startsWith(QLatin1Char('/')))
        path = QLatin1Char('/') + QString::fromUtf8(source.left(source.lastIndexOf('/') + 1))
                + path;
    path = QDir::cleanPath(path);
    while (path.startsWith(QLatin1String("/..")))
        path.remove(0, 3);
    return path.mid(1).toUtf8();
}
