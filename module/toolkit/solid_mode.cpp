// The 3D display state of the current floor.
#include "module/toolkit/solid_mode.h"

int g_solidMode = 0;
