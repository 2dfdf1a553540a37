#include "documentkind.h"

#include <QStringView>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int kHeadBytes = 1024;

bool startsWith(const QByteArray &head, const char *magic, int length)
{
    return head.size() >= length && memcmp(head.constData(), magic, size_t(length)) == 0;
}

bool isZip(const QByteArray &head)
{
    return startsWith(head, "PK\x03\x04", 4);
}

bool isCompoundFile(const QByteArray &head)
{
    return startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

bool isRtf(const QByteArray &head)
{
    return startsWith(head, "{\\rtf", 5);
}

// PDF readers take the header anywhere in the first kilobyte.
bool isPdf(const QByteArray &head)
{
    return head.left(kHeadBytes).contains("%PDF-");
}

// An XML document: an optional byte-order mark and blanks, then markup.
bool isXml(const QByteArray &head)
{
    int i = startsWith(head, "\xEF\xBB\xBF", 3) ? 3 : 0;
    while (i < head.size()
           && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
        ++i;
    return i < head.size() && head[i] == '<';
}

// The kind of an Office name's content: OOXML in a ZIP, the binary format
// (or encrypted OOXML) in a compound file, or RTF.
DocumentKind officeKind(const QByteArray &head, DocumentKind xml, DocumentKind binary)
{
    if (isZip(head))
        return xml;
    if (isCompoundFile(head))
        return binary;
    if (xml == DocumentKind::WordXml && isRtf(head))
        return DocumentKind::Rtf;
    return DocumentKind::None;
}

}  // namespace

DocumentKind documentKindForName(const QString &name)
{
    // Asked of every file a content search meets: no allocation.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return DocumentKind::None;
    const QStringView suffix = QStringView(name).mid(dot + 1);
    struct Entry
    {
        const char *suffix;
        DocumentKind kind;
    };
    static const Entry entries[] = {
            {"pdf", DocumentKind::Pdf},
            {"docx", DocumentKind::WordXml},
            {"docm", DocumentKind::WordXml},
            {"dotx", DocumentKind::WordXml},
            {"xlsx", DocumentKind::SheetXml},
            {"xlsm", DocumentKind::SheetXml},
            {"pptx", DocumentKind::SlidesXml},
            {"ppsx", DocumentKind::SlidesXml},
            {"odt", DocumentKind::OpenDocument},
            {"ods", DocumentKind::OpenDocument},
            {"odp", DocumentKind::OpenDocument},
            {"odg", DocumentKind::OpenDocument},
            {"fodt", DocumentKind::FlatOpenDocument},
            {"fods", DocumentKind::FlatOpenDocument},
            {"epub", DocumentKind::Epub},
            {"rtf", DocumentKind::Rtf},
            {"doc", DocumentKind::Word97},
            {"wps", DocumentKind::Word97},
            {"xls", DocumentKind::Excel97},
            {"et", DocumentKind::Excel97},
            {"ppt", DocumentKind::PowerPoint97},
            {"dps", DocumentKind::PowerPoint97},
    };
    for (const Entry &entry : entries) {
        if (QLatin1String(entry.suffix).compare(suffix, Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return DocumentKind::None;
}

DocumentKind documentKindForContent(const QString &name, const QByteArray &head)
{
    switch (documentKindForName(name)) {
    case DocumentKind::None:
        return DocumentKind::None;
    case DocumentKind::Pdf:
        return isPdf(head) ? DocumentKind::Pdf : DocumentKind::None;
    case DocumentKind::WordXml:
    case DocumentKind::Word97:
        return officeKind(head, DocumentKind::WordXml, DocumentKind::Word97);
    case DocumentKind::SheetXml:
    case DocumentKind::Excel97:
        return officeKind(head, DocumentKind::SheetXml, DocumentKind::Excel97);
    case DocumentKind::SlidesXml:
    case DocumentKind::PowerPoint97:
        return officeKind(head, DocumentKind::SlidesXml, DocumentKind::PowerPoint97);
    case DocumentKind::OpenDocument:
        return isZip(head) ? DocumentKind::OpenDocument : DocumentKind::None;
    case DocumentKind::Epub:
        return isZip(head) ? DocumentKind::Epub : DocumentKind::None;
    case DocumentKind::FlatOpenDocument:
        return isXml(head) ? DocumentKind::FlatOpenDocument : DocumentKind::None;
    case DocumentKind::Rtf:
        return isRtf(head) ? DocumentKind::Rtf : DocumentKind::None;
    }
    return DocumentKind::None;
}

DocumentKind documentKindOf(const QString &name, int fd)
{
    if (documentKindForName(name) == DocumentKind::None)
        return DocumentKind::None;
    QByteArray head(kHeadBytes, '\0');
    ssize_t n;
    do {
        n = pread(fd, head.data(), size_t(head.size()), 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return DocumentKind::None;
    head.truncate(int(n));
    return documentKindForContent(name, head);
}
