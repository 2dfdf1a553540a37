#include "pdfreader.h"

#include "documentlines.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <QStringList>

#include <memory>
#include <mutex>

namespace {

// Poppler reports trouble through one global function; each thread's
// messages go to the reader running on it.
thread_local QString *popplerMessages = nullptr;

// Keeps the first message, without Poppler's "error (offset):" prefix.
void collectMessage(const std::string &message, void *)
{
    if (!popplerMessages || !popplerMessages->isEmpty())
        return;
    QString text = QString::fromStdString(message).trimmed();
    const int colon = text.indexOf(QLatin1String(": "));
    if (text.startsWith(QLatin1String("poppler/error")) || text.startsWith(QLatin1String("error")))
        text = text.mid(colon + 2);
    *popplerMessages = QStringLiteral("the PDF library reports \"%1\"").arg(text);
}

void routePopplerMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(collectMessage, nullptr); });
}

class MessageScope
{
public:
    explicit MessageScope(QString &messages) { popplerMessages = &messages; }
    ~MessageScope() { popplerMessages = nullptr; }
    MessageScope(const MessageScope &) = delete;
    MessageScope &operator=(const MessageScope &) = delete;
};

bool endsWithHyphen(const QString &line)
{
    if (line.size() < 2)
        return false;
    const QChar last = line.at(line.size() - 1);
    return (last == QLatin1Char('-') || last == QChar(0xAD) || last == QChar(0x2010))
            && line.at(line.size() - 2).isLetter();
}

// Hands a page's lines on, joining a word hyphenated at a line's end with
// its rest.
void givePage(const QString &text, DocumentLines &lines)
{
    const QStringList pageLines = text.split(QLatin1Char('\n'));
    QString held;  // a line ending in a hyphen, waiting for the next
    for (int i = 0; i < pageLines.size() && !lines.stopped(); ++i) {
        QString line = pageLines[i];
        line.remove(QLatin1Char('\f'));
        if (!held.isEmpty()) {
            const QString rest = line.trimmed();
            if (!rest.isEmpty() && rest.at(0).isLower()) {
                held.chop(1);
                line = held + rest;
            } else {
                lines.append(held);
                lines.endLine();
            }
            held.clear();
        }
        if (endsWithHyphen(line.trimmed())) {
            held = line.trimmed();
            continue;
        }
        lines.append(line);
        lines.endLine();
    }
    lines.append(held);
    lines.endLine();
}

}  // namespace

DocumentProblem readPdf(int fd, DocumentLines &lines)
{
    routePopplerMessages();
    QString loadMessage;
    std::unique_ptr<poppler::document> document;
    {
        MessageScope scope(loadMessage);
        // Poppler opens files by name; the descriptor's name keeps the file
        // the caller checked.
        document.reset(poppler::document::load_from_file("/proc/self/fd/" + std::to_string(fd)));
    }
    if (!document)
        return DocumentProblem::damaged(
                loadMessage.isEmpty() ? QStringLiteral("it is not a readable PDF") : loadMessage);
    if (document->is_locked())
        return DocumentProblem::encrypted();
    const int pages = document->pages();
    DocumentProblem trouble;
    for (int i = 0; i < pages && !lines.stopped(); ++i) {
        DocumentPlace place;
        place.kind = DocumentPlace::Kind::Page;
        place.number = i + 1;
        lines.setPlace(place);
        QString pageMessage;
        MessageScope scope(pageMessage);
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        if (!page) {
            if (trouble.isNone())
                trouble = DocumentProblem::damaged(
                        QStringLiteral("page %1 cannot be read").arg(i + 1));
            continue;
        }
        const poppler::byte_array utf8
                = page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout)
                          .to_utf8();
        givePage(QString::fromUtf8(utf8.data(), int(utf8.size())), lines);
    }
    lines.endLine();
    if (trouble.isNone() && !loadMessage.isEmpty())
        trouble = DocumentProblem::damaged(loadMessage);
    return trouble;
}
