#ifndef DOCUMENTMODULE_H
#define DOCUMENTMODULE_H

#include "documentreader.h"

// The document readers are a module of their own, velto-documents.so (with
// Poppler and libgsf under it), loaded on the first document a process
// reads, so that a process that reads none never loads them. It is looked
// for beside the running program first (the build tree), then where the
// package installs it.

// The module's one entry point: the readers' readDocument.
using ReadDocumentFunction
        = DocumentOutcome (*)(int fd, DocumentKind kind, const QString &name,
                              const DocumentLineConsumer &consume, const std::atomic_bool *stop);
// Its name, given a new number when the signature changes.
#define VELTO_DOCUMENT_ENTRY veltoDocumentReader1
extern "C" {
using DocumentEntryFunction = ReadDocumentFunction (*)();
}

// readDocument through the module, loaded on the first call (from any
// thread). When it cannot be loaded, nothing is read and the outcome is
// Failed, its diagnostic naming the document and why.
DocumentOutcome readDocumentThroughModule(int fd, DocumentKind kind, const QString &name,
                                          const DocumentLineConsumer &consume,
                                          const std::atomic_bool *stop = nullptr);

// Where the module is loaded from, or, when it cannot be, an empty path and
// why in `problem`. Loads it on the first call.
QString documentModulePath(QString *problem = nullptr);

#endif  // DOCUMENTMODULE_H
