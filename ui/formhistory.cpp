// What the window keeps between runs: the last folders, name patterns and
// texts searched (the drop-down history of the three fields), the options
// and the tick boxes of 更多条件, the window's size and the widths of the
// columns.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "previewpane.h"
#include "queryoptions.h"
#include "resultmodel.h"

#include <QSettings>

namespace {

constexpr int historyLength = 20;

const QString namesKey = QStringLiteral("history/names");
const QString textsKey = QStringLiteral("history/texts");
const QString foldersKey = QStringLiteral("history/folders");
const QString geometryKey = QStringLiteral("window/geometry");
const QString splitterKey = QStringLiteral("window/splitter");
const QString widthsKey = QStringLiteral("table/columnWidths");
const QString previewKey = QStringLiteral("window/preview");

struct Option
{
    const char *key;
    QCheckBox *Ui::MainWindow::*box;
};
const Option options[] = {
        {"options/exactName", &Ui::MainWindow::checkBox_searchExact},
        {"options/subfolders", &Ui::MainWindow::checkBox_recursive},
        {"options/ignoreCase", &Ui::MainWindow::checkBox_Ignore},
        {"options/deepSearch", &Ui::MainWindow::checkBox_deepSearch},
        {"options/documents", &Ui::MainWindow::checkBox_documents},
};

// `entry` first, then the older entries without it, at most historyLength.
void pushEntry(QSettings &settings, const QString &key, const QString &entry)
{
    if (entry.isEmpty())
        return;
    QStringList entries = settings.value(key).toStringList();
    entries.removeAll(entry);
    entries.prepend(entry);
    settings.setValue(key, QStringList(entries.mid(0, historyLength)));
}

// Adds the kept entries below what the box holds, the oldest first, as the
// searches of this run add theirs.
void restoreEntries(QComboBox *box, const QStringList &entries)
{
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        box->addItem(*it);
}

}  // namespace

void MainWindow::useSettings(QSettings *kept)
{
    settings = kept;
    if (!settings)
        return;
    restoreEntries(ui->comboBoxForFind, settings->value(namesKey).toStringList());
    restoreEntries(ui->comboBoxForGrep, settings->value(textsKey).toStringList());
    restoreEntries(ui->comboBox_Dir, settings->value(foldersKey).toStringList());
    // A box with history shows an empty field, as before.
    ui->comboBoxForGrep->setCurrentIndex(-1);
    for (const Option &option : options) {
        const QVariant checked = settings->value(QLatin1String(option.key));
        if (checked.isValid())
            (ui->*option.box)->setChecked(checked.toBool());
    }
    queryOptions->restore(*settings);
    restoreGeometry(settings->value(geometryKey).toByteArray());
    do_showPreview(settings->value(previewKey, false).toBool());
    ui->splitter->restoreState(settings->value(splitterKey).toByteArray());
    const QVariantList widths = settings->value(widthsKey).toList();
    for (int column = 0; column < widths.size(); ++column)
        ui->tableView_result->setColumnWidth(column, widths.at(column).toInt());
    // Widths kept from last time stand until the first results are fitted.
    columnsDirty = widths.isEmpty();
}

void MainWindow::rememberSearch(const QString &names, const QString &text, const QString &folders)
{
    if (!settings)
        return;
    pushEntry(*settings, namesKey, names);
    pushEntry(*settings, textsKey, text);
    pushEntry(*settings, foldersKey, folders);
    for (const Option &option : options)
        settings->setValue(QLatin1String(option.key), (ui->*option.box)->isChecked());
    queryOptions->remember(*settings);
    settings->sync();
}

void MainWindow::saveLayout()
{
    if (!settings)
        return;
    settings->setValue(geometryKey, saveGeometry());
    settings->setValue(splitterKey, ui->splitter->saveState());
    settings->setValue(previewKey, !previewPane->isHidden());
    QVariantList widths;
    for (int column = 0; column < resultModel->columnCount(); ++column)
        widths << ui->tableView_result->columnWidth(column);
    settings->setValue(widthsKey, widths);
    settings->sync();
}

void MainWindow::do_clearHistory()
{
    if (settings) {
        for (const QString &key : {namesKey, textsKey, foldersKey})
            settings->remove(key);
        settings->sync();
    }
    // The drop-downs go back to what a window without history offers; the
    // fields keep their texts.
    auto reset = [](QComboBox *box, int keep, const QStringList &add) {
        const QString text = box->currentText();
        while (box->count() > keep)
            box->removeItem(box->count() - 1);
        box->addItems(add);
        box->setEditText(text);
    };
    reset(ui->comboBoxForFind, presetNameCount, {});
    reset(ui->comboBoxForGrep, 0, {});
    reset(ui->comboBox_Dir, 0, baseFolderEntries);
}
