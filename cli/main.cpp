#include "options.h"
#include "searchrun.h"

#include <QCoreApplication>

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

    const ParsedArguments parsed = parseArguments(app.arguments());
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
