// The text of a PowerPoint 97-2003 presentation ([MS-PPT]): the Current
// User stream points at the last edit of the PowerPoint Document stream;
// the chain of edits gives the persist directory (object id to offset).
// The document's slide list names the slides in order, each followed by
// the text of its placeholders; the slide's own records hold the text of
// its other shapes. Text atoms are UTF-16LE or 8-bit (the low bytes of
// UTF-16); a carriage return ends a paragraph.
#include "compounddocument.h"
#include "documentlines.h"

#include <map>
#include <vector>

namespace {

constexpr quint32 kEncryptedToken = 0xF3D1C4DF;
constexpr quint16 kDocument = 0x03E8;
constexpr quint16 kSlide = 0x03EE;
constexpr quint16 kSlidePersistAtom = 0x03F3;
constexpr quint16 kSlideListWithText = 0x0FF0;
constexpr quint16 kTextCharsAtom = 0x0FA0;
constexpr quint16 kTextBytesAtom = 0x0FA8;
constexpr quint16 kPersistDirectoryAtom = 0x1772;
constexpr quint16 kUserEditAtom = 0x0FF5;
constexpr int kMaxEdits = 10000;
constexpr int kMaxDepth = 64;
constexpr quint32 kMaxAtom = 16 << 20;

struct Header
{
    quint16 instance;
    bool container;
    quint16 type;
    quint32 length;
};

bool readHeader(CompoundStream &stream, qint64 at, Header *header)
{
    char h[8];
    if (!stream.readAt(at, h, 8))
        return false;
    header->container = (le16(h) & 0xF) == 0xF;
    header->instance = le16(h) >> 4;
    header->type = le16(h + 2);
    header->length = le32(h + 4);
    return true;
}

void giveText(const QString &text, DocumentLines &lines)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QChar(0x0B))
            lines.endLine();
        else
            lines.append(c);
    }
    lines.endLine();
}

// The text of a TextCharsAtom or TextBytesAtom at `at`.
QString atomText(CompoundStream &stream, const Header &header, qint64 at)
{
    if (header.length > kMaxAtom)
        return QString();
    QByteArray data(int(header.length), Qt::Uninitialized);
    if (!stream.readAt(at + 8, data.data(), header.length))
        return QString();
    if (header.type == kTextBytesAtom)
        return QString::fromLatin1(data);
    QString text(data.size() / 2, Qt::Uninitialized);
    for (int i = 0; i < text.size(); ++i)
        text[i] = QChar(le16(data.constData() + 2 * i));
    return text;
}

class Presentation
{
public:
    Presentation(CompoundStream &stream, DocumentLines &lines) : stream(stream), lines(lines) { }

    // Follows the edits from the newest; the newest offset of an id wins.
    bool readPersistDirectory(quint32 edit)
    {
        for (int edits = 0; edit != 0 && edits < kMaxEdits; ++edits) {
            Header header;
            char atom[28];
            if (!readHeader(stream, edit, &header) || header.type != kUserEditAtom
                || !stream.readAt(edit + 8, atom, sizeof atom))
                return false;
            if (document == 0)
                document = le32(atom + 16);
            const quint32 directory = le32(atom + 12);
            Header dirHeader;
            if (!readHeader(stream, directory, &dirHeader)
                || dirHeader.type != kPersistDirectoryAtom || dirHeader.length > kMaxAtom)
                return false;
            QByteArray entries(int(dirHeader.length), Qt::Uninitialized);
            if (!stream.readAt(directory + 8, entries.data(), dirHeader.length))
                return false;
            for (int at = 0; at + 4 <= entries.size();) {
                const quint32 entry = le32(entries.constData() + at);
                const quint32 first = entry & 0xFFFFF;
                const int count = int(entry >> 20);
                at += 4;
                for (int i = 0; i < count && at + 4 <= entries.size(); ++i, at += 4)
                    offsets.emplace(first + quint32(i), le32(entries.constData() + at));
            }
            edit = le32(atom + 8);  // the edit before this one
        }
        return offsets.count(document) > 0;
    }

    // The slides in order, each with the text of its placeholders.
    void readSlideList()
    {
        const qint64 at = offsets[document];
        Header header;
        if (!readHeader(stream, at, &header) || header.type != kDocument)
            return;
        const qint64 end = at + 8 + header.length;
        for (qint64 child = at + 8; child + 8 <= end && readHeader(stream, child, &header);
             child += 8 + header.length) {
            if (header.type == kSlideListWithText && header.instance == 0)
                readSlideListEntries(child + 8, child + 8 + header.length);
        }
    }

    void give()
    {
        for (size_t i = 0; i < slides.size() && !lines.stopped(); ++i) {
            DocumentPlace place;
            place.kind = DocumentPlace::Kind::Slide;
            place.number = int(i + 1);
            lines.setPlace(place);
            for (const QString &text : slides[i].texts)
                giveText(text, lines);
            const auto it = offsets.find(slides[i].persist);
            Header header;
            if (it != offsets.end() && readHeader(stream, it->second, &header)
                && header.type == kSlide)
                giveShapes(it->second, 0);
        }
        lines.endLine();
    }

private:
    struct SlideText
    {
        quint32 persist;
        std::vector<QString> texts;
    };

    void readSlideListEntries(qint64 at, qint64 end)
    {
        Header header;
        for (; at + 8 <= end && readHeader(stream, at, &header); at += 8 + header.length) {
            if (header.type == kSlidePersistAtom) {
                char ref[4];
                if (stream.readAt(at + 8, ref, 4))
                    slides.push_back({le32(ref), {}});
            } else if ((header.type == kTextCharsAtom || header.type == kTextBytesAtom)
                       && !slides.empty()) {
                slides.back().texts.push_back(atomText(stream, header, at));
            }
        }
    }

    // The text atoms inside the record at `at`, depth first.
    void giveShapes(qint64 at, int depth)
    {
        Header header;
        if (depth > kMaxDepth || lines.stopped() || !readHeader(stream, at, &header))
            return;
        if (header.type == kTextCharsAtom || header.type == kTextBytesAtom) {
            giveText(atomText(stream, header, at), lines);
            return;
        }
        if (!header.container)
            return;
        const qint64 end = at + 8 + qint64(header.length);
        Header child;
        for (qint64 c = at + 8; c + 8 <= end && readHeader(stream, c, &child);
             c += 8 + qint64(child.length))
            giveShapes(c, depth + 1);
    }

    CompoundStream &stream;
    DocumentLines &lines;
    std::map<quint32, quint32> offsets;  // persist id to stream offset
    quint32 document = 0;
    std::vector<SlideText> slides;
};

}  // namespace

DocumentProblem readPowerPoint97(CompoundStreams &streams, DocumentLines &lines)
{
    CompoundStream *user = streams.stream("Current User");
    CompoundStream *stream = streams.stream("PowerPoint Document");
    char current[20];
    if (!user || !stream || !user->readAt(0, current, sizeof current))
        return DocumentProblem::damaged(
                QStringLiteral("it has no PowerPoint Document or Current User stream"));
    if (le32(current + 12) == kEncryptedToken)
        return DocumentProblem::encrypted();
    Presentation presentation(*stream, lines);
    if (!presentation.readPersistDirectory(le32(current + 16)))
        return DocumentProblem::damaged(QStringLiteral("its persist directory is damaged"));
    presentation.readSlideList();
    presentation.give();
    return DocumentProblem();
}
