#ifndef TREEBUILDER_H
#define TREEBUILDER_H

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

// Builds file trees for tests below a temporary directory that goes with it.
class TreeBuilder
{
public:
    TreeBuilder();
    // A tree in a temporary folder below `parent`.
    explicit TreeBuilder(const QString &parent);
    // Removes everything, also names that are not valid text and trees deeper
    // than a path can name, which QTemporaryDir alone cannot.
    ~TreeBuilder();

    bool isValid() const { return dir.isValid(); }
    QString root() const { return dir.path(); }
    QString path(const QString &relative) const;

    // Creates the file (and its folders) with the given bytes; returns its path.
    QString file(const QString &relative, const QByteArray &bytes = QByteArray());
    QString folder(const QString &relative);
    // A symbolic link at `relative` pointing to `target` (taken as given).
    QString link(const QString &relative, const QString &target);
    void setModified(const QString &relative, const QDateTime &when);
    // A file of `size` bytes of NULs that takes no room on the disk (its
    // folders too); returns its path.
    QString sparseFile(const QString &relative, qint64 size);
    // A named pipe at `relative`; returns its path.
    QString fifo(const QString &relative);
    // Creates the file at the bytes `relative` (its folders too, by their
    // bytes) with the given content; returns its path as the engine names it.
    QString rawFile(const QByteArray &relative, const QByteArray &bytes = QByteArray());
    // Creates `depth` folders named `folder`, each inside the last, by
    // descriptors (so deeper than a path can name), and the file `name` with
    // `bytes` in the innermost; returns the file's path below the root.
    QByteArray deepFile(const QByteArray &folder, int depth, const QByteArray &name,
                        const QByteArray &bytes);

private:
    QTemporaryDir dir;
};

#endif  // TREEBUILDER_H
