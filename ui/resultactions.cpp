#include "mainwindow.h"
void MainWindow::createResultActions() {}
void MainWindow::do_copyPathName_Clipboard() {}
void MainWindow::do_openFileDefault() {}
void MainWindow::do_openExplorerDir() {}
QList<int> MainWindow::selectedRows() const { return {}; }
QString MainWindow::targetPath(int) const { return {}; }
QString MainWindow::rowPath(int) const { return {}; }
bool MainWindow::confirmManyRows(int, int, const QString &) { return false; }
