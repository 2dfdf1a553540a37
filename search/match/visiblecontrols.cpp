#include "visiblecontrols.h"

namespace {

bool hasControls(const QString &text)
{
    for (const QChar c : text) {
        if (isShownControl(c.unicode()))
            return true;
    }
    return false;
}

}  // namespace

QString withVisibleControls(const QString &text)
{
    if (!hasControls(text))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (!isShownControl(u))
            shown += c;
        else if (u < 0x20)
            shown += QChar(0x2400 + u);
        else if (u == 0x7f)
            shown += QChar(0x2421);
        else
            shown += QLatin1String("\\x") + QString::number(u, 16).toUpper();
    }
    return shown;
}
