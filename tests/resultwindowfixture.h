#ifndef RESULTWINDOWFIXTURE_H
#define RESULTWINDOWFIXTURE_H

#include "hittimes.h"
#include "mainwindow.h"
#include "tfileinfo.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

inline TFileInfo nameHit(const QString &name)
{
    TFileInfo hit;
    hit.fileName = name;
    return hit;
}

inline TFileInfo contentHit(const QString &name, qint64 lineNo, const QString &lineText)
{
    TFileInfo hit;
    hit.fileName = name;
    hit.lineNo = lineNo;
    hit.lineText = lineText;
    return hit;
}

// The result table of a main window, filled the way the search fills it:
// through the window's delivery slot and its display timer.
class ResultTable
{
public:
    explicit ResultTable(MainWindow &window)
        : window(window), view(window.findChild<QTableView *>(QStringLiteral("tableView_result")))
    {
    }

    QTableView *table() const { return view; }
    int rowCount() const { return view->model() ? view->model()->rowCount() : 0; }
    QString cell(int row, int column) const
    {
        return view->model()->index(row, column).data().toString();
    }

    // Delivers the hits of one directory, with the files' times as the search
    // thread gives them, and waits until the table shows them.
    bool deliver(const QString &dir, const QList<TFileInfo> &hits)
    {
        const int expected = rowCount() + hits.size();
        QMetaObject::invokeMethod(&window, "do_GetResultFileInfo", Q_ARG(QString, dir),
                                  Q_ARG(QList<TFileInfo>, withFileTimes(dir, hits)));
        return QTest::qWaitFor([&] { return rowCount() == expected; }, 5000);
    }

    // Selects the rows in the given order, each as a selection range of its own.
    void select(const QList<int> &rows)
    {
        view->clearSelection();
        for (const int row : rows)
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void run(const char *slot) { QMetaObject::invokeMethod(&window, slot); }

private:
    MainWindow &window;
    QTableView *view;
};

#endif  // RESULTWINDOWFIXTURE_H
