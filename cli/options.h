#ifndef OPTIONS_H
#define OPTIONS_H

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

class QTextCodec;

// One search as the command line asks for it: the same values the window
// hands to searchThread::setParameters, plus the output format.
struct SearchRequest
{
    QList<QDir> dirs;
    QStringList patterns;
    QString text;  // untrimmed; empty means a name search
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    bool recursive = true;
    bool exact = false;
    bool deep = false;
    bool json = false;
    // Code page of archive member names that say nothing of their encoding;
    // null: the one of the locale's language.
    QTextCodec *archiveNameCodec = nullptr;
    int jobs = 0;  // workers; 0: one per core
};

enum class ParseOutcome { Search, Help, Version, UsageError, MissingDirectory };

struct ParsedArguments
{
    ParseOutcome outcome = ParseOutcome::UsageError;
    SearchRequest request;
    QString message;  // the text for stdout (help, version) or stderr (errors)
};

// Reads the arguments (program name first; decoded as pathcodec.h does, so
// that a DIR keeps its exact bytes) by the rules of the window's form: name
// patterns split at ";" and trimmed, "*" when only a content text is given,
// the --dirs text split at ";" keeping empty parts, each DIR one folder
// whatever its characters, every folder checked to exist.
// `rawArguments`, the same arguments as bytes, show whether the content text
// decoded cleanly in the locale codec: a text that did not is a usage error,
// as it would search for replacement characters.
ParsedArguments parseArguments(const QStringList &arguments,
                               const QList<QByteArray> &rawArguments = {});

#endif  // OPTIONS_H
