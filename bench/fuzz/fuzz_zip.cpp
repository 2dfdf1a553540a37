// Feeds arbitrary bytes to the ZIP walker as an archive, in a name search and
// in a content search.
#include "archivesearch.h"
#include "fuzzinput.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray path = writeFuzzInput(data, size, "input.zip");
    HitSink hits;
    searchArchive(QFile::decodeName(path), hits, fuzzArchiveSearch(false));
    searchArchive(QFile::decodeName(path), hits, fuzzArchiveSearch(true));
    return 0;
}
