// The cells of an Excel 97-2003 workbook ([MS-XLS], BIFF8): the Workbook
// stream is a sequence of records; the globals name the sheets (BOUNDSHEET)
// and hold the shared strings (SST, continued in CONTINUE records); each
// worksheet's substream, from its BOF to its EOF, holds its cells row by
// row. Cell values are given as stored: strings, numbers as General shows
// them, booleans and a formula's last value.
#include "compounddocument.h"
#include "documentlines.h"
#include "sheetrow.h"
#include "stringtable.h"

#include <QTextCodec>

#include <cstring>
#include <map>

namespace {

enum Record : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
};

constexpr quint16 kBiff8 = 0x0600;
constexpr quint16 kWorksheet = 0x0010;

// An RK value: a 30-bit integer or the high bits of a double, maybe / 100.
double rkValue(quint32 rk)
{
    double d;
    if (rk & 2) {
        d = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        memcpy(&d, &bits, sizeof d);
    }
    return (rk & 1) ? d / 100 : d;
}

// Characters of an XLUnicodeString body: 8-bit (Latin-1) or UTF-16LE.
QString unicodeChars(const char *p, qint64 available, qint64 count, bool wide)
{
    count = qMin(count, wide ? available / 2 : available);
    if (count <= 0)
        return QString();
    if (!wide)
        return QString::fromLatin1(p, int(count));
    QString s(int(count), Qt::Uninitialized);
    for (qint64 i = 0; i < count; ++i)
        s[int(i)] = QChar(le16(p + 2 * i));
    return s;
}

// A 16-bit counted string (LABEL, STRING): cch, flags, characters.
QString xlString(const QByteArray &data, int at)
{
    if (data.size() < at + 3)
        return QString();
    return unicodeChars(data.constData() + at + 3, data.size() - at - 3,
                        le16(data.constData() + at), data[at + 2] & 1);
}

// Reads the shared strings byte by byte across the SST and its CONTINUE
// records, where a string's characters may break and each continuation
// starts with a new flags byte.
class SharedStrings
{
public:
    explicit SharedStrings(StringTable &table) : table(table) { }

    bool take(const QByteArray &data, bool continuation)
    {
        const char *p = data.constData();
        qint64 n = data.size();
        if (!continuation) {
            p += 8;  // total and unique counts
            n -= 8;
        } else if (phase == Phase::Chars && n > 0) {
            wide = *p & 1;
            ++p;
            --n;
        }
        for (qint64 i = 0; i < n; ++i) {
            if (!step(quint8(p[i])))
                return false;
        }
        return true;
    }

private:
    enum class Phase { Header, Chars, Tail };

    bool step(quint8 b)
    {
        switch (phase) {
        case Phase::Header:
            header.append(char(b));
            if (header.size() < 3)
                return true;
            {
                const quint8 flags = quint8(header[2]);
                const int needed = 3 + ((flags & 8) ? 2 : 0) + ((flags & 4) ? 4 : 0);
                if (header.size() < needed)
                    return true;
                chars = le16(header.constData());
                wide = flags & 1;
                tail = 0;
                int at = 3;
                if (flags & 8) {
                    tail += 4 * qint64(le16(header.constData() + at));
                    at += 2;
                }
                if (flags & 4)
                    tail += le32(header.constData() + at);
            }
            header.clear();
            text.clear();
            phase = Phase::Chars;
            if (chars == 0)
                return finishChars();
            return true;
        case Phase::Chars:
            if (wide) {
                if (!lowPending) {
                    low = b;
                    lowPending = true;
                    return true;
                }
                lowPending = false;
                text.append(QChar(char16_t(low | b << 8)));
            } else {
                text.append(QChar(char16_t(b)));
            }
            return --chars > 0 || finishChars();
        case Phase::Tail:
            if (--tail <= 0)
                phase = Phase::Header;
            return true;
        }
        return true;
    }

    bool finishChars()
    {
        phase = tail > 0 ? Phase::Tail : Phase::Header;
        return table.add(text);
    }

    StringTable &table;
    Phase phase = Phase::Header;
    QByteArray header;
    qint64 chars = 0;
    qint64 tail = 0;
    bool wide = false;
    bool lowPending = false;
    quint8 low = 0;
    QString text;
};

class Workbook
{
public:
    Workbook(CompoundStream &stream, DocumentLines &lines)
        : stream(stream), lines(lines), row(lines)
    {
    }

