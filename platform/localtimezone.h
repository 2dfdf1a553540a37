#ifndef LOCALTIMEZONE_H
#define LOCALTIMEZONE_H

// Names the system's local time zone in TZ when TZ is unset, so that each
// local-time conversion no longer makes the C library check /etc/localtime
// again (one stat per conversion, three per result row). The zone stays the
// same. Call first in main, before any other thread exists: it sets the
// environment.
void pinLocalTimeZone();

#endif  // LOCALTIMEZONE_H
