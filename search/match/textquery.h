#ifndef TEXTQUERY_H
#define TEXTQUERY_H

#include "pcre2regex.h"

#include <QString>
#include <QStringList>

#include <cstddef>

// What a line must hold: one text taken literally (the default, searched as
// it always was), or PCRE2 expressions, whole words, several alternatives.
// Every form but a single literal text is compiled to one expression.
class TextQuery
{
public:
    struct Options
    {
        bool regex = false;       // the texts are PCRE2 expressions
        bool wholeWords = false;  // a match's neighbours are no letters, digits or "_"
        Qt::CaseSensitivity cs = Qt::CaseSensitive;
    };

    struct Error
    {
        int text = 0;  // which of the texts
        Pcre2Regex::Error what;
    };

    TextQuery() = default;
    // One text taken literally, matched as QString::indexOf matches it.
    TextQuery(const QString &text, Qt::CaseSensitivity cs);

    // A line holding any of `texts` as `options` say. False, with `error`
    // filled, when an expression does not compile.
    static bool build(const QStringList &texts, const Options &options, TextQuery *query,
                      Error *error);

    // True for one text taken literally: no expression is run.
    bool isLiteral() const { return !regex.isValid(); }
    const QString &literal() const { return text; }
    Qt::CaseSensitivity caseSensitivity() const { return cs; }

    // A text every matching line holds (empty when there is none to tell),
    // and the case rule it is held under: what prefilters look for.
    const QString &anchorText() const { return anchor; }
    Qt::CaseSensitivity anchorCase() const { return anchorCs; }

    bool matches(const QString &line) const { return matches(line.constData(), line.size()); }
    bool matches(const QChar *line, int size) const;
    // For expressions only: a line given as UTF-8 bytes.
    bool matchesUtf8(const char *line, size_t size) const { return regex.matchesUtf8(line, size); }
    // Equal for queries that match alike.
    bool sameAs(const TextQuery &other) const
    {
        return cs == other.cs && text == other.text && expression == other.expression;
    }

    // The first match at or after `from`: [*start, *end). False when none.
    bool find(const QString &line, int from, int *start, int *end) const;

private:
    QString text;
    Qt::CaseSensitivity cs = Qt::CaseSensitive;
    QString expression;  // what the regex was compiled from
    Pcre2Regex regex;
    QString anchor;
    Qt::CaseSensitivity anchorCs = Qt::CaseSensitive;
};

#endif  // TEXTQUERY_H
