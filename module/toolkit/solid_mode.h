// The 3D display state of the current floor, owned by the 3D model: 0 after
// load, 1 while the 3D view of the floor is shown, 3 back to the plan view.
#pragma once

extern int g_solidMode;
