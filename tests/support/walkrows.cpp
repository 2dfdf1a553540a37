#include "walkrows.h"

#include "treebuilder.h"

namespace {

using Links = WalkRow::Links;

const QStringList kDefaultHits {"a.txt",   "big.txt",   "linked/e.txt",   "node_modules/d.txt",
                                "old.txt", "sub/b.txt", "sub/deep/c.txt", "sub/skip.txt"};

QStringList without(QStringList hits, const QStringList &left)
{
    for (const QString &hit : left)
        hits.removeAll(hit);
    return hits;
}

QStringList with(QStringList hits, const QStringList &more)
{
    hits += more;
    hits.sort();
    return hits;
}

}  // namespace

const QList<WalkRow> &walkRows()
{
    static const QList<WalkRow> rows {
            {"by default no hidden names, links to folders entered, to files passed over",
             false,
             false,
             Links::Default,
             {},
             0,
             {},
             {},
             {},
             kDefaultHits},
            {"hidden files and folders are taken in when asked",
             true,
             false,
             Links::Default,
             {},
             0,
             {},
             {},
             {},
             with(kDefaultHits, {".hidden.txt", ".hid/in.txt"})},
            {"following links takes links to files as files",
             false,
             false,
             Links::Follow,
             {},
             0,
             {},
             {},
             {},
             with(kDefaultHits, {"link.txt"})},
            {"not following links enters no link",
             false,
             false,
             Links::NoFollow,
             {},
             0,
             {},
             {},
             {},
             without(kDefaultHits, {"linked/e.txt"})},
            {"an excluded name is left out",
             false,
             false,
             Links::Default,
             {"old*"},
             0,
             {},
             {},
             {},
             without(kDefaultHits, {"old.txt"})},
            {"an excluded folder is not entered",
             false,
             false,
             Links::Default,
             {"node_*", "deep"},
             0,
             {},
             {},
             {},
             without(kDefaultHits, {"node_modules/d.txt", "sub/deep/c.txt"})},
            {"a depth of one is the start folder's own entries",
             false,
             false,
             Links::Default,
             {},
             1,
             {},
             {},
             {},
             {"a.txt", "big.txt", "old.txt"}},
            {"a depth of two stops above the third level",
             false,
             false,
             Links::Default,
             {},
             2,
             {},
             {},
             {},
             without(kDefaultHits, {"sub/deep/c.txt"})},
            {"larger than a size", false, false, Links::Default, {}, 0, "+1M", {}, {}, {"big.txt"}},
            {"smaller than a size",
             false,
             false,
             Links::Default,
             {},
             0,
             "-1k",
             {},
             {},
             without(kDefaultHits, {"big.txt", "old.txt"})},
            {"modified after a date",
             false,
             false,
             Links::Default,
             {},
             0,
             {},
             "2021-01-01",
             {},
             without(kDefaultHits, {"old.txt"})},
            {"modified before a date",
             false,
             false,
             Links::Default,
             {},
             0,
             {},
             {},
             "2021-01-01 12:00",
             {"old.txt"}},
            {"modified within a duration",
             false,
             false,
             Links::Default,
             {},
             0,
             {},
             "30d",
             {},
             without(kDefaultHits, {"old.txt"})},
            {"ignore files: a name, an anchored folder, and a deeper file taking one back",
             false,
             true,
             Links::Default,
             {},
             0,
             {},
             {},
             {},
             without(kDefaultHits, {"old.txt", "sub/deep/c.txt", "sub/skip.txt"})},
            {"modified longer ago than a duration",
             false,
             false,
             Links::Default,
             {},
             0,
             {},
             {},
             "2w",
             {"old.txt"}},
    };
    return rows;
}

QString buildWalkTree(TreeBuilder &tree)
{
    tree.file("start/a.txt", "small\n");
    tree.sparseFile("start/big.txt", 2 * 1024 * 1024);
    tree.file("start/old.txt", QByteArray(2000, 'o'));
    tree.setModified("start/old.txt", QDateTime(QDate(2020, 6, 1), QTime(12, 0)));
    tree.file("start/.hidden.txt");
    tree.file("start/.hid/in.txt");
    tree.file("start/sub/b.txt");
    tree.file("start/sub/deep/c.txt");
    tree.file("start/sub/skip.txt");
    tree.file("start/.gitignore", "# generated\nold*\n/sub/deep/\nb.txt\n");
    tree.file("start/sub/.ignore", "*.txt\n!b*\n");
    tree.file("start/node_modules/d.txt");
    tree.file("outside/e.txt");
    tree.link("start/linked", tree.path("outside"));
    tree.link("start/link.txt", tree.path("start/a.txt"));
    return tree.path("start");
}

QStringList walkArguments(const WalkRow &row, const QString &folder)
{
    QStringList args {QStringLiteral("-n"), QStringLiteral("txt")};
    if (row.hidden)
        args << QStringLiteral("--hidden");
    if (row.ignoreFiles)
        args << QStringLiteral("--ignore-files");
    if (row.links == Links::Follow)
        args << QStringLiteral("--follow");
    if (row.links == Links::NoFollow)
        args << QStringLiteral("--no-follow");
    for (const QString &glob : row.excluded)
        args << QStringLiteral("--exclude") << glob << QStringLiteral("--exclude-dir") << glob;
    if (row.maxDepth > 0)
        args << QStringLiteral("--max-depth") << QString::number(row.maxDepth);
    if (!row.size.isEmpty())
        args << QStringLiteral("--size") << row.size;
    if (!row.newer.isEmpty())
        args << QStringLiteral("--newer") << row.newer;
    if (!row.older.isEmpty())
        args << QStringLiteral("--older") << row.older;
    return args << folder;
}
