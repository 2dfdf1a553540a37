#include "rtfreader.h"

#include "documentlines.h"
#include "filebytes.h"

#include <QMutex>
#include <QTextCodec>

#include <map>
#include <vector>

namespace {

constexpr int kMaxDepth = 4096;
constexpr qint64 kPiece = 64 * 1024;
constexpr size_t kMaxFonts = 4096;
constexpr int kMaxPendingBytes = 64 * 1024;

// The Windows code page of a font's \fcharset.
int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return 0;  // the document's code page
    }
}

QTextCodec *codecOfCodePage(int codePage)
{
    static QMutex lock;
    static std::map<int, QTextCodec *> known;
    QMutexLocker locked(&lock);
    const auto it = known.find(codePage);
    if (it != known.end())
        return it->second;
    QTextCodec *codec = nullptr;
    switch (codePage) {
    case 932:
        codec = QTextCodec::codecForName("Shift_JIS");
        break;
    case 936:
        codec = QTextCodec::codecForName("GBK");
        break;
    case 949:
        codec = QTextCodec::codecForName("windows-949");
        break;
    case 950:
        codec = QTextCodec::codecForName("Big5");
        break;
    case 10000:
        codec = QTextCodec::codecForName("macintosh");
        break;
    case 65001:
        codec = QTextCodec::codecForName("UTF-8");
        break;
    default:
        break;
    }
    if (!codec)
        codec = QTextCodec::codecForName("windows-" + QByteArray::number(codePage));
    if (!codec)
        codec = QTextCodec::codecForName("CP" + QByteArray::number(codePage));
    if (!codec)
        codec = QTextCodec::codecForName("windows-1252");
    known[codePage] = codec;
    return codec;
}

// Destinations whose content is not text of the document.
bool isSkippedDestination(const QByteArray &word)
{
    static const char *const words[]
            = {"fonttbl",   "colortbl",     "stylesheet", "info",
               "pict",      "fldinst",      "themedata",  "colorschememapping",
               "datastore", "latentstyles", "listtable",  "listoverridetable",
               "rsidtbl",   "generator",    "filetbl",    "revtbl",
               "xmlnstbl",  "userprops",    "object",     "objdata",
               "pntext",    "pntxta",       "pntxtb",     "mmathPict",
               "bkmkstart", "bkmkend",      "private"};
    for (const char *candidate : words) {
        if (word == candidate)
            return true;
    }
    return false;
}

// The state a group opens with a copy of its parent's.
struct Group
{
    bool skip = false;       // the group's text is not read
    bool fontTable = false;  // inside \fonttbl: \fN\fcharsetM declare fonts
    int skipPerUnicode = 1;  // \ucN
    int codePage = 0;        // of the current font; 0: the document's
};

class RtfParser
{
public:
    explicit RtfParser(DocumentLines &lines) : lines(lines) { groups.push_back(Group()); }

    DocumentProblem parse(FileBytes &file)
    {
        std::vector<char> buffer(static_cast<size_t>(kPiece));
        for (;;) {
            if (lines.stopped())
                return DocumentProblem();
            const qint64 n = file.read(buffer.data(), kPiece);
            if (n < 0)
                return DocumentProblem::damaged(QStringLiteral("the file cannot be read"));
            if (n == 0)
                break;
            for (qint64 i = 0; i < n && trouble.isNone(); ++i)
                take(buffer[size_t(i)]);
            if (!trouble.isNone())
                return trouble;
            if (closedAll)
                break;
        }
        finishWord();
        flushBytes();
        lines.endLine();
        if (!closedAll)
            return DocumentProblem::damaged(QStringLiteral("it ends inside a group"));
        return DocumentProblem();
    }

private:
    enum class Scan { Text, Backslash, Word, Parameter, HexFirst, HexSecond, Binary };

    Group &group() { return groups.back(); }

