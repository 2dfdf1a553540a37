// The result table: batches delivered by the search thread are buffered and
// moved into the table by the display timer, a bounded amount per run, so the
// window keeps answering however many hits arrive. A run shows at most 50
// batches and 5,000 rows (more once the table holds over a million), a
// larger batch in slices, and the event loop is served between runs;
// nothing here runs the event loop itself. The timer runs at 0 ms while
// batches wait and at the busy bar's pace while a search runs, when hits
// wait for its next run rather than wake it; an idle window leaves it
// stopped and spends no processor time. The batches shown or dropped are
// freed on a thread of their own (`BackgroundRelease`).
#include "mainwindow.h"
#include "resultmodel.h"
#include "searchthread.h"
#include "threadhandover.h"
#include "ui_mainwindow.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Each run of the display (one layout and paint of the table) shows at most
// this many batches and rows.
constexpr int batchesPerRun = 50;
constexpr int rowsPerRun = 5000;
// Past this many rows a run shows proportionally more: each run's layout and
// paint cost Qt's vertical header a pass over every row it holds (it places
// all its rows again after any insertion), so a fixed amount per run would
// make the time to show n rows grow with n squared.
constexpr int rowsPerRunStep = 1 << 20;
constexpr int busyBarSteps = 400;
// While a search runs with nothing to show, the bar moves 40 steps a second.
constexpr int busyBarStepMs = 25;
constexpr int columnFitIntervalMs = 500;

// Starts `timer` at `intervalMs` unless it already runs at that pace: a
// restart would only push its next timeout back.
void runEvery(QTimer *timer, int intervalMs)
{
    if (!timer->isActive() || timer->interval() != intervalMs)
        timer->start(intervalMs);
}

}  // namespace

ResultModel *MainWindow::createResultModel()
{
    return new ResultModel(this);
}

void MainWindow::installResultModel(ResultModel *model)
{
    resultModel = model;
    ui->tableView_result->setModel(model);
    connect(ui->tableView_result->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::do_previewCurrentRow);
}

void MainWindow::setupResultTable()
{
    installResultModel(createResultModel());
    ui->tableView_result->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ui->tableView_result->setColumnWidth(ResultModel::NameColumn, 80);
    ui->tableView_result->setColumnWidth(ResultModel::DirColumn, 250);
    ui->tableView_result->setColumnWidth(ResultModel::LineColumn, 50);
    // A larger window (a maximised one) widens the text columns.
    ui->tableView_result->viewport()->installEventFilter(this);
}

void MainWindow::fitColumnsToWindow()
{
    ui->tableView_result->resizeColumnsToContents();
    useSpareWidth();
}

void MainWindow::useSpareWidth()
{
    QTableView *table = ui->tableView_result;
    int used = 0;
    for (int column = 0; column < ResultModel::ColumnCount; ++column) {
        if (!table->isColumnHidden(column))
            used += table->columnWidth(column);
    }
    const int spare = table->viewport()->width() - used;
    if (spare <= 0)
        return;
    // The widest texts take what the window has to spare.
    const int column = table->isColumnHidden(ResultModel::ContentColumn)
            ? ResultModel::DirColumn
            : ResultModel::ContentColumn;
    table->setColumnWidth(column, table->columnWidth(column) + spare);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->tableView_result->viewport() && event->type() == QEvent::Resize)
        useSpareWidth();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resetResultDisplay()
{
    countLabel->clear();
    stopRemarkShown = false;
    foundCount = 0;
    hitRelease.release(std::exchange(pendingResults, {}));
    headRowsShown = 0;
    wakeDisplay();

    ResultModel *oldModel = resultModel;
    QItemSelectionModel *oldSelection = ui->tableView_result->selectionModel();
    installResultModel(createResultModel());
    // setModel leaves the previous selection model to its owner, the view.
    delete oldSelection;
    oldModel->releaseRows(hitRelease);
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
    // While a search runs the display already comes round at the busy bar's
    // pace: hits then wait for it and are shown many batches at a time, not
    // each with a layout and a paint of the table of its own.
    if (!showTimer->isActive())
        wakeDisplay();
}

void MainWindow::wakeDisplay()
{
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
    showPendingBatches();
    scheduleDisplay();
}

void MainWindow::showPendingBatches()
{
    showFoundCount();
    // One step a run: the bar repaints at once on each new value.
    if (!busyBar->isHidden()) {
        progressValue = (progressValue + 1) % busyBarSteps;
        busyBar->setValue(progressValue);
    }
    const int scale = std::max(1, resultModel->rowCount() / rowsPerRunStep);
    int rowsLeft = rowsPerRun * scale;
    for (int pass = 0; pass < batchesPerRun * scale; ++pass) {
        if (pendingResults.isEmpty()) {
            // Fitting measures the texts of up to a thousand rows: while a
            // search trickles hits in, at most twice a second.
            if (columnsDirty
                && (!searchWorker->isRunning() || !lastColumnFit.isValid()
                    || lastColumnFit.hasExpired(columnFitIntervalMs))) {
                fitColumnsToWindow();
                columnsDirty = false;
                lastColumnFit.start();
            }
            return;
        }

        // A batch larger than what the run has left is cut; its rest waits
        // at the head of the buffer for the next run.
        const ResultBatch &batch = pendingResults.constFirst();
        const int size = batch.namelist.size();
        const int end = std::min(size, headRowsShown + rowsLeft);
        resultModel->appendHits(batch.dirName, batch.namelist, headRowsShown, end);
        columnsDirty = true;
        rowsLeft -= end - headRowsShown;
        if (end < size) {
            headRowsShown = end;
            return;
        }
        hitRelease.release(pendingResults.takeFirst());
        headRowsShown = 0;
        if (rowsLeft == 0)
            return;
    }
}

void MainWindow::do_stopShowTab()
{
    const int notShown = foundCount - resultModel->rowCount();
    const QString remark
            = notShown >= 1 ? tr("        尚有%1个文件未显示").arg(notShown) : QString();
    countLabel->setText(tr("找到文件数:") + QString::number(foundCount) + remark);
    stopRemarkShown = true;
    hitRelease.release(std::exchange(pendingResults, {}));
    headRowsShown = 0;
    wakeDisplay();
}
