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

// The decompressors built into libarchive, never one that starts a program
// (lzop's files are decoded before libarchive sees them).
inline void supportFilters(archive *a)
{
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_lzma(a);
    archive_read_support_filter_lzip(a);
    archive_read_support_filter_lz4(a);
    archive_read_support_filter_zstd(a);
    archive_read_support_filter_compress(a);
}

// The entry's last modification, TFileInfo::kNoTime where the archive keeps none.
inline qint64 memberTime(archive_entry *entry)
{
    return archive_entry_mtime_is_set(entry) ? qint64(archive_entry_mtime(entry))
                                             : TFileInfo::kNoTime;
}

#endif  // LIBARCHIVEREADER_H
