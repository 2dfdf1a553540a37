#include "clipboardfiles.h"
