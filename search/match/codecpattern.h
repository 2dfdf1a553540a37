#ifndef CODECPATTERN_H
#define CODECPATTERN_H

#include <QString>

class QTextCodec;

// One entry of the deep-search list: a codec and the search text as it
// survives a round trip from the system codec through that codec.
struct CodecPattern
{
    QTextCodec *codec = nullptr;  // owned by Qt's codec registry
    QString text;
};

#endif  // CODECPATTERN_H
