#ifndef PACKAGEPARTS_H
#define PACKAGEPARTS_H

#include "documentproblem.h"
#include "xmlstream.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class DocumentLines;
class ZipPackage;

// The parts of a ZIP-based document, read as XML one after the other.
class PackageParts
{
public:
    // Called with each token of a part; returns false to end that part.
    using TokenHandler = std::function<bool(XmlStream &xml, QXmlStreamReader::TokenType token)>;

    // Lists read from a package (relationships, sheets, slides, a spine)
    // keep at most this many entries: more than any document has.
    static constexpr size_t kMaxEntries = 100000;

    struct Relationship
    {
        QString id;
        QString type;     // the last word of its type: "officeDocument", "slide", ...
        QByteArray part;  // the target's part name; empty for an external target
    };

    PackageParts(ZipPackage &zip, DocumentLines &lines) : zip(zip), lines(lines) { }

    // Streams the part `name` (found ignoring case) through `handler` until
    // its end; false at a stop or a problem (kept in problem()).
    bool read(const QByteArray &name, const TokenHandler &handler);
    // The relationships of part `source` (the package's own for an empty
    // name), targets resolved to part names; none when it has none.
    std::vector<Relationship> relationships(const QByteArray &source);
    // A part listed by an element of part `source` through its r:id, in the
    // list's order (a workbook's sheets, a presentation's slides).
    struct ListedPart
    {
        QString name;     // the element's "name" attribute; empty when it has none
        QByteArray part;  // the part its relationship targets
    };
    std::vector<ListedPart> listedParts(const QByteArray &source, QLatin1String element);
    // The target of the first relationship of `type` in `rels`; empty when none.
    static QByteArray target(const std::vector<Relationship> &rels, const QString &type);
    // The part named by `href` relative to part `source` (".." and "/"
    // resolved, percent escapes decoded).
    static QByteArray resolve(const QByteArray &source, const QString &href);

    const DocumentProblem &problem() const { return trouble; }
    DocumentLines &output() { return lines; }

private:
    ZipPackage &zip;
    DocumentLines &lines;
    DocumentProblem trouble;
};

#endif  // PACKAGEPARTS_H
