// velto-worker: the process the search reads archives in, so that a reader
// that crashes, loops or takes all memory costs one archive, never the search.
// Started by the search with its end of a socket; never by hand.
#include "localecodec.h"
#include "readerjobs.h"

#include <QTextCodec>

#include <clocale>
#include <cstdlib>

int main(int argc, char **argv)
{
    // As the search's own process: libarchive gives names in the locale's
    // encoding, and the codecs follow it.
    std::setlocale(LC_ALL, "");
    QTextCodec::setCodecForLocale(localeCodec());
    // While TZ is unset, glibc looks at the zone file again in every
    // mktime: a stat per ZIP member whose time is the writer's local time.
    // Named once, the same zone is read once.
    ::setenv("TZ", ":/etc/localtime", 0);
    return runReaderProcess(argc, argv, readerHandlers());
}
