#ifndef ASCIICODECS_H
#define ASCIICODECS_H

#include <QtGlobal>

class QTextCodec;

// True when `codec` decodes every byte string of ASCII bytes to the same
// characters, one per byte: then all such codecs read an ASCII file alike.
// Probed once per codec with strings holding every pair and every triple of
// ASCII bytes (stateful codecs show their escapes within three bytes); call
// from one thread at a time.
bool decodesAsciiAsItself(QTextCodec *codec);

// True when every byte of data[0, size) is below 0x80.
bool isAsciiOnly(const char *data, qint64 size);

#endif // ASCIICODECS_H
