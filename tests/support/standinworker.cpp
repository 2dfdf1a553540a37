// velto-worker with a document reader and a preview reader that fail on
// purpose, for the tests of a search and a preview whose documents are
// parsed apart: a file whose name begins with "crash" is read and its hits
// (or lines) sent, and then the reader aborts; "spin" loops on the processor
// after that, "block" waits without end. Every other job is read as
// velto-worker reads it.
#include "localecodec.h"
#include "readerjobs.h"

#include <QTextCodec>

#include <clocale>
#include <cstdlib>
#include <poll.h>

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    QTextCodec::setCodecForLocale(localeCodec());
    QHash<QByteArray, ReaderHandler> handlers = readerHandlers();
    for (const QByteArray &kind : {QByteArrayLiteral("document"), QByteArrayLiteral("preview")}) {
        const ReaderHandler reader = handlers.value(kind);
        handlers.insert(kind, [reader](const ReaderJob &job, ReaderReplies &replies) {
            reader(job, replies);
            replies.hits().flush();
            if (job.entryName.startsWith("crash"))
                std::abort();
            if (job.entryName.startsWith("spin")) {
                for (volatile unsigned long i = 0;; i = i + 1) { }
            }
            if (job.entryName.startsWith("block")) {
                for (;;)
                    ::poll(nullptr, 0, -1);
            }
        });
    }
    return runReaderProcess(argc, argv, handlers);
}
