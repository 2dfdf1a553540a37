#ifndef RESULTBATCH_H
#define RESULTBATCH_H

#include "tfileinfo.h"

#include <QList>
#include <QString>

// One delivery of the search thread waiting to be shown.
struct ResultBatch
{
    QString dirName;            // absolute, native separators, as delivered
    QList<TFileInfo> namelist;  // that directory's hits in delivery order
};

#endif  // RESULTBATCH_H
