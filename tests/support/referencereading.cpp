#include "referencereading.h"

#include "codecs.h"
#include "fileencoding.h"

#include <QFile>
#include <QMap>
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

// The file's lines as byte ranges, each with its line feed unit.
QList<QByteArray> fileLines(const QByteArray &bytes, const LineLayout &layout)
{
    QList<QByteArray> lines;
    const int unit = layout.unitBytes;
    QByteArray feed(unit, '\0');
    feed[unit == 1 ? 0 : layout.bigEndian ? unit - 1 : 0] = unit == 1 ? layout.lineFeed : '\n';
    int start = 0;
    for (int pos = 0; pos + unit <= bytes.size(); pos += unit) {
        if (bytes.mid(pos, unit) == feed) {
            lines.append(bytes.mid(start, pos + unit - start));
            start = pos + unit;
        }
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

bool hasReplacement(const QString &line)
{
    for (const QChar c : line) {
        if (c == QChar(0xFFFD) || c == QChar(0x1A) || (c.unicode() >= 0x80 && c.unicode() <= 0x9F))
            return true;
    }
    return false;
}

struct Match
{
    int codec;  // index of the pattern
    bool clean;
    QString line;
};

}  // namespace

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
            hits.append(TFileInfo {reportName, lineNo, cut80(line)});
    }
    return hits;
}

QList<TFileInfo> referenceDeep(const QString &path, const QList<CodecPattern> &patterns,
                               Qt::CaseSensitivity cs, const QString &reportName)
{
    QList<TFileInfo> hits;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return hits;
    const QByteArray bytes = file.readAll();
    const FileEncoding own = detectFileEncoding(bytes.constData(), bytes.size(), true);
    const QList<QByteArray> lines = fileLines(bytes, own.lines);

    // Every codec reads every line, its decoder going on from line to line.
    QMap<qint64, QList<Match>> matches;
    for (int i = 0; i < patterns.size(); ++i) {
        QTextCodec *const codec = patterns[i].codec;
        QTextCodec::ConverterState state;
        for (int n = 0; n < lines.size(); ++n) {
            QString line = codec->toUnicode(lines[n].constData(), lines[n].size(), &state);
            const bool feed = line.endsWith(QLatin1Char('\n'));
            if (feed)
                line.chop(1);
            if ((feed || n == lines.size() - 1) && line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.indexOf(patterns[i].text, 0, cs) != -1)
                matches[n + 1].append(Match {i, !hasReplacement(line), line});
        }
    }

    // The file's own codec names a line it matches; else the first codec
    // whose decoding has no replacement character; else the first.
    QMap<QPair<int, qint64>, Match> named;
    for (auto it = matches.constBegin(); it != matches.constEnd(); ++it) {
        const QList<Match> &found = it.value();
        const Match *pick = &found.first();
        bool ownFound = false;
        for (const Match &m : found) {
            if (own.codec && patterns[m.codec].codec->name() == own.codec->name()) {
                pick = &m;
                ownFound = true;
                break;
            }
        }
        for (const Match &m : found) {
            if (ownFound)
                break;
            if (m.clean) {
                pick = &m;
                break;
            }
        }
        // An entry listed twice is grouped at its first place.
        int first = 0;
        while (patterns[first].codec != patterns[pick->codec].codec
               || patterns[first].text != patterns[pick->codec].text)
            ++first;
        named.insert(qMakePair(first, it.key()), *pick);
    }
    for (auto it = named.constBegin(); it != named.constEnd(); ++it) {
        QTextCodec *const codec = patterns[it->codec].codec;
        QString converted;
        convertThroughCodecs(it->line, codec, converted, QTextCodec::codecForName("gb18030"));
        converted.replace(QLatin1Char('\n'), QLatin1Char(' '));
        hits.append(TFileInfo {reportName, it.key().second,
                               QLatin1Char('[') + QString::fromLatin1(codec->name())
                                       + QLatin1String("]\t") + cut80(converted)});
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
