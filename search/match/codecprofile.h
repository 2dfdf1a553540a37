#ifndef CODECPROFILE_H
#define CODECPROFILE_H

#include "linelayout.h"

#include <QByteArray>
#include <QList>

#include <mutex>

class QTextCodec;
class SingleByteCodec;

// What deep search may assume of a codec's decoder, learnt once per codec
// from probe bytes, so that it can decode a file only around the lines that
// may hold the text instead of all of it.
struct CodecProfile
{
    // Decodes byte by byte on data without its trigger bytes; may be null.
    const SingleByteCodec *table = nullptr;
    // UTF-16 or UTF-32: fixed code units of `units.unitBytes` bytes, each
    // decoded alone. With `unitsFollowMark` the byte order is the one of the
    // byte-order mark the data starts with, else the one in `units`.
    bool fixedUnits = false;
    bool unitsFollowMark = false;
    LineLayout units;
    // A UTF-32 unit beyond U+10FFFF decodes to some letter and a low
    // surrogate (Qt's decoder splits it unchecked) instead of U+FFFD.
    bool junkUnitsMakeLetters = false;
    // BOCU-1: each character is coded as its distance from the one before, so
    // a text's bytes after its first character are fixed, not those before.
    bool differenceCoded = false;
    // The layout of its lines: `units`, or one byte per unit with its
    // encoding of a line feed.
    LineLayout lines;

    // Computed once per codec; safe from any thread.
    static const CodecProfile &of(QTextCodec *codec);

    struct LineRestart
    {
        // After a line feed byte (0x0A) the decoder is as new: each line of a
        // one-byte layout decodes alone to what it decodes to in the stream,
        // on data that holds none of `unlessOpened` (HZ's "~{" switches to
        // GB2312 until "~}", across line ends).
        bool restartsAtLineFeed = false;
        QList<QByteArray> unlessOpened;
        // Per ASCII character: it comes only from its own byte, never from a
        // longer sequence, so a line holding it holds that byte.
        bool asciiAnchored[128] = {};
    };
    // Probed on first use, as few files need it; safe from any thread.
    const LineRestart &lineRestart() const;

private:
    QTextCodec *codec = nullptr;
    mutable std::once_flag restartProbed;
    mutable LineRestart restart;
};

// The line layout of data in `codec`'s encoding: its encoding of a line feed.
LineLayout lineLayoutOf(QTextCodec *codec);

#endif  // CODECPROFILE_H