    void take(char c)
    {
        switch (scan) {
        case Scan::Binary:
            if (--binaryLeft <= 0)
                scan = Scan::Text;
            return;
        case Scan::HexFirst:
            hex = hexValue(c);
            scan = Scan::HexSecond;
            return;
        case Scan::HexSecond:
            scan = Scan::Text;
            if (hex >= 0 && hexValue(c) >= 0)
                byte(char(hex * 16 + hexValue(c)));
            return;
        case Scan::Backslash:
            if (isLetter(c)) {
                word = QByteArray(1, c);
                parameter.clear();
                scan = Scan::Word;
            } else {
                scan = Scan::Text;
                symbol(c);
            }
            return;
        case Scan::Word:
            if (isLetter(c) && word.size() < 32) {
                word.append(c);
                return;
            }
            if ((c == '-' || isDigit(c)) && parameter.size() < 11) {
                parameter.append(c);
                scan = Scan::Parameter;
                return;
            }
            finishWord();
            if (c != ' ')
                take(c);
            return;
        case Scan::Parameter:
            if (isDigit(c) && parameter.size() < 11) {
                parameter.append(c);
                return;
            }
            finishWord();
            if (c != ' ')
                take(c);
            return;
        case Scan::Text:
            break;
        }
        switch (c) {
        case '\\':
            scan = Scan::Backslash;
            break;
        case '{':
            flushBytes();
            if (groups.size() >= kMaxDepth) {
                trouble = DocumentProblem::damaged(
                        QStringLiteral("its groups nest deeper than %1").arg(kMaxDepth));
                return;
            }
            groups.push_back(group());
            destinationNext = true;
            break;
        case '}':
            flushBytes();
            groups.pop_back();
            if (groups.size() <= 1)
                closedAll = true;
            if (groups.empty())
                groups.push_back(Group());
            break;
        case '\r':
        case '\n':
            break;
        default:
            destinationNext = false;
            character(c);
            break;
        }
    }

    // A character of text: a fallback of \uN to skip, or a byte of the code page.
    void character(char c)
    {
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        byte(c);
    }

    void byte(char c)
    {
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        if (group().skip)
            return;
        if (group().fontTable) {
            if (c == ';')
                pendingFont = -1;
            return;
        }
        bytes.append(c);
        if (bytes.size() >= kMaxPendingBytes)
            flushLongRun();
    }

    // Decodes most of a long run of code-page text: up to its last byte
    // below 0x40, which ends a character in every code page (double-byte
    // code pages have no such lead or trail bytes).
    void flushLongRun()
    {
        int end = bytes.size();
        while (end > 0 && quint8(bytes[end - 1]) >= 0x40)
            --end;
        if (end == 0)
            end = bytes.size();
        const QByteArray rest = bytes.mid(end);
        bytes.truncate(end);
        flushBytes();
        bytes = rest;
    }

    // Decodes the bytes gathered so far together, so a double-byte
    // character written as two \'hh stays one.
    void flushBytes()
    {
        if (bytes.isEmpty())
            return;
        const int page = group().codePage ? group().codePage : documentCodePage;
        lines.append(QStringView(codecOfCodePage(page)->toUnicode(bytes)));
        bytes.clear();
    }

    void text(QStringView s)
    {
        flushBytes();
        if (!group().skip && !group().fontTable)
            lines.append(s);
    }

    void lineEnd()
    {
        flushBytes();
        if (!group().skip && !group().fontTable)
            lines.endLine();
    }

    void symbol(char c)
    {
        const bool first = destinationNext;
        destinationNext = false;
        switch (c) {
        case '\'':
            scan = Scan::HexFirst;
            break;
        case '*':
            if (first)
                unknownSkips = true;
            destinationNext = first;
            break;
        case '~':
            text(u"\u00A0");
            break;
        case '_':
            text(u"-");
            break;
        case '-':
            break;  // an optional hyphen
        case '\\':
        case '{':
        case '}':
            character(c);
            break;
        case '\r':
        case '\n':
            lineEnd();
            break;
        case '\t':
            text(u"\t");
            break;
        default:
            break;
        }
        if (c != '*' && c != '\'')  // a \'hh byte counts when it is read
            consumeFallback();
    }

