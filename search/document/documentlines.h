#ifndef DOCUMENTLINES_H
#define DOCUMENTLINES_H

#include "documentline.h"

#include <QStringView>

#include <atomic>

// Gathers a document's text into lines for a reader and hands each finished
// line to the consumer: numbers the lines, keeps the place, drops empty
// lines and spells ligatures and soft hyphens as their letters. A line
// longer than kMaxLineChars goes out in pieces under one number, so no text
// of any length is held whole.
class DocumentLines
{
public:
    static constexpr int kMaxLineChars = 1 << 20;

    DocumentLines(const DocumentLineConsumer &consumer, const std::atomic_bool *stop);

    // Ends the current line; the lines after it stand at `place`.
    void setPlace(const DocumentPlace &place);
    const DocumentPlace &place() const { return current.place; }
    // Adds text to the current line; line ends and other control
    // characters but the tab become blanks.
    void append(QStringView text);
    void append(QChar c);
    // Ends the current line (nothing when it holds no text but blanks).
    void endLine();
    // True when the line being gathered holds nothing yet.
    bool lineIsEmpty() const { return current.text.isEmpty(); }
    // True once a stop was requested or the consumer wanted no more: the
    // reader should return.
    bool stopped() const;

private:
    void deliver();

    const DocumentLineConsumer &consumer;
    const std::atomic_bool *stop;
    DocumentLine current;
    qint64 delivered = 0;     // lines numbered so far
    bool continuing = false;  // the current line's first piece went out already
    bool declined = false;    // the consumer returned false
};

#endif  // DOCUMENTLINES_H
