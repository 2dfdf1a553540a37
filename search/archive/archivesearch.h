#ifndef ARCHIVESEARCH_H
#define ARCHIVESEARCH_H

#include "archivescope.h"
#include "hitsink.h"

#include <QByteArray>
#include <QString>

class MemberSearch;

// One archive on disk to search, as a job describes it: the folder it is in
// and its name there as the file system holds it (to open it), the same name
// as the listing decoded it once (its hits are "name/member"), and its path
// as diagnostics name it.
struct ArchiveJob
{
    int folderFd = -1;
    QByteArray name;
    QString displayName;
    QByteArray displayPath;
    ArchiveNameRules names;   // how member names that say nothing of their encoding are read
    bool followLink = false;  // `name` is a link the walk follows: opened through
};

// Searches the archive of `job` (its kind told by the suffix, ignoring case)
// and appends to `hits` what `search` finds in the members it wants; writes
// one diagnostic line per error to the diagnostics sink. The file is opened
// without blocking and only when it is a regular one; nothing of it is
// written anywhere. False when a part of it (or of an archive inside it)
// could not be read: damaged, encrypted, not there.
bool searchArchiveAt(const ArchiveJob &job, const MemberSearch &search, HitSink &hits);

// A name search's listing of a ZIP archive from its central directory
// alone, read by readPlainZipDirectory: nothing expanded, no member opened,
// so it is safe in the search's own process. True when it listed the
// archive: the hits searchArchiveAt would give, appended, and nothing to
// diagnose. False, with nothing appended, when the archive must go to
// searchArchiveAt: the search wants content, the archive is not a plain
// ZIP, or a member's data is wanted (an archive inside it).
bool listZipNamesByDirectory(const ArchiveJob &job, const MemberSearch &search, HitSink &hits);

// The same for a tar archive, uncompressed or in one gzip stream, from its
// headers alone (readPlainTarHeaders): the data between them is inflated and
// passed over, at most as much as the archive's expansion limit, so it is
// safe here too. False as above, and for an archive that is not plain tar;
// true, with what was found, when the search was stopped meanwhile.
bool listTarNamesByHeaders(const ArchiveJob &job, const MemberSearch &search, HitSink &hits);

// The same for the archive at `path` (tests, fuzzers).
bool searchArchive(const QString &path, HitSink &hits, const MemberSearch &search,
                   const ArchiveNameRules &names = ArchiveNameRules());

#endif  // ARCHIVESEARCH_H
