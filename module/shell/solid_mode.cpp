// The 3D display state until the 3D model defines its own (its definition
// replaces this weak one in the plug-in).
#include "module/shell/solid_mode.h"

__attribute__((weak)) int g_solidMode = 0;
