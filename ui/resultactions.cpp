// The actions on selected result rows: the table's context menu, opening the
// files, showing them in their folders and copying the rows as text.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "desktopopen.h"
#include "filemanager.h"
#include "nativepath.h"
#include "pathdisplay.h"
#include "resultmodel.h"
#include "visiblecontrols.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>

namespace {

// Above this many rows, Open and Browse ask first.
constexpr int openQuestionThreshold = 3;

// The status bar's remark on a file the desktop could not open, by its name.
QString openFailureText(const QString &path, OpenFailure failure)
{
    const QString name = displayPath(path.mid(path.lastIndexOf(QDir::separator()) + 1));
    switch (failure) {
    case OpenFailure::NoOpener:
        return MainWindow::tr("无法打开%1:没有安装打开文件的程序xdg-open(xdg-utils)").arg(name);
    case OpenFailure::Missing:
        return MainWindow::tr("无法打开%1:文件不存在").arg(name);
    case OpenFailure::NoApplication:
        return MainWindow::tr("无法打开%1:没有设置打开这类文件的程序").arg(name);
    case OpenFailure::Failed:
        break;
    }
    return MainWindow::tr("无法打开%1:打开文件的程序出错").arg(name);
}

}  // namespace

void MainWindow::createResultActions()
{
    QTableView *table = ui->tableView_result;
    auto addEntry = [table, this](const QString &text, const char *slot) {
        auto *action = new QAction(text, table);
        connect(action, SIGNAL(triggered()), this, slot);
        table->addAction(action);
    };
    auto addSeparator = [table] {
        auto *separator = new QAction(table);
        separator->setSeparator(true);
        table->addAction(separator);
    };

    addEntry(tr("打开文件"), SLOT(do_openFileDefault()));
    addEntry(tr("浏览文件所在目录"), SLOT(do_openExplorerDir()));
    addSeparator();
    addEntry(tr("复制选中文件"), SLOT(do_copyfiles()));
    addEntry(tr("剪切选中文件"), SLOT(do_cutfiles()));
    addSeparator();
    addEntry(tr("复制选中列表信息"), SLOT(do_copyPathName_Clipboard()));
    addEntry(tr("停止显示"), SLOT(do_stopShowTab()));

    connect(table, SIGNAL(doubleClicked(QModelIndex)), this, SLOT(do_openFileDefault()));
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QList<int> MainWindow::selectedRows() const
{
    QList<int> rows;
    const QItemSelectionModel *selection = ui->tableView_result->selectionModel();
    if (!selection)
        return rows;
    for (const QModelIndex &index : selection->selectedRows(ResultModel::NameColumn))
        rows << index.row();
    return rows;
}

QString MainWindow::targetPath(int row) const
{
    // Inside an archive the name reads archive/member: the archive is the file.
    const QString name = resultModel->fileName(row);
    return resultModel->dirName(row) + QDir::separator() + name.split(QDir::separator()).first();
}

QString MainWindow::rowPath(int row) const
{
    return resultModel->dirName(row) + QDir::separator() + resultModel->fileName(row);
}

bool MainWindow::confirmManyRows(int count, int threshold, const QString &question)
{
    if (count <= threshold)
        return true;
    return QMessageBox::question(this, tr("警告"), question.arg(count),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
}

// Open and Browse: the targets of the selected rows that still exist, in row
// order, after the question when more than three rows are selected; none on No.
QStringList MainWindow::confirmedSelectedTargets()
{
    const QList<int> rows = selectedRows();
    if (!confirmManyRows(rows.size(), openQuestionThreshold, tr("执行%1个打开操作，是否继续？")))
        return {};
    QStringList targets;
    for (const int row : rows) {
        const QString path = targetPath(row);
        if (pathExists(path))
            targets << path;
    }
    return targets;
}

void MainWindow::do_openFileDefault()
{
    for (const QString &path : confirmedSelectedTargets())
        openWithDesktop(path, this, [this, path](OpenFailure failure) {
            spareLabel->setText(openFailureText(path, failure));
        });
}

void MainWindow::do_openExplorerDir()
{
    for (const QString &path : confirmedSelectedTargets())
        showInFileManager(path);
}

void MainWindow::do_copyPathName_Clipboard()
{
    QString text;
    for (const int row : selectedRows()) {
        text += tr("文件名：") + pathAsText(rowPath(row)) + QLatin1Char('\n');
        const qint64 line = resultModel->lineNo(row);
        const struct
        {
            QString label;
            QString value;
        } details[] = {
                {tr("行号："), line != 0 ? QString::number(line) : QString()},
                {tr("行内容："), withVisibleControls(resultModel->lineText(row)).trimmed()},
                {tr("修改时间："), ResultModel::timeText(resultModel->modified(row))},
        };
        for (const auto &detail : details) {
            if (!detail.value.isEmpty())
                text += detail.label + detail.value + QLatin1Char('\n');
        }
        text += QLatin1String("\n\n");
    }
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
}
