// Feeds arbitrary bytes to the lzop decoder: as one compressed file searched
// for its text, and as a tar inside lzop's format listed by name.
#include "archivesearch.h"
#include "fuzzinput.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HitSink hits;
    searchArchive(QFile::decodeName(writeFuzzInput(data, size, "input.txt.lzo")), hits,
                  fuzzArchiveSearch(true));
    searchArchive(QFile::decodeName(writeFuzzInput(data, size, "input.tzo")), hits,
                  fuzzArchiveSearch(false));
    return 0;
}
