#ifndef LIBARCHIVEREADER_H
#define LIBARCHIVEREADER_H

#include <archive.h>

#include <memory>

struct ArchiveFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};
// A libarchive reader, freed (and its input closed) when it goes.
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

#endif  // LIBARCHIVEREADER_H
