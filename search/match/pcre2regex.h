#ifndef PCRE2REGEX_H
#define PCRE2REGEX_H

#include <QString>

#include <cstddef>
#include <memory>

// A regular expression in PCRE2 syntax, compiled once (with the JIT where the
// machine has it) for UTF-8 bytes and for UTF-16 text, so that a file's raw
// bytes and a decoded line are matched by one engine with one meaning. Lines
// with invalid UTF-8 or lone surrogates are matched as far as they are valid
// text, as grep -P does. Copies share the compiled code; matching keeps its
// scratch space per thread, so copies and threads may match at once.
class Pcre2Regex
{
public:
    struct Error
    {
        QString message;  // the library's own words
        int offset = 0;   // where in the pattern (UTF-16 units) it gave up
    };

    Pcre2Regex() = default;
    // Compiles `pattern`; on failure isValid() is false and error() says why.
    Pcre2Regex(const QString &pattern, bool caseless);

    bool isValid() const { return code != nullptr; }
    const Error &error() const { return failure; }

    bool matchesUtf8(const char *data, size_t size) const;
    bool matches(const QChar *text, int size) const;
    // Finds the first match at or after `from` in `text`; false when none.
    bool find(const QString &text, int from, int *start, int *end) const;

private:
    struct Code;
    std::shared_ptr<const Code> code;
    Error failure;
};

#endif  // PCRE2REGEX_H
