#include "wildcard.h"

#include <QChar>

#include <iterator>

namespace {

// The ASCII classes of POSIX, as a regular expression reads them when its
// classes are not widened to Unicode.
struct PosixClass
{
    const char *name;
    bool (*test)(char32_t c);
};

bool isUpper(char32_t c)
{
    return c >= 'A' && c <= 'Z';
}
bool isLower(char32_t c)
{
    return c >= 'a' && c <= 'z';
}
bool isDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}
bool isAlpha(char32_t c)
{
    return isUpper(c) || isLower(c);
}
bool isSpace(char32_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isPrint(char32_t c)
{
    return c >= 0x20 && c < 0x7f;
}
bool isGraph(char32_t c)
{
    return c > 0x20 && c < 0x7f;
}
bool isAlnum(char32_t c)
{
    return isAlpha(c) || isDigit(c);
}

const PosixClass kPosixClasses[] = {
        {"alnum", isAlnum},
        {"alpha", isAlpha},
        {"ascii", [](char32_t c) { return c < 0x80; }},
        {"blank", [](char32_t c) { return c == ' ' || c == '\t'; }},
        {"cntrl", [](char32_t c) { return c < 0x20 || c == 0x7f; }},
        {"digit", isDigit},
        {"graph", isGraph},
        {"lower", isLower},
        {"print", isPrint},
        {"punct", [](char32_t c) { return isGraph(c) && !isAlnum(c); }},
        {"space", isSpace},
        {"upper", isUpper},
        {"word", [](char32_t c) { return isAlnum(c) || c == '_'; }},
        {"xdigit",
         [](char32_t c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }},
};

// The code points of `text`; a lone surrogate (a byte that did not decode)
// counts as one U+FFFD, as a regular expression sees it once made valid.
template<typename Out> void appendCodePoints(const QString &text, Out &out)
{
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < size
            && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out.push_back(QChar::surrogateToUcs4(unit, text.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            out.push_back(QChar::ReplacementCharacter);
        } else {
            out.push_back(unit);
        }
    }
}

}  // namespace

char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return isUpper(c) ? c | 0x20 : c;
    return QChar::toCaseFolded(uint(c));
}

NameText NameText::fromText(const QString &name)
{
    NameText text;
    appendCodePoints(name, text.chars);
    text.folded.reserve(text.chars.size());
    for (const char32_t c : text.chars)
        text.folded.push_back(foldCase(c));
    return text;
}

bool NameText::fromAscii(const QByteArray &name, NameText *out)
{
    out->chars.resize(name.size());
    out->folded.resize(name.size());
    for (int i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name.at(i));
        if (c >= 0x80)
            return false;
        out->chars[i] = c;
        out->folded[i] = isUpper(c) ? c | 0x20 : c;
    }
    return true;
}

Wildcard::Wildcard(const QString &pattern)
{
    std::vector<char32_t> chars;
    appendCodePoints(pattern, chars);
    std::u32string run;
    const auto endRun = [&] {
        if (!run.empty())
            runs.push_back(run);
        run.clear();
    };
    for (size_t at = 0; at < chars.size() && valid;) {
        const char32_t c = chars[at];
        if (c == '*') {
            endRun();
            if (tokens.empty() || tokens.back().kind != Token::Kind::Star)
                tokens.push_back(Token {Token::Kind::Star, 0});
            ++at;
        } else if (c == '?') {
            endRun();
            tokens.push_back(Token {Token::Kind::Any, 0});
            ++at;
        } else if (c == '[') {
            endRun();
            ++at;
            valid = parseSet(chars, at);
        } else {
            const char32_t folded = foldCase(c);
            run.push_back(folded);
            tokens.push_back(Token {Token::Kind::Char, folded});
            ++at;
        }
    }
    endRun();
    if (!valid) {
        tokens.clear();
        runs.clear();
    }
}

namespace {

// Where `pattern[at]` opens the POSIX form "[:name:]", "[.x.]" or "[=x=]" (at
// is just past its "["), the index of the terminator's ":" (or "." or "=");
// 0 when it opens none. The forms end at the first terminator before a "]".
size_t posixFormEnd(const std::vector<char32_t> &pattern, size_t at)
{
    if (at >= pattern.size())
        return 0;
    const char32_t terminator = pattern[at];
    if (terminator != ':' && terminator != '.' && terminator != '=')
        return 0;
    for (size_t i = at + 1; i + 1 < pattern.size(); ++i) {
        if (pattern[i] == ']' || (pattern[i] == '[' && pattern[i + 1] == terminator))
            return 0;
        if (pattern[i] == terminator && pattern[i + 1] == ']')
            return i;
    }
    return 0;
}

}  // namespace