    DocumentProblem read()
    {
        SharedStrings shared(strings);
        quint16 previous = 0;
        for (qint64 at = 0; at + 4 <= stream.size() && !lines.stopped();) {
            char head[4];
            if (!stream.readAt(at, head, 4))
                break;
            const quint16 type = le16(head);
            const quint16 length = le16(head + 2);
            QByteArray data(length, Qt::Uninitialized);
            if (!stream.readAt(at + 4, data.data(), length)) {
                endRow();
                return DocumentProblem::damaged(
                        QStringLiteral("its Workbook stream ends inside a record"));
            }
            const qint64 recordStart = at;
            at += 4 + length;
            if (type == kFilePass)
                return DocumentProblem::encrypted();
            if (type == kSst || (type == kContinue && previous == kSst)) {
                if (!shared.take(data, type == kContinue))
                    return DocumentProblem::damaged(
                            QStringLiteral("its shared strings are too many to hold"));
                continue;  // a CONTINUE keeps the SST going
            }
            previous = type;
            if (type == kBof) {
                if (data.size() >= 4 && le16(data.constData()) != kBiff8)
                    return DocumentProblem::damaged(QStringLiteral(
                            "it is in the format of Excel 95 or older, which is not read"));
                beginSubstream(recordStart, data.size() >= 4 ? le16(data.constData() + 2) : 0);
            } else if (type == kBoundSheet && data.size() >= 8) {
                sheets[le32(data.constData())] = {int(sheets.size() + 1), sheetName(data)};
            } else if (type == kEof) {
                endRow();
                inSheet = false;
            } else if (inSheet) {
                cell(type, data);
            }
        }
        endRow();
        return DocumentProblem();
    }

private:
    struct Sheet
    {
        int number;
        QString name;
    };

    static QString sheetName(const QByteArray &data)
    {
        if (data.size() < 8)
            return QString();
        return unicodeChars(data.constData() + 8, data.size() - 8, quint8(data[6]), data[7] & 1);
    }

    void beginSubstream(qint64 offset, quint16 kind)
    {
        endRow();
        inSheet = kind == kWorksheet;
        if (!inSheet)
            return;
        DocumentPlace place;
        place.kind = DocumentPlace::Kind::Sheet;
        const auto it = sheets.find(quint32(offset));
        place.number = it == sheets.end() ? int(sheets.size() + 1) : it->second.number;
        place.name = it == sheets.end() ? QString() : it->second.name;
        lines.setPlace(place);
    }

    void put(quint16 rowNumber, quint16 column, const QString &text)
    {
        if (rowNumber != currentRow)
            endRow();
        currentRow = rowNumber;
        row.setCell(column, text);
    }

    void endRow()
    {
        row.end();
        currentRow = -1;
    }

    void cell(quint16 type, const QByteArray &data)
    {
        const char *p = data.constData();
        const int n = data.size();
        if (n < 6)
            return;
        const quint16 r = le16(p);
        const quint16 c = le16(p + 2);
        switch (type) {
        case kLabelSst:
            if (n >= 10)
                put(r, c, strings.at(le32(p + 6)));
            break;
        case kLabel:
            put(r, c, xlString(data, 6));
            break;
        case kNumber:
            if (n >= 14) {
                double d;
                memcpy(&d, p + 6, sizeof d);
                put(r, c, generalNumberText(d));
            }
            break;
        case kRk:
            if (n >= 10)
                put(r, c, generalNumberText(rkValue(le32(p + 6))));
            break;
        case kMulRk:
            for (int at = 4, column = c; at + 6 <= n - 2; at += 6, ++column)
                put(r, quint16(column), generalNumberText(rkValue(le32(p + at + 2))));
            break;
        case kBoolErr:
            if (n >= 8 && p[7] == 0)
                put(r, c, p[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            break;
        case kFormula:
            formula(r, c, data);
            break;
        case kString:
            if (formulaPending) {
                put(formulaRow, formulaColumn, xlString(data, 0));
                formulaPending = false;
            }
            break;
        default:
            break;
        }
    }

    // A formula's last value: a number, or a marker whose string follows in
    // a STRING record.
    void formula(quint16 r, quint16 c, const QByteArray &data)
    {
        if (data.size() < 14)
            return;
        const char *v = data.constData() + 6;
        if (quint8(v[6]) != 0xFF || quint8(v[7]) != 0xFF) {
            double d;
            memcpy(&d, v, sizeof d);
            put(r, c, generalNumberText(d));
        } else if (v[0] == 0) {
            formulaPending = true;
            formulaRow = r;
            formulaColumn = c;
        } else if (v[0] == 1) {
            put(r, c, v[2] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        }
    }

    CompoundStream &stream;
    DocumentLines &lines;
    SheetRow row;
    StringTable strings;
    std::map<quint32, Sheet> sheets;  // by the offset of the sheet's BOF
    bool inSheet = false;
    int currentRow = -1;
    bool formulaPending = false;
    quint16 formulaRow = 0;
    quint16 formulaColumn = 0;
};

}  // namespace

DocumentProblem readExcel97(CompoundStreams &streams, DocumentLines &lines)
{
    CompoundStream *stream = streams.stream("Workbook");
    if (!stream) {
        if (streams.stream("Book"))
            return DocumentProblem::damaged(
                    QStringLiteral("it is in the format of Excel 95 or older, which is not read"));
        return DocumentProblem::damaged(QStringLiteral("it has no Workbook stream"));
    }
    Workbook workbook(*stream, lines);
    return workbook.read();
}
