#include "linematcher.h"

LineMatcher::LineMatcher(const QString &text, Qt::CaseSensitivity cs, int headChars)
    : text(text), cs(cs), headChars(headChars)
{
}

void LineMatcher::begin()
{
    headText.clear();
    carry.clear();
    heldCr = false;
    length = 0;
    found = false;
}

void LineMatcher::search(const QString &chars)
{
    if (found)
        return;
    found = chars.indexOf(text, 0, cs) != -1;
    // One more character than the text, so that a surrogate pair or a folded
    // character split at the edge is still seen whole.
    carry = chars.right(text.size());
}

void LineMatcher::feed(const QChar *chars, int count)
{
    if (count <= 0)
        return;
    const int headRoom = headChars - int(qMin<qint64>(length, headChars));
    if (headRoom > 0)
        headText.append(chars, qMin(headRoom, count));
    length += count;
    if (found)
        return;

    QString window = carry;
    if (heldCr)
        window.append(QLatin1Char('\r'));
    heldCr = chars[count - 1] == QLatin1Char('\r');
    window.append(chars, heldCr ? count - 1 : count);
    search(window);
}

void LineMatcher::finish(bool dropFinalCr)
{
    if (heldCr) {
        if (dropFinalCr) {
            if (length <= headChars)
                headText.chop(1);
        } else {
            search(carry + QLatin1Char('\r'));
        }
    }
    heldCr = false;
}
