#ifndef SHEETROW_H
#define SHEETROW_H

#include <QString>

class DocumentLines;

// A number as a spreadsheet's General format shows it: 15 significant digits,
// no trailing zeros, an exponent only for very large or small values.
QString generalNumberText(double value);
// The same for a number stored as text (a cell's value in the file); the
// text itself when it is no number. Most stored values already read as
// General shows them and are returned without converting.
QString generalNumberText(const QString &stored);

// Builds a spreadsheet row's line: cells joined by a tab in column order,
// a tab for each empty cell between two that hold text, nothing for empty
// cells at the end.
class SheetRow
{
public:
    // Columns beyond the widest sheet any spreadsheet program makes are dropped.
    static constexpr int kMaxColumns = 16384;
    // Text of a row beyond this many characters is dropped, so a row of
    // huge repeated cells costs bounded time.
    static constexpr qint64 kMaxRowChars = 4 << 20;

    explicit SheetRow(DocumentLines &lines) : lines(lines) { }

    // The cell at 0-based `column` (-1: the one after the last) holds `text`.
    void setCell(int column, const QString &text);
    // `count` cells in a row hold `text` (a repeated cell).
    void addCells(const QString &text, int count);
    // Ends the row: its line goes out when it holds text.
    void end();

private:
    DocumentLines &lines;
    int next = 0;     // the column after the last cell given
    int written = 0;  // the last column with text
    bool any = false;
    qint64 rowChars = 0;  // characters given to the row so far
};

#endif  // SHEETROW_H
