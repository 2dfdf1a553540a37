#include "regexliteral.h"

#include <cctype>

namespace {

// Reads a pattern's top level as a sequence of atoms and keeps the longest
// run of single characters that no quantifier makes optional.
class LiteralReader
{
public:
    explicit LiteralReader(const QString &pattern) : p(pattern) { }

    bool read()
    {
        while (i < p.size()) {
            const QChar c = p[i];
            if (c == QLatin1Char('|'))
                return false;
            if (c == QLatin1Char('\\')) {
                if (!readEscape())
                    return false;
            } else if (c == QLatin1Char('(')) {
                if (!skipGroup())
                    return false;
                endRun();
            } else if (c == QLatin1Char('[')) {
                if (!skipClass())
                    return false;
                skipQuantifier();
                endRun();
            } else if (c == QLatin1Char('.') || c == QLatin1Char('^') || c == QLatin1Char('$')) {
                ++i;
                skipQuantifier();
                endRun();
            } else if (isQuantifierAt(i)) {
                return false;  // a quantifier with nothing before it
            } else {
                ++i;
                addChar(c);
            }
        }
        endRun();
        return true;
    }

    QString best;

private:
    void addChar(QChar c)
    {
        // A quantifier after it applies to this character alone.
        int next = i;
        int minimum = 1;
        if (quantifierAt(&next, &minimum)) {
            if (minimum > 0)
                run += c;
            else if (c.isLowSurrogate())
                run.chop(1);  // the whole character is optional
            endRun();
            i = next;
            return;
        }
        run += c;
    }

    void endRun()
    {
        if (!run.isEmpty() && run.at(run.size() - 1).isHighSurrogate())
            run.chop(1);
        if (run.size() > best.size())
            best = run;
        run.clear();
    }

    bool readEscape()
    {
        if (i + 1 >= p.size())
            return false;
        const QChar e = p[i + 1];
        if (e == QLatin1Char('Q')) {
            const int close = p.indexOf(QLatin1String("\\E"), i + 2);
            const QString quoted = p.mid(i + 2, close < 0 ? -1 : close - i - 2);
            i = close < 0 ? p.size() : close + 2;
            for (int k = 0; k < quoted.size(); ++k) {
                if (k + 1 < quoted.size()) {
                    run += quoted[k];
                } else {
                    addChar(quoted[k]);  // a quantifier after \E takes the last one
                }
            }
            return true;
        }
        i += 2;
        if (e.unicode() < 0x80 && !e.isLetterOrNumber()) {
            addChar(e);  // escaped punctuation stands for itself
            return true;
        }
        // Classes, anchors, back references, code points, properties: none is
        // one fixed character here. Skip its argument.
        skipEscapeArgument(e);
        endRun();
        int next = i;
        int minimum = 1;
        if (quantifierAt(&next, &minimum))
            i = next;
        return true;
    }

    // Moves past the character class at i (without a quantifier after it).
    bool skipClass()
    {
        int k = i + 1;
        if (k < p.size() && p[k] == QLatin1Char('^'))
            ++k;
        if (k < p.size() && p[k] == QLatin1Char(']'))
            ++k;  // a "]" first is a member
        while (k < p.size() && p[k] != QLatin1Char(']')) {
            if (p[k] == QLatin1Char('\\')) {
                ++k;
            } else if (p.midRef(k, 2) == QLatin1String("[:")) {
                const int close = p.indexOf(QLatin1String(":]"), k + 2);
                if (close < 0)
                    return false;
                k = close + 1;
            }
            ++k;
        }
        if (k >= p.size())
            return false;
        i = k + 1;
        return true;
    }

