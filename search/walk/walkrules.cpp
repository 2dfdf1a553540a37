#include "walkrules.h"

#include <QRegularExpression>

bool WalkRules::passes(bool isFolder, qint64 size, qint64 modified) const
{
    if (limitsSize() && (isFolder || size <= minSize || size >= maxSize))
        return false;
    return modified > newerThan && modified < olderThan;
}

bool parseSizeCondition(const QString &text, bool *larger, qint64 *bytes)
{
    static const QRegularExpression form(QStringLiteral("^([+-])(\\d{1,15})([kmgt]?)b?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    *larger = match.captured(1) == QLatin1String("+");
    qint64 value = match.captured(2).toLongLong();
    const QString unit = match.captured(3).toLower();
    const int shifts = unit.isEmpty() ? 0 : QStringLiteral("kmgt").indexOf(unit) + 1;
    for (int i = 0; i < shifts; ++i) {
        if (value > std::numeric_limits<qint64>::max() / 1024)
            return false;
        value *= 1024;
    }
    *bytes = value;
    return true;
}

bool parseTimeCondition(const QString &text, const QDateTime &now, qint64 *seconds)
{
    static const QRegularExpression duration(QStringLiteral("^(\\d{1,9})\\s*(s|m|min|h|d|w)$"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = duration.match(trimmed);
    if (match.hasMatch()) {
        const QString unit = match.captured(2);
        const qint64 each = unit == QLatin1String("s") ? 1
                : unit == QLatin1String("h")           ? 3600
                : unit == QLatin1String("d")           ? 86400
                : unit == QLatin1String("w")           ? 7 * 86400
                                                       : 60;
        *seconds = now.toSecsSinceEpoch() - match.captured(1).toLongLong() * each;
        return true;
    }
    for (const char *format : {"yyyy-MM-dd", "yyyy-MM-dd hh:mm", "yyyy-MM-dd hh:mm:ss",
                               "yyyy-MM-ddThh:mm", "yyyy-MM-ddThh:mm:ss"}) {
        const QDateTime when = QDateTime::fromString(trimmed, QLatin1String(format));
        if (when.isValid()) {
            *seconds = when.toSecsSinceEpoch();
            return true;
        }
    }
    return false;
}
