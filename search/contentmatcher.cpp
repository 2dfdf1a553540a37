#include "contentmatcher.h"

void ContentMatcher::searchFile(const QString &, QList<TFileInfo> &, const QString &) const {}
bool ContentMatcher::matchesName(const QString &) const { return false; }
