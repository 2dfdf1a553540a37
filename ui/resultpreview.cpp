// The preview pane below the table: it follows the current row while shown.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "previewpane.h"
#include "resultmodel.h"

#include <QAction>
#include <QDir>
#include <QMenuBar>
#include <QRegularExpression>

namespace {

// A deep-search hit's line starts with the codec that found it: "[GBK]\t...".
QByteArray deepHitCodec(const QString &lineText)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[([^\\]\\t]+)\\]\\t"));
    const QRegularExpressionMatch match = prefix.match(lineText);
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

}  // namespace

void MainWindow::createPreview()
{
    previewPane = new PreviewPane(ui->splitter);
    ui->splitter->addWidget(previewPane);
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 2);
    previewPane->hide();

    previewAction = new QAction(tr("预览(&P)"), this);
    previewAction->setObjectName(QStringLiteral("previewAction"));
    previewAction->setCheckable(true);
    previewAction->setShortcut(Qt::Key_F3);
    connect(previewAction, &QAction::toggled, this, &MainWindow::do_showPreview);
    menuBar()->findChild<QMenu *>(QStringLiteral("viewMenu"))->addAction(previewAction);
}

void MainWindow::do_showPreview(bool shown)
{
    previewPane->setVisible(shown);
    if (previewAction->isChecked() != shown)
        previewAction->setChecked(shown);
    if (shown)
        do_previewCurrentRow();
    else
        previewPane->clear();
}

void MainWindow::do_previewCurrentRow()
{
    if (previewPane->isHidden())
        return;
    const int row = ui->tableView_result->currentIndex().row();
    if (row < 0 || row >= resultModel->rowCount()) {
        previewPane->clear();
        return;
    }
    // Inside an archive the name reads archive/member.
    const QString name = resultModel->fileName(row);
    const int separator = name.indexOf(QDir::separator());
    const QString path = resultModel->dirName(row) + QDir::separator()
            + (separator < 0 ? name : name.left(separator));
    const QString member = separator < 0 ? QString() : name.mid(separator + 1);
    const ResultModel::SearchTerms &terms = resultModel->searchTerms();
    const QByteArray codec = terms.deep ? deepHitCodec(resultModel->lineText(row)) : QByteArray();
    previewPane->showHit(path, member, resultModel->lineNo(row), terms.query, codec,
                         terms.documents);
}
