// The result table: batches delivered by the search thread are buffered and
// moved into the table by the display timer, a bounded amount per run, so the
// window keeps answering however many hits arrive. The timer runs at 0 ms
// while batches wait and at the busy bar's pace while a search runs; an idle
// window leaves it stopped and spends no processor time.
#include "mainwindow.h"
#include "nativepath.h"
#include "pathdisplay.h"
#include "searchthread.h"
#include "threadhandover.h"
#include "ui_mainwindow.h"
#include "visiblecontrols.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTimer>

namespace {

constexpr int batchesPerRun = 10;
constexpr int rowsBetweenYields = 500;
constexpr int busyBarSteps = 400;
// While a search runs with nothing to show, the bar moves 40 steps a second.
constexpr int busyBarStepMs = 25;

enum Column { NameColumn, DirColumn, LineColumn, ContentColumn, TimeColumn, ColumnCount };

// A cell showing `text`; an empty cell holds no data at all, which spares the
// allocations of an empty string for the line and content of every name hit.
QStandardItem *cell(const QString &text)
{
    return text.isEmpty() ? new QStandardItem : new QStandardItem(text);
}

// The five cells of one hit. The name and folder cells show their text
// readably and keep it exactly for the actions. The time cell is left out
// when the path does not exist (a hit inside an archive, or a file gone since).
// `shownDirName` is displayPath(dirName), worked out once per batch.
QList<QStandardItem *> resultRow(const QString &dirName, const QString &shownDirName,
                                 const TFileInfo &hit)
{
    QList<QStandardItem *> row;
    row.reserve(ColumnCount);
    row << pathCell(displayPath(hit.fileName.trimmed()), hit.fileName)
        << pathCell(shownDirName, dirName)
        << cell(hit.lineNo != 0 ? QString::number(hit.lineNo) : QString())
        // A binary file's "line" shows its control bytes as symbols, not boxes.
        << cell(withVisibleControls(hit.lineText));
    // One stat per row: a path that does not exist has no valid time.
    const QDateTime modified = lastModified(dirName + QDir::separator() + hit.fileName);
    if (modified.isValid())
        row << new QStandardItem(modified.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    return row;
}

// Starts `timer` at `intervalMs` unless it already runs at that pace: a
// restart would only push its next timeout back.
void runEvery(QTimer *timer, int intervalMs)
{
    if (!timer->isActive() || timer->interval() != intervalMs)
        timer->start(intervalMs);
}

}  // namespace

QStandardItemModel *MainWindow::createResultModel()
{
    auto *model = new QStandardItemModel(0, ColumnCount, this);
    model->setHorizontalHeaderLabels(
            {tr("文件名"), tr("目录"), tr("行号"), tr("内容"), tr("修改时间")});
    return model;
}

void MainWindow::setupResultTable()
{
    resultModel = createResultModel();
    ui->tableView_result->setModel(resultModel);
    ui->tableView_result->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ui->tableView_result->setColumnWidth(NameColumn, 80);
    ui->tableView_result->setColumnWidth(DirColumn, 250);
    ui->tableView_result->setColumnWidth(LineColumn, 50);
}

void MainWindow::resetResultDisplay()
{
    countLabel->clear();
    stopRemarkShown = false;
    foundCount = 0;
    pendingResults.clear();
    abortShow = true;  // a batch being shown right now ends at its next yield
    wakeDisplay();

    QStandardItemModel *oldModel = resultModel;
    QItemSelectionModel *oldSelection = ui->tableView_result->selectionModel();
    resultModel = createResultModel();
    ui->tableView_result->setModel(resultModel);
    // setModel leaves the previous selection model to its owner, the view.
    delete oldSelection;
    delete oldModel;
}

void MainWindow::showFoundCount()
{
    if (!stopRemarkShown)
        countLabel->setText(tr("找到目标数:") + QString::number(foundCount));
}

void MainWindow::do_GetResultFileInfo(QString dirName, QList<TFileInfo> namelist)
{
    takeOver(searchWorker);
    foundCount += namelist.size();
    pendingResults.append(ResultBatch {dirName, namelist});
    stopRemarkShown = false;
    wakeDisplay();
}

void MainWindow::wakeDisplay()
{
    // A run in progress schedules the next one as it ends. Restarting the
    // timer inside it would give the timer a new id, which Qt could fire
    // again during the run's yield to the event loop.
    if (!displayRunning)
        runEvery(showTimer, 0);
}

void MainWindow::scheduleDisplay()
{
    if (!pendingResults.isEmpty())
        runEvery(showTimer, 0);
    else if (searchWorker->isRunning())
        runEvery(showTimer, busyBarStepMs);
    else
        showTimer->stop();  // nothing to show and no bar to move
}

void MainWindow::do_ShowResultFileInfo()
{
    displayRunning = true;
    showPendingBatches();
    displayRunning = false;
    scheduleDisplay();
}

void MainWindow::showPendingBatches()
{
    for (int pass = 0; pass < batchesPerRun; ++pass) {
        showFoundCount();
        if (!busyBar->isHidden()) {
            progressValue = (progressValue + 1) % busyBarSteps;
            busyBar->setValue(progressValue);
        }
        if (pendingResults.isEmpty()) {
            if (columnsDirty) {
                ui->tableView_result->resizeColumnsToContents();
                columnsDirty = false;
            }
            return;
        }

        const ResultBatch batch = pendingResults.takeFirst();
        const QString shownDirName = displayPath(batch.dirName);
        abortShow = false;
        for (int j = 0; j < batch.namelist.size(); ++j) {
            resultModel->appendRow(resultRow(batch.dirName, shownDirName, batch.namelist.at(j)));
            columnsDirty = true;
            if (j >= rowsBetweenYields && j % rowsBetweenYields == 0) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                // A new search or "stop display" during the yield: the rest of
                // this batch belongs to nothing the user still wants to see.
                if (abortShow) {
                    abortShow = false;
                    return;
                }
            }
        }
    }
}

void MainWindow::do_stopShowTab()
{
    const int notShown = foundCount - resultModel->rowCount();
    const QString remark
            = notShown >= 1 ? tr("        尚有%1个文件未显示").arg(notShown) : QString();
    countLabel->setText(tr("找到文件数:") + QString::number(foundCount) + remark);
    stopRemarkShown = true;
    pendingResults.clear();
    abortShow = true;
    wakeDisplay();
}
