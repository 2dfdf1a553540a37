#include "mainwindow.h"
void MainWindow::do_copyfiles() {}
void MainWindow::do_cutfiles() {}
void MainWindow::collectAndPlaceFiles(bool) {}
