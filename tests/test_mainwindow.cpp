// The main window as start-up leaves it: widget tree, texts, presets, the
// directory field, the status bar, help, the directory chooser, the wake-up
// through the hand-over file and the end of the window during a search.

#include "appdirs.h"
#include "mainwindow.h"
#include "messageboxanswerer.h"
#include "searchthread.h"
#include "trayicon.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString hoverStyle = QStringLiteral(
        "QToolButton:!hover{background: transparent;}"
        "QToolButton:hover{background-image: url(':/img/ico-hover-bg.png');border:0px;}");
const QString frameStyle = QStringLiteral("background-image:url(':/img/frame-mid.png')");

QString richTip(const QString &text, bool bold = false)
{
    const QString inner
            = bold ? QStringLiteral("<span style=\" font-weight:600;\">%1</span>").arg(text) : text;
    return QStringLiteral("<html><head/><body><p>%1</p></body></html>").arg(inner);
}

QStringList entries(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QStringList repeated(int count, const QString &text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

void rewrite(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// What the directory chooser was asked, and what it answers in turn.
struct ChooserScript
{
    QStringList answers;
    QList<QWidget *> parents;
    QStringList captions;
    QStringList startDirs;
};

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widgetTree_data();
    void widgetTree();
    void texts_data();
    void texts();
    void optionsPreset_data();
    void optionsPreset();
    void fileNamePresets();
    void directoryField_data();
    void directoryField();
    void windowAndInputProperties();
    void layoutSpacingAndMargins_data();
    void layoutSpacingAndMargins();
    void statusBar();
    void images_data();
    void images();
    void styleSheets();
    void backgroundTilesWithoutASeam();
    void directoryCompletionIgnoresCase();
    void ownedObjectsAndIdentity();
    void helpText();
    void directoryChooser_data();
    void directoryChooser();
    void handOverFileShowsTheWindow_data();
    void handOverFileShowsTheWindow();
    void closingDuringASearchEndsItFirst();

private:
    template<typename T = QWidget> T *widget(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::init()
{
    window = std::make_unique<MainWindow>();
}

void TestMainWindow::cleanup()
{
    window.reset();
}

void TestMainWindow::widgetTree_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("layout");   // the grid that places it
    QTest::addColumn<QList<int>>("cell");  // row, column, row span, column span

    const auto row = [](const char *name, const char *cls, const char *layout, QList<int> cell) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                            << QString::fromLatin1(layout) << cell;
    };
    row("widgetMid", "QWidget", "gridLayout_3", {0, 0, 1, 1});
    row("gridLayout_5", "QGridLayout", "gridLayout", {0, 0, 1, 1});
    row("label", "QLabel", "gridLayout_5", {0, 0, 1, 1});
    row("comboBoxForFind", "QComboBox", "gridLayout_5", {0, 1, 1, 1});
    row("label_3", "QLabel", "gridLayout_5", {0, 2, 1, 1});
    row("comboBoxForGrep", "QComboBox", "gridLayout_5", {0, 3, 1, 1});
    row("toolButtonSearchST", "QToolButton", "gridLayout_5", {0, 4, 1, 1});
    row("toolButtonHelp", "QToolButton", "gridLayout_5", {0, 5, 1, 1});
    row("label_2", "QLabel", "gridLayout_5", {1, 0, 1, 1});
    row("comboBox_Dir", "QComboBox", "gridLayout_5", {1, 1, 1, 3});
    row("toolButtonGetDir", "QToolButton", "gridLayout_5", {1, 4, 1, 1});
    row("groupBox", "QGroupBox", "gridLayout", {0, 1, 1, 1});
    row("checkBox_searchExact", "QCheckBox", "gridLayout_2", {0, 0, 1, 1});
    row("checkBox_recursive", "QCheckBox", "gridLayout_2", {0, 1, 1, 1});
    row("checkBox_Ignore", "QCheckBox", "gridLayout_2", {1, 0, 1, 1});
    row("checkBox_deepSearch", "QCheckBox", "gridLayout_2", {1, 1, 1, 1});
    row("checkBox_documents", "QCheckBox", "gridLayout_2", {2, 0, 1, 1});
    row("splitter", "QSplitter", "gridLayout", {2, 0, 1, 2});
}

void TestMainWindow::widgetTree()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, layout);
    QFETCH(QList<int>, cell);

    QObject *object = window->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);

    auto *grid = window->findChild<QGridLayout *>(layout);
    QVERIFY(grid);
    int index = -1;
    if (auto *w = qobject_cast<QWidget *>(object))
        index = grid->indexOf(w);
    else
        for (int i = 0; i < grid->count() && index < 0; ++i)
            if (grid->itemAt(i)->layout() == object)
                index = i;
    QVERIFY2(index >= 0, "not placed in that grid");
    int r, c, rs, cs;
    grid->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE((QList<int> {r, c, rs, cs}), cell);
}

