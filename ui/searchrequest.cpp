// The search request: the input fields become a SearchRequest, whose refusal
// is shown as a notice; resets the display, starts the search thread and
// stops it again; the Search button shows which.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "pathdisplay.h"
#include "queryoptions.h"
#include "resultmodel.h"
#include "searchrequest.h"
#include "searchthread.h"
#include "threadhandover.h"
#include "trayicon.h"

#include <QApplication>
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

// The notice for a request that cannot be searched.
QString refusalNotice(const RequestError &error)
{
    switch (error.kind) {
    case RequestError::Kind::None:
        break;
    case RequestError::Kind::NothingToSearch:
        return MainWindow::tr("搜索文件请填写：文件名\n")
                + MainWindow::tr("搜索文件内容请填写：内容\n")
                + MainWindow::tr("搜索指定文件名的内容请填写：文件名+内容");
    case RequestError::Kind::InvalidNamePattern:
        return MainWindow::tr("文件名:%1 格式不正确").arg(error.part);
    case RequestError::Kind::LineBreakInText:
        return MainWindow::tr("内容不能包含换行");
    case RequestError::Kind::InvalidExpression:
        return MainWindow::tr("正则表达式:%1 有误：%2（第%3个字符）")
                .arg(error.part, error.detail)
                .arg(error.offset + 1);
    case RequestError::Kind::InvalidExclusion:
        return MainWindow::tr("排除:%1 格式不正确").arg(error.part);
    case RequestError::Kind::InvalidSize:
        return MainWindow::tr("文件大小:%1 格式不正确，应如 +10M 或 -1k").arg(error.part);
    case RequestError::Kind::InvalidTime:
        return MainWindow::tr("修改时间:%1 格式不正确，应如 2026-01-01 或 7d").arg(error.part);
    case RequestError::Kind::MissingFolder:
        return MainWindow::tr("目录名:%1 不存在").arg(displayPath(error.part));
    }
    return QString();
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
    SearchRequest request;
    request.names = ui->comboBoxForFind->currentText();
    request.text = ui->comboBoxForGrep->currentText();
    request.folders = startDirectoryParts(ui->comboBox_Dir->currentText());
    request.caseSensitivity
            = ui->checkBox_Ignore->isChecked() ? Qt::CaseInsensitive : Qt::CaseSensitive;
    request.recursive = ui->checkBox_recursive->isChecked();
    request.exact = ui->checkBox_searchExact->isChecked();
    request.deep = ui->checkBox_deepSearch->isChecked();
    request.documents = ui->checkBox_documents->isChecked();
    queryOptions->fillRequest(request);

    resetResultDisplay();
    spareLabel->clear();

    const RequestError error = request.check();
    // The columns follow the content text once the fields themselves are
    // good, also when a start folder then turns out to be missing.
    if (!error.isError() || error.kind == RequestError::Kind::MissingFolder) {
        const bool nameSearch = request.text.trimmed().isEmpty();
        ui->tableView_result->setColumnHidden(2, nameSearch);
        ui->tableView_result->setColumnHidden(3, nameSearch);
    }
    if (error.isError()) {
        QMessageBox::warning(this, tr("提示"), refusalNotice(error));
        return;
    }

    const QString findTrimmed = request.names.trimmed();
    if (!findTrimmed.isEmpty())
        ui->comboBoxForFind->addItem(findTrimmed);
    const QString grepTrimmed = request.text.trimmed();
    if (!grepTrimmed.isEmpty())
        ui->comboBoxForGrep->addItem(grepTrimmed);
    rememberSearch(findTrimmed, grepTrimmed, ui->comboBox_Dir->currentText().trimmed());

    resultModel->setSearchTerms({request.text.isEmpty() ? TextQuery() : request.lineQuery(),
                                 request.deep, request.documents});
    setSearchButtonRunning(true);
    searchWorker->setParameters(request);
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
    fitColumnsToWindow();
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
