// Point components along a line (see line_points_gj.h).
#include "module/model/line_points_gj.h"

#include <cwctype>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/input_hooks.h"
#include "module/model/layout_palettes.h"
#include "module/model/picking.h"
#include "module/model/point_steps.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/dialog.h"

namespace {

using geom::Point3d;

// The curve to lay along; a curve the engine drew is erased when the
// object goes.
struct Guide {
  cad::ObjectId id;
  bool drawn = false;
  ~Guide() {
    if (drawn && !id.isNull()) EraseEntity(id);
  }
};

struct LineParameters {
  int count = 5;
  double edge = 0, elevation = 2800, angle = 0;
};

// The points along the guide; false (with the reason told) when none can be
// laid.
bool pointsAlong(const Guide& guide, const LineParameters& lp, std::vector<Point3d>& out) {
  cad::ObjectPtr<cad::Entity> ent(guide.id, cad::OpenMode::ForRead);
  auto* curve = ent ? dynamic_cast<cad::Curve*>(ent.get()) : nullptr;
  if (!curve) {
    ed::print(L"\n所选对象不是直线、弧线或多义线。");
    return false;
  }
  Point3d endPoint;
  double length = 0;
  if (curve->getEndPoint(endPoint) != cad::Status::Ok || curve->getDistAtPoint(endPoint, length) != cad::Status::Ok)
    return false;
  PointList vertices;
  BulgeList bulges;
  GetEntityVertices(guide.id, vertices, bulges);
  if (vertices.size() < 2 || bulges.empty()) return false;
  if (vertices.size() > 2) {
    ui::AfxMessageBox(kLineOnlyFirstSegment);
    if (curve->getDistAtPoint(vertices[1], length) != cad::Status::Ok) return false;
  }
  if (2 * lp.edge > length) {
    ui::AfxMessageBox(kLineMarginTooLarge);
    return false;
  }
  if (lp.count < 1) {
    ed::print(L"\n布置数量必须大于0。");
    return false;
  }
  const double spacing = lp.count == 1 ? 0 : (length - 2 * lp.edge) / (lp.count - 1);
  for (int i = 0; i < lp.count; ++i) {
    Point3d p;
    if (curve->getPointAtDist(lp.edge + i * spacing, p) == cad::Status::Ok) out.push_back(p);
  }
  return true;
}

void layAlong(const Guide& guide, const std::wstring& name) {
  LineParameters lp;
  RunDlgLine(kPaletteModeRead, 0, 0, &lp.count, &lp.edge, &lp.elevation, &lp.angle);
  std::vector<Point3d> points;
  if (!pointsAlong(guide, lp, points)) return;
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PlacementStep step;
  for (const Point3d& p : points)
    PlacePointGjAt(name, number, Point3d(p.x, p.y, 0), lp.angle, lp.elevation, geom::Vector3d(0, 0, 0));
  step.keep();
}

// "D": a line or an arc drawn for laying along; false when none was drawn.
bool drawGuide(Guide& guide) {
  Point3d first, second;
  if (ed::getPoint(nullptr, L"\n指定第一个点:", first) != ed::kNormal) return false;
  ed::initGet(0, L"A");
  const int rc = ed::getPoint(&first, L"\n指定下一个点[圆弧(A)]:", second);
  if (rc == ed::kNormal) {
    guide.id = AddLine(first, second, L"", nullptr);
    guide.drawn = !guide.id.isNull();
    return guide.drawn;
  }
  std::wstring word;
  if (rc != ed::kKeyword || ed::getInput(word) != ed::kNormal) return false;
  for (auto& ch : word) ch = wchar_t(std::towupper(ch));
  if (word != L"A") return false;
  BeginWatchCommand(L"arc");
  const cad::ObjectId before = ed::entLast();
  ed::command({L"arc", first, L"\\"});
  const bool ended = WaitWatchedCommand(L"arc") == ed::kNormal;
  const cad::ObjectId last = ed::entLast();
  EndWatchCommand();
  if (!ended || last.isNull() || last == before) return false;
  guide.id = last;
  guide.drawn = true;
  return true;
}

}  // namespace

void LayPointGjOnLine(const std::wstring& caption) {
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  PreparePointGjLayers(name);
  LineParameters lp;
  int x = 0, y = 0;
  GetDrawingViewOrigin(x, y);
  RunDlgLine(kPaletteModeOpen, x, y, &lp.count, &lp.edge, &lp.elevation, &lp.angle, caption);
  FocusDrawingView();
  ed::registerFilterWinMsg(SwallowRightClick);
  for (;;) {
    ed::initGet(0, L"D");
    g_pickWatchFlag = 0;
    ed::registerWatchWinMsg(WatchPickKeys);
    cad::ObjectId picked;
    Point3d at;
    const int rc = ed::entSel(L"\n选择直线或弧线[自行绘制(D)]:", picked, at);
    ed::removeWatchWinMsg(WatchPickKeys);
    if (rc == ed::kNormal) {
      if (picked.isNull()) continue;
      Guide guide{picked, false};
      layAlong(guide, name);
      continue;
    }
    if (rc == ed::kKeyword) {
      std::wstring word;
      if (ed::getInput(word) != ed::kNormal) continue;
      for (auto& ch : word) ch = wchar_t(std::towupper(ch));
      if (word != L"D") continue;
      Guide guide;
      if (drawGuide(guide)) layAlong(guide, name);
      continue;
    }
    if (rc == ed::kCancel || g_pickWatchFlag == 1) break;
  }
  RunDlgLine(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ed::removeFilterWinMsg(SwallowRightClick);
}
