#include "previewlines.h"

#include "anonymousfile.h"
#include "codecs.h"
#include "documentsearch.h"
#include "memberbytes.h"
#include "uniquefd.h"

#include <QTextCodec>
#include <QTextDecoder>

#include <deque>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kBlockSize = 1 << 20;
// A name hit shows the start of its file.
constexpr int kNameHitLines = 2 * PreviewSpot::kContext;

// The codec a deep-search hit names. A converter that only ICU offers is
// known by its name once made, as the deep search makes them; a reader
// process that has not searched deep yet makes them here.
QTextCodec *codecNamed(const QByteArray &name)
{
    if (QTextCodec *codec = QTextCodec::codecForName(name))
        return codec;
    for (QTextCodec *codec : unlistedCodecs()) {
        if (codec->name() == name)
            return codec;
    }
    return nullptr;
}

// The codec of the file as the normal search reads it: a byte-order mark,
// else the locale's; or the codec that found a deep-search hit.
QTextCodec *codecFor(const QByteArray &named, const char *first, qint64 size)
{
    if (!named.isEmpty()) {
        if (QTextCodec *codec = codecNamed(named))
            return codec;
    }
    return QTextCodec::codecForUtfText(QByteArray::fromRawData(first, int(qMin<qint64>(size, 4))),
                                       systemCodec());
}

// Collects the lines from `first` to `last` of a text that arrives in pieces.
class LineWindow
{
public:
    LineWindow(qint64 first, qint64 last) : first(first), last(last) { }

    // Takes the next piece of decoded text; true once the last line is complete.
    bool add(const QString &text)
    {
        int start = 0;
        while (start <= text.size()) {
            const int feed = text.indexOf(QLatin1Char('\n'), start);
            const int end = feed < 0 ? text.size() : feed;
            if (lineNo >= first && current.size() < PreviewSpot::kMaxLineChars)
                current += text.midRef(
                        start, qMin(end - start, PreviewSpot::kMaxLineChars - current.size()));
            if (feed < 0)
                return false;
            finishLine();
            if (lineNo > last)
                return true;
            start = feed + 1;
        }
        return false;
    }

    // The lines read, the unfinished last one included.
    QStringList lines()
    {
        if (!current.isEmpty() && lineNo >= first && lineNo <= last)
            finishLine();
        return QStringList(kept.begin(), kept.end());
    }
    qint64 firstLine() const { return first; }

private:
    void finishLine()
    {
        if (lineNo >= first) {
            if (current.endsWith(QLatin1Char('\r')))
                current.chop(1);
            kept.push_back(current);
        }
        current.clear();
        ++lineNo;
    }

    const qint64 first;
    const qint64 last;
    qint64 lineNo = 1;  // the line being read
    QString current;
    std::deque<QString> kept;
};

// The lines `first` to `last` of the document `spot` names in `file` (a
// member is first copied to an anonymous file), each behind its place as
// the table shows it; false when it is no document.
bool readDocumentPreview(const PreviewFile &file, const PreviewSpot &spot, qint64 first,
                         qint64 last, const std::function<bool()> &stillWanted,
                         PreviewLines *result)
{
    UniqueFd copy;
    if (!spot.member.isEmpty()) {
        copy = UniqueFd(createAnonymousFile());
        bool written = copy.get() >= 0;
        const bool found = written
                && readArchiveMember(file.folderFd, file.name, file.fileName, spot.member,
                                     stillWanted, [&](const char *data, qint64 size) {
                                         written = ::write(copy.get(), data, size_t(size)) == size;
                                         return written;
                                     });
        if (!found || !written || ::lseek(copy.get(), 0, SEEK_SET) != 0)
            return false;
    }
    qint64 lastNumber = 0;
    QString problem;
    const auto take = [&](qint64 number, const QString &text, const QString &place) {
        if (number > last || !stillWanted())
            return false;
        if (number >= first) {
            // A line longer than the reader's pieces comes in several.
            if (number == lastNumber && !result->lines.isEmpty()) {
                result->lines.last() += text;
            } else {
                if (result->lines.isEmpty())
                    result->firstLineNo = number;
                result->lines.append(place.isEmpty() ? text
                                                     : QLatin1Char('[') + place
                                                     + QLatin1String("]\t") + text);
            }
            result->lines.last().truncate(PreviewSpot::kMaxLineChars);
        }
        lastNumber = number;
        return true;
    };
    const QString name = spot.member.isEmpty() ? file.fileName : spot.member;
    if (!readDocumentLines(copy.get() >= 0 ? copy.get() : file.fd, name, take, nullptr, &problem))
        return false;
    if (result->lines.isEmpty())
        result->problem = problem;
    return true;
}

}  // namespace

bool previewParsesForeignFormat(const QString &fileName, const PreviewSpot &spot)
{
    return !spot.member.isEmpty() || (spot.documents && isDocumentName(fileName));
}

PreviewLines readPreviewLines(const PreviewFile &file, const PreviewSpot &spot,
                              const std::function<bool()> &stillWanted)
{
    const int fd = file.fd;
    PreviewLines result;
    const qint64 target = spot.lineNo > 0 ? spot.lineNo : 1;
    const qint64 first = spot.lineNo > 0 ? qMax<qint64>(1, target - PreviewSpot::kContext) : 1;
    const qint64 last = spot.lineNo > 0 ? target + PreviewSpot::kContext : kNameHitLines;
    if (spot.documents && isDocumentName(spot.member.isEmpty() ? file.fileName : spot.member)) {
        if (readDocumentPreview(file, spot, first, last, stillWanted, &result))
            return result;
        ::lseek(fd, 0, SEEK_SET);  // not a document after all: its bytes, from the start
    }
    LineWindow window(first, last);
    std::unique_ptr<QTextDecoder> decoder;
    // Takes the next bytes; false once the lines after the hit are in.
    const auto consume = [&](const char *data, qint64 size) {
        if (!decoder)
            decoder.reset(codecFor(spot.codec, data, size)->makeDecoder());
        return !window.add(decoder->toUnicode(data, int(size)));
    };
    if (!spot.member.isEmpty()) {
        if (!readArchiveMember(file.folderFd, file.name, file.fileName, spot.member, stillWanted,
                               consume)) {
            result.noSuchMember = true;
            return result;
        }
    } else {
        struct stat info;
        QByteArray block(int(kBlockSize), Qt::Uninitialized);
        // What the file held when opened: a file that grows is not followed.
        qint64 left = ::fstat(fd, &info) == 0 ? info.st_size : 0;
        while (left > 0 && stillWanted()) {
            const ssize_t got = ::read(fd, block.data(), size_t(qMin(left, kBlockSize)));
            if (got <= 0 || !consume(block.constData(), got))
                break;
            left -= got;
        }
    }
    result.firstLineNo = window.firstLine();
    result.lines = window.lines();
    return result;
}
