#include "options.h"

#include "codecs.h"
#include "pathcodec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextCodec>

namespace {

const char *const helpText
        = "Searches files by name and by content, like the Velto window.\n"
          "\n"
          "Hits go to standard output, one a line, in the order the window receives\n"
          "them (each folder after its subfolders): DIR/FILE for a name hit,\n"
          "DIR/FILE:LINE:TEXT for a content hit, the path in the exact bytes the file\n"
          "system holds; with --json one object a line:\n"
          "{\"dir\": ..., \"file\": ..., \"line\": N, \"text\": ...} (line 0 and an empty\n"
          "text for a name hit). JSON text is UTF-8: a byte of a name that does not\n"
          "decode in the locale's encoding reads as U+FFFD there, and the exact bytes\n"
          "follow in base64, \"dir_bytes\" after \"dir\" and \"file_bytes\" after \"file\",\n"
          "only in the objects that need them. Diagnostics go to standard error, one a\n"
          "line; the last line there counts the folders and files that could not be\n"
          "read, if any.\n"
          "\n"
          "Start directories: the parts of --dirs (split at \";\", an empty part is\n"
          "the current directory), then each DIR; neither given: the current directory.\n"
          "\n"
          "Exit status: 0 something found, 1 nothing found, 2 bad usage (an invalid\n"
          "name pattern, a content text with a line break), a missing start directory\n"
          "or unwritable standard output, 130 stopped by SIGINT (Ctrl-C), 143 stopped\n"
          "by SIGTERM. Every hit found before a stop is printed.";

const char *const usageLine
        = "Usage: velto-find [-n|--name TEXT] [-c|--content TEXT] [-x|--exact] [--no-recursive]\n"
          "                  [-i|--ignore-case] [-d|--deep] [--json] [-j|--jobs N] [--dirs TEXT]\n"
          "                  [--name-encoding CODEPAGE] [DIR ...]\n"
          "Try 'velto-find --help' for more information.\n";

ParsedArguments usageError(const QString &reason)
{
    ParsedArguments parsed;
    parsed.outcome = ParseOutcome::UsageError;
    parsed.message = QStringLiteral("velto-find: %1\n%2").arg(reason, QString::fromUtf8(usageLine));
    return parsed;
}

// True when one of the raw arguments ends with the bytes of `text` in the
// locale codec and those bytes decode to it cleanly: a text made of bytes the
// codec rejects holds replacement characters, whose bytes no argument holds.
bool cameCleanly(const QString &text, const QList<QByteArray> &rawArguments)
{
    QTextCodec *const codec = QTextCodec::codecForLocale();
    const QByteArray bytes = encodeText(codec, text);
    for (const QByteArray &raw : rawArguments) {
        if (raw.endsWith(bytes) && decodesCleanly(codec, bytes))
            return true;
    }
    return false;
}

// A request that cannot be searched as given: one sentence, no usage text.
ParsedArguments refusedRequest(const QString &sentence)
{
    ParsedArguments parsed;
    parsed.outcome = ParseOutcome::UsageError;
    parsed.message = QStringLiteral("velto-find: %1\n").arg(sentence);
    return parsed;
}

// The refusal of a request that failed its check, in this program's words.
ParsedArguments refusal(const RequestError &error)
{
    switch (error.kind) {
    case RequestError::Kind::None:
        break;
    case RequestError::Kind::NothingToSearch:
        return usageError(
                QStringLiteral("give a file-name pattern (--name), a content text (--content) "
                               "or both"));
    case RequestError::Kind::InvalidNamePattern:
        return refusedRequest(
                QStringLiteral("the file-name pattern \"%1\" is not a valid wildcard "
                               "(a \"[\" needs its \"]\", a range its lower end first).")
                        .arg(error.part));
    case RequestError::Kind::LineBreakInText:
        return refusedRequest(QStringLiteral("the content text holds a line break, and no line "
                                             "can contain one."));
    case RequestError::Kind::MissingFolder:
        return refusedRequest(
                QStringLiteral("the start directory \"%1\" does not exist.").arg(error.part));
    }
    return refusedRequest(QString());
}

}  // namespace

