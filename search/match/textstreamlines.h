#ifndef TEXTSTREAMLINES_H
#define TEXTSTREAMLINES_H

#include <QString>

#include <atomic>
#include <functional>

class ByteSource;
class LineMatcher;
class QTextCodec;

// Called with the 1-based number and the first characters of each matching line.
using LineHitHandler = std::function<void(qint64 lineNo, const QString &head)>;

// Splits the decoded bytes into lines exactly as QTextStream::readLine does on
// a file (16 KiB reads, a line ends at '\n', "\r\n" and a final '\r' are line
// ends, a read that decodes to nothing ends the line) and reports the lines
// the matcher accepts. With `detectUnicode` the first read picks the codec by
// its byte-order mark, as QTextStream's default does. Returns early, without
// reporting more, once `cancel` is set.
// `matcher` tests lines for `text`; runs of complete lines without the text
// are passed over in one search.
void searchTextStreamLines(ByteSource &source, QTextCodec *codec, bool detectUnicode,
                           const QString &text, Qt::CaseSensitivity cs, LineMatcher &matcher,
                           const std::atomic_bool *cancel, const LineHitHandler &onHit);

#endif  // TEXTSTREAMLINES_H
