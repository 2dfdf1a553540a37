#ifndef ARCHIVESEARCH_H
#define ARCHIVESEARCH_H

#include "archivescope.h"
#include "hitsink.h"

#include <QByteArray>
#include <QString>

class ContentMatcher;

// Searches the archive `name` of the open folder `folderFd` (its kind told by
// the suffix, ignoring case) and appends the hits of its matching members to
// `hits`. `path` is the archive's full path, for its hit names and
// diagnostics. The file is opened without blocking and only when it is a
// regular one; nothing of it is written anywhere.
void searchArchiveAt(int folderFd, const QByteArray &name, const QString &path, HitSink &hits,
                     const ContentMatcher &matcher,
                     const ArchiveNameRules &names = ArchiveNameRules());

// The same for the archive at `path` (tests, fuzzers).
void searchArchive(const QString &path, HitSink &hits, const ContentMatcher &matcher,
                   const ArchiveNameRules &names = ArchiveNameRules());

#endif  // ARCHIVESEARCH_H