    // A control word or symbol counts as one of \uN's fallback characters.
    void consumeFallback()
    {
        if (fallbackLeft > 0)
            --fallbackLeft;
    }

    void finishWord()
    {
        if (scan != Scan::Word && scan != Scan::Parameter)
            return;
        scan = Scan::Text;
        const bool first = destinationNext;
        destinationNext = false;
        const bool starred = unknownSkips;
        unknownSkips = false;
        bool hasNumber = false;
        const int n = parameter.toInt(&hasNumber);
        if (word == "bin" && hasNumber && n > 0) {
            flushBytes();
            binaryLeft = n;
            scan = Scan::Binary;
            return;
        }
        if (word == "u" && hasNumber) {
            flushBytes();
            const char16_t unit = char16_t(n < 0 ? n + 65536 : n);
            if (!group().skip && !group().fontTable)
                lines.append(QChar(unit));
            fallbackLeft = group().skipPerUnicode;
            return;
        }
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        if (first && (starred || isSkippedDestination(word))) {
            flushBytes();
            if (word == "fonttbl")
                group().fontTable = true;
            else
                group().skip = true;
            return;
        }
        controlWord(n, hasNumber);
    }

    void controlWord(int n, bool hasNumber)
    {
        if (word == "par" || word == "line" || word == "row" || word == "cell" || word == "sect"
            || word == "page" || word == "nestcell" || word == "nestrow")
            lineEnd();
        else if (word == "tab")
            text(u"\t");
        else if (word == "emdash")
            text(u"\u2014");
        else if (word == "endash")
            text(u"\u2013");
        else if (word == "lquote")
            text(u"\u2018");
        else if (word == "rquote")
            text(u"\u2019");
        else if (word == "ldblquote")
            text(u"\u201C");
        else if (word == "rdblquote")
            text(u"\u201D");
        else if (word == "bullet")
            text(u"\u2022");
        else if (word == "emspace" || word == "enspace" || word == "qmspace")
            text(u" ");
        else if (word == "uc" && hasNumber)
            group().skipPerUnicode = qBound(0, n, 16);
        else if (word == "ansicpg" && hasNumber)
            documentCodePage = n;
        else if (word == "ansi")
            documentCodePage = 1252;
        else if (word == "mac")
            documentCodePage = 10000;
        else if (word == "pc")
            documentCodePage = 437;
        else if (word == "pca")
            documentCodePage = 850;
        else if (word == "f" && hasNumber)
            selectFont(n);
        else if (word == "fcharset" && hasNumber)
            declareFont(codePageOfCharset(n));
        else if (word == "cpg" && hasNumber)
            declareFont(n);
    }

    // The font being declared in the font table has code page `page`.
    void declareFont(int page)
    {
        if (group().fontTable && pendingFont >= 0 && fontPages.size() < kMaxFonts)
            fontPages[pendingFont] = page;
    }

    void selectFont(int font)
    {
        if (group().fontTable) {
            pendingFont = font;
            return;
        }
        flushBytes();
        const auto it = fontPages.find(font);
        group().codePage = it == fontPages.end() ? 0 : it->second;
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    DocumentLines &lines;
    std::vector<Group> groups;
    Scan scan = Scan::Text;
    QByteArray word;
    QByteArray parameter;
    QByteArray bytes;  // code-page bytes not decoded yet
    int hex = 0;
    qint64 binaryLeft = 0;
    int fallbackLeft = 0;          // characters of a \uN fallback still to skip
    bool destinationNext = false;  // the next control word opens the group
    bool unknownSkips = false;     // after \*: an unknown destination
    int documentCodePage = 1252;
    int pendingFont = -1;          // the font being declared in \fonttbl
    std::map<int, int> fontPages;  // font number to code page
    bool closedAll = false;
    DocumentProblem trouble;
};

}  // namespace

DocumentProblem readRtf(int fd, DocumentLines &lines)
{
    FileBytes file(fd);
    RtfParser parser(lines);
    return parser.parse(file);
}
