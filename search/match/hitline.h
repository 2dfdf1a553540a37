#ifndef HITLINE_H
#define HITLINE_H

#include <QString>

// What a content hit shows of its line: the first kMaxLineText characters.
constexpr int kMaxLineText = 80;
// Characters a matcher keeps of a matching line: the shown ones and room to
// spare, also for a deep hit's conversion, which may change the length of
// what it converts.
constexpr int kHeadChars = 256;

// `line` cut to what its hit shows.
inline QString cutToLineText(QString line)
{
    if (line.size() > kMaxLineText)
        line.resize(kMaxLineText);
    return line;
}

#endif  // HITLINE_H
