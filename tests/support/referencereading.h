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

// Deep mode: one pass per codec pattern, each line number reported once.
QList<TFileInfo> referenceDeep(const QString &path, const QList<CodecPattern> &patterns,
                               Qt::CaseSensitivity cs, const QString &reportName = QStringLiteral("f"));

// "line:text" of each hit, joined with " | ", for failure messages.
QString describeHits(const QList<TFileInfo> &hits);

#endif // REFERENCEREADING_H
