// Closing the window or pressing Escape while a search runs: go on in the
// background with the window hidden, stop the search, or change nothing.
#include "mainwindow.h"

#include "searchthread.h"

#include <QCloseEvent>
#include <QMessageBox>

MainWindow::BackgroundAnswer MainWindow::askBackground()
{
    if (!searchWorker->isRunning())
        return BackgroundAnswer::NotRunning;
    switch (QMessageBox::question(this, tr("警告"), tr("正在执行搜索任务，是否转入后台运行？"),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        setVisible(false);
        return BackgroundAnswer::Yes;
    case QMessageBox::No:
        searchWorker->stop();
        return BackgroundAnswer::No;
    default:
        return BackgroundAnswer::Cancel;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    switch (askBackground()) {
    case BackgroundAnswer::NotRunning:
    case BackgroundAnswer::No:
        event->accept();
        break;
    case BackgroundAnswer::Yes:
    case BackgroundAnswer::Cancel:
        event->ignore();
        break;
    }
}
