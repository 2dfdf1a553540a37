#ifndef TEXTSTREAMLINES_H
#define TEXTSTREAMLINES_H

#include <QString>

#include <atomic>
#include <functional>

class ByteSource;
class LineMatcher;
class QTextCodec;
class TextQuery;

// What a reading does with the lines it finds.
struct LineReport
{
    // Called with the 1-based number, the first characters and whether the
    // line matches; returns false when the file needs no more lines.
    using Handler = std::function<bool(qint64 lineNo, const QString &head, bool matched)>;
    Handler onLine;
    // Every line is reported, not only the matching ones (lines around hits).
    bool allLines = false;
};

// Splits the decoded bytes into lines exactly as QTextStream::readLine does on
// a file (16 KiB reads, a line ends at '\n', "\r\n" and a final '\r' are line
// ends, a read that decodes to nothing ends the line) and reports the lines
// the matcher accepts. With `detectUnicode` the first read picks the codec by
// its byte-order mark, as QTextStream's default does. Returns early, without
// reporting more, once `cancel` is set.
// `matcher` tests lines for `query`; runs of complete lines without its
// anchor text are passed over in one search, unless every line is reported.
void searchTextStreamLines(ByteSource &source, QTextCodec *codec, bool detectUnicode,
                           const TextQuery &query, LineMatcher &matcher,
                           const std::atomic_bool *cancel, const LineReport &report);

#endif  // TEXTSTREAMLINES_H
