#include "archivesearch.h"

#include "pathcodec.h"
#include "rarwalker.h"
#include "zipwalker.h"

#include <QFileInfo>

void searchArchive(const QString &path, HitSink &hits, const ContentMatcher &matcher)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("rar"), Qt::CaseInsensitive) == 0)
        searchRarArchive(encodePath(path), hits, matcher);
    else if (suffix.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
        searchZipArchive(encodePath(path), hits, matcher);
}
