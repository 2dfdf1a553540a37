#include "treebuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>

TreeBuilder::TreeBuilder() = default;

QString TreeBuilder::path(const QString &relative) const
{
    return dir.path() + QLatin1Char('/') + relative;
}

QString TreeBuilder::file(const QString &relative, const QByteArray &bytes)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("TreeBuilder: cannot write %s", qPrintable(p));
    return p;
}

QString TreeBuilder::folder(const QString &relative)
{
    const QString p = path(relative);
    if (!QDir().mkpath(p))
        qFatal("TreeBuilder: cannot create %s", qPrintable(p));
    return p;
}

QString TreeBuilder::link(const QString &relative, const QString &target)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    if (!QFile::link(target, p))
        qFatal("TreeBuilder: cannot link %s", qPrintable(p));
    return p;
}

void TreeBuilder::setModified(const QString &relative, const QDateTime &when)
{
    QFile f(path(relative));
    if (!f.open(QIODevice::ReadWrite) || !f.setFileTime(when, QFileDevice::FileModificationTime))
        qFatal("TreeBuilder: cannot set the time of %s", qPrintable(relative));
}

QString TreeBuilder::fifo(const QString &relative)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    if (::mkfifo(QFile::encodeName(p).constData(), 0600) != 0)
        qFatal("TreeBuilder: cannot make the pipe %s", qPrintable(p));
    return p;
}
