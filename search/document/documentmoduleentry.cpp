// The entry point of velto-documents.so, the module the document readers are
// loaded from (documentmodule.h).
#include "documentmodule.h"

extern "C" __attribute__((visibility("default"))) ReadDocumentFunction VELTO_DOCUMENT_ENTRY()
{
    return &readDocument;
}
