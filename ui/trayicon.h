#ifndef TRAYICON_H
#define TRAYICON_H

#include <QSystemTrayIcon>

class QMainWindow;

class trayicon : public QSystemTrayIcon
{
    Q_OBJECT
public:
    trayicon(QMainWindow *window, QObject *parent);
};

#endif // TRAYICON_H
