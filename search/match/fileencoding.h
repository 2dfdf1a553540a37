#ifndef FILEENCODING_H
#define FILEENCODING_H

#include "linelayout.h"

class QTextCodec;

// A file's own encoding, where it can be told, and the lines it makes.
struct FileEncoding
{
    QTextCodec *codec = nullptr;  // null when the encoding cannot be told
    LineLayout lines;             // one-byte lines at 0x0A when it cannot
};

// Tells the encoding of a file from its first `size` bytes (`complete` when
// they are the whole file): a byte-order mark, else valid UTF-8 (an ASCII
// file is one), else uchardet's guess where it makes one that Qt knows.
FileEncoding detectFileEncoding(const char *data, qint64 size, bool complete);

// True when data[0, size) is UTF-8 without an invalid sequence; a sequence
// cut by the end counts as valid unless `complete`.
bool isValidUtf8(const char *data, qint64 size, bool complete);

#endif  // FILEENCODING_H
