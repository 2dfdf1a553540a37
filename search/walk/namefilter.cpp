#include "namefilter.h"

#include "pathcodec.h"

#include <cstring>
#include <utility>

namespace {

bool isPlainPattern(const QString &pattern)
{
    for (const QChar c : pattern) {
        if (c.unicode() >= 0x80 || c == QLatin1Char('?') || c == QLatin1Char('[')
            || c == QLatin1Char(']') || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c | 0x20) : c;
}

// Position of `piece` (lower case) in name[from, length) ignoring ASCII case, or -1.
int findFolded(const char *name, int from, int length, const QByteArray &piece)
{
    const int n = piece.size();
    for (int i = from; i + n <= length; ++i) {
        int k = 0;
        while (k < n && lower(name[i + k]) == piece[k])
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

QRegularExpression expressionFor(const QString &pattern)
{
    return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                              QRegularExpression::CaseInsensitiveOption);
}

}  // namespace

bool NameFilter::isValidPattern(const QString &pattern)
{
    return expressionFor(pattern).isValid();
}

NameFilter::NameFilter(const QStringList &patterns)
{
    all = patterns.isEmpty() || patterns.contains(QStringLiteral("*"));
    for (const QString &pattern : patterns) {
        // A pattern that does not compile matches no name; it is left out
        // rather than asked, and warned about, for every entry.
        QRegularExpression rx = expressionFor(pattern);
        if (!rx.isValid())
            continue;
        regexps.append(std::move(rx));
        if (!isPlainPattern(pattern)) {
            allPlain = false;
            continue;
        }
        Plain p;
        const QByteArray bytes = pattern.toLatin1().toLower();
        p.anchoredStart = !bytes.startsWith('*');
        p.anchoredEnd = !bytes.endsWith('*');
        for (const QByteArray &piece : bytes.split('*')) {
            if (!piece.isEmpty())
                p.pieces.append(piece);
        }
        plain.append(p);
    }
}

bool NameFilter::plainMatches(const Plain &plain, const char *name, int length)
{
    int pos = 0;
    int end = length;
    int first = 0;
    int last = plain.pieces.size();
    if (plain.anchoredStart) {
        if (last == 0)
            return length == 0;
        const QByteArray &piece = plain.pieces.first();
        if (piece.size() > length || findFolded(name, 0, piece.size(), piece) != 0)
            return false;
        pos = piece.size();
        first = 1;
        if (last == 1 && plain.anchoredEnd)
            return pos == length;
    }
    if (plain.anchoredEnd && first < last) {
        const QByteArray &piece = plain.pieces.last();
        if (piece.size() > length - pos
            || findFolded(name, length - piece.size(), length, piece) != length - piece.size())
            return false;
        end = length - piece.size();
        --last;
    }
    for (int i = first; i < last; ++i) {
        const int at = findFolded(name, pos, end, plain.pieces[i]);
        if (at < 0)
            return false;
        pos = at + plain.pieces[i].size();
    }
    return true;
}

bool NameFilter::accepts(const QByteArray &bytes, QString &decoded) const
{
    if (all)
        return true;
    if (allPlain && isAscii(bytes)) {
        for (const Plain &p : plain) {
            if (plainMatches(p, bytes.constData(), bytes.size()))
                return true;
        }
        return false;
    }
    if (decoded.isNull())
        decoded = decodePath(bytes);
    // The expressions want valid text: a byte that did not decode stands as
    // one unknown character, which wildcards match and letters never do.
    QString text = decoded;
    for (int i = 0; i < text.size(); ++i) {
        if (undecodedByteAt(decoded, i) >= 0)
            text[i] = QChar::ReplacementCharacter;
    }
    for (const QRegularExpression &rx : regexps) {
        if (rx.match(text).hasMatch())
            return true;
    }
    return false;
}
