#include "mainwindow.h"
#include <QStandardItemModel>
QStandardItemModel *MainWindow::createResultModel() { return new QStandardItemModel(this); }
void MainWindow::setupResultTable() {}
void MainWindow::do_GetResultFileInfo(QString, QList<TFileInfo>) {}
void MainWindow::do_ShowResultFileInfo() {}
void MainWindow::do_stopShowTab() {}
