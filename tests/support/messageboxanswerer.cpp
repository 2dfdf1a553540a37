#include "messageboxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int pollIntervalMs = 10;
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer, int timeoutMs)
    : answer(answer), remainingPolls(timeoutMs / pollIntervalMs)
{
    QTimer::singleShot(0, this, &MessageBoxAnswerer::poll);
}

void MessageBoxAnswerer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
        if (--remainingPolls > 0)
            QTimer::singleShot(pollIntervalMs, this, &MessageBoxAnswerer::poll);
        return;
    }
    seen = true;
    boxTitle = box->windowTitle();
    boxText = box->text();
    boxButtons = box->standardButtons();
    if (auto *def = box->defaultButton())
        boxDefault = box->standardButton(def);
    if (QAbstractButton *button = box->button(answer))
        button->click();
    else
        box->reject();
}