void TestMainWindow::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");

    const auto row
            = [](const char *title, const char *name, const char *property, const QString &text) {
                  QTest::newRow(title) << QString::fromLatin1(name) << QByteArray(property) << text;
              };
    row("window title", "MainWindow", "windowTitle", QStringLiteral("Velto深度文件搜索1.3"));
    row("help button text", "toolButtonHelp", "text", QStringLiteral("帮助"));
    row("help button tip", "toolButtonHelp", "toolTip", richTip(QStringLiteral("帮助")));
    row("file name label", "label", "text", QStringLiteral("文件名"));
    row("directory button text", "toolButtonGetDir", "text", QStringLiteral("目录"));
    row("directory button tip", "toolButtonGetDir", "toolTip",
        richTip(QStringLiteral("选择搜索目录")));
    row("content label", "label_3", "text", QStringLiteral("内容"));
    row("content field tip is bold", "comboBoxForGrep", "toolTip",
        richTip(QStringLiteral("文件内容"), true));
    row("directory field tip", "comboBox_Dir", "toolTip", richTip(QStringLiteral("目标目录")));
    row("search button text", "toolButtonSearchST", "text", QStringLiteral("搜索"));
    row("search button tip", "toolButtonSearchST", "toolTip", richTip(QStringLiteral("开始搜索")));
    row("file name field tip is bold", "comboBoxForFind", "toolTip",
        richTip(QStringLiteral("文件名"), true));
    row("directory label", "label_2", "text", QStringLiteral("目录名"));
    row("options box title", "groupBox", "title", QStringLiteral("选项"));
    row("exact option text", "checkBox_searchExact", "text", QStringLiteral("精确匹配文件名"));
    row("exact option tip", "checkBox_searchExact", "toolTip",
        richTip(QStringLiteral("精确匹配文件名")));
    row("subfolder option text", "checkBox_recursive", "text", QStringLiteral("搜索子目录"));
    row("subfolder option tip", "checkBox_recursive", "toolTip",
        richTip(QStringLiteral("是否搜索子目录")));
    row("ignore case option text", "checkBox_Ignore", "text", QStringLiteral("忽略大小写"));
    row("ignore case option tip", "checkBox_Ignore", "toolTip",
        richTip(QStringLiteral("搜索文件内容时忽略大小写")));
    row("deep search option text", "checkBox_deepSearch", "text", QStringLiteral("深度搜索"));
    row("deep search option tip", "checkBox_deepSearch", "toolTip",
        richTip(QStringLiteral("尝试多种文字编码，深度搜索")));
    row("documents option text", "checkBox_documents", "text", QStringLiteral("搜索文档内容"));
}

void TestMainWindow::texts()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);

    QObject *object = name == QLatin1String("MainWindow") ? window.get()
                                                          : window->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(object->property(property.constData()).toString(), expected);
}

void TestMainWindow::optionsPreset_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("checked");
    QTest::newRow("exact match starts off") << QStringLiteral("checkBox_searchExact") << false;
    QTest::newRow("subfolders start on") << QStringLiteral("checkBox_recursive") << true;
    QTest::newRow("ignore case starts off") << QStringLiteral("checkBox_Ignore") << false;
    QTest::newRow("deep search starts off") << QStringLiteral("checkBox_deepSearch") << false;
    QTest::newRow("documents start on") << QStringLiteral("checkBox_documents") << true;
}

