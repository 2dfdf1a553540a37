#ifndef READERJOBS_H
#define READERJOBS_H

#include "archivesearch.h"
#include "hitsink.h"
#include "previewlines.h"
#include "readerloop.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>

class ContentMatcher;
class MemberMatcher;
class ReaderProcessPool;

// The reader processes of every search in this process, started on first
// need and kept between searches. Null when the reader program (velto-worker)
// is neither beside the running program nor where the package installs it.
ReaderProcessPool *sharedReaderProcesses();

// A file of a format from outside, whose parser must not take the search
// down with it: an archive, or a file whose name makes it a document (and
// whose bytes are searched when its first bytes say it is none).
struct ForeignFile
{
    enum class Kind { Archive, Document };
    Kind kind = Kind::Archive;
    int folderFd = -1;       // the folder holding it, not owned
    QByteArray name;         // its name in that folder, as bytes
    QString hitName;         // the name its hits carry
    QByteArray displayPath;  // the file as diagnostics name it, as bytes
};

// What a search parses with in its own process, when it has no readers.
struct ParsingHere
{
    const ContentMatcher &matcher;
    const MemberMatcher &members;
    const ArchiveNameRules &archiveNames;
};

// The search's one choice of where a format from outside is parsed: in a
// reader process of `readers`, where a crash, a hang or runaway memory costs
// this file and one diagnostic line, or with `here` in this process when
// `readers` is null (tests compare the two). Either way the same hits, in
// order, into `hits`, and the same diagnostics; false when a part of the
// file could not be read (a reader that failed read all it could).
// `settings` is the search's MatchSettings, encoded. Returns early, taking
// nothing more, once `cancel` is set.
bool searchForeignFile(ReaderProcessPool *readers, const ForeignFile &file,
                       const QByteArray &settings, const ParsingHere &here, HitSink &hits,
                       const std::atomic_bool *cancel);

// The same choice for the preview of a hit in a file of a format from
// outside (`previewParsesForeignFormat`): the lines `spot` asks for of `file`
// (its hitName is the name its lines are read under), read in a reader
// process of `readers` and handed back, or here when `readers` is null. A
// reader that fails gives the line that names the file and why as the
// problem. Returns early, what was read unfinished, once `cancel` is set.
PreviewLines previewForeignFile(ReaderProcessPool *readers, const ForeignFile &file,
                                const PreviewSpot &spot, const std::atomic_bool *cancel);

// What a reader process reads, by the kind of job.
QHash<QByteArray, ReaderHandler> readerHandlers();

#endif  // READERJOBS_H
