#include "queryoptions.h"

#include "mainwindow.h"
#include "searchrequest.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>

QueryOptionsPanel::QueryOptionsPanel(QWidget *parent)
    : QWidget(parent), foldButton(new QToolButton(this)),
      regex(new QCheckBox(MainWindow::tr("正则表达式"), this)),
      wholeWords(new QCheckBox(MainWindow::tr("全字匹配"), this)),
      skipBinary(new QCheckBox(MainWindow::tr("跳过二进制文件"), this)),
      requiredTexts(new QLineEdit(this)), excludedTexts(new QLineEdit(this)),
      hidden(new QCheckBox(MainWindow::tr("包含隐藏文件"), this)),
      ignoreFiles(new QCheckBox(MainWindow::tr("遵循 .gitignore"), this)),
      followLinks(new QCheckBox(MainWindow::tr("跟随链接"), this)), excluded(new QLineEdit(this)),
      maxDepth(new QSpinBox(this)), sizes(new QLineEdit(this)), newer(new QLineEdit(this)),
      older(new QLineEdit(this))
{
    foldButton->setObjectName(QStringLiteral("toolButton_moreConditions"));
    // Short on the button, which shares a row of the options box with a tick
    // box; its full name for a screen reader and in its tip.
    foldButton->setText(MainWindow::tr("更多条件", "the button that unfolds them"));
    foldButton->setAccessibleName(MainWindow::tr("更多条件"));
    foldButton->setToolTip(MainWindow::tr("更多条件"));
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

    // Four columns of a label and its field; a tick box takes the room of
    // both. What a line must hold comes first, then what the walk passes by.
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(5, 0, 0, 0);
    grid->setVerticalSpacing(2);
    auto labelled = [this, grid](const QString &label, QWidget *field, int row, int column,
                                 int columnSpan) {
        auto *name = new QLabel(label, this);
        name->setBuddy(field);
        grid->addWidget(name, row, column);
        grid->addWidget(field, row, column + 1, 1, columnSpan);
    };
    grid->addWidget(regex, 0, 0, 1, 2);
    grid->addWidget(wholeWords, 0, 2, 1, 2);
    grid->addWidget(skipBinary, 0, 4, 1, 2);
    labelled(MainWindow::tr("同时包含"), requiredTexts, 1, 0, 3);
    labelled(MainWindow::tr("不包含"), excludedTexts, 1, 4, 3);
    grid->addWidget(hidden, 2, 0, 1, 2);
    grid->addWidget(followLinks, 2, 2, 1, 2);
    grid->addWidget(ignoreFiles, 2, 4, 1, 2);
    labelled(MainWindow::tr("最大深度"), maxDepth, 2, 6, 1);
    labelled(MainWindow::tr("排除"), excluded, 3, 0, 1);
    labelled(MainWindow::tr("文件大小"), sizes, 3, 2, 1);
    labelled(MainWindow::tr("修改时间晚于"), newer, 3, 4, 1);
    labelled(MainWindow::tr("修改时间早于"), older, 3, 6, 1);
    // The window's picture shows through, as behind the form's own labels.
    setStyleSheet(QStringLiteral("QCheckBox, QLabel { background: transparent }"));
    for (const int field : {1, 3, 5, 7})
        grid->setColumnStretch(field, 1);
    hide();
    connect(foldButton, &QToolButton::toggled, this, &QueryOptionsPanel::setUnfolded);
}

QList<QWidget *> QueryOptionsPanel::focusOrder() const
{
    return {foldButton,  regex,       wholeWords, skipBinary, requiredTexts, excludedTexts, hidden,
            followLinks, ignoreFiles, maxDepth,   excluded,   sizes,         newer,         older};
}

bool QueryOptionsPanel::isUnfolded() const
{
    return foldButton->isChecked();
}

void QueryOptionsPanel::setUnfolded(bool unfolded)
{
    foldButton->setChecked(unfolded);
    foldButton->setArrowType(unfolded ? Qt::DownArrow : Qt::RightArrow);
    setVisible(unfolded);
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