void TestMainWindow::optionsPreset()
{
    QFETCH(QString, name);
    QFETCH(bool, checked);
    auto *box = window->findChild<QCheckBox *>(name);
    QVERIFY(box);
    QCOMPARE(box->isChecked(), checked);
}

void TestMainWindow::fileNamePresets()
{
    const QStringList presets {
            QStringLiteral("*"),
            QStringLiteral(" *.doc;*.docx;*.wps"),
            QStringLiteral(" *.mp3;*.mp4;*.wma;*.wav;*.amr"),
            QStringLiteral(" *.ram;*.asf;*.asx;*.rmi;*.mp1;*.mp2"),
            QStringLiteral(" *.wax;*.cmf;*.cda;*.mid;*.vqf"),
            QStringLiteral(" *.rmvb;*.avi;*.navi;*.mpeg;*.mpg;*.rm;*.wmv;*.rm"),
            QStringLiteral(" *.QT;*.ASF;*.cda;*.midi;*.mov"),
            QStringLiteral(" *.BMP;*.JPG;*.JPEG;*.PNG;*.GIF"),
            QStringLiteral(" *.txt;*.chm;"),
            QStringLiteral(" *.ppt;*.pptx"),
            QStringLiteral(" *.xls"),
            QStringLiteral(" *.swf"),
            QStringLiteral(" *.pdf"),
    };
    auto *find = widget<QComboBox>("comboBoxForFind");
    QCOMPARE(entries(find), presets);
    QCOMPARE(find->currentIndex(), 0);
    QCOMPARE(find->currentText(), QStringLiteral("*"));

    auto *grep = widget<QComboBox>("comboBoxForGrep");
    QCOMPARE(grep->count(), 0);
    QVERIFY(grep->currentText().isEmpty());
}

