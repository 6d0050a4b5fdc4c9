// Point components on a picked pipe, duct, wire or conduit: valves,
// flanges, faucets, instruments, dampers, switches, sockets, boxes...
//
// On a riser the component sits on it and the user confirms its elevation.
// On a horizontal or sloped run the user picks the base point, held on the
// run by CInputPointFilter; the component is turned along the run in plan
// (so that it lies flat even on a sloped run) and reads upright. It takes
// the run's elevation there, or the elevation typed into the service-pipe
// window; with the window's service-pipe switch on, a vertical pipe of the
// run's type joins the run to the component. Each placement (component and
// service pipe) is one step: Escape at the base point places nothing.
#pragma once

#include <string>

#include "module/toolkit/offset_input.h"

// Holds the cursor on the straight segment from start to end (an arc run's
// chord).
class CInputPointFilter : public ed::InputPointFilter {
 public:
  CInputPointFilter(const geom::Point3d& start, const geom::Point3d& end) : start_(start), end_(end) {}
  int processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint, geom::Point3d& newPoint,
                        bool& displayOsnapGlyph, std::wstring& toolTip) override;

 private:
  geom::Point3d start_, end_;
};

// The prompt of the pick and the comma list of the run types that may be
// picked.
void LayPointGjOnPipe(const std::wstring& prompt, const std::wstring& runTypes);
