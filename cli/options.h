#ifndef OPTIONS_H
#define OPTIONS_H

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
    bool json = false;  // hits as JSON objects, not lines
    QString message;    // the text for stdout (help, version) or stderr (errors)
};

// Reads the arguments (program name first; decoded as pathcodec.h does, so
// that a DIR keeps its exact bytes) into a request that passed its check:
// --name is read as the window's file-name field, --dirs as its directory
// field, followed by each DIR as one folder whatever its characters.
// `rawArguments`, the same arguments as bytes, show whether the content text
// decoded cleanly in the locale codec: a text that did not is a usage error,
// as it would search for replacement characters.
ParsedArguments parseArguments(const QStringList &arguments,
                               const QList<QByteArray> &rawArguments = {});

#endif  // OPTIONS_H
