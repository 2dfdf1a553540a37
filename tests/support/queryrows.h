#ifndef QUERYROWS_H
#define QUERYROWS_H

#include <QString>
#include <QStringList>

class TreeBuilder;

// Content conditions that the window and velto-find must answer alike: each
// row one search over the tree of buildQueryTree, and the lines it finds.
struct QueryRow
{
    const char *name;
    QString text;
    bool regex = false;
    bool wholeWords = false;
    bool ignoreCase = false;
    bool skipBinary = false;
    QStringList required;  // --and, 同时包含
    QStringList excluded;  // --not, 不包含
    QStringList hits;      // "file:line", sorted
};

const QList<QueryRow> &queryRows();
void buildQueryTree(TreeBuilder &tree);
// velto-find's arguments for the row, the start folder last.
QStringList findArguments(const QueryRow &row, const QString &folder);

#endif  // QUERYROWS_H
