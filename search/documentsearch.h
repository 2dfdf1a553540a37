#ifndef DOCUMENTSEARCH_H
#define DOCUMENTSEARCH_H

#include "bytesource.h"
#include "hitsink.h"

#include <QByteArray>
#include <QString>

class ContentMatcher;

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

// Searches the archive member `read` streams as a document when it is one,
// else its bytes as searchStream would.
void searchDocumentMember(const ContentMatcher &matcher, const ByteSource::Reader &read,
                          HitSink &hits, const QString &hitName);

#endif  // DOCUMENTSEARCH_H
