// Two engines that fill an area with many point components at once, their
// parameters in a palette next to the drawing:
// - LayPointGjRect: a grid of rows and columns inside a dragged rectangle
//   (LightRect, OpeningRect, ShowerRect);
// - LayPointGjFan: rows on concentric arcs of a fan given by its big arc
//   (three points) and a point of its small arc; each row is made by the
//   host's polar array (LightSector, OpenningSector, ShowerSector).
// Every rectangle and every fan is one placement step: Escape at any of its
// prompts places nothing of it and keeps the earlier ones.
#pragma once

#include <string>
#include <vector>

#include "platform/editor/inputpoint.h"
#include "platform/geom/geom.h"

inline constexpr const wchar_t* kRectMarginsTooLarge =
    L"边距大于矩形区域,无法布置构件!请重新选择区域或设置边距!";
inline constexpr const wchar_t* kFanBadParameters = L"输入参数不正确!";

// The big arc of the fan being laid: its start, its end and the point on it
// (plan), as the small-arc preview reads them.
extern std::vector<geom::Point2d> g_fanPreviewPoints;

// The preview during the small-arc prompt: the fan's outline with the small
// arc through the cursor.
class CFanLayoutMonitor : public ed::InputPointMonitor {
 public:
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  bool excludeFromOsnapCalculation(const std::vector<cad::ObjectId>&, int) override { return false; }
};

// The bulge of the arc from start through middle to end: positive when it
// turns counter-clockwise, 0 for collinear points.
double GetThreePointArcBulge(const geom::Point3d& start, const geom::Point3d& middle, const geom::Point3d& end);

// The plan positions of a rows x columns grid inside the rectangle of the two
// corners less the margins, row by row from the lower left. False (nothing
// written) when the margins leave less than 1 of width or height.
bool RectGridPositions(const geom::Point3d& corner1, const geom::Point3d& corner2, int rows, int columns,
                       double horizontalMargin, double verticalMargin, std::vector<geom::Point3d>& out);

void LayPointGjRect(const std::wstring& caption);
void LayPointGjFan(const std::wstring& caption);
