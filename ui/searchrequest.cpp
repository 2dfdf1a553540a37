#include "mainwindow.h"
#include <QKeyEvent>
void MainWindow::do_search() {}
void MainWindow::do_resume_searchFileIcon() {}
void MainWindow::keyPressEvent(QKeyEvent *) {}
void MainWindow::setSearchButtonRunning(bool) {}
