// Start folders handed to the window (its own command line, a later start,
// the Directory button): one entry of the directory field each time, whose
// text shows them separated by ";" and which keeps the exact folders behind
// it, so that a folder whose name holds ";", or bytes that are no text, stays
// one folder with its own bytes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "pathdisplay.h"
#include "searchrequest.h"
#include "searchthread.h"

#include <QLabel>

namespace {

constexpr int exactFoldersRole = Qt::UserRole + 1;

QString shownFolders(const QStringList &folders)
{
    QStringList shown;
    for (const QString &folder : folders)
        shown << displayPath(folder);
    return shown.join(QLatin1Char(';'));
}

}  // namespace

void MainWindow::takeStartFolders(const QStringList &folders)
{
    if (folders.isEmpty())
        return;
    // A running search keeps the field it started from in view.
    if (searchWorker->isRunning()) {
        waitingStartFolders = folders;
        spareLabel->setText(tr("搜索结束后目录名将改为:%1").arg(shownFolders(folders)));
        return;
    }
    showStartFolders(folders);
    targetDir = folders.first();  // where the Directory button's chooser opens
    // What an earlier hand-over said no longer holds.
    spareLabel->clear();
    for (const QString &folder : folders) {
        if (!isExistingFolder(folder)) {
            spareLabel->setText(tr("目录名:%1 不存在").arg(displayPath(folder)));
            break;
        }
    }
}

void MainWindow::showStartFolders(const QStringList &folders)
{
    QComboBox *field = ui->comboBox_Dir;
    field->addItem(shownFolders(folders));
    field->setItemData(field->count() - 1, folders, exactFoldersRole);
    field->setCurrentIndex(field->count() - 1);
}

QStringList MainWindow::startDirectoryParts(const QString &text) const
{
    const QComboBox *field = ui->comboBox_Dir;
    const int current = field->currentIndex();
    const QVariant exact = field->itemData(current, exactFoldersRole);
    if (current >= 0 && exact.isValid() && field->itemText(current) == text)
        return exact.toStringList();
    return SearchRequest::foldersOfField(text);
}
