#include "xmlstream.h"

#include "documentlines.h"

namespace {

constexpr qint64 kPiece = 64 * 1024;

}  // namespace

XmlStream::XmlStream(Source source, const QString &name, const DocumentLines &lines)
    : source(std::move(source)), name(name), lines(lines), buffer(size_t(kPiece))
{
    reader.setNamespaceProcessing(true);
}

QXmlStreamReader::TokenType XmlStream::next()
{
    for (;;) {
        if (lines.stopped())
            return QXmlStreamReader::Invalid;
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Invalid) {
            if (reader.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
                trouble = DocumentProblem::damaged(
                        QStringLiteral("%1 is not well-formed XML at line %2 (%3)")
                                .arg(name)
                                .arg(reader.lineNumber())
                                .arg(reader.errorString()));
                return token;
            }
            if (!feed())
                return QXmlStreamReader::Invalid;
            continue;
        }
        sinceToken = 0;
        if (token == QXmlStreamReader::DTD && !reader.entityDeclarations().isEmpty()) {
            trouble = DocumentProblem::damaged(
                    QStringLiteral("%1 declares XML entities, which are not expanded").arg(name));
            return QXmlStreamReader::Invalid;
        }
        return token;
    }
}

bool XmlStream::feed()
{
    if (sourceEnded) {
        trouble = DocumentProblem::damaged(QStringLiteral("%1 ends early").arg(name));
        return false;
    }
    if (sinceToken > kMaxTokenBytes) {
        trouble = DocumentProblem::damaged(
                QStringLiteral("%1 holds a piece of XML larger than %2 MiB")
                        .arg(name)
                        .arg(kMaxTokenBytes >> 20));
        return false;
    }
    const qint64 n = source(buffer.data(), kPiece);
    if (n < 0) {
        trouble = DocumentProblem::damaged(QStringLiteral("the data of %1 is damaged").arg(name));
        return false;
    }
    if (n == 0) {
        sourceEnded = true;
        return true;  // the reader tells whether the document was complete
    }
    sinceToken += n;
    reader.addData(QByteArray::fromRawData(buffer.data(), int(n)));
    return true;
}

bool XmlStream::skipElement()
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return false;
        default:
            break;
        }
    }
    return true;
}

QString XmlStream::attribute(QLatin1String localName) const
{
    // a copy: the attributes the reader hands out are a temporary list
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == localName)
            return attribute.value().toString();
    }
    return QString();
}
