#ifndef STARTUP_H
#define STARTUP_H
#endif
