// How the window looks and reads: the background picture on a light desktop
// and the desktop's own colours on a dark one, the names and descriptions a
// screen reader gives each control, the order of the keyboard focus, and
// sizes that fit a screen of 800 by 600.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "previewpane.h"
#include "queryoptions.h"

#include <QLabel>
#include <QProgressBar>

namespace {

const QString backgroundStyle = QStringLiteral("background-image:url(':/img/frame-mid.png')");
const QString buttonHoverStyle = QStringLiteral(
        "QToolButton:!hover{background: transparent;}"
        "QToolButton:hover{background-image: url(':/img/ico-hover-bg.png');border:0px;}");
// The drop-downs may be narrower than their longest entry.
constexpr int fieldCharacters = 3;

}  // namespace

bool MainWindow::isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness()
            < palette.color(QPalette::WindowText).lightness();
}

void MainWindow::setUpLook()
{
    // The picture is light: on a dark desktop it would put light text on
    // light ground, so there the desktop's colours stand alone.
    if (!isDarkPalette(palette())) {
        ui->centralWidget->setStyleSheet(backgroundStyle);
        // After the item rule the background needs a rule of its own: a bare
        // declaration there is dropped, which left the bar grey below the image.
        ui->statusBar->setStyleSheet(ui->statusBar->styleSheet() + QStringLiteral("QStatusBar{")
                                     + backgroundStyle + QLatin1Char('}'));
        for (QToolButton *button : {ui->toolButtonSearchST, ui->toolButtonGetDir,
                                    ui->toolButtonHelp, queryOptions->unfoldButton()})
            button->setStyleSheet(buttonHoverStyle);
    }

    for (QComboBox *field : {ui->comboBoxForFind, ui->comboBoxForGrep, ui->comboBox_Dir}) {
        field->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        field->setMinimumContentsLength(fieldCharacters);
    }
    ui->label->setBuddy(ui->comboBoxForFind);
    ui->label_3->setBuddy(ui->comboBoxForGrep);
    ui->label_2->setBuddy(ui->comboBox_Dir);

    const struct
    {
        QWidget *widget;
        QString name;
        QString description;
    } readings[] = {
            {ui->comboBoxForFind, tr("文件名"), tr("要找的文件名，可用通配符，多个以分号隔开")},
            {ui->comboBoxForGrep, tr("内容"), tr("要在文件里找的文字")},
            {ui->comboBox_Dir, tr("目录名"), tr("从这些目录开始搜索，多个以分号隔开")},
            {ui->toolButtonSearchST, tr("搜索"), tr("开始搜索，搜索中则停止")},
            {ui->toolButtonHelp, tr("帮助"), tr("显示帮助")},
            {ui->toolButtonGetDir, tr("目录"), tr("选择搜索目录")},
            {ui->groupBox, tr("选项"), tr("搜索的选项")},
            {ui->checkBox_searchExact, tr("精确匹配文件名"), tr("文件名须与所填完全一致")},
            {ui->checkBox_recursive, tr("搜索子目录"), tr("也搜索子目录里的文件")},
            {ui->checkBox_Ignore, tr("忽略大小写"), tr("搜索文件内容时忽略大小写")},
            {ui->checkBox_deepSearch, tr("深度搜索"), tr("尝试多种文字编码，深度搜索")},
            {ui->checkBox_documents, tr("搜索文档内容"),
             tr("搜索 PDF、Office、OpenDocument、EPUB 和 RTF 文档里的文字，而不是它们的字节")},
            {ui->tableView_result, tr("搜索结果"),
             tr("找到的文件和行；右键打开、浏览或复制，双击打开")},
            {countLabel, tr("找到的数目"), QString()},
            {spareLabel, tr("无法读取的数目"), QString()},
            {busyBar, tr("正在搜索"), QString()},
    };
    for (const auto &reading : readings) {
        reading.widget->setAccessibleName(reading.name);
        reading.widget->setAccessibleDescription(reading.description);
    }

    // The focus goes through the form as it reads, then to the results.
    QList<QWidget *> focusOrder = {
            ui->comboBoxForFind,      ui->comboBoxForGrep,    ui->toolButtonSearchST,
            ui->toolButtonHelp,       ui->comboBox_Dir,       ui->toolButtonGetDir,
            ui->checkBox_searchExact, ui->checkBox_recursive, ui->checkBox_Ignore,
            ui->checkBox_deepSearch,  ui->checkBox_documents,
    };
    focusOrder << queryOptions->focusOrder() << ui->tableView_result << previewPane->textView();
    for (int i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder.at(i - 1), focusOrder.at(i));
    for (QToolButton *button : {ui->toolButtonSearchST, ui->toolButtonHelp, ui->toolButtonGetDir,
                                queryOptions->unfoldButton()})
        button->setFocusPolicy(Qt::StrongFocus);
}
