#include "sheetrow.h"

#include "documentlines.h"

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
