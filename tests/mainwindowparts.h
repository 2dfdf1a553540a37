#ifndef MAINWINDOWPARTS_H
#define MAINWINDOWPARTS_H

#include "hittimes.h"
#include "mainwindow.h"
#include "tfileinfo.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <QToolButton>

// The widgets of the main window that the search and result tests look at,
// found by their object names (the status-bar count is its first label, the
// remark on what could not be read its second).
struct MainWindowParts
{
    explicit MainWindowParts(MainWindow &window)
        : window(window), find(window.findChild<QComboBox *>(QStringLiteral("comboBoxForFind"))),
          grep(window.findChild<QComboBox *>(QStringLiteral("comboBoxForGrep"))),
          dir(window.findChild<QComboBox *>(QStringLiteral("comboBox_Dir"))),
          exact(window.findChild<QCheckBox *>(QStringLiteral("checkBox_searchExact"))),
          recursive(window.findChild<QCheckBox *>(QStringLiteral("checkBox_recursive"))),
          searchButton(window.findChild<QToolButton *>(QStringLiteral("toolButtonSearchST"))),
          table(window.findChild<QTableView *>(QStringLiteral("tableView_result"))),
          busyBar(window.findChild<QProgressBar *>()), worker(window.findChild<QThread *>())
    {
        const auto labels
                = window.statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        countLabel = labels.value(0);
        spareLabel = labels.value(1);
    }

    bool complete() const
    {
        return find && grep && dir && exact && recursive && searchButton && table && busyBar
                && worker && countLabel && spareLabel;
    }

    QAbstractItemModel *model() const { return table->model(); }

    // A cell's text; "<no item>" for a cell the row does not have.
    QString cell(int row, int column) const
    {
        const QVariant text = model()->index(row, column).data();
        return text.isValid() ? text.toString() : QStringLiteral("<no item>");
    }

    // One delivery of the search thread, handed to the window as the queued
    // signal would, but at once; the files' times are read as the search
    // thread reads them.
    void deliver(const QString &dirName, const QList<TFileInfo> &hits) const
    {
        QMetaObject::invokeMethod(&window, "do_GetResultFileInfo", Qt::DirectConnection,
                                  Q_ARG(QString, dirName),
                                  Q_ARG(QList<TFileInfo>, withFileTimes(dirName, hits)));
    }

    // One display run, called directly.
    void showRun() const
    {
        QMetaObject::invokeMethod(&window, "do_ShowResultFileInfo", Qt::DirectConnection);
    }

    MainWindow &window;
    QComboBox *find;
    QComboBox *grep;
    QComboBox *dir;
    QCheckBox *exact;
    QCheckBox *recursive;
    QToolButton *searchButton;
    QTableView *table;
    QProgressBar *busyBar;
    QThread *worker;
    QLabel *countLabel = nullptr;
    QLabel *spareLabel = nullptr;
};

inline QList<TFileInfo> nameHits(const QStringList &names)
{
    QList<TFileInfo> hits;
    for (const QString &name : names)
        hits << TFileInfo {name, 0, QString()};
    return hits;
}

inline QList<TFileInfo> numberedNameHits(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("hit%1").arg(i);
    return nameHits(names);
}

#endif  // MAINWINDOWPARTS_H
