#ifndef WINDOWRETURN_H
#define WINDOWRETURN_H

class QWidget;

// Brings `window` back in front of the user: shown when hidden to the tray,
// restored when minimised (a maximised window stays maximised), raised above
// the others and activated. A later start and the tray use it alike.
void bringBack(QWidget *window);

#endif  // WINDOWRETURN_H
