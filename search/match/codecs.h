#ifndef CODECS_H
#define CODECS_H

#include "localecodec.h"  // systemCodec() and localeCodec(), which the engine's base needs

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextCodec>

// `bytes` decoded by a fresh decoder of `codec` that is not flushed at the
// end (bytes of an unfinished sequence stay pending instead of turning into
// replacement characters).
QString decodeFresh(QTextCodec *codec, const QByteArray &bytes,
                    QTextCodec::ConversionFlags flags = QTextCodec::IgnoreHeader);
// Qt's UTF-8 codec, looked up once (a lookup takes Qt's codec lock).
QTextCodec *utf8Codec();

// `text` encoded with `codec`, a byte-order mark included where the codec
// writes one. Qt's UTF-32 encoders allocate four bytes per UTF-16 unit and
// write four per code point, leaving four uninitialised bytes per surrogate
// pair at the end: those are cut off.
QByteArray encodeText(QTextCodec *codec, const QString &text);

// True when `bytes` decode in `codec` without a replacement character and
// encode back to the same bytes.
bool decodesCleanly(QTextCodec *codec, const QByteArray &bytes);

// Encodes and decodes `input` with `source`, then encodes and decodes the
// result with `target`, and assigns it to `output`. Neither codec may be null.
void convertThroughCodecs(const QString &input, QTextCodec *source, QString &output,
                          QTextCodec *target);

// Codecs of ICU's converters that QTextCodec::availableMibs() leaves out, in
// ICU's order, one per converter: through Qt where Qt knows the name, else
// through ICU directly. Converters that take microseconds per byte are left
// out. Built once; call from one thread at a time.
const QList<QTextCodec *> &unlistedCodecs();

#endif  // CODECS_H