void TestMainWindow::directoryField_data()
{
    QTest::addColumn<bool>("initialise");
    QTest::addColumn<QString>("dirs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("current");

    const QString drives = allDrivesList();
    QTest::newRow("before start-up the form holds one empty entry")
            << false << QString() << QStringList {QString()} << 0;
    QTest::newRow("a directory argument follows the drives and is current")
            << true << QStringLiteral("/data/projects")
            << QStringList {QString(), drives, QStringLiteral("/data/projects")} << 2;
    QTest::newRow("without an argument the drives stand twice, the second current")
            << true << drives << QStringList {QString(), drives, drives} << 2;
    QTest::newRow("an empty list leaves the drives current")
            << true << QString() << QStringList {QString(), drives} << 1;
}

void TestMainWindow::directoryField()
{
    QFETCH(bool, initialise);
    QFETCH(QString, dirs);
    QFETCH(QStringList, expected);
    QFETCH(int, current);

    if (initialise)
        window->initTargetDir(dirs);
    auto *dir = widget<QComboBox>("comboBox_Dir");
    QCOMPARE(entries(dir), expected);
    QCOMPARE(dir->currentIndex(), current);
    QCOMPARE(dir->currentText(), expected.value(current));
}

void TestMainWindow::windowAndInputProperties()
{
    QCOMPARE(window->size(), QSize(972, 606));
    QCOMPARE(window->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(widget("widgetMid")->hasMouseTracking());

    for (const char *name : {"comboBoxForFind", "comboBoxForGrep", "comboBox_Dir"}) {
        auto *box = widget<QComboBox>(name);
        QVERIFY2(box->isEditable(), name);
        QCOMPARE(box->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(box->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(box->minimumSize(), QSize(0, 28));
    }
    for (const char *name : {"toolButtonSearchST", "toolButtonHelp", "toolButtonGetDir"}) {
        auto *button = widget<QToolButton>(name);
        QVERIFY2(!button->icon().isNull(), name);
        QCOMPARE(button->iconSize(), QSize(35, 28));
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(button->autoRaise());
    }
    for (const char *name : {"label", "label_2", "label_3"})
        QCOMPARE(widget(name)->styleSheet(), QStringLiteral("background: transparent"));

    QCOMPARE(widget("groupBox")->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(widget("groupBox")->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);

    auto *table = widget<QTableView>("tableView_result");
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!table->showGrid());
    QVERIFY(table->isSortingEnabled());
    QVERIFY(!table->verticalHeader()->isHidden());
}

void TestMainWindow::layoutSpacingAndMargins_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<QList<int>>("margins");  // left, top, bottom (right as the layout decides)

    QTest::newRow("the central grid hugs the window")
            << QStringLiteral("gridLayout_3") << 6 << 6 << QList<int> {2, 1, 1};
    QTest::newRow("the grid of the input block and the table")
            << QStringLiteral("gridLayout") << 6 << 6 << QList<int> {11, 11, 11};
    QTest::newRow("the input rows touch each other")
            << QStringLiteral("gridLayout_5") << 6 << 0 << QList<int> {5, 0, 0};
    QTest::newRow("the options box grid")
            << QStringLiteral("gridLayout_2") << 6 << 6 << QList<int> {11, 11, 11};
}

void TestMainWindow::layoutSpacingAndMargins()
{
    QFETCH(QString, name);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(QList<int>, margins);

    auto *grid = window->findChild<QGridLayout *>(name);
    QVERIFY(grid);
    QCOMPARE(grid->horizontalSpacing(), horizontal);
    QCOMPARE(grid->verticalSpacing(), vertical);
    const QMargins m = grid->contentsMargins();
    QCOMPARE((QList<int> {m.left(), m.top(), m.bottom()}), margins);
}

void TestMainWindow::statusBar()
{
    QStatusBar *bar = window->statusBar();
    QCOMPARE(bar->objectName(), QStringLiteral("statusBar"));

    // addWidget takes the widgets over in the order they stand from the left.
    QList<QWidget *> items;
    for (QObject *child : bar->children())
        if (qobject_cast<QLabel *>(child) || qobject_cast<QProgressBar *>(child))
            items << static_cast<QWidget *>(child);
    QCOMPARE(items.size(), 3);

    auto *busy = qobject_cast<QProgressBar *>(items.at(0));
    QVERIFY2(busy, "the busy bar stands first");
    QVERIFY(busy->isHidden());
    QCOMPARE(busy->minimum(), 0);
    QCOMPARE(busy->maximum(), 400);
    QVERIFY(!busy->isTextVisible());
    for (QWidget *label : items.mid(1)) {
        QVERIFY(qobject_cast<QLabel *>(label));
        QVERIFY(static_cast<QLabel *>(label)->text().isEmpty());
        QCOMPARE(label->styleSheet(), QStringLiteral("background: transparent"));
    }
}

void TestMainWindow::images_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("the magnifier of window, button and tray")
            << QStringLiteral("smartsearch.png") << QSize(512, 512);
    QTest::newRow("the help mark") << QStringLiteral("help.png") << QSize(48, 48);
    QTest::newRow("the folder") << QStringLiteral("folder.png") << QSize(256, 256);
    QTest::newRow("the background") << QStringLiteral("frame-mid.png") << QSize(852, 463);
    QTest::newRow("the hover tile") << QStringLiteral("ico-hover-bg.png") << QSize(71, 78);
    QTest::newRow("the stop sign") << QStringLiteral("stop.png") << QSize(48, 48);
    QTest::newRow("the shield on") << QStringLiteral("protect_on.png") << QSize(32, 32);
    QTest::newRow("the shield off") << QStringLiteral("protect_off.png") << QSize(32, 32);
}

void TestMainWindow::images()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    // An icon made from a missing file is not null, so look at the image itself.
    const QImage image(QStringLiteral(":/img/") + name);
    QVERIFY2(!image.isNull(), qPrintable(name));
    QCOMPARE(image.size(), size);
}

void TestMainWindow::styleSheets()
{
    QCOMPARE(widget("centralWidget")->styleSheet(), frameStyle);
    const QString bar = window->statusBar()->styleSheet();
    QVERIFY2(bar.contains(QStringLiteral("QStatusBar::item{border:0px}")), qPrintable(bar));
    QVERIFY2(bar.contains(frameStyle), qPrintable(bar));
    for (const char *name : {"toolButtonSearchST", "toolButtonHelp", "toolButtonGetDir"})
        QCOMPARE(widget(name)->styleSheet(), hoverStyle);
}

void TestMainWindow::backgroundTilesWithoutASeam()
{
    // The widgets repeat the picture: where its last row meets its first, and
    // its last column its first, the colour steps no more than between any
    // two neighbouring rows or columns inside it.
    const QImage image
            = QImage(QStringLiteral(":/img/frame-mid.png")).convertToFormat(QImage::Format_ARGB32);
    const auto step = [](QRgb a, QRgb b) {
        return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                         std::abs(qBlue(a) - qBlue(b))});
    };
    int inside = 0, acrossRows = 0, acrossColumns = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb here = image.pixel(x, y);
            if (x + 1 < image.width())
                inside = std::max(inside, step(here, image.pixel(x + 1, y)));
            if (y + 1 < image.height())
                inside = std::max(inside, step(here, image.pixel(x, y + 1)));
        }
        acrossColumns = std::max(acrossColumns,
                                 step(image.pixel(image.width() - 1, y), image.pixel(0, y)));
    }
    for (int x = 0; x < image.width(); ++x)
        acrossRows
                = std::max(acrossRows, step(image.pixel(x, image.height() - 1), image.pixel(x, 0)));
    QVERIFY2(acrossRows <= inside && acrossColumns <= inside,
             qPrintable(QStringLiteral("%1 %2 %3").arg(acrossRows).arg(acrossColumns).arg(inside)));

    // The status bar shows the picture too, not the window's plain grey.
    window->resize(900, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QImage bar = window->statusBar()->grab().toImage();
    const QPoint spot(bar.width() - 3, bar.height() / 2);
    QVERIFY2(step(bar.pixel(spot), image.pixel(spot.x() % image.width(), spot.y())) <= 2,
             qPrintable(QString::number(bar.pixel(spot), 16)));
}