ParsedArguments parseArguments(const QStringList &arguments, const QList<QByteArray> &rawArguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(helpText));
    const QCommandLineOption nameOption(
            {"n", "name"}, "File-name patterns, separated by \";\" (wildcards * ? [..]).", "TEXT");
    const QCommandLineOption contentOption(
            {"c", "content"}, "Text to find inside files, taken as typed; empty: a name search.",
            "TEXT");
    const QCommandLineOption exactOption({"x", "exact"}, "Match file names exactly as typed.");
    const QCommandLineOption noRecursiveOption("no-recursive", "Do not search subdirectories.");
    const QCommandLineOption ignoreCaseOption({"i", "ignore-case"},
                                              "Ignore case in the content text.");
    const QCommandLineOption deepOption({"d", "deep"}, "Deep search: try every text codec.");
    const QCommandLineOption jsonOption("json", "One JSON object per hit and line.");
    const QCommandLineOption jobsOption(
            {"j", "jobs"},
            "Files searched at once (default: one per core); the output is the same.", "N");
    const QCommandLineOption dirsOption(
            "dirs",
            "Start directories, separated by \";\", read like the window's directory field.",
            "TEXT");
    const QCommandLineOption nameEncodingOption(
            "name-encoding",
            "Code page of archive member names that do not say theirs (GBK, CP932, "
            "CP866, ...); by default the one of the locale's language.",
            "CODEPAGE");
    parser.addOptions({nameOption, contentOption, exactOption, noRecursiveOption, ignoreCaseOption,
                       deepOption, jsonOption, jobsOption, dirsOption, nameEncodingOption});
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument("DIR", "A start directory.", "[DIR ...]");

    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    ParsedArguments parsed;
    if (parser.isSet(helpOption)) {
        parsed.outcome = ParseOutcome::Help;
        parsed.message = parser.helpText();
        return parsed;
    }
    if (parser.isSet(versionOption)) {
        parsed.outcome = ParseOutcome::Version;
        parsed.message
                = QStringLiteral("velto-find %1\n").arg(QCoreApplication::applicationVersion());
        return parsed;
    }

    SearchRequest &request = parsed.request;
    request.names = parser.value(nameOption);
    request.text = parser.value(contentOption);
    if (!rawArguments.isEmpty() && !request.text.isEmpty()
        && (hasUndecodedBytes(request.text) || !cameCleanly(request.text, rawArguments)))
        return refusedRequest(
                QStringLiteral("the content text is not valid %1, the encoding of the locale.")
                        .arg(QString::fromLatin1(QTextCodec::codecForLocale()->name())));
    if (parser.isSet(dirsOption))
        request.folders = SearchRequest::foldersOfField(parser.value(dirsOption));
    request.folders += parser.positionalArguments();
    request.caseSensitivity
            = parser.isSet(ignoreCaseOption) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    request.recursive = !parser.isSet(noRecursiveOption);
    request.exact = parser.isSet(exactOption);
    request.deep = parser.isSet(deepOption);
    parsed.json = parser.isSet(jsonOption);
    if (parser.isSet(nameEncodingOption)) {
        const QString codePage = parser.value(nameEncodingOption);
        request.archiveNameCodec = QTextCodec::codecForName(codePage.toLatin1());
        if (!request.archiveNameCodec)
            return usageError(QStringLiteral("unknown code page: %1").arg(codePage));
    }
    if (parser.isSet(jobsOption)) {
        bool number = false;
        request.workers = parser.value(jobsOption).toInt(&number);
        if (!number || request.workers < 1)
            return usageError(QStringLiteral("--jobs takes a number of at least 1"));
    }

    const RequestError error = request.check();
    if (error.isError())
        return refusal(error);
    parsed.outcome = ParseOutcome::Search;
    return parsed;
}
