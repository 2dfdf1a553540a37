#include "pathcodec.h"

#include "localecodec.h"

#include <QTextCodec>

namespace {

constexpr ushort kEscapeBase = 0xDC00;
constexpr int kUtf8Mib = 106;

bool isAscii(const char *bytes, int size)
{
    for (int i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at `p` (at most `left` bytes),
// with its code point in `code`; 0 when the bytes there are none: overlong
// forms, surrogates and code points above U+10FFFF are not UTF-8.
int utf8Sequence(const unsigned char *p, int left, uint *code)
{
    const unsigned char b = p[0];
    int length;
    uint lowest;
    if (b < 0x80) {
        *code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    uint value = b & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

QString decodeUtf8(const char *bytes, int size)
{
    QString text;
    text.reserve(size);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    int i = 0;
    while (i < size) {
        uint code = 0;
        const int length = utf8Sequence(p + i, size - i, &code);
        if (length == 0) {
            text += QChar(ushort(kEscapeBase + p[i]));
            ++i;
        } else if (QChar::requiresSurrogates(code)) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
            i += length;
        } else {
            text += QChar(ushort(code));
            i += length;
        }
    }
    return text;
}

// The character that `bytes` decode to in `codec` when they decode to exactly
// one and encode back to themselves; empty otherwise.
QString oneCharacter(QTextCodec *codec, const char *bytes, int size)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    QString decoded = codec->toUnicode(bytes, size, &state);
    const bool single = decoded.size() == 1
            || (decoded.size() == 2 && decoded.at(0).isHighSurrogate()
                && decoded.at(1).isLowSurrogate());
    if (!single || state.invalidChars != 0 || state.remainingChars != 0
        || decoded.at(0) == QChar::ReplacementCharacter || decoded.at(0).unicode() == 0)
        return QString();
    if (codec->fromUnicode(decoded) != QByteArray::fromRawData(bytes, size))
        return QString();
    return decoded;
}

// A locale other than UTF-8 (GBK, Shift_JIS, a single-byte code page): the
// longest run of bytes at each place that decodes to one character and back.
QString decodeWithCodec(QTextCodec *codec, const char *bytes, int size)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    QString whole = codec->toUnicode(bytes, size, &state);
    if (state.invalidChars == 0 && state.remainingChars == 0 && !hasUndecodedBytes(whole)
        && codec->fromUnicode(whole) == QByteArray::fromRawData(bytes, size))
        return whole;

    QString text;
    int i = 0;
    while (i < size) {
        QString character;
        int taken = 0;
        for (int length = qMin(4, size - i); length >= 1 && character.isEmpty(); --length) {
            character = oneCharacter(codec, bytes + i, length);
            taken = length;
        }
        if (character.isEmpty() || hasUndecodedBytes(character)) {
            text += QChar(ushort(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            text += character;
            i += taken;
        }
    }
    return text;
}

}  // namespace

QString decodePath(const char *bytes, int size)
{
    if (isAscii(bytes, size))
        return QString::fromLatin1(bytes, size);
    QTextCodec *codec = systemCodec();
    if (codec->mibEnum() == kUtf8Mib)
        return decodeUtf8(bytes, size);
    return decodeWithCodec(codec, bytes, size);
}

QString decodePath(const QByteArray &bytes)
{
    return decodePath(bytes.constData(), bytes.size());
}

int undecodedByteAt(const QString &path, int index)
{
    const ushort u = path.at(index).unicode();
    if (u < 0xDC80 || u > 0xDCFF)
        return -1;
    if (index > 0 && path.at(index - 1).isHighSurrogate())
        return -1;  // the second half of a pair
    return int(u - kEscapeBase);
}

bool hasUndecodedBytes(const QString &path)
{
    for (int i = 0; i < path.size(); ++i) {
        if (undecodedByteAt(path, i) >= 0)
            return true;
    }
    return false;
}

QByteArray encodePath(const QString &path)
{
    QTextCodec *codec = systemCodec();
    if (!hasUndecodedBytes(path))
        return codec->fromUnicode(path);
    QByteArray bytes;
    int runStart = 0;
    for (int i = 0; i < path.size(); ++i) {
        const int byte = undecodedByteAt(path, i);
        if (byte < 0)
            continue;
        bytes += codec->fromUnicode(path.constData() + runStart, i - runStart);
        bytes += char(byte);
        runStart = i + 1;
    }
    bytes += codec->fromUnicode(path.constData() + runStart, path.size() - runStart);
    return bytes;
}
