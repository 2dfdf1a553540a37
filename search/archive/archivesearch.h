#ifndef ARCHIVESEARCH_H
#define ARCHIVESEARCH_H

#include "hitsink.h"

#include <QList>
#include <QString>

class ContentMatcher;

// Searches a ZIP or RAR archive (chosen by the suffix of `path`, ignoring
// case) and appends the hits of its matching members to `hits`.
void searchArchive(const QString &path, HitSink &hits, const ContentMatcher &matcher);

#endif // ARCHIVESEARCH_H
