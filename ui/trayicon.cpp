#include "trayicon.h"
trayicon::trayicon(QMainWindow *, QObject *parent) : QSystemTrayIcon(parent) {}
