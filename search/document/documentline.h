#ifndef DOCUMENTLINE_H
#define DOCUMENTLINE_H

#include <QString>

#include <functional>

// Where a line of a document stands: the page of a PDF or a drawing, the
// sheet of a spreadsheet, the slide of a presentation; nothing elsewhere.
struct DocumentPlace
{
    enum class Kind { None, Page, Sheet, Slide };

    Kind kind = Kind::None;
    int number = 0;  // 1-based page, sheet or slide number
    QString name;    // the sheet's name; empty for pages and slides

    bool operator==(const DocumentPlace &other) const
    {
        return kind == other.kind && number == other.number && name == other.name;
    }
};

// One line of a document's text: a paragraph, a table cell, a spreadsheet
// row (cells joined by a tab), a line of a PDF page.
struct DocumentLine
{
    qint64 number = 0;  // 1-based, counted through the whole document
    QString text;       // without line ends
    DocumentPlace place;
};

// Takes the lines of a document in order; returns false to end the reading.
using DocumentLineConsumer = std::function<bool(const DocumentLine &line)>;

#endif  // DOCUMENTLINE_H
