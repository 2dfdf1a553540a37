#ifndef XMLSTREAM_H
#define XMLSTREAM_H

#include "documentproblem.h"

#include <QXmlStreamReader>

#include <functional>
#include <vector>

class DocumentLines;

// QXmlStreamReader fed piece by piece from a part's bytes, so no XML is
// held whole. Refuses what would make it hold much: a document that
// declares entities (nothing a writer of documents needs, everything a bomb
// needs) and a single piece of markup or text larger than kMaxTokenBytes.
class XmlStream
{
public:
    static constexpr qint64 kMaxTokenBytes = 8 << 20;
    // Fills `buffer` with up to `max` next bytes: 0 at the end, less than 0
    // when the bytes are damaged.
    using Source = std::function<qint64(char *buffer, qint64 max)>;

    // `name` names the part in problems; `lines` tells when to stop.
    XmlStream(Source source, const QString &name, const DocumentLines &lines);

    // The next token: EndDocument at a regular end; Invalid at a stop or a
    // problem (see problem()).
    QXmlStreamReader::TokenType next();
    QXmlStreamReader &xml() { return reader; }
    // Why the reading ended early; none at a regular end and at a stop.
    const DocumentProblem &problem() const { return trouble; }
    // Reads on to the end of the current element (after a StartElement).
    bool skipElement();
    // The value of the current element's attribute of that local name;
    // empty when absent.
    QString attribute(QLatin1String localName) const;

private:
    bool feed();

    Source source;
    QString name;
    const DocumentLines &lines;
    QXmlStreamReader reader;
    std::vector<char> buffer;
    qint64 sinceToken = 0;  // bytes fed since the last token
    bool sourceEnded = false;
    DocumentProblem trouble;
};

#endif  // XMLSTREAM_H
