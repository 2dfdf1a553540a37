#ifndef RESULTMODEL_H
#define RESULTMODEL_H

#include "backgroundrelease.h"
#include "compacttext.h"
#include "textquery.h"
#include "tfileinfo.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QVector>

#include <deque>

// The hits of one search as the result table shows them: five columns (name,
// folder, line, content, modified), kept in columns of plain numbers and
// pooled text rather than an object per cell, so a million hits take about
// fifty bytes each beyond their text. Rows are added a slice of a delivery
// at a time with one insertion; the text of a cell is made when the view asks
// for it. Sorting reorders a permutation of the rows, never the rows.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, DirColumn, LineColumn, ContentColumn, TimeColumn, ColumnCount };

    explicit ResultModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // The display text of a cell; an empty line or content cell is an empty
    // string, a row without a time has no time cell at all (null variant).
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Sorts the rows shown by the display text of `column` in a stable sort
    // (rows that compare equal keep their order); empty cells go last in
    // ascending and first in descending order, rows without a time last in
    // either. Rows added later go below.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // What the search these rows come from looked for (the preview marks it).
    struct SearchTerms
    {
        TextQuery query;  // what picked the lines; empty in a name search
        bool deep = false;
        bool documents = false;  // documents were searched by their text
    };
    void setSearchTerms(const SearchTerms &terms) { search = terms; }
    const SearchTerms &searchTerms() const { return search; }

    // Hands every row to `release`, to be freed on its thread, and leaves the
    // model empty: a table of millions of rows takes tens of milliseconds
    // to free, which a new search need not wait for.
    void releaseRows(BackgroundRelease &release);

    // Appends hits [from, to) of the delivery of folder `dirName`.
    void appendHits(const QString &dirName, const QList<TFileInfo> &hits, int from, int to);

    // The row's values as delivered, for the actions on it. `row` is a row
    // of the model as the view shows it (after sorting).
    QString fileName(int row) const;
    QString dirName(int row) const;
    qint64 lineNo(int row) const;
    QString lineText(int row) const;
    qint64 modified(int row) const;  // TFileInfo::kNoTime when there is none

    // The texts the cells show: the one place a name, a folder or a time
    // becomes display text.
    static QString nameText(const QString &fileName);
    static QString dirText(const QString &dirName);
    static QString timeText(qint64 modified);  // "yyyy-MM-dd hh:mm" local, empty for none

private:
    // One file (or folder, or archive member) with its hits' shared values.
    struct File
    {
        int folder;  // index into folders
        CompactTextPool::Ref name;
        qint64 modified;
    };
    int fileOf(int row) const { return rowFile[size_t(order[size_t(row)])]; }
    QString cellText(int stored, int column) const;

    SearchTerms search;
    QVector<QString> folders;  // exact folder texts, once for each run of deliveries from it
    // Columns grow in blocks, never by moving what they hold: a vector
    // doubling at half a million rows would fault in tens of megabytes of
    // fresh pages at once and hold the window for a noticeable moment.
    std::deque<File> files;
    CompactTextPool text;
    // One entry per stored row, in the order of arrival.
    std::deque<int> rowFile;
    std::deque<qint64> rowLine;
    std::deque<CompactTextPool::Ref> rowText;
    // Row of the view -> stored row; the identity until sorted.
    std::deque<int> order;
};

#endif  // RESULTMODEL_H
