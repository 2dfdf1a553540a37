#include "previewloader.h"

#include "anonymousfile.h"
#include "codecs.h"
#include "documentsearch.h"
#include "pathcodec.h"
#include "threadhandover.h"
#include "uniquefd.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QTextDecoder>

#include <archive.h>
#include <archive_entry.h>

#include <deque>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 blockSize = 1 << 20;
// A name hit shows the start of its file.
constexpr int nameHitLines = 2 * PreviewLoader::kContext;

struct FileCloser
{
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The codec of the file as the normal search reads it: a byte-order mark,
// else the locale's; or the codec that found a deep-search hit.
QTextCodec *codecFor(const QByteArray &named, const char *first, qint64 size)
{
    if (!named.isEmpty()) {
        if (QTextCodec *codec = QTextCodec::codecForName(named))
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
            if (lineNo >= first && current.size() < PreviewLoader::kMaxLineChars)
                current += text.midRef(
                        start, qMin(end - start, PreviewLoader::kMaxLineChars - current.size()));
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

// Reads the member `member` of the archive open at `fd` (any format
// libarchive reads) and hands its bytes to `consume` until it wants no more.
// False when the archive cannot be read or holds no such member.
bool readArchiveMember(int fd, const QString &member, const std::function<bool()> &stillWanted,
                       const std::function<bool(const char *, qint64)> &consume)
{
    const std::unique_ptr<archive, int (*)(archive *)> reader(archive_read_new(),
                                                              archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_fd(reader.get(), fd, 1 << 16) != ARCHIVE_OK)
        return false;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        if (!stillWanted())
            return true;
        const char *utf8 = archive_entry_pathname_utf8(entry);
        const char *bytes = archive_entry_pathname(entry);
        const QString name
                = utf8 ? QString::fromUtf8(utf8) : decodePath(bytes, int(qstrlen(bytes)));
        if (name != member)
            continue;
        QByteArray block(int(blockSize), Qt::Uninitialized);
        for (;;) {
            const la_ssize_t got = archive_read_data(reader.get(), block.data(), size_t(blockSize));
            if (got <= 0 || !stillWanted() || !consume(block.constData(), got))
                return true;
        }
    }
    return false;
}

// The lines `first` to `last` of the document `request` names, open at `fd`
// (a member is first copied to an anonymous file), each behind its place as
// the table shows it; false when it is no document.
bool readDocumentPreview(int fd, const PreviewRequest &request, qint64 first, qint64 last,
                         const std::function<bool()> &stillWanted, PreviewText *result)
{
    UniqueFd copy;
    if (!request.member.isEmpty()) {
        copy = UniqueFd(createAnonymousFile());
        bool written = copy.get() >= 0;
        const bool found = written
                && readArchiveMember(fd, request.member, stillWanted,
                                     [&](const char *data, qint64 size) {
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
            result->lines.last().truncate(PreviewLoader::kMaxLineChars);
        }
        lastNumber = number;
        return true;
    };
    const QString name = request.member.isEmpty() ? request.path : request.member;
    if (!readDocumentLines(copy.get() >= 0 ? copy.get() : fd, name, take, nullptr, &problem))
        return false;
    if (result->lines.isEmpty())
        result->problem = problem;
    return true;
}

}  // namespace

PreviewText readPreview(const PreviewRequest &request, const std::function<bool()> &stillWanted)
{
    PreviewText result;
    result.generation = request.generation;
    const QByteArray native = encodePath(request.path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    const FileCloser closer {fd};
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        result.problem = QCoreApplication::translate("PreviewPane", "无法打开此文件");
        return result;
    }
    if (S_ISDIR(info.st_mode)) {
        result.problem = QCoreApplication::translate("PreviewPane", "这是一个目录");
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.problem = QCoreApplication::translate("PreviewPane", "不是普通文件");
        return result;
    }

    const qint64 target = request.lineNo > 0 ? request.lineNo : 1;
    const qint64 first = request.lineNo > 0 ? qMax<qint64>(1, target - PreviewLoader::kContext) : 1;
    const qint64 last = request.lineNo > 0 ? target + PreviewLoader::kContext : nameHitLines;
    if (request.documents
        && isDocumentName(request.member.isEmpty() ? request.path : request.member)) {
        if (readDocumentPreview(fd, request, first, last, stillWanted, &result))
            return result;
        ::lseek(fd, 0, SEEK_SET);  // not a document after all: its bytes, from the start
    }
    LineWindow window(first, last);
    std::unique_ptr<QTextDecoder> decoder;
    // Takes the next bytes; false once the lines after the hit are in.
    const auto consume = [&](const char *data, qint64 size) {
        if (!decoder)
            decoder.reset(codecFor(request.codec, data, size)->makeDecoder());
        return !window.add(decoder->toUnicode(data, int(size)));
    };
    if (!request.member.isEmpty()) {
        if (!readArchiveMember(fd, request.member, stillWanted, consume)) {
            result.problem = QCoreApplication::translate("PreviewPane", "压缩包里没有这个文件");
            return result;
        }
    } else {
        QByteArray block(int(blockSize), Qt::Uninitialized);
        // What the file held when opened: a file that grows is not followed.
        qint64 left = info.st_size;
        while (left > 0 && stillWanted()) {
            const ssize_t got = ::read(fd, block.data(), size_t(qMin(left, blockSize)));
            if (got <= 0 || !consume(block.constData(), got))
                break;
            left -= got;
        }
    }
    if (!stillWanted())
        return result;
    result.firstLineNo = window.firstLine();
    result.lines = window.lines();
    return result;
}

void PreviewLoader::load(const PreviewRequest &request)
{
    if (!wanted(request.generation))
        return;
    const PreviewText text = readPreview(request, [&] { return wanted(request.generation); });
    if (wanted(request.generation)) {
        handOver(this);
        emit loaded(text);
    }
}
