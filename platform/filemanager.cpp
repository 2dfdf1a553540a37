#include "filemanager.h"
