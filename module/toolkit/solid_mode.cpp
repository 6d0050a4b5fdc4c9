// The 3D display state of the current floor.
#include "module/toolkit/solid_mode.h"

SolidMode g_solidMode = SolidMode::Plan;
