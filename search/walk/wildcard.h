#ifndef WILDCARD_H
#define WILDCARD_H

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>

#include <string>
#include <vector>

// A name as the wildcards read it: its characters (code points; a byte that
// did not decode counts as one U+FFFD) and the same characters case-folded.
struct NameText
{
    QVarLengthArray<char32_t, 128> chars;
    QVarLengthArray<char32_t, 128> folded;

    // The text of a name (an archive member's name as decoded).
    static NameText fromText(const QString &name);
    // The bytes of an ASCII name, read without decoding; false when a byte
    // is not ASCII.
    static bool fromAscii(const QByteArray &name, NameText *out);
};

// The case folding the wildcards compare with: Unicode simple case folding.
char32_t foldCase(char32_t c);

// One file-name wildcard, read as the walk has always read names on disk:
//   *      any run of characters, the empty one too
//   ?      one character
//   [...]  one character of a set: characters, ranges ("a-z") and the ASCII
//          classes of POSIX ("[:digit:]", "[:alpha:]", ...); "!" or "^"
//          first negates the set, and a "]" first (after a negation too) is
//          a member; "-" first, last or after a range stands for itself
// Every other character stands for itself, the backslash and a lone "]"
// included. The whole name must match, ignoring case. A pattern is invalid
// when a set is never closed, holds "/", has a range written high to low, or
// names an unknown class; an invalid pattern matches no name.
class Wildcard
{
public:
    explicit Wildcard(const QString &pattern);

    bool isValid() const { return valid; }
    // True when only stars make it up: it matches every name.
    bool matchesEverything() const;
    bool matches(const NameText &name) const;
    // The runs of plain characters between the wildcards, case-folded:
    // every name it matches holds each of them.
    const std::vector<std::u32string> &plainRuns() const { return runs; }

private:
    struct Token
    {
        enum class Kind { Char, Any, Star, Set };
        Kind kind;
        char32_t c;  // Char: folded; Set: the index of the set
    };
    struct CharSet
    {
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;  // single characters too
        unsigned classes = 0;                               // bits of the POSIX classes
        bool contains(char32_t c) const;
    };

    bool parseSet(const std::vector<char32_t> &pattern, size_t &at);
    bool tokenMatches(const Token &token, const NameText &name, int at) const;

    std::vector<Token> tokens;
    std::vector<CharSet> sets;
    std::vector<std::u32string> runs;
    bool valid = true;
};

#endif  // WILDCARD_H
