#ifndef REFERENCEREADING_H
#define REFERENCEREADING_H

#include "codecpattern.h"
#include "tfileinfo.h"

#include <QList>
#include <QString>

// The straightforward reading of a file with QTextStream, one readLine per
// line, that the content matcher's fast reading must agree with. Every hit is
// named `reportName`.

// Normal mode: the stream's defaults (locale codec, Unicode detection).
QList<TFileInfo> referenceNormal(const QString &path, const QString &text, Qt::CaseSensitivity cs,
                                 const QString &reportName = QStringLiteral("f"));

// Deep mode: every codec decodes every line of the file (lines as the file's
// own encoding cuts them, where detectFileEncoding tells it), going on from
// line to line; a line is reported once, named by the file's own codec where
// that matches, else by the first codec whose decoding of it holds no
// replacement character, else by the first that matches.
QList<TFileInfo> referenceDeep(const QString &path, const QList<CodecPattern> &patterns,
                               Qt::CaseSensitivity cs,
                               const QString &reportName = QStringLiteral("f"));

// "line:text" of each hit, joined with " | ", for failure messages.
QString describeHits(const QList<TFileInfo> &hits);

#endif  // REFERENCEREADING_H