// Reads the set whose "[" ends before `at`, up to and with its "]".
bool Wildcard::parseSet(const std::vector<char32_t> &pattern, size_t &at)
{
    // A set written as a POSIX form alone ("[:digit:]") is refused, as the
    // regular expressions the walk once used refused it.
    if (posixFormEnd(pattern, at))
        return false;
    CharSet set;
    const size_t size = pattern.size();
    if (at < size && (pattern[at] == '!' || pattern[at] == '^')) {
        set.negated = true;
        ++at;
    }
    for (bool first = true;; first = false) {
        if (at >= size)
            return false;  // never closed
        const char32_t c = pattern[at];
        if (c == ']' && !first) {
            ++at;
            break;
        }
        if (c == '/')
            return false;
        if (c == '[') {
            if (const size_t end = posixFormEnd(pattern, at + 1)) {
                if (pattern[at + 1] != ':')
                    return false;  // collating elements: not supported
                QByteArray name;
                for (size_t i = at + 2; i < end; ++i)
                    name.append(char(pattern[i] < 0x80 ? pattern[i] : '?'));
                int index = 0;
                while (index < int(std::size(kPosixClasses)) && name != kPosixClasses[index].name)
                    ++index;
                if (index == int(std::size(kPosixClasses)))
                    return false;  // an unknown class
                set.classes |= 1u << index;
                at = end + 2;
                continue;
            }
        }
        ++at;
        // A range "c-e"; a "-" before the closing "]" stands for itself.
        if (at + 1 < size && pattern[at] == '-' && pattern[at + 1] != ']') {
            const char32_t last = pattern[at + 1];
            if (last == '/' || (last == '[' && posixFormEnd(pattern, at + 2)))
                return false;
            if (last < c)
                return false;  // written high to low
            set.ranges.emplace_back(c, last);
            at += 2;
            continue;
        }
        set.ranges.emplace_back(c, c);
    }
    tokens.push_back(Token {Token::Kind::Set, char32_t(sets.size())});
    sets.push_back(std::move(set));
    return true;
}

bool Wildcard::CharSet::contains(char32_t c) const
{
    // Ignoring case: the character, its folding and its other cases.
    const char32_t forms[] = {c, foldCase(c), QChar::toLower(uint(c)), QChar::toUpper(uint(c))};
    bool found = false;
    for (const char32_t form : forms) {
        for (const auto &range : ranges) {
            if (form >= range.first && form <= range.second) {
                found = true;
                break;
            }
        }
        for (int bit = 0; !found && bit < int(std::size(kPosixClasses)); ++bit) {
            if ((classes & (1u << bit)) && kPosixClasses[bit].test(form))
                found = true;
        }
        if (found)
            break;
    }
    return found != negated;
}

bool Wildcard::matchesEverything() const
{
    return valid && tokens.size() == 1 && tokens.front().kind == Token::Kind::Star;
}

bool Wildcard::tokenMatches(const Token &token, const NameText &name, int at) const
{
    switch (token.kind) {
    case Token::Kind::Char:
        return name.folded[at] == token.c;
    case Token::Kind::Any:
        return true;
    case Token::Kind::Set:
        return sets[token.c].contains(name.chars[at]);
    case Token::Kind::Star:
        break;
    }
    return false;
}

// The classic walk with one star to go back to: a later star makes every
// earlier one irrelevant, so the time is at most names times tokens.
bool Wildcard::matches(const NameText &name) const
{
    if (!valid)
        return false;
    const int length = name.chars.size();
    const int count = int(tokens.size());
    int t = 0;
    int n = 0;
    int starToken = -1;
    int starName = 0;
    while (n < length) {
        if (t < count && tokens[size_t(t)].kind == Token::Kind::Star) {
            starToken = t++;
            starName = n;
        } else if (t < count && tokenMatches(tokens[size_t(t)], name, n)) {
            ++t;
            ++n;
        } else if (starToken >= 0) {
            t = starToken + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (t < count && tokens[size_t(t)].kind == Token::Kind::Star)
        ++t;
    return t == count;
}
