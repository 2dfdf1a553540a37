#ifndef LINEMATCHER_H
#define LINEMATCHER_H

#include <QString>

// Tests one line for the search text while the line arrives in pieces, so a
// line of any length costs bounded memory: it keeps the first `headChars`
// characters of the line and the few last ones a match may still need.
class LineMatcher
{
public:
    LineMatcher(const QString &text, Qt::CaseSensitivity cs, int headChars);

    void begin();
    void feed(const QChar *chars, int count);
    // Ends the line; `dropFinalCr` removes a carriage return that ends it.
    void finish(bool dropFinalCr);

    bool matched() const { return found; }
    // The first characters of the finished line, at most headLength() of them.
    const QString &head() const { return headText; }
    int headLength() const { return headChars; }

private:
    void search(const QString &chars);

    const QString text;
    const Qt::CaseSensitivity cs;
    const int headChars;

    QString headText;
    QString carry;       // tail of the text seen so far that a match may still use
    bool heldCr = false; // the line's last character so far is a '\r' not yet searched
    qint64 length = 0;
    bool found = false;
};

#endif // LINEMATCHER_H
