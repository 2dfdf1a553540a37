#include "trayicon.h"

#include "windowreturn.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>

trayicon::trayicon(QMainWindow *window, QObject *parent, TrayClicks clicks)
    : QSystemTrayIcon(parent), mainWindow(window), clicks(clicks)
{
    setIcon(QIcon(QStringLiteral(":/img/smartsearch.png")));

    trayMenu = new QMenu;
    openAction = new QAction(QIcon(QStringLiteral(":/img/protect_on.png")), tr("打开"), this);
    quitAction = new QAction(QIcon(QStringLiteral(":/img/protect_off.png")), tr("退出"), this);

    trayMenu->addAction(openAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);
    setContextMenu(trayMenu);
    setToolTip(tr("Velto深度文件搜索"));

    connect(quitAction, SIGNAL(triggered()), qApp, SLOT(quit()));
    connect(openAction, &QAction::triggered, this, &trayicon::showWindowNormal);
    connect(this, &QSystemTrayIcon::messageClicked, this, &trayicon::showWindowNormal);
    connect(this, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(iconIsActived(QSystemTrayIcon::ActivationReason)));
}

trayicon::~trayicon()
{
    // The menu has no parent; it goes once the icon has left the tray. Its
    // entries are taken out first: only that frees the items a D-Bus tray
    // made for them (Qt deletes them on removal, not with the menu).
    setVisible(false);
    trayMenu->clear();
    delete trayMenu;
}

void trayicon::announceSearchEnd(int found)
{
    showMessage(tr("搜索完成"), tr("找到目标数:") + QString::number(found),
                QSystemTrayIcon::Information);
}

void trayicon::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    if (!togglesWindow(reason))
        return;
    // A minimised window is out of sight too: the click brings it back, it
    // does not hide it so that a second click would be needed.
    if (mainWindow->isHidden())
        showWindowNormal();
    else if (mainWindow->isMinimized())
        bringBack(mainWindow);
    else
        mainWindow->setVisible(false);
}

void trayicon::showWindowNormal()
{
    mainWindow->showNormal();
    bringBack(mainWindow);
}

bool trayicon::togglesWindow(QSystemTrayIcon::ActivationReason reason)
{
    if (clicks == TrayClicks::SingleAndDouble)
        return reason == QSystemTrayIcon::DoubleClick;  // its Trigger came first
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
        return false;
    // A double-click out of habit reaches a single-activation tray as two
    // activations: the second, within the double-click interval, is the same
    // request and must not undo the first.
    const bool repeated = lastActivation.isValid()
            && lastActivation.elapsed() < QApplication::doubleClickInterval();
    lastActivation.start();
    return !repeated;
}
