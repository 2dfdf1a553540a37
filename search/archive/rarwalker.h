#ifndef RARWALKER_H
#define RARWALKER_H

#include "hitsink.h"

#include <QByteArray>
#include <QList>

class ContentMatcher;

// Walks the RAR 4 or RAR 5 archive at the 8-bit path `archivePath` (the whole
// set when it is the first volume of one): each member whose name matches the
// matcher's patterns becomes a name hit, or, in a content search, is extracted
// to "rar.tmp" and searched. Errors are written to the diagnostics sink; an
// error while extracting or skipping a member ends the walk.
void searchRarArchive(const QByteArray &archivePath, HitSink &hits,
                      const ContentMatcher &matcher);

#endif // RARWALKER_H
