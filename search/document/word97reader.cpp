// The text of a Word 97-2003 document ([MS-DOC]): the File Information
// Block at the start of the WordDocument stream points into the table
// stream at the piece table (the Clx), whose pieces give every character
// position of the text in order, main text first, then footnotes, headers,
// comments, endnotes and text boxes; each piece is either 8-bit text
// (Windows-1252) or UTF-16LE.
#include "compounddocument.h"
#include "documentlines.h"

#include <QTextCodec>

#include <vector>

namespace {

constexpr quint16 kWordMagic = 0xA5EC;
constexpr quint16 kEncrypted = 0x0100;
constexpr quint16 kTable1 = 0x0200;
constexpr quint16 kFirstWord97Fib = 0x00C1;
constexpr int kClxIndex = 33;  // fcClx/lcbClx in FibRgFcLcb97
constexpr qint64 kChunkChars = 32 * 1024;
constexpr quint32 kMaxPieceTable = 16 << 20;

struct Piece
{
    quint32 cpStart;
    quint32 cpEnd;
    quint32 fc;
    bool compressed;
};

// Turns the characters of the text stream into lines: paragraph, cell and
// line marks end lines; field codes are passed over and field results kept.
class WordText
{
public:
    explicit WordText(DocumentLines &lines) : lines(lines) { }

    void take(char16_t c)
    {
        switch (c) {
        case 0x13:  // field begins: its code follows
            fields.push_back(true);
            return;
        case 0x14:  // the code ends, the result follows
            if (!fields.empty())
                fields.back() = false;
            return;
        case 0x15:
            if (!fields.empty())
                fields.pop_back();
            return;
        default:
            break;
        }
        if (!fields.empty() && fields.back())
            return;
        switch (c) {
        case 0x0D:
        case 0x07:
        case 0x0B:
        case 0x0C:
            lines.endLine();
            break;
        case 0x09:
            lines.append(QLatin1Char('\t'));
            break;
        case 0x1E:
            lines.append(QLatin1Char('-'));
            break;
        case 0x1F:
            break;  // an optional hyphen
        default:
            if (c >= 0x20)
                lines.append(QChar(c));
            break;
        }
    }

private:
    DocumentLines &lines;
    std::vector<bool> fields;  // per open field: true while in its code
};

}  // namespace

DocumentProblem readWord97(CompoundStreams &streams, DocumentLines &lines)
{
    CompoundStream *word = streams.stream("WordDocument");
    if (!word)
        return DocumentProblem::damaged(QStringLiteral("it has no WordDocument stream"));
    char fib[1024] = {};
    const qint64 fibSize = qMin<qint64>(sizeof fib, word->size());
    if (fibSize < 34 || !word->readAt(0, fib, fibSize) || le16(fib) != kWordMagic)
        return DocumentProblem::damaged(QStringLiteral("its File Information Block is damaged"));
    const quint16 flags = le16(fib + 0x0A);
    if (flags & kEncrypted)
        return DocumentProblem::encrypted();
    if (le16(fib + 2) < kFirstWord97Fib)
        return DocumentProblem::damaged(
                QStringLiteral("it is in the format of Word 95 or older, which is not read"));
    // FibBase, then counted arrays of 16-bit words, 32-bit words and offset pairs.
    qint64 at = 32;
    at += 2 + 2 * qint64(le16(fib + at));
    if (at + 2 > fibSize)
        return DocumentProblem::damaged(QStringLiteral("its File Information Block is damaged"));
    at += 2 + 4 * qint64(le16(fib + at));
    if (at + 2 > fibSize)
        return DocumentProblem::damaged(QStringLiteral("its File Information Block is damaged"));
    const qint64 pairs = at + 2;
    if (le16(fib + at) <= kClxIndex || pairs + 8 * (kClxIndex + 1) > fibSize)
        return DocumentProblem::damaged(
                QStringLiteral("its File Information Block has no piece table"));
    const quint32 fcClx = le32(fib + pairs + 8 * kClxIndex);
    const quint32 lcbClx = le32(fib + pairs + 8 * kClxIndex + 4);

    CompoundStream *table = streams.stream((flags & kTable1) ? "1Table" : "0Table");
    if (!table || qint64(fcClx) + lcbClx > table->size())
        return DocumentProblem::damaged(QStringLiteral("its table stream is missing or short"));
    // The Clx: property runs (0x01) to pass over, then the piece table (0x02).
    qint64 clx = fcClx;
    const qint64 clxEnd = qint64(fcClx) + lcbClx;
    char head[5];
    std::vector<Piece> pieces;
    while (clx < clxEnd && table->readAt(clx, head, 1)) {
        if (head[0] == 0x01) {
            if (!table->readAt(clx + 1, head, 2))
                break;
            clx += 3 + le16(head);
            continue;
        }
        if (head[0] != 0x02 || !table->readAt(clx + 1, head, 4))
            break;
        const quint32 lcb = le32(head);
        const qint64 n = (qint64(lcb) - 4) / 12;
        if (n <= 0 || lcb > kMaxPieceTable || clx + 5 + lcb > table->size())
            break;
        QByteArray plc(int(lcb), Qt::Uninitialized);
        if (!table->readAt(clx + 5, plc.data(), lcb))
            break;
        for (qint64 i = 0; i < n; ++i) {
            const char *pcd = plc.constData() + 4 * (n + 1) + 8 * i;
            const quint32 fc = le32(pcd + 2);
            pieces.push_back({le32(plc.constData() + 4 * i), le32(plc.constData() + 4 * (i + 1)),
                              fc & 0x3FFFFFFF, (fc & 0x40000000) != 0});
        }
        break;
    }
    if (pieces.empty())
        return DocumentProblem::damaged(QStringLiteral("its piece table is damaged"));

    QTextCodec *latin = QTextCodec::codecForName("windows-1252");
    WordText text(lines);
    std::vector<char> buffer;
    for (const Piece &piece : pieces) {
        if (piece.cpEnd <= piece.cpStart)
            continue;
        const qint64 width = piece.compressed ? 1 : 2;
        qint64 offset = piece.compressed ? piece.fc / 2 : piece.fc;
        for (qint64 left = qint64(piece.cpEnd - piece.cpStart); left > 0 && !lines.stopped();) {
            const qint64 n = qMin(left, kChunkChars);
            buffer.resize(size_t(n * width));
            if (!word->readAt(offset, buffer.data(), n * width)) {
                lines.endLine();
                return DocumentProblem::damaged(QStringLiteral("its text ends early"));
            }
            if (piece.compressed) {
                for (const QChar c : latin->toUnicode(buffer.data(), int(n)))
                    text.take(c.unicode());
            } else {
                for (qint64 i = 0; i < n; ++i)
                    text.take(le16(buffer.data() + 2 * i));
            }
            offset += n * width;
            left -= n;
        }
    }
    lines.endLine();
    return DocumentProblem();
}
