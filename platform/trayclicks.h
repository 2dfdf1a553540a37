#ifndef TRAYCLICKS_H
#define TRAYCLICKS_H

// How the desktop's tray reports clicks on the program's icon.
enum class TrayClicks {
    // XEmbed, Windows, macOS: a click gives Trigger, a double-click Trigger
    // and then DoubleClick.
    SingleAndDouble,
    // The D-Bus StatusNotifierItem protocol: every click is one Activate,
    // which Qt reports as Trigger; there is no double-click.
    SingleOnly,
};

// The kind of tray a QSystemTrayIcon made now gets. Qt 5 takes the D-Bus
// protocol when, as it makes its first tray icon, a StatusNotifierHost is
// registered with org.kde.StatusNotifierWatcher on the session bus (a panel
// that runs before the program, the usual case), and XEmbed otherwise; this
// asks the bus the same question. Blocks for one round trip to the bus.
TrayClicks trayClicksOnThisDesktop();

#endif  // TRAYCLICKS_H
