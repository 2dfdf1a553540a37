#include "queryrows.h"

#include "treebuilder.h"

const QList<QueryRow> &queryRows()
{
    static const QList<QueryRow> rows {
            {"a text is found inside words",
             "cat",
             false,
             false,
             false,
             false,
             {},
             {},
             {"a.txt:1", "a.txt:2", "b.txt:1", "c.bin:1", "c.bin:2"}},
            {"whole words leave out a word inside another",
             "cat",
             false,
             true,
             false,
             false,
             {},
             {},
             {"a.txt:1", "b.txt:1", "c.bin:1", "c.bin:2"}},
            {"whole words: CJK between blanks is a word",
             "中文",
             false,
             true,
             false,
             false,
             {},
             {},
             {"a.txt:3"}},
            {"whole words: CJK beside CJK is not", "中", false, true, false, false, {}, {}, {}},
            {"an expression",
             "err(or|no)\\s+\\d+",
             true,
             false,
             false,
             false,
             {},
             {},
             {"a.txt:5", "a.txt:6"}},
            {"an expression of whole words",
             "c.t",
             true,
             true,
             false,
             false,
             {},
             {},
             {"a.txt:1", "b.txt:1", "c.bin:1", "c.bin:2"}},
            {"an expression ignoring case",
             "CAT\\b",
             true,
             false,
             true,
             false,
             {},
             {},
             {"a.txt:1", "b.txt:1", "c.bin:1", "c.bin:2"}},
            {"files that also hold a text",
             "cat",
             false,
             false,
             false,
             false,
             {"alpha"},
             {},
             {"b.txt:1"}},
            {"files that hold none of the texts",
             "cat",
             false,
             false,
             false,
             false,
             {},
             {"alpha"},
             {"a.txt:1", "a.txt:2", "c.bin:1", "c.bin:2"}},
            {"required and excluded together",
             "cat",
             false,
             false,
             false,
             false,
             {"alpha"},
             {"dog"},
             {}},
            {"binary files passed over",
             "cat",
             false,
             false,
             false,
             true,
             {},
             {},
             {"a.txt:1", "a.txt:2", "b.txt:1"}},
    };
    return rows;
}

void buildQueryTree(TreeBuilder &tree)
{
    tree.file("a.txt", "the cat sat\nconcatenate\n中文 搜索\n这是中文\nerror 42\nerrno  7\n");
    tree.file("b.txt", "cat and dog\nalpha\n");
    tree.file("c.bin", QByteArray("cat\0\ncat two\n", 13));
}

QStringList findArguments(const QueryRow &row, const QString &folder)
{
    QStringList args {QStringLiteral("-c"), row.text};
    if (row.regex)
        args << QStringLiteral("-E");
    if (row.wholeWords)
        args << QStringLiteral("-w");
    if (row.ignoreCase)
        args << QStringLiteral("-i");
    if (row.skipBinary)
        args << QStringLiteral("-I");
    for (const QString &text : row.required)
        args << QStringLiteral("--and") << text;
    for (const QString &text : row.excluded)
        args << QStringLiteral("--not") << text;
    return args << folder;
}
