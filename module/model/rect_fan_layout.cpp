// Rectangle and fan layouts (see rect_fan_layout.h).
#include "module/model/rect_fan_layout.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "module/model/current_gj.h"
#include "module/model/layout_palettes.h"
#include "module/model/point_blocks.h"
#include "module/model/point_steps.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/ui/dialog.h"

std::vector<geom::Point2d> g_fanPreviewPoints;

namespace {

using geom::Point3d;
constexpr double kPi = 3.14159265;

Point3d plan(const Point3d& p) { return Point3d(p.x, p.y, 0); }

// The plan circle through three points; false when they are collinear.
bool circleThrough(const Point3d& p1, const Point3d& p2, const Point3d& p3, Point3d& centre, double& radius) {
  const double d = 2 * (p1.x * (p2.y - p3.y) + p2.x * (p3.y - p1.y) + p3.x * (p1.y - p2.y));
  if (std::fabs(d) < 1e-9) return false;
  centre = Point3d(0, 0, 0);
  radius = 0;
  GetArcFrom3Points(plan(p1), plan(p2), plan(p3), centre, &radius);
  return true;
}

// The point at distance dist from `from` towards `to` (from itself when they
// coincide).
Point3d towards(const Point3d& from, const Point3d& to, double dist) {
  geom::Vector3d v = plan(to) - plan(from);
  const double len = v.length();
  if (len <= 0) return plan(from);
  return plan(from) + v * (dist / len);
}

void placeRect(const std::wstring& name, const std::wstring& number, const std::vector<Point3d>& positions,
               double elevation) {
  PlacementStep step;
  for (const Point3d& p : positions) PlacePointGjAt(name, number, p, 0, elevation, geom::Vector3d(0, 0, 0));
  step.keep();
}

// The model-space entities made after the snapshot that reference the block.
std::vector<cad::ObjectId> newReferencesTo(cad::ObjectId block, const std::set<cad::ObjectId>& before) {
  std::vector<cad::ObjectId> out;
  for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
    if (before.count(id)) continue;
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (ref && ref->blockTableRecord() == block) out.push_back(id);
  }
  return out;
}

// One row: the source block at start and its polar copies about the centre.
// False when the host's array failed.
bool placeFanRow(const std::wstring& name, const std::wstring& number, const Point3d& start, int count,
                 const Point3d& centre, double fillDegrees, double elevation) {
  cad::ObjectId source;
  InsertPointGjBlock(source, name, number, plan(start), 0);
  if (source.isNull()) return false;
  std::vector<cad::ObjectId> row{source};
  if (count >= 2) {
    cad::ObjectId block;
    {
      cad::ObjectPtr<cad::BlockReference> ref(source, cad::OpenMode::ForRead);
      if (ref) block = ref->blockTableRecord();
    }
    const auto all = ed::curDatabase()->modelSpaceEntities();
    const std::set<cad::ObjectId> before(all.begin(), all.end());
    const int rc = ed::command({L"-array", source, L"", L"Polar", plan(centre), count, fillDegrees, L"Y"});
    const auto copies = newReferencesTo(block, before);
    if (rc != ed::kNormal || int(copies.size()) != count - 1) return false;
    row.insert(row.end(), copies.begin(), copies.end());
  }
  const geom::Vector3d noDirection(0, 0, 0);
  for (cad::ObjectId id : row) {
    if (!SetPointGjSpecial(&number, id, &elevation, &noDirection)) {
      EraseEntity(id);
      continue;
    }
    RebuildPointGjFigure(name, id);
    RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  }
  return true;
}

struct FanParameters {
  int rows = 5, firstRowCount = 8, decrease = 1;
  double elevation = 2000;
  // Every row keeps at least one component.
  bool usable() const {
    return rows >= 1 && firstRowCount >= 1 && firstRowCount - (rows - 1) * decrease >= 1;
  }
};

// One fan after its four points: the rows in one step. False ends the
// command (parameters refused).
bool layFan(const std::wstring& name, const std::wstring& number, const Point3d& p1, const Point3d& p2,
            const Point3d& p3, const Point3d& p4, const Point3d& centre, double radius) {
  double fill = (plan(p1) - centre).angleTo(plan(p2) - centre) * 180 / kPi;
  const double bulge = GetThreePointArcBulge(p1, p3, p2);
  if (std::fabs(bulge) > 1) fill = 360 - fill;
  if (bulge < 0) fill = -fill;

  const double d = plan(p4).distanceTo(centre);
  const double ringWidth = d <= radius ? radius - d : radius;

  FanParameters fp;
  RunDlgFan(kPaletteModeRead, 0, 0, &fp.rows, &fp.firstRowCount, &fp.decrease, &fp.elevation);
  if (!fp.usable()) {
    ui::AfxMessageBox(kFanBadParameters);
    return false;
  }
  const double step = fp.rows >= 2 ? ringWidth / (fp.rows - 1) : 0;
  PlacementStep fan;
  for (int i = 0; i < fp.rows; ++i) {
    const Point3d start = i == 0 ? plan(p1) : towards(centre, p1, radius - i * step);
    if (!placeFanRow(name, number, start, fp.firstRowCount - i * fp.decrease, centre, fill, fp.elevation)) {
      ed::print(L"\n环形阵列失败，本次扇形布置已撤销。");
      return true;  // the step is aborted: nothing of this fan stays
    }
  }
  fan.keep();
  return true;
}

}  // namespace

