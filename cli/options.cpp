#include "options.h"

#include "codecs.h"
#include "pathcodec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextCodec>

#include <sys/stat.h>

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
          "Documents (PDF, .docx/.xlsx/.pptx, OpenDocument, EPUB, RTF, .doc/.xls/.ppt),\n"
          "also inside archives, are searched by their text: a paragraph, a table\n"
          "cell or a spreadsheet row is a line, numbered through the document, and\n"
          "its place comes before its text as [page 3], [sheet NAME] or [slide 2]\n"
          "(in --json a \"place\" field). --no-documents searches their bytes.\n"
          "\n"
          "Start directories: the parts of --dirs (split at \";\", an empty part is\n"
          "the current directory), then each DIR; neither given: the current directory.\n"
          "\n"
          "Content texts are taken literally unless -E makes them PCRE2 expressions\n"
          "(as grep -P reads them: \\w, \\d and \\b are ASCII unless the expression\n"
          "starts with (*UCP); \\p{Han}, \\p{L} and the like are Unicode). -w takes\n"
          "whole words: a match whose neighbours are no letters, digits or \"_\" in\n"
          "Unicode terms, so a CJK character is a word character. -c and each -e give\n"
          "texts of which a line must hold any; --and and --not, read the same way,\n"
          "choose the files whose lines are shown.\n"
          "\n"
          "With -A, -B or -C the lines around a hit follow as DIR/FILE-LINE-TEXT, a\n"
          "line \"--\" between groups; in --json every object then has \"type\":\n"
          "\"match\" or \"context\". -l, -L and --count print DIR/FILE or\n"
          "DIR/FILE:COUNT instead of lines (in --json an object with \"count\").\n"
          "Hidden names (starting with \".\") are passed over unless --hidden is\n"
          "given. Links to folders are entered and links to files passed over;\n"
          "--follow takes every link as what it points to, --no-follow none. Each\n"
          "folder is walked once below a start directory, by the first path that\n"
          "leads to it. --exclude and --exclude-dir take wildcards as --name does,\n"
          "matching whole names. --ignore-files passes over what the .gitignore and\n"
          ".ignore files from a start directory down list, as git reads them. --size +N or -N "
          "(units k, M, G, T, powers of 1024;\n"
          "repeatable) keeps the files larger or smaller than N; --newer and --older\n"
          "take a date (2026-01-01, 2026-01-01 08:30) or a duration back from now\n"
          "(30m, 12h, 7d, 2w) and keep what was modified after or before it.\n"
          "\n"
          "On a terminal, control characters of names and lines are shown as\n"
          "symbols (ESC as U+241B), never sent; pipes and --json get the bytes.\n"
          "\n"
          "Exit status: 0 something found, 1 nothing found, 2 bad usage (an invalid\n"
          "name pattern or expression, a content text with a line break), a missing\n"
          "start directory or unwritable standard output, 130 stopped by SIGINT\n"
          "(Ctrl-C), 143 stopped by SIGTERM. Every hit found before a stop is printed.";

const char *const usageLine
        = "Usage: velto-find [-n|--name TEXT] [-c|--content TEXT] [-e TEXT]... [-E|-F] [-w]\n"
          "                  [--and TEXT]... [--not TEXT]... [-x|--exact] [--no-recursive]\n"
          "                  [-i|--ignore-case] [-d|--deep] [-I|--binary-files=TYPE]\n"
          "                  [--no-documents]\n"
          "                  [-l|-L|--count] [-m N] [-A N] [-B N] [-C N] [--color[=WHEN]]\n"
          "                  [-0] [-s] [-q] [-H|-h] [--hidden] [--ignore-files]\n"
          "                  [--follow|--no-follow]\n"
          "                  [--exclude GLOB]... [--exclude-dir GLOB]... [--max-depth N]\n"
          "                  [--size +N|-N]... [--newer WHEN] [--older WHEN]\n"
          "                  [--json] [-j|--jobs N] [--dirs TEXT]\n"
          "                  [--name-encoding CODEPAGE] [DIR ...]\n"
          "Try 'velto-find --help' for more information.\n";

// A count given to an option: a whole number of at least 0.
bool readCount(const QString &value, int *count)
{
    bool number = false;
    *count = value.toInt(&number);
    return number && *count >= 0;
}

// The last of the options `names` (short or long names) given, or an empty
// string when none was: later options override earlier ones, as in grep.
QString lastOf(const QStringList &given, const QStringList &names)
{
    QString last;
    for (const QString &name : given) {
        if (names.contains(name))
            last = name;
    }
    return last;
}

