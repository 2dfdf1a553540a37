#include "archivesearch.h"

#include "rarwalker.h"
#include "zipwalker.h"

#include <QFileInfo>

void searchArchive(const QString &path, QList<TFileInfo> &hits, const ContentMatcher &matcher)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("rar"), Qt::CaseInsensitive) == 0)
        searchRarArchive(path.toLocal8Bit(), hits, matcher);
    else if (suffix.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0)
        searchZipArchive(path.toLocal8Bit(), hits, matcher);
}
