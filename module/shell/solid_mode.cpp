// The 3D display state of the current floor.
#include "module/shell/solid_mode.h"

int g_solidMode = 0;
