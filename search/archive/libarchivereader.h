#ifndef LIBARCHIVEREADER_H
#define LIBARCHIVEREADER_H

#include "tfileinfo.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

struct ArchiveFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};
// A libarchive reader, freed (and its input closed) when it goes.
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

// The entry's last modification, TFileInfo::kNoTime where the archive keeps none.
inline qint64 memberTime(archive_entry *entry)
{
    return archive_entry_mtime_is_set(entry) ? qint64(archive_entry_mtime(entry))
                                             : TFileInfo::kNoTime;
}

#endif  // LIBARCHIVEREADER_H
