#ifndef LINEMATCHER_H
#define LINEMATCHER_H

#include "textquery.h"

#include <QString>

#include <functional>

// Tests one line for the search text while the line arrives in pieces, so a
// line of any length costs bounded memory: it keeps the first `headChars`
// characters of the line and the few last ones a match may still need. An
// expression is tried on the whole line up to 4 Mi characters; a longer line
// is tried in windows of that size that overlap by 64 Ki characters.
class LineMatcher
{
public:
    LineMatcher(const TextQuery &query, int headChars);

    // Says whether a full head is enough for what the caller makes of it;
    // when it is not, the head doubles, up to `maxHeadChars`.
    using HeadCheck = std::function<bool(const QString &head)>;
    void setHeadCheck(HeadCheck check, int maxHeadChars);
    // The head this matcher would keep of `line`, given whole.
    QString headOf(const QString &line) const;

    void begin();
    void feed(const QChar *chars, int count);
    // Ends the line; `dropFinalCr` removes a carriage return that ends it.
    void finish(bool dropFinalCr);

    bool matched() const { return found; }
    // The first characters of the finished line.
    const QString &head() const { return headText; }

private:
    void search(const QString &chars);
    // An expression: keeps the line to match it whole at its end.
    void gather(const QChar *chars, int count);
    void keepHead(const QChar *chars, int count);
    // Whether the head, full at headLimit, may grow further.
    bool headGrows(const QString &head, int *limit) const;

    const TextQuery query;
    const int headChars;
    HeadCheck headCheck;
    int maxHeadChars;

    QString headText;
    int headLimit;
    bool headClosed = false;
    QString carry;        // the part of the line seen so far that a match may still use
    bool heldCr = false;  // the line's last character so far is a '\r' not yet searched
    qint64 length = 0;
    bool found = false;
};

#endif  // LINEMATCHER_H