void TestMainWindow::directoryCompletionIgnoresCase()
{
    // An ASCII path, so it can be typed key by key (the default temporary
    // folder carries the Chinese application name).
    QTemporaryDir tree(QDir::tempPath() + QStringLiteral("/velto-completion-XXXXXX"));
    QVERIFY(QDir(tree.path()).mkdir(QStringLiteral("Projects")));
    QCompleter *completer = widget<QComboBox>("comboBox_Dir")->completer();
    QVERIFY(completer);
    QVERIFY(qobject_cast<QFileSystemModel *>(completer->model()));
    QCOMPARE(completer->caseSensitivity(), Qt::CaseInsensitive);

    // Typed as a user does: the file system model loads each folder in the
    // background as its name is completed.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QLineEdit *edit = widget<QComboBox>("comboBox_Dir")->lineEdit();
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, tree.path() + QStringLiteral("/pro"), Qt::NoModifier, 20);
    QTRY_COMPARE(completer->currentCompletion(), tree.filePath(QStringLiteral("Projects")));
}

void TestMainWindow::ownedObjectsAndIdentity()
{
    auto *worker = window->findChild<searchThread *>();
    QVERIFY(worker);
    QVERIFY(!worker->isRunning());
    QVERIFY(window->findChild<trayicon *>());

    const QList<QTimer *> timers
            = window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    const bool displayTimer = std::any_of(timers.begin(), timers.end(), [](QTimer *t) {
        return t->isActive() && t->interval() == 0 && !t->isSingleShot();
    });
    QVERIFY2(displayTimer, "a running 0 ms display timer");

    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Velto深度文件搜索"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velto深度文件搜索"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.3"));
    QVERIFY(QMetaType::type("QList<TFileInfo>") != QMetaType::UnknownType);
}