    void skipEscapeArgument(QChar e)
    {
        const auto skipTo = [&](QChar close) {
            const int at = p.indexOf(close, i + 1);
            i = at < 0 ? p.size() : at + 1;
        };
        const auto skipWhile = [&](int most, const auto &accepts) {
            for (int n = 0; n < most && i < p.size() && accepts(p[i]); ++n)
                ++i;
        };
        const QChar next = i < p.size() ? p[i] : QChar();
        const bool braced = next == QLatin1Char('{');
        switch (e.toLatin1()) {
        case 'x':
            if (braced)
                skipTo(QLatin1Char('}'));
            else
                skipWhile(2, [](QChar c) { return isxdigit(c.toLatin1()) != 0; });
            break;
        case 'o':
        case 'N':
            if (braced)
                skipTo(QLatin1Char('}'));
            break;
        case 'c':
            i = qMin(i + 1, int(p.size()));
            break;
        case 'p':
        case 'P':
            if (braced)
                skipTo(QLatin1Char('}'));
            else
                i = qMin(i + 1, int(p.size()));
            break;
        case 'k':
        case 'g':
            if (braced)
                skipTo(QLatin1Char('}'));
            else if (next == QLatin1Char('<'))
                skipTo(QLatin1Char('>'));
            else if (next == QLatin1Char('\''))
                skipTo(QLatin1Char('\''));
            else
                skipWhile(p.size(), [](QChar c) {
                    return c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+');
                });
            break;
        default:
            if (e.isDigit())
                skipWhile(p.size(), [](QChar c) { return c.isDigit(); });
            break;
        }
    }

    bool skipGroup()
    {
        // Option settings and verbs change how what follows reads.
        const QStringRef head = p.midRef(i, 3);
        const bool leadingCaseless = i == 0 && p.midRef(0, 4) == QLatin1String("(?i)");
        if (leadingCaseless) {
            caseless = true;
            i = 4;
            return true;
        }
        if (head.startsWith(QLatin1String("(*")))
            return false;
        if (head.startsWith(QLatin1String("(?")) && head.size() == 3
            && (head[2].isLetter() || head[2] == QLatin1Char('-') || head[2] == QLatin1Char('^'))
            && head[2] != QLatin1Char('P'))
            return false;
        int depth = 0;
        for (int k = i; k < p.size(); ++k) {
            const QChar c = p[k];
            if (c == QLatin1Char('\\')) {
                if (p.midRef(k, 2) == QLatin1String("\\Q")) {
                    const int close = p.indexOf(QLatin1String("\\E"), k + 2);
                    if (close < 0)
                        return false;
                    k = close + 1;
                } else {
                    ++k;
                }
            } else if (c == QLatin1Char('[')) {
                const int keep = i;
                i = k;
                const bool closed = skipClass();
                k = i - 1;
                i = keep;
                if (!closed)
                    return false;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')') && --depth == 0) {
                i = k + 1;
                skipQuantifier();
                return true;
            }
        }
        return false;
    }

    void skipQuantifier()
    {
        int next = i;
        int minimum = 1;
        if (quantifierAt(&next, &minimum))
            i = next;
    }

    bool isQuantifierAt(int at) const
    {
        int next = at;
        int minimum = 1;
        return quantifierAt(&next, &minimum);
    }

    // A quantifier at `*at` (with its lazy or possessive mark): moves `*at`
    // past it and sets the least number of repeats it allows.
    bool quantifierAt(int *at, int *minimum) const
    {
        int k = *at;
        if (k >= p.size())
            return false;
        const QChar c = p[k];
        if (c == QLatin1Char('*') || c == QLatin1Char('?')) {
            *minimum = 0;
            ++k;
        } else if (c == QLatin1Char('+')) {
            *minimum = 1;
            ++k;
        } else if (c == QLatin1Char('{')) {
            int digits = k + 1;
            while (digits < p.size() && p[digits].isDigit())
                ++digits;
            // "{,n}" counts as a quantifier from 0 in newer PCRE2 and as text
            // in older ones: either way nothing is sure about it.
            if (digits == k + 1 && !(digits < p.size() && p[digits] == QLatin1Char(',')))
                return false;
            const int close = p.indexOf(QLatin1Char('}'), k);
            if (close < 0)
                return false;
            for (int d = digits; d < close; ++d) {
                if (!p[d].isDigit() && p[d] != QLatin1Char(','))
                    return false;
            }
            *minimum = digits == k + 1 ? 0 : p.midRef(k + 1, digits - k - 1).toInt();
            k = close + 1;
        } else {
            return false;
        }
        if (k < p.size() && (p[k] == QLatin1Char('?') || p[k] == QLatin1Char('+')))
            ++k;
        *at = k;
        return true;
    }

    const QString &p;
    int i = 0;
    QString run;

public:
    bool caseless = false;
};

}  // namespace

QString requiredLiteral(const QString &pattern, bool *caseless)
{
    LiteralReader reader(pattern);
    const bool known = reader.read();
    *caseless = reader.caseless;
    return known ? reader.best : QString();
}
