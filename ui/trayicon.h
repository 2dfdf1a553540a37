#ifndef TRAYICON_H
#define TRAYICON_H

#include <QSystemTrayIcon>

class QAction;
class QMainWindow;
class QMenu;

// The notification-area icon: its menu brings the window back or quits, and a
// double-click shows or hides the window.
class trayicon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    trayicon(QMainWindow *window, QObject *parent);
    ~trayicon() override;

private slots:
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);

private:
    QMenu *trayMenu;       // no parent: a menu is a widget, the icon is not
    QAction *openAction;   // child of the icon
    QAction *quitAction;   // child of the icon
    QMainWindow *mainWindow;  // not owned
};

#endif // TRAYICON_H
