#ifndef CHARSETDETECTOR_H
#define CHARSETDETECTOR_H

#include <QtGlobal>

class QTextCodec;

// The codec uchardet picks for `data`, where it makes a pick that Qt's codec
// layer knows; null otherwise.
QTextCodec *detectCharset(const char *data, qint64 size);

#endif  // CHARSETDETECTOR_H
