#include "searchthread.h"

#include "contentmatcher.h"

searchThread::searchThread(QObject *parent) : QThread(parent), matcher(new ContentMatcher) {}
searchThread::~searchThread() { stop(); wait(); }
void searchThread::setParameters(const QList<QDir> &, const QStringList &, const QString &,
                                 Qt::CaseSensitivity, bool, bool, bool) {}
void searchThread::setExtractDir(const QString &) {}
void searchThread::stop() { cancelRequested = true; }
void searchThread::run() {}