void TestMainWindow::helpText()
{
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    widget<QToolButton>("toolButtonHelp")->click();
    QVERIFY(answerer.answered());
    QCOMPARE(answerer.title(), QStringLiteral("帮助"));
    QCOMPARE(answerer.text(),
             QStringLiteral("搜索文件 : 填写文件名\n"
                            "搜索内容 : 填写内容\n"
                            "搜索指定文件的内容 : 填写文件名，填写内容\n"
                            "深度搜索 : 只在搜索文件内容时有效，可以识别多种编码,"
                            "搜索office文件时建议选择该选项\n"
                            "\n"
                            "如有任何改进建议，请联系velto-search@example.org\n"
                            "\n"
                            "版本 1.3"));
}

void TestMainWindow::directoryChooser_data()
{
    QTest::addColumn<int>("selectFirst");      // entry selected before browsing
    QTest::addColumn<QStringList>("answers");  // one per click; empty = cancelled
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<int>("current");

    const QString chosen = QStringLiteral("/home/user/chosen");
    QTest::newRow("a chosen folder is appended and becomes current")
            << 2 << QStringList {chosen} << QStringList {chosen} << 3;
    QTest::newRow("the same folder chosen twice is appended twice")
            << 2 << QStringList {chosen, chosen} << QStringList {chosen, chosen} << 4;
    QTest::newRow("a choice made while an earlier entry is selected still goes last")
            << 0 << QStringList {chosen} << QStringList {chosen} << 3;
    QTest::newRow("cancelling changes neither the entries nor the selection")
            << 1 << QStringList {QString()} << QStringList {} << 1;
}

void TestMainWindow::directoryChooser()
{
    QFETCH(int, selectFirst);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, added);
    QFETCH(int, current);

    const QString start = QStringLiteral("/srv/start");
    window->initTargetDir(start);
    auto *dir = widget<QComboBox>("comboBox_Dir");
    const QStringList before = entries(dir);
    dir->setCurrentIndex(selectFirst);

    ChooserScript script;
    script.answers = answers;
    window->setDirectoryChooser(
            [&script](QWidget *parent, const QString &caption, const QString &startDir) {
                script.parents << parent;
                script.captions << caption;
                script.startDirs << startDir;
                return script.answers.takeFirst();
            });
    for (int i = 0; i < answers.size(); ++i)
        widget<QToolButton>("toolButtonGetDir")->click();

    QCOMPARE(entries(dir), before + added);
    QCOMPARE(dir->currentIndex(), current);
    // Every browse starts from the initial list; a choice does not move it.
    QCOMPARE(script.startDirs, repeated(answers.size(), start));
    QCOMPARE(script.captions, repeated(answers.size(), QStringLiteral("选择查找路径")));
    for (QWidget *parent : script.parents)
        QCOMPARE(parent, window.get());
}

void TestMainWindow::handOverFileShowsTheWindow_data()
{
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("a hidden window becomes visible") << false << true;
    QTest::newRow("a window hidden while minimised comes back restored") << true << true;
    QTest::newRow("a minimised window in the taskbar is restored") << true << false;
}

void TestMainWindow::handOverFileShowsTheWindow()
{
    QFETCH(bool, minimised);
    QFETCH(bool, hidden);

    // The watch is set while the window is built, on a file that exists.
    const QString handOver = showNowFilePath();
    rewrite(handOver, "01.01.2024 00:00:00.000");
    window = std::make_unique<MainWindow>();
    window->show();
    if (minimised)
        window->showMinimized();
    if (hidden)
        window->hide();
    QTRY_COMPARE(window->isVisible() && !window->isMinimized(), false);

    rewrite(handOver, "02.01.2024 00:00:00.000");
    QTRY_VERIFY(window->isVisible() && !window->isMinimized());
}

void TestMainWindow::closingDuringASearchEndsItFirst()
{
    // A name search over the whole tree runs far longer than this test.
    auto *worker = window->findChild<searchThread *>();
    QVERIFY(worker);
    worker->setParameters({QDir(QStringLiteral("/"))}, {QStringLiteral("*")}, QString(),
                          Qt::CaseSensitive, true, false, false);
    worker->start();
    QTRY_VERIFY(worker->isRunning());
    QTest::qWait(100);  // let deliveries be under way

    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    // Deliveries still queued for the window must have gone with it.
    QCoreApplication::processEvents();
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
