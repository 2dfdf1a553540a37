#include "sheetrow.h"

#include "documentlines.h"

QString generalNumberText(double value)
{
    return QString::number(value, 'g', 15);
}

namespace {

// Whether `stored` is a decimal that General shows unchanged: no sign but a
// leading "-", no leading or trailing zeros, no exponent, at most 15
// significant digits, and a magnitude General writes without an exponent.
bool showsAsStored(const QString &stored)
{
    int i = stored.startsWith(QLatin1Char('-')) ? 1 : 0;
    const int intStart = i;
    while (i < stored.size() && stored[i].isDigit() && stored[i].unicode() < 0x80)
        ++i;
    const int intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && stored[intStart] == QLatin1Char('0')))
        return false;
    const bool zeroInt = stored[intStart] == QLatin1Char('0');
    if (i == stored.size())
        return intDigits <= 15 && !(zeroInt && intStart == 1);  // "-0" reads as 0
    if (stored[i] != QLatin1Char('.'))
        return false;
    const int fracStart = ++i;
    while (i < stored.size() && stored[i].isDigit() && stored[i].unicode() < 0x80)
        ++i;
    const int fracDigits = i - fracStart;
    if (i != stored.size() || fracDigits == 0 || stored.back() == QLatin1Char('0'))
        return false;
    if (!zeroInt)
        return intDigits + fracDigits <= 15;
    // 0.000123 is shown so, 0.0000123 as 1.23e-05.
    int zeros = 0;
    while (stored[fracStart + zeros] == QLatin1Char('0'))
        ++zeros;
    return zeros <= 3 && fracDigits - zeros <= 15;
}

}  // namespace

QString generalNumberText(const QString &stored)
{
    if (showsAsStored(stored))
        return stored;
    bool number = false;
    const double d = stored.toDouble(&number);
    return number ? generalNumberText(d) : stored;
}

void SheetRow::setCell(int column, const QString &text)
{
    if (column >= next)
        next = column;  // cells out of order fall in after the last
    addCells(text, 1);
}

void SheetRow::addCells(const QString &text, int count)
{
    if (text.isEmpty()) {
        next = qMin(kMaxColumns, next + count);
        return;
    }
    for (int i = 0; i < count && next < kMaxColumns && !lines.stopped(); ++i, ++next) {
        rowChars += text.size();
        if (rowChars > kMaxRowChars)
            return;
        // A tab after each column before this one, from the last with text on
        // (a row's first cell keeps its column).
        const int tabs = any ? next - written : next;
        for (int tab = 0; tab < tabs; ++tab)
            lines.append(QLatin1Char('\t'));
        lines.append(text);
        written = next;
        any = true;
    }
}

void SheetRow::end()
{
    lines.endLine();
    next = 0;
    written = 0;
    any = false;
    rowChars = 0;
}
