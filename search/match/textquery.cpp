#include "textquery.h"

#include "regexliteral.h"

namespace {

// A text to be matched literally, written as an expression.
QString escapedText(const QString &text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c.unicode() < 0x80 && !c.isLetterOrNumber() && c != QLatin1Char(' '))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// Verbs such as (*UCP) must open the whole expression.
QString takeLeadingVerbs(QString *pattern)
{
    int end = 0;
    while (pattern->midRef(end, 2) == QLatin1String("(*")) {
        const int close = pattern->indexOf(QLatin1Char(')'), end);
        if (close < 0)
            break;
        end = close + 1;
    }
    QString verbs = pattern->left(end);
    pattern->remove(0, end);
    return verbs;
}

const QString kWordChar = QStringLiteral("[\\p{L}\\p{N}_]");

}  // namespace

TextQuery::TextQuery(const QString &text, Qt::CaseSensitivity cs)
    : text(text), cs(cs), anchor(text), anchorCs(cs)
{
}

bool TextQuery::build(const QStringList &texts, const Options &options, TextQuery *query,
                      Error *error)
{
    if (texts.size() == 1 && !options.regex && !options.wholeWords) {
        *query = TextQuery(texts.first(), options.cs);
        return true;
    }
    const bool caseless = options.cs == Qt::CaseInsensitive;
    QString verbs;
    QStringList alternatives;
    bool anchorCaseless = caseless;
    QString anchor;
    for (int i = 0; i < texts.size(); ++i) {
        QString pattern = options.regex ? texts[i] : escapedText(texts[i]);
        if (options.regex) {
            // Each alone first, so that an error's position is the user's own.
            const Pcre2Regex alone(pattern, caseless);
            if (!alone.isValid()) {
                *error = Error {i, alone.error()};
                return false;
            }
        }
        const QString ownVerbs = takeLeadingVerbs(&pattern);
        if (!verbs.contains(ownVerbs))
            verbs += ownVerbs;
        if (texts.size() == 1) {
            bool leadingCaseless = false;
            anchor = options.regex ? requiredLiteral(pattern, &leadingCaseless) : texts[i];
            anchorCaseless = caseless || leadingCaseless;
        }
        alternatives += QStringLiteral("(?:%1)").arg(pattern);
    }
    QString whole = alternatives.join(QLatin1Char('|'));
    if (options.wholeWords)
        whole = QStringLiteral("(?<!%1)(?:%2)(?!%1)").arg(kWordChar, whole);
    TextQuery made;
    made.text = texts.join(QLatin1Char('\n'));
    made.cs = options.cs;
    made.expression = verbs + whole;
    made.regex = Pcre2Regex(made.expression, caseless);
    if (!made.regex.isValid()) {
        *error = Error {0, made.regex.error()};
        return false;
    }
    made.anchor = anchor;
    made.anchorCs = anchorCaseless ? Qt::CaseInsensitive : Qt::CaseSensitive;
    *query = made;
    return true;
}

bool TextQuery::matches(const QChar *line, int size) const
{
    if (isLiteral())
        return QStringView(line, size).indexOf(text, 0, cs) != -1;
    return regex.matches(line, size);
}

bool TextQuery::find(const QString &line, int from, int *start, int *end) const
{
    if (!isLiteral())
        return regex.find(line, from, start, end);
    const int at = line.indexOf(text, from, cs);
    if (at < 0)
        return false;
    *start = at;
    *end = at + text.size();
    return true;
}
