#ifndef ZIPWALKER_H
#define ZIPWALKER_H

#include "hitsink.h"

#include <QByteArray>
#include <QList>

class ContentMatcher;

// Walks the ZIP archive at the 8-bit path `archivePath` (or, failing that, at
// that path with ".zip" appended): each member whose name matches the
// matcher's patterns becomes a name hit, or, in a content search, is extracted
// to "zip.tmp" and searched; directory members are never extracted. Errors
// are written to the diagnostics sink. Always returns 0.
int searchZipArchive(const QByteArray &archivePath, HitSink &hits,
                     const ContentMatcher &matcher);

#endif // ZIPWALKER_H
