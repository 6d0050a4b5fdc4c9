// The 3D display state of the current floor, owned by the 3D model.
#pragma once

enum class SolidMode {
  Plan = 0,        // after load: the plan view, no 3D view shown yet
  Floor3d = 1,     // the 3D view of the current floor is shown
  BackToPlan = 3,  // back to the plan view (a floor switch ends the 3D view)
};

extern SolidMode g_solidMode;
