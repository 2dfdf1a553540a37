#include "visibilityreporter.h"

#include <QEvent>
#include <QWidget>

#include <cstdio>

namespace {

void report(bool visible)
{
    std::fputs(visible ? "visible\n" : "hidden\n", stdout);
    std::fflush(stdout);
}

}  // namespace

void VisibilityReporter::attachIfRequested(QWidget *window)
{
    if (qEnvironmentVariableIntValue("VELTO_REPORT_VISIBILITY") != 1)
        return;
    report(window->isVisible());
    window->installEventFilter(new VisibilityReporter(window));
}

bool VisibilityReporter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::Hide)
        report(type == QEvent::Show);
    return QObject::eventFilter(watched, event);
}
