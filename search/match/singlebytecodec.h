#ifndef SINGLEBYTECODEC_H
#define SINGLEBYTECODEC_H

#include "bytesearch.h"

#include <QString>

class QTextCodec;

// Which of the 256 byte values occur in some data.
struct ByteSet
{
    quint64 bits[4] = {};

    bool has(uchar byte) const { return bits[byte >> 6] >> (byte & 63) & 1; }
    void addAll(const char *data, qint64 size);
};

// A codec that turns every byte into one character of its own, whatever
// surrounds it, as long as the data holds none of its trigger bytes (bytes
// that start a longer sequence or switch a state: GBK's lead bytes, HZ's
// "~", UTF-7's "+"). On such data a text occurs in a decoded line exactly
// where the bytes that decode to its characters occur.
class SingleByteCodec
{
public:
    // The table of `codec`, or null when no set of its bytes decodes byte by
    // byte. Where the bytes from 0x80 up do not, they all count as triggers.
    // Computed once per codec; safe from any thread.
    static const SingleByteCodec *of(QTextCodec *codec);

    // True when data with the bytes of `present` decodes byte by byte.
    bool decodesByteByByte(const ByteSet &present) const;
    bool isTrigger(uchar byte) const { return trigger[byte]; }
    bool hasTriggers() const { return triggers > 0; }

    enum class Needle { Found, NeverMatches, NotByteSearchable };
    // The bytes a line without trigger bytes must hold to contain `text`.
    Needle needleFor(const QString &text, Qt::CaseSensitivity cs, ByteNeedle *needle) const;

    QString decode(const char *data, qint64 size) const;
    QChar decodedByte(uchar byte) const { return decoded[byte]; }
    // Bytes the decoder holds back until more come (ICU's ISCII converters
    // wait for one, which may combine): a stream's piece decodes to the held
    // bytes before it and its own bytes but the last `lag`.
    int lag() const { return heldBack; }

private:
    bool decodesAlike(QTextCodec *codec) const;

    QChar decoded[256];
    int heldBack = 0;
    bool trigger[256] = {};
    quint64 triggerBits[4] = {};
    int triggers = 0;
};

#endif  // SINGLEBYTECODEC_H
