#ifndef RESULTBATCH_H
#define RESULTBATCH_H

#include "tfileinfo.h"

#include <QList>
#include <QString>

// The hits of one folder with the folder's name: one delivery waiting in the
// window to be shown, or the hits a stopped search had not handed over.
struct ResultBatch
{
    QString dirName;            // absolute, native separators, as delivered
    QList<TFileInfo> namelist;  // that directory's hits in delivery order
};

#endif  // RESULTBATCH_H
