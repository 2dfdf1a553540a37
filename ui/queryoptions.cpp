#include "queryoptions.h"

#include "mainwindow.h"
#include "searchrequest.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

QueryOptionsPanel::QueryOptionsPanel(QWidget *parent)
    : QWidget(parent), foldButton(new QToolButton(this)), folded(new QWidget(this)),
      regex(new QCheckBox(MainWindow::tr("正则表达式"), folded)),
      wholeWords(new QCheckBox(MainWindow::tr("全字匹配"), folded)),
      skipBinary(new QCheckBox(MainWindow::tr("跳过二进制文件"), folded)),
      requiredTexts(new QLineEdit(folded)), excludedTexts(new QLineEdit(folded))
{
    foldButton->setObjectName(QStringLiteral("toolButton_moreConditions"));
    foldButton->setText(MainWindow::tr("更多条件"));
    foldButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    foldButton->setAutoRaise(true);
    foldButton->setCheckable(true);
    foldButton->setArrowType(Qt::RightArrow);

    regex->setObjectName(QStringLiteral("checkBox_regex"));
    regex->setToolTip(MainWindow::tr("内容按 PCRE2 正则表达式搜索"));
    wholeWords->setObjectName(QStringLiteral("checkBox_wholeWords"));
    wholeWords->setToolTip(MainWindow::tr("只找前后不是字母、数字或下划线的内容；汉字也算字母"));
    skipBinary->setObjectName(QStringLiteral("checkBox_skipBinary"));
    skipBinary->setToolTip(MainWindow::tr("跳过开头含有空字节的文件"));
    requiredTexts->setObjectName(QStringLiteral("lineEdit_requiredTexts"));
    requiredTexts->setToolTip(MainWindow::tr("文件还须含有的每个词，用“;”分隔"));
    excludedTexts->setObjectName(QStringLiteral("lineEdit_excludedTexts"));
    excludedTexts->setToolTip(MainWindow::tr("文件不能含有的词，用“;”分隔"));

    auto *foldedColumn = new QVBoxLayout(folded);
    foldedColumn->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    // Two columns, as the options above: unfolding widens nothing.
    grid->addWidget(regex, 0, 0);
    grid->addWidget(wholeWords, 0, 1);
    grid->addWidget(skipBinary, 1, 0, 1, 2);
    auto *fields = new QFormLayout;
    for (QLineEdit *field : {requiredTexts, excludedTexts})
        field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    fields->addRow(MainWindow::tr("同时包含"), requiredTexts);
    fields->addRow(MainWindow::tr("不包含"), excludedTexts);
    foldedColumn->addLayout(grid);
    foldedColumn->addLayout(fields);
    folded->hide();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(foldButton, 0, Qt::AlignLeft);
    column->addWidget(folded);
    connect(foldButton, &QToolButton::toggled, this, &QueryOptionsPanel::setUnfolded);
}

bool QueryOptionsPanel::isUnfolded() const
{
    return foldButton->isChecked();
}

void QueryOptionsPanel::setUnfolded(bool unfolded)
{
    foldButton->setChecked(unfolded);
    foldButton->setArrowType(unfolded ? Qt::DownArrow : Qt::RightArrow);
    folded->setVisible(unfolded);
}

void QueryOptionsPanel::fillRequest(SearchRequest &request) const
{
    request.regex = regex->isChecked();
    request.wholeWords = wholeWords->isChecked();
    request.skipBinary = skipBinary->isChecked();
    request.requiredTexts = SearchRequest::partsOfField(requiredTexts->text());
    request.excludedTexts = SearchRequest::partsOfField(excludedTexts->text());
}
