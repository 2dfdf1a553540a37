#ifndef DEEPSEARCH_H
#define DEEPSEARCH_H

#include "bytesearch.h"
#include "codecpattern.h"
#include "hitsink.h"
#include "singlebytecodec.h"
#include "textquery.h"

#include <QList>
#include <QString>

#include <atomic>
#include <vector>

class ByteSource;
class QTextCodec;
struct CodecProfile;

// The deep-search list prepared for one query: per codec what its lines must
// hold as bytes to contain the query's anchor text, which is the pattern's
// text. A literal query matches a codec's lines by that text; any other
// query matches each decoded line itself. Kept across files.
class DeepPlan
{
public:
    struct Codec
    {
        QTextCodec *codec = nullptr;
        QString text;  // the pattern's text for this codec
        QByteArray name;
        QString prefix;  // "[name]\t"
        const CodecProfile *profile = nullptr;
        SingleByteCodec::Needle tableNeedleKind = SingleByteCodec::Needle::NotByteSearchable;
        ByteNeedle tableNeedle;  // for lines without trigger bytes
        // The text's longest run of ASCII characters this codec decodes only
        // from their own bytes; made when first needed.
        mutable bool asciiAnchorMade = false;
        mutable ByteNeedle asciiAnchor;
        ByteNeedle tailAnchor;      // difference-coded codecs: the text after its first letter
        ByteNeedle unitNeedles[2];  // fixed units: the text in the little, big endian order
    };

    // True when the plan was made for these patterns and this query.
    bool fits(const QList<CodecPattern> &patterns, const TextQuery &query) const;
    // False when `cancel` was set before the plan was complete.
    bool prepare(const QList<CodecPattern> &patterns, const TextQuery &query,
                 const std::atomic_bool *cancel);

    QList<CodecPattern> patterns;
    TextQuery query;
    Qt::CaseSensitivity cs = Qt::CaseSensitive;  // the case rule of the patterns' texts
    bool prepared = false;
    std::vector<Codec> codecs;  // each codec once, in list order: hits come grouped so
};

// Deep search of one file: every codec of the plan reads the file's lines
// (as the file's own encoding cuts them, when it can be told), and each
// matching line is reported once, at its line in the file, named by the
// file's own codec where that codec matches it, else by the first codec whose
// decoding of it holds no replacement character, else by the first codec that
// matches. Codecs are decoded only around the lines that may hold the text
// where their profile allows it. Appends nothing once `cancel` is set.
void searchAllCodecs(const DeepPlan &plan, ByteSource &source, HitSink &hits,
                     const QString &reportName, const std::atomic_bool *cancel);

// The longest run of ASCII characters of `text` marked in `anchored` whose
// case variants under `cs` are all ASCII and all marked, as bytes; empty
// when there is none.
ByteNeedle asciiAnchorFor(const QString &text, Qt::CaseSensitivity cs, const bool *anchored);

// The longest run of characters of `text` as UTF-16 or UTF-32 units (`width`
// 2 or 4) in one byte order; under Qt::CaseInsensitive only characters without
// case variants and ASCII letters whose variants are all ASCII count, with
// `bmpOnly` only characters of the Basic Multilingual Plane.
ByteNeedle unitNeedleFor(const QString &text, Qt::CaseSensitivity cs, int width, bool bigEndian,
                         bool bmpOnly);

// The bytes a difference-coded `codec` (BOCU-1) gives the text after its
// first character that sets the distance base (not a space or control), up
// to the next space or control: whatever comes before, those bytes are
// fixed. Empty when there are none, or when `cs` ignores case and one of
// those characters has case variants.
ByteNeedle tailAnchorFor(QTextCodec *codec, const QString &text, Qt::CaseSensitivity cs);

// True when a decoded line holds no replacement character: neither U+FFFD,
// nor U+001A (ICU's substitute), nor a C1 control (0x80 to 0x9F, what
// Latin-1 makes of bytes it has no letter for).
bool readsAsText(const QString &line);

// A decoded line as the hit reads it: a line feed that ends it, and a
// carriage return before that (or at the end of the file), are dropped.
QString lineWithoutEnd(QString decoded, bool endsFile);

#endif  // DEEPSEARCH_H
