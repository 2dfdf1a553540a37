#ifndef WALKROWS_H
#define WALKROWS_H

#include <QString>
#include <QStringList>

class TreeBuilder;

// What the walk takes in, which the window and velto-find must answer
// alike: each row one name search for "txt" over the tree of buildWalkTree,
// below its folder "start", and the paths it finds.
struct WalkRow
{
    enum class Links { Default, Follow, NoFollow };

    const char *name;
    bool hidden = false;
    bool ignoreFiles = false;
    Links links = Links::Default;
    QStringList excluded;  // names of files and folders alike, as the window's field
    int maxDepth = 0;
    QString size;
    QString newer;
    QString older;
    QStringList hits;  // below "start", sorted
};

const QList<WalkRow> &walkRows();
// The tree; returns the start folder of the rows.
QString buildWalkTree(TreeBuilder &tree);
// velto-find's arguments for the row, the start folder last. Each exclusion
// goes to --exclude and --exclude-dir, as the window's one field does.
QStringList walkArguments(const WalkRow &row, const QString &folder);

#endif  // WALKROWS_H
