#ifndef BYTESEARCH_H
#define BYTESEARCH_H

#include <QByteArray>

#include <cstddef>

// A byte string to look for in raw file data. ASCII letters marked in
// `foldMask` (0x20) match in either case; every other byte matches itself.
class ByteNeedle
{
public:
    ByteNeedle() = default;
    ByteNeedle(const QByteArray &bytes, bool foldAsciiLetters);
    // `foldMask` holds 0x20 at each ASCII letter that matches in either case.
    ByteNeedle(const QByteArray &bytes, const QByteArray &foldMask);

    bool isEmpty() const { return folded.isEmpty(); }
    // Identifies the needle, e.g. as a cache key.
    const QByteArray &key() const { return identity; }
    int size() const { return folded.size(); }

    // Offset of the first occurrence in [data, data + length), or `length`.
    size_t findIn(const char *data, size_t length) const;

private:
    bool matchesAt(const char *p) const;

    QByteArray folded;    // the needle with its foldable letters in lower case
    QByteArray foldMask;  // 0x20 where the byte is a letter that folds, else 0
    QByteArray identity;  // folded, a NUL and foldMask
};

// Number of bytes equal to `byte` in [data, data + length).
size_t countByte(const char *data, size_t length, char byte);

#endif  // BYTESEARCH_H
