#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appdirs.h"
#include "filetimes.h"
#include "queryoptions.h"
#include "searchthread.h"
#include "trayicon.h"
#include "windowreturn.h"

#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

// The images live in a static library; make sure its resources are linked in.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

QString chooseDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return QFileDialog::getExistingDirectory(
            parent, caption, dir, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

QString chooseSaveFile(QWidget *parent, const QString &caption, const QString &dir,
                       const QString &filters, QString *selectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filters, selectedFilter);
}

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), searchWorker(nullptr), resultModel(nullptr),
      foundCount(0), columnsDirty(true), countLabel(nullptr), spareLabel(nullptr), busyBar(nullptr),
      progressValue(0), showTimer(nullptr), trayIcon(nullptr), directoryChooser(chooseDirectory),
      saveFileChooser(chooseSaveFile)
{
    initResources();
    ui->setupUi(this);
    presetNameCount = ui->comboBoxForFind->count();
    for (int i = 0; i < ui->comboBox_Dir->count(); ++i)
        baseFolderEntries << ui->comboBox_Dir->itemText(i);

    // Its button beside the documents option, its strip (folded away at
    // first) across the form above the results: the form looks as it always
    // did, but for that row, and unfolded it still fits a small screen.
    queryOptions = new QueryOptionsPanel(ui->widgetMid);
    ui->gridLayout_2->addWidget(queryOptions->unfoldButton(), 2, 1, Qt::AlignLeft);
    ui->gridLayout->addWidget(queryOptions, 1, 0, 1, 2);

    countLabel = new QLabel(this);
    countLabel->setMinimumSize(countLabel->sizeHint());
    countLabel->setStyleSheet(QStringLiteral("background: transparent"));
    spareLabel = new QLabel(this);
    spareLabel->setMinimumSize(countLabel->sizeHint());
    spareLabel->setStyleSheet(QStringLiteral("background: transparent"));
    busyBar = new QProgressBar(this);
    busyBar->setMinimumSize(busyBar->sizeHint());
    busyBar->setStyleSheet(QStringLiteral("background: transparent"));
    busyBar->hide();
    busyBar->setRange(0, 400);
    busyBar->setTextVisible(false);
    ui->statusBar->setStyleSheet(QStringLiteral("QStatusBar::item{border:0px}"));
    ui->statusBar->addWidget(busyBar, 0);
    ui->statusBar->addWidget(countLabel, 0);
    ui->statusBar->addWidget(spareLabel, 0);

    // Typed directory paths are completed from the whole file system.
    auto *completer = new QCompleter(this);
    auto *fileSystem = new QFileSystemModel(completer);
    fileSystem->setRootPath(QString());
    completer->setModel(fileSystem);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    ui->comboBox_Dir->setCompleter(completer);

    trayIcon = new trayicon(this, this);
    trayIcon->setVisible(true);

    setupResultTable();
    createResultActions();
    createMenus();
    createPreview();

    setUpLook();

    connect(ui->toolButtonSearchST, SIGNAL(clicked()), this, SLOT(do_search()));
    connect(ui->toolButtonHelp, SIGNAL(clicked()), this, SLOT(do_help()));
    connect(ui->toolButtonGetDir, SIGNAL(clicked()), this, SLOT(do_brower_targetdir()));
    searchWorker = new searchThread(this);
    connect(searchWorker, SIGNAL(finished()), this, SLOT(do_resume_searchFileIcon()));
    // Runs on the search thread as it delivers: content hits and archive
    // members come with their times from the search; the times of name hits
    // are read there, never on the GUI thread. The hits arrive queued on the
    // GUI thread.
    connect(
            searchWorker, &searchThread::PushGotFiles, this,
            [this](const QString &dirName, QList<TFileInfo> hits) {
                fillMissingFileTimes(dirName, hits);
                QMetaObject::invokeMethod(this, "do_GetResultFileInfo", Qt::QueuedConnection,
                                          Q_ARG(QString, dirName), Q_ARG(QList<TFileInfo>, hits));
            },
            Qt::DirectConnection);

    QCoreApplication::setOrganizationName(QObject::tr("Velto深度文件搜索"));
    QCoreApplication::setApplicationName(QObject::tr("Velto深度文件搜索"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTO_VERSION));
    setWindowTitle(tr("Velto深度文件搜索") + QStringLiteral(VELTO_VERSION));
    qRegisterMetaType<QList<TFileInfo>>("QList<TFileInfo>");

    targetDir = QStringLiteral(".");

    // The first run writes the count and fits the empty table's columns; the
    // timer then sleeps until there is something to show (resulttable.cpp).
    showTimer = new QTimer(this);
    showTimer->setObjectName(QStringLiteral("showTimer"));
    connect(showTimer, SIGNAL(timeout()), this, SLOT(do_ShowResultFileInfo()));
    showTimer->start(0);

    // A later start rewrites the hand-over file; that brings the window back.
    showNowWatcher.addPath(showNowFilePath());
    connect(&showNowWatcher, SIGNAL(fileChanged(QString)), this, SLOT(do_show()));
}

MainWindow::~MainWindow()
{
    // End a running search before any part of the window goes, so the worker
    // cannot deliver into a window that is half destroyed.
    searchWorker->disconnect(this);
    searchWorker->stop();
    searchWorker->wait();
    saveLayout();
    delete ui;
}

void MainWindow::initTargetDir(const QString &dirs)
{
    ui->comboBox_Dir->addItem(allDrivesList());
    ui->comboBox_Dir->setCurrentIndex(ui->comboBox_Dir->count() - 1);
    baseFolderEntries << allDrivesList();
    targetDir = dirs;
    if (!dirs.isEmpty()) {
        ui->comboBox_Dir->addItem(dirs);
        ui->comboBox_Dir->setCurrentIndex(ui->comboBox_Dir->count() - 1);
        baseFolderEntries << dirs;
    }
}

void MainWindow::setDirectoryChooser(DirectoryChooser chooser)
{
    directoryChooser = std::move(chooser);
}

void MainWindow::setSaveFileChooser(SaveFileChooser chooser)
{
    saveFileChooser = std::move(chooser);
}

void MainWindow::do_show()
{
    // Also from the taskbar's minimised state: a start means "show me the window".
    bringBack(this);
}

void MainWindow::do_brower_targetdir()
{
    const QString chosen = directoryChooser(this, tr("选择查找路径"), targetDir);
    if (!chosen.isEmpty())
        showStartFolders({chosen});
}

void MainWindow::do_help()
{
    QMessageBox::about(this, tr("帮助"),
                       tr("搜索文件 : 填写文件名\n") + tr("搜索内容 : 填写内容\n")
                               + tr("搜索指定文件的内容 : 填写文件名，填写内容\n")
                               + tr("深度搜索 : 只在搜索文件内容时有效，可以识别多种编码,"
                                    "搜索office文件时建议选择该选项\n")
                               + tr("\n如有任何改进建议，请联系velto-search@example.org")
                               + tr("\n\n版本 %1").arg(QStringLiteral(VELTO_VERSION)));
}
