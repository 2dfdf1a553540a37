#include "archivesearch.h"

#include "contentmatcher.h"

void searchArchive(const QString &, QList<TFileInfo> &, const ContentMatcher &) {}
