#include "codecs.h"
#include "options.h"
#include "searchrun.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <csignal>
#include <cstdio>

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

    QList<QByteArray> rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments.append(QByteArray(argv[i]));
    const ParsedArguments parsed = parseArguments(app.arguments(), rawArguments);
    switch (parsed.outcome) {
    case ParseOutcome::Help:
    case ParseOutcome::Version:
        std::fputs(qPrintable(parsed.message), stdout);
        return 0;
    case ParseOutcome::UsageError:
        std::fputs(qPrintable(parsed.message), stderr);
        return 2;
    case ParseOutcome::MissingDirectory:
        std::fprintf(stderr, "%s\n", qPrintable(parsed.message));
        return 2;
    case ParseOutcome::Search:
        break;
    }
    SearchRun run(parsed.request);
    return run.exec();
}
