#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "searchthread.h"
#include "trayicon.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), searchWorker(new searchThread(this)),
      abortShow(false), resultModel(nullptr), foundCount(0), columnsDirty(true),
      countLabel(nullptr), spareLabel(nullptr), busyBar(nullptr), progressValue(0),
      trayIcon(nullptr)
{
    ui->setupUi(this);
}
MainWindow::~MainWindow() { delete ui; }
void MainWindow::initTargetDir(const QString &dirs) { targetDir = dirs; }
void MainWindow::setDirectoryChooser(DirectoryChooser chooser) { directoryChooser = chooser; }
void MainWindow::do_show() {}
void MainWindow::do_brower_targetdir() {}
void MainWindow::do_help() {}
