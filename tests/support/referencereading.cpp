#include "referencereading.h"

#include "codecs.h"

#include <QFile>
#include <QStringList>
#include <QTextCodec>
#include <QTextStream>

namespace {

QString cut80(QString s)
{
    if (s.size() > 80)
        s.resize(80);
    return s;
}

} // namespace

QList<TFileInfo> referenceNormal(const QString &path, const QString &text, Qt::CaseSensitivity cs,
                                 const QString &reportName)
{
    QList<TFileInfo> hits;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return hits;
    QTextStream stream(&file);
    qint64 lineNo = 0;
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        ++lineNo;
        if (line.indexOf(text, 0, cs) != -1)
            hits.append(TFileInfo{reportName, lineNo, cut80(line)});
    }
    return hits;
}

QList<TFileInfo> referenceDeep(const QString &path, const QList<CodecPattern> &patterns,
                               Qt::CaseSensitivity cs, const QString &reportName)
{
    QList<TFileInfo> hits;
    QList<qint64> reported;
    for (const CodecPattern &entry : patterns) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextStream stream(&file);
        stream.setAutoDetectUnicode(false);
        stream.setCodec(entry.codec);
        qint64 lineNo = 0;
        while (!stream.atEnd()) {
            const QString line = stream.readLine();
            ++lineNo;
            if (line.indexOf(entry.text, 0, cs) == -1 || reported.contains(lineNo))
                continue;
            reported.append(lineNo);
            QString converted;
            convertThroughCodecs(line, entry.codec, converted, QTextCodec::codecForName("gb18030"));
            hits.append(TFileInfo{reportName,
                                  lineNo,
                                  QLatin1Char('[') + QString::fromLatin1(entry.codec->name())
                                      + QLatin1String("]\t") + cut80(converted)});
        }
    }
    return hits;
}

QString describeHits(const QList<TFileInfo> &hits)
{
    QStringList out;
    for (const TFileInfo &h : hits)
        out << QString::number(h.lineNo) + QLatin1Char(':') + h.lineText;
    return out.join(QLatin1String(" | "));
}
