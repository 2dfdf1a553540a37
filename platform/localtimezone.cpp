#include "localtimezone.h"

#include <QByteArray>
#include <QtGlobal>

void pinLocalTimeZone()
{
#ifndef Q_OS_WIN
    // glibc reads the zone from this file when TZ is unset; ":" plus a path
    // names the same file, and a TZ value that does not change is not looked
    // up again.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
#endif
}
