#ifndef SINGLEBYTECODEC_H
#define SINGLEBYTECODEC_H

#include "bytesearch.h"

#include <QString>
#include <QVector>

class QTextCodec;

// A codec that turns every byte into one character of its own, whatever
// surrounds it, and exactly one byte into a line feed (0x0A, or 0x25 in
// EBCDIC). Its lines are the same byte ranges for every such codec with the
// same line-feed byte, and a text occurs in a decoded line exactly where the
// bytes that decode to its characters occur.
class SingleByteCodec
{
public:
    // The table of `codec`, or null when it is not such a codec. Computed
    // once per codec; call from one thread at a time.
    static const SingleByteCodec *of(QTextCodec *codec);

    enum class Needle { Found, NeverMatches, NotByteSearchable };
    // The bytes a line must hold to contain `text` in this codec's decoding.
    Needle needleFor(const QString &text, Qt::CaseSensitivity cs, ByteNeedle *needle) const;

    QString decode(const char *data, qint64 size) const;
    QChar decodedByte(uchar byte) const { return decoded[byte]; }
    char lineFeed() const { return feedByte; }

private:
    QChar decoded[256];
    char feedByte = '\n';
};

// One line of raw data: its number and byte range, with or without its line feed.
struct LineSpan
{
    qint64 lineNo;
    qint64 start;
    qint64 end;
    bool endsWithFeed;
};

// The lines of data[0, size) that hold `needle`, split at `lineFeed` as
// QTextStream splits the decoded text.
QVector<LineSpan> linesHolding(const char *data, qint64 size, const ByteNeedle &needle,
                               char lineFeed);

#endif // SINGLEBYTECODEC_H