// --color without a value means auto, as in grep; the parser wants one. An
// argument that is the value of the option before it stays as it is.
QStringList withColourValues(QStringList arguments)
{
    static const QStringList takesValue {"-n",
                                         "--name",
                                         "-c",
                                         "--content",
                                         "-e",
                                         "--regexp",
                                         "--and",
                                         "--not",
                                         "-m",
                                         "--max-count",
                                         "-A",
                                         "--after-context",
                                         "-B",
                                         "--before-context",
                                         "-C",
                                         "--context",
                                         "-j",
                                         "--jobs",
                                         "--dirs",
                                         "--name-encoding",
                                         "--binary-files",
                                         "--exclude",
                                         "--exclude-dir",
                                         "--max-depth",
                                         "--size",
                                         "--newer",
                                         "--older"};
    for (int i = 1; i < arguments.size(); ++i) {
        QString &argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (takesValue.contains(arguments[i - 1]))
            continue;
        if (argument == QLatin1String("--color") || argument == QLatin1String("--colour"))
            argument += QLatin1String("=auto");
    }
    return arguments;
}

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
    case RequestError::Kind::InvalidExpression:
        return refusedRequest(QStringLiteral("the expression \"%1\" is not valid: %2 at "
                                             "character %3.")
                                      .arg(error.part, error.detail)
                                      .arg(error.offset + 1));
    case RequestError::Kind::InvalidExclusion:
        return refusedRequest(
                QStringLiteral("the exclusion \"%1\" is not a valid wildcard.").arg(error.part));
    case RequestError::Kind::InvalidSize:
        return usageError(QStringLiteral("--size takes +N or -N with an optional unit k, M, G "
                                         "or T, not \"%1\"")
                                  .arg(error.part));
    case RequestError::Kind::InvalidTime:
        return usageError(QStringLiteral("--newer and --older take a date (2026-01-01, "
                                         "2026-01-01 08:30) or a duration (30m, 12h, 7d, 2w), "
                                         "not \"%1\"")
                                  .arg(error.part));
    case RequestError::Kind::MissingFolder: {
        struct stat info;
        const bool exists = ::stat(encodePath(error.part).constData(), &info) == 0;
        return refusedRequest(QStringLiteral("the start directory \"%1\" %2.")
                                      .arg(error.part,
                                           exists ? QStringLiteral("is not a directory")
                                                  : QStringLiteral("does not exist")));
    }
    }
    return refusedRequest(QString());
}

// Reads the options of what is printed (and the limits they set on the
// search) into `parsed`; false with the reason in its message when one is
// given a bad value.
bool readOutputOptions(const QCommandLineParser &parser, ParsedArguments *parsed,
                       bool outputIsTerminal)
{
    const QStringList given = parser.optionNames();
    HitLimits &limits = parsed->request.limits;
    PrintStyle &style = parsed->style;
    const auto count = [&](const char *name, int *value) {
        if (!parser.isSet(QLatin1String(name)))
            return true;
        if (readCount(parser.value(QLatin1String(name)), value))
            return true;
        parsed->message
                = QStringLiteral("-%1 takes a number of at least 0").arg(QLatin1String(name));
        return false;
    };
    int context = 0;
    int maxCount = 0;
    if (!count("C", &context) || !count("m", &maxCount))
        return false;
    limits.before = limits.after = context;
    if (!count("A", &limits.after) || !count("B", &limits.before))
        return false;
    limits.maxCount = maxCount;
    style.contextLines = limits.wantsContext();

    // The last of -l, -L and --count decides.
    const QString listing
            = lastOf(given, {"l", "files-with-matches", "L", "files-without-match", "count"});
    if (listing == QLatin1String("count")) {
        style.listing = PrintStyle::Listing::Counts;
    } else if (!listing.isEmpty()) {
        const bool with
                = listing == QLatin1String("l") || listing == QLatin1String("files-with-matches");
        style.listing
                = with ? PrintStyle::Listing::FilesWithHits : PrintStyle::Listing::FilesWithoutHits;
        limits.maxCount = 1;  // one hit tells
    }
    limits.countOnly = style.listing != PrintStyle::Listing::Lines;

    parsed->quiet = parser.isSet(QStringLiteral("q"));
    if (parsed->quiet)
        limits.maxCount = 1;
    parsed->silent = parser.isSet(QStringLiteral("s"));
    style.nullAfterName = parser.isSet(QStringLiteral("0"));
    const QString naming = lastOf(given, {"H", "with-filename", "h", "no-filename"});
    style.fileNames = naming != QLatin1String("h") && naming != QLatin1String("no-filename");

    const QString when = parser.isSet(QStringLiteral("color"))
            ? parser.value(QStringLiteral("color"))
            : QStringLiteral("never");
    if (when != QLatin1String("auto") && when != QLatin1String("always")
        && when != QLatin1String("never")) {
        parsed->message = QStringLiteral("--color takes auto, always or never");
        return false;
    }
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool noColour = !qEnvironmentVariableIsEmpty("NO_COLOR");
    style.colour = !json
            && (when == QLatin1String("always")
                || (when == QLatin1String("auto") && outputIsTerminal && !noColour));
    style.visibleControls = outputIsTerminal && !json;
    return true;
}

}  // namespace

