#ifndef READERJOBS_H
#define READERJOBS_H

#include "archivesearch.h"
#include "hitsink.h"
#include "readerloop.h"

#include <QByteArray>
#include <QHash>

#include <atomic>

class ReaderProcessPool;

// The reader processes of every search in this process, started on first
// need and kept between searches. Null when the reader program (velto-worker)
// is neither beside the running program nor where the package installs it.
ReaderProcessPool *sharedReaderProcesses();

// Searches the archive of `job` in a reader process of `readers`, as
// searchArchiveAt would here: the same hits, in order, into `hits`, the
// same diagnostics, with one line more when the reader fails, and the same
// answer (false: a part could not be read; a reader that failed read all
// it could). `settings` is the search's MatchSettings, encoded. Returns
// early, taking nothing more, once `cancel` is set.
bool searchArchiveApart(ReaderProcessPool &readers, const ArchiveJob &job,
                        const QByteArray &settings, HitSink &hits, const std::atomic_bool *cancel);

// What a reader process reads, by the kind of job.
QHash<QByteArray, ReaderHandler> readerHandlers();

#endif  // READERJOBS_H
