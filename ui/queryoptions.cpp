#include "queryoptions.h"

#include "mainwindow.h"
#include "searchrequest.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

QueryOptionsPanel::QueryOptionsPanel(QWidget *parent)
    : QWidget(parent), foldButton(new QToolButton(this)), folded(new QWidget(this)),
      regex(new QCheckBox(MainWindow::tr("正则表达式"), folded)),
      wholeWords(new QCheckBox(MainWindow::tr("全字匹配"), folded)),
      skipBinary(new QCheckBox(MainWindow::tr("跳过二进制文件"), folded)),
      requiredTexts(new QLineEdit(folded)), excludedTexts(new QLineEdit(folded)),
      hidden(new QCheckBox(MainWindow::tr("包含隐藏文件"), folded)),
      ignoreFiles(new QCheckBox(MainWindow::tr("遵循 .gitignore"), folded)),
      followLinks(new QCheckBox(MainWindow::tr("跟随链接"), folded)),
      excluded(new QLineEdit(folded)), maxDepth(new QSpinBox(folded)), sizes(new QLineEdit(folded)),
      newer(new QLineEdit(folded)), older(new QLineEdit(folded))
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

    hidden->setObjectName(QStringLiteral("checkBox_hidden"));
    hidden->setToolTip(MainWindow::tr("也搜索名称以“.”开头的文件和文件夹"));
    ignoreFiles->setObjectName(QStringLiteral("checkBox_ignoreFiles"));
    ignoreFiles->setToolTip(MainWindow::tr("跳过 .gitignore 和 .ignore 文件列出的文件和文件夹"));
    followLinks->setObjectName(QStringLiteral("checkBox_followLinks"));
    followLinks->setTristate(true);
    followLinks->setCheckState(Qt::PartiallyChecked);
    followLinks->setToolTip(
            MainWindow::tr("部分选中（默认）：进入链接到的文件夹，跳过链接到的文件；"
                           "选中：跟随所有链接；不选：不跟随链接"));
    excluded->setObjectName(QStringLiteral("lineEdit_excluded"));
    excluded->setToolTip(MainWindow::tr("跳过名称符合这些通配符的文件和文件夹，用“;”分隔"));
    maxDepth->setObjectName(QStringLiteral("spinBox_maxDepth"));
    maxDepth->setRange(0, 9999);
    maxDepth->setSpecialValueText(MainWindow::tr("不限"));
    maxDepth->setToolTip(MainWindow::tr("最多搜索到起始目录下的第几层；1：只搜索起始目录本身"));
    sizes->setObjectName(QStringLiteral("lineEdit_sizes"));
    sizes->setPlaceholderText(QStringLiteral("+10M;-1G"));
    sizes->setToolTip(MainWindow::tr("+N：大于 N；-N：小于 N；单位 k、M、G、T，用“;”分隔"));
    newer->setObjectName(QStringLiteral("lineEdit_newer"));
    newer->setPlaceholderText(QStringLiteral("2026-01-01"));
    older->setObjectName(QStringLiteral("lineEdit_older"));
    older->setPlaceholderText(QStringLiteral("7d"));
    for (QLineEdit *time : {newer, older})
        time->setToolTip(MainWindow::tr("日期（2026-01-01、2026-01-01 08:30）或距今的时长"
                                        "（30m、12h、7d、2w）"));

    auto *foldedColumn = new QVBoxLayout(folded);
    foldedColumn->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    // Two columns, as the options above: unfolding widens nothing.
    grid->addWidget(regex, 0, 0);
    grid->addWidget(wholeWords, 0, 1);
    grid->addWidget(skipBinary, 1, 0);
    grid->addWidget(hidden, 1, 1);
    grid->addWidget(followLinks, 2, 0);
    grid->addWidget(ignoreFiles, 2, 1);
    auto *fields = new QFormLayout;
    for (QLineEdit *field : {requiredTexts, excludedTexts, excluded, sizes, newer, older})
        field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    fields->addRow(MainWindow::tr("同时包含"), requiredTexts);
    fields->addRow(MainWindow::tr("不包含"), excludedTexts);
    fields->addRow(MainWindow::tr("排除"), excluded);
    fields->addRow(MainWindow::tr("最大深度"), maxDepth);
    fields->addRow(MainWindow::tr("文件大小"), sizes);
    fields->addRow(MainWindow::tr("修改时间晚于"), newer);
    fields->addRow(MainWindow::tr("修改时间早于"), older);
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
    request.hidden = hidden->isChecked();
    request.ignoreFiles = ignoreFiles->isChecked();
    switch (followLinks->checkState()) {
    case Qt::PartiallyChecked:
        request.links = WalkRules::Links::FoldersOnly;
        break;
    case Qt::Checked:
        request.links = WalkRules::Links::All;
        break;
    case Qt::Unchecked:
        request.links = WalkRules::Links::None;
        break;
    }
    request.excludedNames = request.excludedFolders = SearchRequest::partsOfField(excluded->text());
    request.maxDepth = maxDepth->value();
    request.sizes = SearchRequest::partsOfField(sizes->text());
    request.newer = newer->text();
    request.older = older->text();
}

QList<QueryOptionsPanel::KeptBox> QueryOptionsPanel::keptBoxes() const
{
    return {{"options/regex", regex, Qt::Unchecked},
            {"options/wholeWords", wholeWords, Qt::Unchecked},
            {"options/skipBinary", skipBinary, Qt::Unchecked},
            {"options/hidden", hidden, Qt::Unchecked},
            {"options/ignoreFiles", ignoreFiles, Qt::Unchecked},
            {"options/followLinks", followLinks, Qt::PartiallyChecked}};
}

void QueryOptionsPanel::restore(const QSettings &settings)
{
    bool changed = false;
    for (const KeptBox &kept : keptBoxes()) {
        const QVariant state = settings.value(QLatin1String(kept.key));
        if (!state.isValid())
            continue;
        const int value = state.toInt();
        if (value != Qt::Unchecked && value != Qt::Checked
            && !(value == Qt::PartiallyChecked && kept.box->isTristate()))
            continue;  // not a state this box takes
        kept.box->setCheckState(Qt::CheckState(value));
        changed = changed || kept.box->checkState() != kept.byDefault;
    }
    if (changed)
        setUnfolded(true);
}

void QueryOptionsPanel::remember(QSettings &settings) const
{
    for (const KeptBox &kept : keptBoxes())
        settings.setValue(QLatin1String(kept.key), int(kept.box->checkState()));
}