ParsedArguments parseArguments(const QStringList &givenArguments,
                               const QList<QByteArray> &rawArguments, bool outputIsTerminal)
{
    const QStringList arguments = withColourValues(givenArguments);
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
    const QCommandLineOption noDocumentsOption(
            "no-documents", "Search documents by their bytes, not by their text.");
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
    const QCommandLineOption moreTextOption(
            {"e", "regexp"}, "One more content text; a line holding any of them is shown.", "TEXT");
    const QCommandLineOption regexOption({"E", "regex"},
                                         "Content texts are PCRE2 regular expressions.");
    const QCommandLineOption fixedOption({"F", "fixed-strings"},
                                         "Content texts are taken literally (the default).");
    const QCommandLineOption wordOption({"w", "word-regexp"},
                                        "Match whole words only (Unicode letters, digits, _).");
    const QCommandLineOption andOption(
            "and", "Show only files that also hold TEXT somewhere (repeatable).", "TEXT");
    const QCommandLineOption notOption("not", "Show only files that hold no TEXT (repeatable).",
                                       "TEXT");
    const QCommandLineOption skipBinaryOption(
            "I", "Pass over binary files (a NUL among the first 64 KiB).");
    const QCommandLineOption binaryFilesOption(
            "binary-files", "without-match: pass over binary files; text: search them (default).",
            "TYPE");
    const QCommandLineOption filesWithOption({"l", "files-with-matches"},
                                             "Print the files with a hit, not lines.");
    const QCommandLineOption filesWithoutOption({"L", "files-without-match"},
                                                "Print the searched files without a hit.");
    const QCommandLineOption countOption("count", "Print each searched file's number of hits.");
    const QCommandLineOption maxCountOption({"m", "max-count"}, "Stop reading a file after N hits.",
                                            "N");
    const QCommandLineOption afterOption({"A", "after-context"}, "Print N lines after each hit.",
                                         "N");
    const QCommandLineOption beforeOption({"B", "before-context"}, "Print N lines before each hit.",
                                          "N");
    const QCommandLineOption contextOption({"C", "context"},
                                           "Print N lines before and after each hit.", "N");
    const QCommandLineOption colourOption(
            {"color", "colour"},
            "Colour matches, paths, line numbers: auto (on a terminal, unless NO_COLOR is "
            "set), always or never.",
            "WHEN");
    const QCommandLineOption nullOption(
            {"0", "null"}, "End each path with a NUL instead of \":\" or a line feed.");
    const QCommandLineOption silentOption({"s", "no-messages"}, "Print no diagnostics.");
    const QCommandLineOption quietOption({"q", "quiet"},
                                         "Print nothing; stop at the first hit (exit status 0).");
    const QCommandLineOption withNameOption({"H", "with-filename"},
                                            "Print the path before each line (the default).");
    const QCommandLineOption noNameOption({"h", "no-filename"},
                                          "Print no path before lines and counts.");
    const QCommandLineOption hiddenOption(
            "hidden", "Search hidden files and folders too (names starting with \".\").");
    const QCommandLineOption ignoreFilesOption(
            "ignore-files", "Pass over what .gitignore and .ignore files list, as git does.");
    const QCommandLineOption followOption("follow",
                                          "Take every link as the file or folder it points to.");
    const QCommandLineOption noFollowOption(
            "no-follow", "Follow no link (by default links to folders are entered).");
    const QCommandLineOption excludeOption(
            "exclude", "Leave out files whose names match GLOB (repeatable).", "GLOB");
    const QCommandLineOption excludeDirOption(
            "exclude-dir", "Leave out folders whose names match GLOB (repeatable).", "GLOB");
    const QCommandLineOption maxDepthOption(
            "max-depth", "Search at most N levels below each start directory (1: its own files).",
            "N");
    const QCommandLineOption sizeOption(
            "size", "Keep files larger (+N) or smaller (-N) than N (k, M, G, T; repeatable).",
            "SIZE");
    const QCommandLineOption newerOption(
            "newer", "Keep what was modified after WHEN (a date, or a duration such as 7d).",
            "WHEN");
    const QCommandLineOption olderOption(
            "older", "Keep what was modified before WHEN (a date, or a duration such as 7d).",
            "WHEN");
    parser.addOptions({nameOption,       contentOption,     moreTextOption,    regexOption,
                       fixedOption,      wordOption,        andOption,         notOption,
                       exactOption,      noRecursiveOption, ignoreCaseOption,  deepOption,
                       skipBinaryOption, binaryFilesOption, filesWithOption,   filesWithoutOption,
                       countOption,      maxCountOption,    afterOption,       beforeOption,
                       contextOption,    colourOption,      nullOption,        silentOption,
                       quietOption,      withNameOption,    noNameOption,      jsonOption,
                       jobsOption,       dirsOption,        nameEncodingOption});
    parser.addOptions({hiddenOption, ignoreFilesOption, followOption, noFollowOption, excludeOption,
                       excludeDirOption, maxDepthOption, sizeOption, newerOption, olderOption,
                       noDocumentsOption});
    // -h is grep's --no-filename here, so help has only its long name and -?.
    const QCommandLineOption helpOption({"?", "help"}, "Displays this help.");
    parser.addOption(helpOption);
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
    QStringList texts = parser.values(moreTextOption);
    if (parser.isSet(contentOption))
        texts.prepend(parser.value(contentOption));
    request.text = texts.value(0);
    request.moreTexts = texts.mid(1);
    request.requiredTexts = parser.values(andOption);
    request.excludedTexts = parser.values(notOption);
    for (const QString &text : texts + request.requiredTexts + request.excludedTexts) {
        if (!rawArguments.isEmpty() && !text.isEmpty()
            && (hasUndecodedBytes(text) || !cameCleanly(text, rawArguments)))
            return refusedRequest(
                    QStringLiteral("the content text is not valid %1, the encoding of the locale.")
                            .arg(QString::fromLatin1(QTextCodec::codecForLocale()->name())));
    }
    const QStringList given = parser.optionNames();
    const QString syntax = lastOf(given, regexOption.names() + fixedOption.names());
    request.regex = syntax == QLatin1String("E") || syntax == QLatin1String("regex");
    request.wholeWords = parser.isSet(wordOption);
    request.skipBinary = parser.isSet(skipBinaryOption);
    if (parser.isSet(binaryFilesOption)) {
        const QString type = parser.value(binaryFilesOption);
        if (type != QLatin1String("without-match") && type != QLatin1String("text"))
            return usageError(QStringLiteral("--binary-files takes without-match or text"));
        // The later of -I and --binary-files decides.
        const QString last = lastOf(given, {"I", "binary-files"});
        request.skipBinary = last == QLatin1String("I") || type == QLatin1String("without-match");
    }
    if (parser.isSet(dirsOption))
        request.folders = SearchRequest::foldersOfField(parser.value(dirsOption));
    request.folders += parser.positionalArguments();
    request.caseSensitivity
            = parser.isSet(ignoreCaseOption) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    request.recursive = !parser.isSet(noRecursiveOption);
    request.exact = parser.isSet(exactOption);
    request.deep = parser.isSet(deepOption);
    request.documents = !parser.isSet(noDocumentsOption);
    parsed.json = parser.isSet(jsonOption);
    request.hidden = parser.isSet(hiddenOption);
    request.ignoreFiles = parser.isSet(ignoreFilesOption);
    const QString linkChoice = lastOf(given, {"follow", "no-follow"});
    request.links = linkChoice == QLatin1String("follow") ? WalkRules::Links::All
            : linkChoice.isEmpty()                        ? WalkRules::Links::FoldersOnly
                                                          : WalkRules::Links::None;
    request.excludedNames = parser.values(excludeOption);
    request.excludedFolders = parser.values(excludeDirOption);
    if (parser.isSet(maxDepthOption)
        && (!readCount(parser.value(maxDepthOption), &request.maxDepth) || request.maxDepth < 1))
        return usageError(QStringLiteral("--max-depth takes a number of at least 1"));
    request.sizes = parser.values(sizeOption);
    request.newer = parser.value(newerOption);
    request.older = parser.value(olderOption);
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

    if (!readOutputOptions(parser, &parsed, outputIsTerminal))
        return usageError(parsed.message);

    const RequestError error = request.check();
    if (error.isError())
        return refusal(error);
    parsed.style.matches = request.lineQuery();
    parsed.outcome = ParseOutcome::Search;
    return parsed;
}
