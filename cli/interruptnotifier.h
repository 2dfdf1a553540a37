#ifndef INTERRUPTNOTIFIER_H
#define INTERRUPTNOTIFIER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal in the thread that owns the
// object: the handler only writes the signal number into a pipe, which a
// QSocketNotifier reads. The default actions return when the object goes.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

signals:
    void interrupted(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;  // child of this object
};

#endif  // INTERRUPTNOTIFIER_H