double GetThreePointArcBulge(const Point3d& start, const Point3d& middle, const Point3d& end) {
  const double side = (middle.y - end.y) * (start.x - end.x) - (start.y - end.y) * (middle.x - end.x);
  if (side == 0) return 0;
  Point3d centre;
  double radius = 0;
  if (!circleThrough(start, middle, end, centre, radius)) return 0;
  const double a0 = std::atan2(start.y - centre.y, start.x - centre.x);
  const double a1 = std::atan2(end.y - centre.y, end.x - centre.x);
  double sweep = side > 0 ? a1 - a0 : a0 - a1;  // counter-clockwise or clockwise
  while (sweep <= 0) sweep += 2 * std::numbers::pi;
  while (sweep > 2 * std::numbers::pi) sweep -= 2 * std::numbers::pi;
  const double b = std::tan(sweep / 4);
  return side > 0 ? b : -b;
}

bool RectGridPositions(const Point3d& corner1, const Point3d& corner2, int rows, int columns,
                       double horizontalMargin, double verticalMargin, std::vector<Point3d>& out) {
  const double x0 = std::min(corner1.x, corner2.x) + horizontalMargin;
  const double width = std::max(corner1.x, corner2.x) - horizontalMargin - x0;
  const double y0 = std::min(corner1.y, corner2.y) + verticalMargin;
  const double height = std::max(corner1.y, corner2.y) - verticalMargin - y0;
  if (width < 1 || height < 1) return false;
  const double columnStep = columns >= 2 ? width / (columns - 1) : 0;
  const double rowStep = rows >= 2 ? height / (rows - 1) : 0;
  out.clear();
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) out.emplace_back(x0 + c * columnStep, y0 + r * rowStep, 0);
  return true;
}

int CFanLayoutMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool&,
                                         std::wstring&) {
  if (!ctx.pointComputed || g_fanPreviewPoints.size() < 3) return 0;
  const Point3d p1(g_fanPreviewPoints[0].x, g_fanPreviewPoints[0].y, 0);
  const Point3d p2(g_fanPreviewPoints[1].x, g_fanPreviewPoints[1].y, 0);
  const Point3d p3(g_fanPreviewPoints[2].x, g_fanPreviewPoints[2].y, 0);
  Point3d centre;
  double radius = 0;
  if (!circleThrough(p1, p2, p3, centre, radius)) return 0;
  const Point3d cursor = plan(ctx.computedPoint);
  const double d = cursor.distanceTo(centre);
  const PointList outline{p1, p2, centre};
  const BulgeList bulges{GetThreePointArcBulge(p1, p3, p2), 0, 0};
  Point3d q1 = centre, q2 = centre;
  if (d <= radius && IsPointInOutline(outline, bulges, cursor)) {
    q1 = towards(p1, centre, radius - d);
    q2 = towards(p2, centre, radius - d);
  }
  auto& g = draw.geometry();
  g.pline({p1, q1});
  g.circularArc(p1, p3, p2);
  g.pline({p2, q2});
  g.circularArc(q1, cursor, q2);
  return 0;
}

void LayPointGjRect(const std::wstring& caption) {
  int rows = 5, columns = 5;
  double horizontalMargin = 0, verticalMargin = 0, elevation = 2000;
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PreparePointGjLayers(name);
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  RunDlgRect(kPaletteModeOpen, x, y, &rows, &columns, &horizontalMargin, &verticalMargin, &elevation, caption);
  FocusDrawingView();
  for (;;) {
    Point3d first, second;
    if (ed::getPoint(nullptr, L"\n指定第一个角点:", first) != ed::kNormal) break;
    if (!LoadCurPointGj()) break;
    if (ed::getCorner(first, L"\n指定另一个角点:", second) != ed::kNormal) continue;
    RunDlgRect(kPaletteModeRead, 0, 0, &rows, &columns, &horizontalMargin, &verticalMargin, &elevation);
    std::vector<Point3d> positions;
    if (!RectGridPositions(first, second, rows, columns, horizontalMargin, verticalMargin, positions)) {
      ui::AfxMessageBox(kRectMarginsTooLarge);
      continue;
    }
    if (rows < 1 || columns < 1) {
      ui::AfxMessageBox(kFanBadParameters);
      continue;
    }
    placeRect(name, number, positions, elevation);
  }
  RunDlgRect(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void LayPointGjFan(const std::wstring& caption) {
  FanParameters fp;
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PreparePointGjLayers(name);
  ed::setVar(L"CMDECHO", 0);
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  RunDlgFan(kPaletteModeOpen, x, y, &fp.rows, &fp.firstRowCount, &fp.decrease, &fp.elevation, caption);
  FocusDrawingView();
  for (;;) {
    Point3d p1, p2, p3, p4;
    if (ed::getPoint(nullptr, L"\n选择大弧的起点:", p1) != ed::kNormal) break;
    if (ed::getPoint(nullptr, L"\n选择大弧的终点:", p2) != ed::kNormal) break;
    if (ed::getPoint(nullptr, L"\n选择大弧上的一点:", p3) != ed::kNormal) break;
    Point3d centre;
    double radius = 0;
    if (!circleThrough(p1, p3, p2, centre, radius)) {
      ed::print(L"\n三点在一条直线上，无法确定大弧。");
      continue;
    }
    g_fanPreviewPoints = {geom::Point2d(p1.x, p1.y), geom::Point2d(p2.x, p2.y), geom::Point2d(p3.x, p3.y)};
    auto* monitor = new CFanLayoutMonitor;
    ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
    ipm.addPointMonitor(monitor);
    const int rc = ed::getPoint(nullptr, L"\n选择小弧上的一点:", p4);
    ipm.removePointMonitor(monitor);
    delete monitor;
    if (rc != ed::kNormal) break;
    if (!layFan(name, number, p1, p2, p3, p4, centre, radius)) break;
  }
  RunDlgFan(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ed::setVar(L"CMDECHO", 1);
}
