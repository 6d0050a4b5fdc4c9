// Point input with the offset of the suite's offset window, and the object
// snap limit of the placement engines.
//
// While the user picks points, two hooks of the document's input point
// manager shape the point: CAcEdInputPointFilter moves a computed point by
// the offset typed in the offset window, and CAcEdInputPointMonitor shows
// that offset as a cross at the cursor and keeps entities off the object
// snap unless they lie on one of its layers. The engines derive their own
// filters and monitors from these two (model/input_hooks.h).
//
// GetPointWithOffset installs both around one point prompt. The two message
// filters change what a right click does around a pick loop.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/editor/inputpoint.h"
#include "platform/editor/winmsg.h"

// 1: the monitors let only entities on their layers snap; 0: every entity
// snaps. 1 at load; KivInputSnapAll / KivInputSnapPart switch it.
extern int g_inputSnapPart;

// Work of a higher layer around every point prompt of GetPointWithOffset:
// before runs ahead of the prompt, after when it is answered (the shell's
// hover tooltip steps out of the filter slot and back). Null does nothing.
struct PointPromptHooks {
  void (*before)() = nullptr;
  void (*after)() = nullptr;
};
extern PointPromptHooks g_pointPromptHooks;

// The snap layers of GetPointWithOffset when the caller names none.
inline constexpr const wchar_t* kDefaultSnapLayers = L"轴网,辅助轴网,砼墙,砖墙";

// Moves the computed point by the offset of the offset window.
class CAcEdInputPointFilter : public ed::InputPointFilter {
 public:
  int processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint, geom::Point3d& newPoint,
                        bool& displayOsnapGlyph, std::wstring& toolTip) override;
  // With an offset (dx, dy, z) set in the window, not all zero: both flags
  // true and the new point (x + dx, y + dy, z); z is the window's value
  // itself, not added. Without an offset nothing is written.
  static void ApplyHostOffset(bool& changedPoint, bool& displayOsnapGlyph, double x, double y,
                              geom::Point3d& newPoint);
};

// Shows the offset at the cursor and limits object snap to a layer list.
class CAcEdInputPointMonitor : public ed::InputPointMonitor {
 public:
  CAcEdInputPointMonitor() = default;
  ~CAcEdInputPointMonitor() override = default;

  // Replaces the layer list with the names of the comma list, keeps the
  // width and sets the state to 0. The first name may be "*" (every entity
  // snaps) or "#" (none does).
  void SetLayers(const std::wstring& layerList, double width);

  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  bool excludeFromOsnapCalculation(const std::vector<cad::ObjectId>& nestedEntity,
                                   int gsSelectionMark) override {
    return IsSnapExcluded(nestedEntity, gsSelectionMark);
  }
  // True when the entity is kept out of the object snap.
  bool IsSnapExcluded(const std::vector<cad::ObjectId>& nestedEntity, int gsSelectionMark);

  // The cross at the computed point when an offset is set, then the suite's
  // input window kept at the cursor.
  static void ShowHostOffsetWindow(CAcEdInputPointMonitor* monitor, ed::ViewportDraw& draw,
                                   const geom::Point3d& computed);
  // True when the first entity of the path may not snap: the limit is on,
  // the list is neither "*" nor empty, and the entity is a hatch or lies on
  // no listed layer (names compared exactly). "#" excludes everything.
  static bool TestSnapLayers(const std::vector<cad::ObjectId>& nestedEntity,
                             const CAcEdInputPointMonitor* monitor);

  const std::vector<std::wstring>& layers() const { return layers_; }
  double width() const { return width_; }
  int state() const { return state_; }
  void setState(int s) { state_ = s; }

 protected:
  std::vector<std::wstring> layers_;
  double width_ = 0;
  int state_ = 0;
};

// Draws the colour-10 cross of two 2-point polylines with half size s
// centred on (x, y, z): the offset marker of the monitors.
void DrawOffsetCross(ed::ViewportDraw& draw, double x, double y, double z, double s);

// One point with the offset filter and the snap monitor installed (layers:
// the comma list, or kDefaultSnapLayers when it is empty). Any typed text
// answers RTKWORD (read it with ed::getInput); Enter RTNONE; Escape RTCAN; a
// failed pick prompts again. The hover tooltip is out for the time of the
// prompt; a point filter of a running engine is set aside and put back.
int GetPointWithOffset(const std::wstring& prompt, geom::Point3d& point, const std::wstring& layers);

// Message filters for ed::registerFilterWinMsg. RightClickAsEscape turns a
// right button press into the Escape key (passes every message on);
// SwallowRightClick prints a line break for a right button press and
// swallows it.
bool RightClickAsEscape(ed::Msg* msg);
bool SwallowRightClick(ed::Msg* msg);
