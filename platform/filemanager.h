#ifndef FILEMANAGER_H
#define FILEMANAGER_H
#endif
