#ifndef MESSAGEBOXANSWERER_H
#define MESSAGEBOXANSWERER_H

#include <QMessageBox>
#include <QObject>
#include <QString>

// Answers the next modal message box that opens: records its title, text and
// icon, then presses the given button. Arm it before the call that opens the
// box; the box is answered from the event loop that the box itself runs.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer, int timeoutMs = 5000);

    bool answered() const { return seen; }
    QString title() const { return boxTitle; }
    QString text() const { return boxText; }
    QMessageBox::StandardButtons buttons() const { return boxButtons; }
    QMessageBox::StandardButton defaultButton() const { return boxDefault; }

private:
    void poll();

    QMessageBox::StandardButton answer;
    int remainingPolls;
    bool seen = false;
    QString boxTitle;
    QString boxText;
    QMessageBox::StandardButtons boxButtons;
    QMessageBox::StandardButton boxDefault = QMessageBox::NoButton;
};

#endif  // MESSAGEBOXANSWERER_H
