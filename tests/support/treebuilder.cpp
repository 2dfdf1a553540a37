#include "treebuilder.h"

#include "pathcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first entry of the open folder `fd` that is a folder which can be
// entered, after removing every other entry it can; empty when none is left.
QByteArray removeAllButAFolder(int fd, QList<QByteArray> &passedOver)
{
    DIR *dir = fdopendir(::dup(fd));
    if (!dir)
        return QByteArray();
    QByteArray folder;
    while (const struct dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." || passedOver.contains(name))
            continue;
        if (::unlinkat(fd, name.constData(), 0) == 0
            || ::unlinkat(fd, name.constData(), AT_REMOVEDIR) == 0)
            continue;
        folder = name;
        break;
    }
    closedir(dir);
    return folder;
}

// Empties the open folder `fd` by descriptors, whatever its names and depth:
// a loop that holds two descriptors at most and goes back up through "..",
// so a chain of any depth goes too.
void removeContents(int rootFd)
{
    int fd = ::dup(rootFd);
    QList<QByteArray> path;                    // the folders entered below the root
    QList<QList<QByteArray>> passedOver {{}};  // per level: folders that could not be emptied
    while (fd >= 0) {
        const QByteArray folder = removeAllButAFolder(fd, passedOver.last());
        if (!folder.isEmpty()) {
            const int child = ::openat(fd, folder.constData(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                passedOver.last().append(folder);
                continue;
            }
            ::close(fd);
            fd = child;
            path.append(folder);
            passedOver.append(QList<QByteArray>());
            continue;
        }
        if (path.isEmpty())
            break;
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        passedOver.removeLast();
        const QByteArray name = path.takeLast();
        if (fd >= 0 && ::unlinkat(fd, name.constData(), AT_REMOVEDIR) != 0)
            passedOver.last().append(name);
    }
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

TreeBuilder::TreeBuilder() = default;

TreeBuilder::TreeBuilder(const QString &parent) : dir(parent + QStringLiteral("/velto-XXXXXX")) { }

TreeBuilder::~TreeBuilder()
{
    const int fd
            = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        removeContents(fd);
        ::close(fd);
    }
}

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

QString TreeBuilder::sparseFile(const QString &relative, qint64 size)
{
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadWrite) || !f.resize(size))
        qFatal("TreeBuilder: cannot make the sparse file %s", qPrintable(f.fileName()));
    return f.fileName();
}

QString TreeBuilder::fifo(const QString &relative)
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    if (::mkfifo(QFile::encodeName(p).constData(), 0600) != 0)
        qFatal("TreeBuilder: cannot make the pipe %s", qPrintable(p));
    return p;
}

QString TreeBuilder::rawFile(const QByteArray &relative, const QByteArray &bytes)
{
    const QByteArray full = QFile::encodeName(dir.path()) + '/' + relative;
    for (int slash = full.indexOf('/', 1); slash >= 0; slash = full.indexOf('/', slash + 1))
        ::mkdir(full.left(slash).constData(), 0755);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qFatal("TreeBuilder: cannot write %s", full.constData());
    ::close(fd);
    return decodePath(full);
}

QByteArray TreeBuilder::deepFile(const QByteArray &folder, int depth, const QByteArray &name,
                                 const QByteArray &bytes)
{
    int fd = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QByteArray relative;
    for (int level = 0; level < depth && fd >= 0; ++level) {
        ::mkdirat(fd, folder.constData(), 0755);
        const int inner = ::openat(fd, folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = inner;
        relative += folder + '/';
    }
    const int file = fd < 0
            ? -1
            : ::openat(fd, name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0 || ::write(file, bytes.constData(), size_t(bytes.size())) != bytes.size())
        qFatal("TreeBuilder: cannot write %s at depth %d", name.constData(), depth);
    ::close(file);
    ::close(fd);
    return relative + name;
}
