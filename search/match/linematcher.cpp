#include "linematcher.h"

namespace {

constexpr int kExpressionWindow = 1 << 22;
constexpr int kExpressionOverlap = 1 << 16;

}  // namespace

LineMatcher::LineMatcher(const TextQuery &query, int headChars)
    : query(query), headChars(headChars), maxHeadChars(headChars), headLimit(headChars)
{
}

void LineMatcher::setHeadCheck(HeadCheck check, int maxChars)
{
    headCheck = std::move(check);
    maxHeadChars = qMax(headChars, maxChars);
}

bool LineMatcher::headGrows(const QString &head, int *limit) const
{
    if (*limit >= maxHeadChars || !headCheck || headCheck(head))
        return false;
    *limit = int(qMin<qint64>(maxHeadChars, qint64(*limit) * 2));
    return true;
}

QString LineMatcher::headOf(const QString &line) const
{
    int limit = headChars;
    while (line.size() > limit && headGrows(line.left(limit), &limit)) { }
    return line.left(limit);
}

void LineMatcher::begin()
{
    headText.clear();
    headLimit = headChars;
    headClosed = false;
    carry.clear();
    heldCr = false;
    length = 0;
    found = false;
}

void LineMatcher::search(const QString &chars)
{
    if (found)
        return;
    found = query.matches(chars);
    // One more character than the text, so that a surrogate pair or a folded
    // character split at the edge is still seen whole.
    carry = chars.right(query.literal().size());
}

void LineMatcher::keepHead(const QChar *chars, int count)
{
    while (count > 0 && !headClosed) {
        const int room = headLimit - headText.size();
        if (room <= 0) {
            headClosed = !headGrows(headText, &headLimit);
            continue;
        }
        const int taken = qMin(room, count);
        headText.append(chars, taken);
        chars += taken;
        count -= taken;
    }
}

void LineMatcher::feed(const QChar *chars, int count)
{
    if (count <= 0)
        return;
    keepHead(chars, count);
    length += count;
    if (found)
        return;
    if (!query.isLiteral()) {
        gather(chars, count);
        return;
    }

    QString window = carry;
    if (heldCr)
        window.append(QLatin1Char('\r'));
    heldCr = chars[count - 1] == QLatin1Char('\r');
    window.append(chars, heldCr ? count - 1 : count);
    search(window);
}

void LineMatcher::gather(const QChar *chars, int count)
{
    if (heldCr)
        carry.append(QLatin1Char('\r'));
    heldCr = chars[count - 1] == QLatin1Char('\r');
    carry.append(chars, heldCr ? count - 1 : count);
    if (carry.size() > kExpressionWindow) {
        found = query.matches(carry);
        carry = carry.right(kExpressionOverlap);
    }
}

void LineMatcher::finish(bool dropFinalCr)
{
    if (!query.isLiteral()) {
        if (heldCr && dropFinalCr && length == headText.size())
            headText.chop(1);
        if (heldCr && !dropFinalCr)
            carry.append(QLatin1Char('\r'));
        if (!found)
            found = query.matches(carry);
        heldCr = false;
        return;
    }
    if (heldCr) {
        if (dropFinalCr) {
            if (length == headText.size())
                headText.chop(1);  // the head holds the whole line
        } else {
            search(carry + QLatin1Char('\r'));
        }
    }
    heldCr = false;
}
