// The window's menu bar, and Export behind its first entry.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "resultexport.h"
#include "resultmodel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

void MainWindow::createMenus()
{
    QMenu *file = menuBar()->addMenu(tr("文件(&F)"));
    QAction *exportAction = file->addAction(tr("导出结果(&E)..."), this, SLOT(do_exportResults()));
    exportAction->setObjectName(QStringLiteral("exportAction"));
    exportAction->setShortcut(QKeySequence::Save);
    QAction *clearAction = file->addAction(tr("清除历史记录(&C)"), this, SLOT(do_clearHistory()));
    clearAction->setObjectName(QStringLiteral("clearHistoryAction"));
    file->addSeparator();
    QAction *quitAction = file->addAction(tr("退出(&Q)"), this, SLOT(close()));
    quitAction->setShortcut(QKeySequence::Quit);

    QMenu *view = menuBar()->addMenu(tr("查看(&V)"));
    view->setObjectName(QStringLiteral("viewMenu"));

    QMenu *help = menuBar()->addMenu(tr("帮助(&H)"));
    QAction *helpAction = help->addAction(tr("帮助(&H)"), this, SLOT(do_help()));
    helpAction->setShortcut(QKeySequence::HelpContents);
}

void MainWindow::do_exportResults()
{
    const QString csvFilter = tr("CSV 表格 (*.csv)");
    const QString jsonFilter = tr("JSON 行 (*.jsonl)");
    QString chosenFilter = csvFilter;
    QString path = saveFileChooser(this, tr("导出结果"),
                                   QDir::home().filePath(QStringLiteral("velto-results.csv")),
                                   csvFilter + QStringLiteral(";;") + jsonFilter, &chosenFilter);
    if (path.isEmpty())
        return;
    const bool json = chosenFilter == jsonFilter
            || path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive)
            || path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    if (json) {
        error = exportJsonLines(*resultModel, path);
    } else {
        QList<int> columns;
        for (int column = 0; column < resultModel->columnCount(); ++column) {
            if (!ui->tableView_result->isColumnHidden(column))
                columns << column;
        }
        error = exportCsv(*resultModel, columns, path);
    }
    QApplication::restoreOverrideCursor();

    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("提示"), tr("无法导出到%1：%2").arg(path, error));
        return;
    }
    statusBar()->showMessage(
            tr("已导出%1行到%2").arg(resultModel->rowCount()).arg(QDir::toNativeSeparators(path)),
            10000);
}
