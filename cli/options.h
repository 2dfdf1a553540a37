#ifndef OPTIONS_H
#define OPTIONS_H

#include "hitprinter.h"
#include "searchrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

enum class ParseOutcome { Search, Help, Version, UsageError };

struct ParsedArguments
{
    ParseOutcome outcome = ParseOutcome::UsageError;
    SearchRequest request;
    bool json = false;    // hits as JSON objects, not lines
    PrintStyle style;     // what of the hits is printed, and how
    bool quiet = false;   // nothing printed; the search ends at the first hit (-q)
    bool silent = false;  // no diagnostics (-s)
    QString message;      // the text for stdout (help, version) or stderr (errors)
};

// Reads the arguments (program name first; decoded as pathcodec.h does, so
// that a DIR keeps its exact bytes) into a request that passed its check:
// --name is read as the window's file-name field, --dirs as its directory
// field, followed by each DIR as one folder whatever its characters.
// `rawArguments`, the same arguments as bytes, show whether the content text
// decoded cleanly in the locale codec: a text that did not is a usage error,
// as it would search for replacement characters.
// `outputIsTerminal` decides --color=auto and whether control characters
// are shown rather than written.
ParsedArguments parseArguments(const QStringList &arguments,
                               const QList<QByteArray> &rawArguments = {},
                               bool outputIsTerminal = false);

#endif  // OPTIONS_H
