#include "searchinput.h"

#include <QDir>

QStringList namePatterns(const QString &field)
{
    QStringList patterns;
    for (const QString &part : field.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            patterns << trimmed;
    }
    return patterns;
}

QStringList directoryParts(const QString &field)
{
    return QDir::toNativeSeparators(field.trimmed()).split(QLatin1Char(';'), Qt::KeepEmptyParts);
}
