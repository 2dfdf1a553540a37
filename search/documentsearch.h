#ifndef DOCUMENTSEARCH_H
#define DOCUMENTSEARCH_H

#include "bytesource.h"
#include "contentmatcher.h"
#include "hitsink.h"

#include <QByteArray>
#include <QString>

#include <atomic>

// The search's one road into the document room: a file or an archive member
// whose name and first bytes make it a document (PDF, Office, OpenDocument,
// EPUB, RTF) is searched by its text, each hit with its place, instead of
// its bytes. A document that cannot be read gives one diagnostic naming it
// and the hits found before the damage.

// True when `name` promises a document; only such files are looked at.
bool isDocumentName(const QString &name);

// Searches the file `name` of the open folder `folderFd` as a document, the
// diagnostic naming it `shownPath`; false when it is not one (or cannot be
// opened as a regular file), and the caller searches its bytes.
bool searchDocumentFileAt(const ContentMatcher &matcher, int folderFd, const QByteArray &name,
                          const QString &shownPath, HitSink &hits, const QString &reportName);

// Gives the lines of the file open at `fd` (read from its start) to `take`
// when its name `name` and first bytes make it a document, each with its
// place ("page 3"); false when it is none and nothing was read. When the
// document cannot be read whole, `problem` says why, naming it `name`.
bool readDocumentLines(int fd, const QString &name, const ContentMatcher::TextLineTaker &take,
                       const std::atomic_bool *stop, QString *problem);

// Searches the archive member `read` streams as a document when it is one,
// else its bytes as searchStream would.
void searchDocumentMember(const ContentMatcher &matcher, const ByteSource::Reader &read,
                          HitSink &hits, const QString &hitName);

#endif  // DOCUMENTSEARCH_H
