#ifndef CODECS_H
#define CODECS_H

#include <QString>

class QTextCodec;

// The codec the program calls "system": the toolkit's "system" codec where it
// exists, else the locale codec. Never null.
QTextCodec *systemCodec();

// Encodes and decodes `input` with `source`, then encodes and decodes the
// result with `target`, and assigns it to `output`. Neither codec may be null.
void convertThroughCodecs(const QString &input, QTextCodec *source, QString &output,
                          QTextCodec *target);

#endif // CODECS_H
