#ifndef REGEXLITERAL_H
#define REGEXLITERAL_H

#include <QString>

// The longest run of characters that every match of the PCRE2 `pattern`
// holds one after the other, read from the pattern's top level (characters,
// escaped punctuation, \Q...\E); empty when the pattern has none that can be
// told for sure: an alternation at the top, option settings other than a
// leading (?i), verbs. `caseless` is set when a leading (?i) makes the
// pattern ignore case. A prefilter: a line without the run cannot match.
QString requiredLiteral(const QString &pattern, bool *caseless);

#endif  // REGEXLITERAL_H
