// Reads the documents named on the command line one after another with the
// document readers, on one thread, and prints how many lines hold WORD:
// the readers' own cost, which documents-bench.sh sets beside ugrep's.
//   velto-document-scan WORD FILE...
#include "documentreader.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velto-document-scan WORD FILE...\n");
        return 2;
    }
    const QString word = QString::fromLocal8Bit(argv[1]);
    long hits = 0;
    for (int i = 2; i < argc; ++i) {
        const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const QString name = QFile::decodeName(argv[i]);
        const DocumentOutcome outcome
                = readDocument(fd, documentKindOf(name, fd), name, [&](const DocumentLine &line) {
                      hits += line.text.contains(word) ? 1 : 0;
                      return true;
                  });
        if (!outcome.diagnostic.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(outcome.diagnostic));
        close(fd);
    }
    std::printf("%ld\n", hits);
    return 0;
}
