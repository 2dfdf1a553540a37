#ifndef VISIBILITYREPORTER_H
#define VISIBILITYREPORTER_H

#include <QObject>

// Test seam, active only when the environment sets VELTO_REPORT_VISIBILITY=1:
// prints "visible" or "hidden" on its own line on standard output once when
// attached (the window is built and watches the hand-over file by then) and
// whenever the window is shown or hidden afterwards, so that a test driving
// the program as a separate process can see the hand-over between instances.
// It changes no behaviour of the window.
class VisibilityReporter : public QObject
{
    Q_OBJECT

public:
    // Watches `window` when the environment asks for it; does nothing otherwise.
    static void attachIfRequested(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

#endif  // VISIBILITYREPORTER_H
