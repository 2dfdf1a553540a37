#include "hitjson.h"

#include "pathcodec.h"

namespace {

void appendUtf8(QByteArray &out, uint code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

}  // namespace

void appendJsonPath(QByteArray &out, const char *key, const QString &path)
{
    out += '"';
    out += key;
    out += "\": ";
    appendJsonString(out, path);
    if (!hasUndecodedBytes(path))
        return;
    out += ", \"";
    out += key;
    out += "_bytes\": \"";
    out += encodePath(path).toBase64();
    out += '"';
}

void appendJsonString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        switch (c) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\b':
            out += "\\b";
            continue;
        case '\f':
            out += "\\f";
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(c, text.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    out += '"';
}

QByteArray jsonDirField(const QString &dirName)
{
    QByteArray field;
    appendJsonPath(field, "dir", dirName);
    return field;
}

void appendHitJson(QByteArray &out, const QByteArray &dirField, const TFileInfo &hit)
{
    out += '{';
    out += dirField;
    out += ", ";
    appendJsonPath(out, "file", hit.fileName);
    out += ", \"line\": ";
    out += QByteArray::number(hit.lineNo);
    out += ", \"text\": ";
    appendJsonString(out, hit.lineText);
    out += "}\n";
}
