// The search request: validates the input fields, resets the display, starts
// the one search thread and stops it again; the Search button shows which.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "pathdisplay.h"
#include "searchinput.h"
#include "searchthread.h"
#include "threadhandover.h"
#include "trayicon.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>

#include <utility>

namespace {

// What the search could not read, for the status bar beside the found
// count; empty when it read everything.
QString unreadableRemark(const searchThread &search)
{
    const quint64 folders = search.unreadableFolders();
    const quint64 files = search.unreadableFiles();
    if (folders + files == 0)
        return QString();
    return MainWindow::tr("无法读取:%1个目录,%2个文件").arg(folders).arg(files);
}

}  // namespace

void MainWindow::do_search()
{
    if (searchWorker->isRunning()) {
        searchWorker->stop();
        return;
    }

    // Read before the history is touched: adding the first item to an empty
    // combo box replaces its edit text with that (trimmed) item.
    const QString findText = ui->comboBoxForFind->currentText();
    const QString grepText = ui->comboBoxForGrep->currentText();
    const QString dirText = ui->comboBox_Dir->currentText();

    resetResultDisplay();
    spareLabel->clear();

    QStringList patterns = namePatterns(findText);
    const QString grepTrimmed = grepText.trimmed();
    if (patterns.isEmpty()) {
        if (grepTrimmed.isEmpty()) {
            QMessageBox::warning(this, tr("提示"),
                                 tr("搜索文件请填写：文件名\n") + tr("搜索文件内容请填写：内容\n")
                                         + tr("搜索指定文件名的内容请填写：文件名+内容"));
            return;
        }
        patterns << QStringLiteral("*");
    }
    // Texts that cannot find anything: the search does not start.
    const QString badPattern = invalidNamePattern(patterns, ui->checkBox_searchExact->isChecked());
    if (!badPattern.isNull()) {
        QMessageBox::warning(this, tr("提示"), tr("文件名:%1 格式不正确").arg(badPattern));
        return;
    }
    if (holdsLineBreak(grepText)) {
        QMessageBox::warning(this, tr("提示"), tr("内容不能包含换行"));
        return;
    }

    const bool nameSearch = grepTrimmed.isEmpty();
    ui->tableView_result->setColumnHidden(2, nameSearch);
    ui->tableView_result->setColumnHidden(3, nameSearch);

    // Parts are not trimmed: a blank after ";" belongs to the next path. An
    // empty part is the current directory, as QDir has it.
    QList<QDir> dirs;
    for (const QString &part : startDirectoryParts(dirText)) {
        if (!isExistingFolder(part)) {
            QMessageBox::warning(this, tr("提示"), tr("目录名:%1 不存在").arg(displayPath(part)));
            return;
        }
        dirs << startFolder(part);
    }

    const QString findTrimmed = findText.trimmed();
    if (!findTrimmed.isEmpty())
        ui->comboBoxForFind->addItem(findTrimmed);
    if (!grepTrimmed.isEmpty())
        ui->comboBoxForGrep->addItem(grepTrimmed);

    setSearchButtonRunning(true);
    searchWorker->setParameters(
            dirs, patterns, grepText,
            ui->checkBox_Ignore->isChecked() ? Qt::CaseInsensitive : Qt::CaseSensitive,
            ui->checkBox_recursive->isChecked(), ui->checkBox_searchExact->isChecked(),
            ui->checkBox_deepSearch->isChecked());
    searchWorker->start(QThread::InheritPriority);
    busyBar->show();
    progressValue = 0;
}

void MainWindow::do_resume_searchFileIcon()
{
    takeOver(searchWorker);
    // A search stopped and restarted at once leaves the first run's finished()
    // queued behind the new start; the running search is not over.
    if (searchWorker->isRunning())
        return;
    ui->tableView_result->resizeColumnsToContents();
    setSearchButtonRunning(false);
    showFoundCount();
    // Folders handed over during the search go into the field now; the
    // status bar keeps what it says of them beside what could not be read.
    spareLabel->clear();
    takeStartFolders(std::exchange(waitingStartFolders, {}));
    const QStringList remarks {spareLabel->text(), unreadableRemark(*searchWorker)};
    spareLabel->setText(remarks.join(QLatin1String("  ")).trimmed());
    QApplication::alert(this, 0);
    busyBar->hide();
    // A search left running in the background ends unseen: say so from the tray.
    if (isHidden())
        trayIcon->announceSearchEnd(foundCount);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        do_search();
        break;
    case Qt::Key_Escape:
        if (searchWorker->isRunning())
            askBackground();
        break;
    default:
        break;
    }
}

void MainWindow::setSearchButtonRunning(bool running)
{
    QToolButton *button = ui->toolButtonSearchST;
    if (running) {
        button->setIcon(QIcon(QStringLiteral(":/img/stop.png")));
        button->setText(tr("停止"));
        button->setToolTip(tr("停止搜索"));
    } else {
        button->setIcon(QIcon(QStringLiteral(":/img/smartsearch.png")));
        button->setText(tr("搜索"));
        button->setToolTip(tr("开始搜索"));
    }
}
