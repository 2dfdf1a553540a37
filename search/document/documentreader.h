#ifndef DOCUMENTREADER_H
#define DOCUMENTREADER_H

#include "documentkind.h"
#include "documentline.h"

#include <QString>

#include <atomic>

// How the reading of one document ended.
struct DocumentOutcome
{
    enum class Status {
        Read,     // every line was given
        Stopped,  // a stop request or the consumer ended it
        Failed,   // encrypted, damaged or cut short: the lines before were given
    };

    Status status = Status::Read;
    QString diagnostic;  // when Failed: one line in words that names the document
};

// Gives the text of the document of `kind` open at `fd` (a seekable file,
// read from its start whatever the descriptor's position) to `consume`,
// line by line in the document's order, in bounded memory. `name` names
// the document in the diagnostic (an archive member's hit name). `stop`,
// when set, is checked between lines and inside long loops.
DocumentOutcome readDocument(int fd, DocumentKind kind, const QString &name,
                             const DocumentLineConsumer &consume,
                             const std::atomic_bool *stop = nullptr);

#endif  // DOCUMENTREADER_H
