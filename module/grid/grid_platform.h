// Small window-layer services the grid needs that the layer does not offer
// under a name of its own.
#pragma once

#include "platform/ui/wnd.h"

namespace grid_platform {

// Ends the mouse capture, whichever window holds it (the holder gets
// wm::CaptureChanged as usual).
void releaseCapture();

}  // namespace grid_platform
