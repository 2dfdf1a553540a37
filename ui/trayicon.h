#ifndef TRAYICON_H
#define TRAYICON_H

#include "trayclicks.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>

class QAction;
class QMainWindow;
class QMenu;

// The notification-area icon: its menu brings the window back or quits, and
// clicking it brings back a hidden or minimised window, or hides one in
// sight: a double-click where the tray reports double-clicks, a single click
// where it reports only single ones. Clicking its message brings the window
// back too.
class trayicon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    // `clicks` is the tray's kind; by default the one Qt chooses on this desktop.
    trayicon(QMainWindow *window, QObject *parent, TrayClicks clicks = trayClicksOnThisDesktop());
    ~trayicon() override;

    // Tells the user that a search running in the background has ended,
    // with the number of targets found, in a message from the tray.
    void announceSearchEnd(int found);

private slots:
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);

private:
    bool togglesWindow(QSystemTrayIcon::ActivationReason reason);
    void showWindowNormal();  // shown, neither minimised nor maximised, raised and active

    QMenu *trayMenu;          // no parent: a menu is a widget, the icon is not
    QAction *openAction;      // child of the icon
    QAction *quitAction;      // child of the icon
    QMainWindow *mainWindow;  // not owned
    TrayClicks clicks;
    QElapsedTimer lastActivation;  // single-activation trays: the last click that counted
};

#endif  // TRAYICON_H
