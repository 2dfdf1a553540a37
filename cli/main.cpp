#include "codecs.h"
#include "options.h"
#include "pathcodec.h"
#include "searchrun.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velto-find"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTO_VERSION));
    // A closed standard output shows up as a failed write, which stops the
    // search.
    std::signal(SIGPIPE, SIG_IGN);
    // Arguments, file names and output in the locale's own encoding, also
    // where Qt takes a GBK or Shift_JIS locale for UTF-8.
    QTextCodec::setCodecForLocale(localeCodec());

    // Each argument in the exact form pathcodec.h keeps, so that a folder
    // whose name is not text in the locale's encoding is that folder.
    QList<QByteArray> rawArguments;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments.append(QByteArray(argv[i]));
        arguments.append(decodePath(rawArguments.last()));
    }
    const ParsedArguments parsed
            = parseArguments(arguments, rawArguments, isatty(STDOUT_FILENO) != 0);
    switch (parsed.outcome) {
    case ParseOutcome::Help:
    case ParseOutcome::Version:
        std::fputs(qPrintable(parsed.message), stdout);
        return 0;
    case ParseOutcome::UsageError:
        // A folder named in the text as the bytes it was given, whatever the
        // locale makes of them.
        std::fputs(encodePath(parsed.message).constData(), stderr);
        return 2;
    case ParseOutcome::Search:
        break;
    }
    SearchRun run(parsed);
    return run.exec();
}
