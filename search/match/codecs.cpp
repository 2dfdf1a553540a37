#include "codecs.h"

#include <QTextCodec>

QTextCodec *systemCodec()
{
    if (QTextCodec *codec = QTextCodec::codecForName("system"))
        return codec;
    return QTextCodec::codecForLocale();
}

void convertThroughCodecs(const QString &input, QTextCodec *source, QString &output,
                          QTextCodec *target)
{
    Q_ASSERT(source && target);
    const QString throughSource = source->toUnicode(source->fromUnicode(input));
    output = target->toUnicode(target->fromUnicode(throughSource));
}
