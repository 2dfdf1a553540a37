#include "contentmatcher.h"

#include "codecs.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextStream>

namespace {

constexpr int kMaxLineText = 80;

} // namespace

void ContentMatcher::searchFile(const QString &path, QList<TFileInfo> &hits,
                                const QString &reportName) const
{
    if (QFileInfo(path).isDir())
        return;

    if (!deepSearch) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        QTextStream stream(&file);
        stream.setCodec(localeCodec ? localeCodec : systemCodec());
        int lineNo = 0;
        while (!stream.atEnd()) {
            if (isCancelled())
                return;
            QString line = stream.readLine();
            ++lineNo;
            if (line.indexOf(grepText, 0, caseSensitivity) == -1)
                continue;
            if (line.size() > kMaxLineText)
                line.resize(kMaxLineText);
            hits.append(TFileInfo{reportName, lineNo, line});
        }
        return;
    }

    QTextCodec *const hitCodec = QTextCodec::codecForName("gb18030");
    QList<int> reportedLines;
    for (const CodecPattern &entry : codecPatterns) {
        if (isCancelled())
            return;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextStream stream(&file);
        stream.setAutoDetectUnicode(false);
        stream.setCodec(entry.codec);
        const QString prefix =
            QLatin1Char('[') + QString::fromLatin1(entry.codec->name()) + QLatin1String("]\t");
        int lineNo = 0;
        while (!stream.atEnd()) {
            if (isCancelled())
                return;
            const QString line = stream.readLine();
            ++lineNo;
            if (line.indexOf(entry.text, 0, caseSensitivity) == -1 || reportedLines.contains(lineNo))
                continue;
            reportedLines.append(lineNo);
            QString converted;
            convertThroughCodecs(line, entry.codec, converted, hitCodec ? hitCodec : entry.codec);
            if (converted.size() > kMaxLineText)
                converted.resize(kMaxLineText);
            hits.append(TFileInfo{reportName, lineNo, prefix + converted});
        }
    }
}

bool ContentMatcher::matchesName(const QString &memberName) const
{
    const QString baseName = memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1);
    for (const QRegExp &rx : nameRegExps) {
        if (rx.exactMatch(baseName))
            return true;
    }
    return false;
}
