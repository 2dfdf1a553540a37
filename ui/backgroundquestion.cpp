#include "mainwindow.h"
#include <QCloseEvent>
MainWindow::BackgroundAnswer MainWindow::askBackground() { return BackgroundAnswer::NotRunning; }
void MainWindow::closeEvent(QCloseEvent *) {}
