// Vertical components and the elevation pick (see vertical_gj.h).
#include "module/model/vertical_gj.h"

#include <cmath>
#include <cwchar>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/multi_line.h"
#include "module/model/picking.h"
#include "module/model/point_layout.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/ui/wnd.h"

namespace {

bool SameElev(double a, double b) { return std::fabs(a - b) < kElevTolerance; }

cad::ObjectId MakeRiser(const std::wstring& name, const std::wstring& number, const geom::Point3d& first,
                        const geom::Point3d& second) {
  cad::ObjectId id;
  if (g_createGjCb) id = g_createGjCb(name, number, first, second, 0, 1);
  if (g_decorateGjCb) g_decorateGjCb(name, id);
  RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  return id;
}

}  // namespace

void LayVerticalGj() {
  ed::setVar(L"CMDECHO", 1);
  ScopeExit echoOff([] { ed::setVar(L"CMDECHO", 0); });
  if (!LoadCurGjDefine()) return;
  ui::Point corner(0, 0);
  if (ui::Wnd* view = ui::drawingView()) view->ClientToScreen(&corner);

  std::wstring base;
  FindAttrValue(GetGjParamLines(g_curLineGj, g_curLineGj.number), L"底标高", base);
  double start = base == L"层高" ? 0.0 : std::wcstod(base.c_str(), nullptr);
  double end = g_floorHeight;
  if (!winlib::InputTwoElev(winlib::kPaletteOpen, corner.x, corner.y, start, end)) return;
  ScopeExit closeWindow([] {
    double none1 = 0, none2 = 0;
    winlib::InputTwoElev(winlib::kPaletteClose, 0, 0, none1, none2);
  });

  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  PrepareGjLayers(name, g_curLineGj, ed::curDatabase());

  for (;;) {
    geom::Point3d point;
    if (GetPointWithOffset(L"\n请选择基点:", point, L"") != ed::kNormal) break;
    // The window answers with values only after the user changed them; the
    // values it opened with (or last gave) hold for every riser until then.
    double zs = start, ze = end;
    if (winlib::InputTwoElev(winlib::kPalettePoll, 0, 0, zs, ze)) {
      start = zs;
      end = ze;
    }
    if (SameElev(start, end)) {
      ed::alert(L"起点与终点标高相等不能生成垂直构件!");
      continue;
    }
    const geom::Point3d first(point.x, point.y, start), second(point.x, point.y, end);
    const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
    MakeRiser(name, number, first, second);
  }
}

void CreateVerticalGj(int where) {
  auto& pts = g_linearRun.points;
  // Only a run in progress takes risers: its step would otherwise stay open
  // with no run left to end or undo it.
  if (!g_linearRun.active || pts.empty()) return;
  const LayWindowState before = LayWindowSnapshot();
  // The riser reaches between the window's two values; without values the
  // run knows of, both ends lie at the run's height, which makes no riser.
  double zs = pts.back().z, ze = pts.back().z;
  ReadLayWindowElevations(zs, ze);
  if (SameElev(zs, ze)) {
    ed::alert(L"两标高相等，无法生成垂直管线");
    return;
  }
  if (!g_multiLineInput) {
    const std::wstring name = winlib::CmbGetName(winlib::kComboName);
    const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
    const geom::Point3d base = (where == 1 && pts.size() >= 2) ? pts[pts.size() - 2] : pts.back();
    MakeLinearGjStep(name, number, geom::Point3d(base.x, base.y, zs), geom::Point3d(base.x, base.y, ze), 0, 1,
                     1, before);
    CarryLayWindowElevations(ze);
  } else {
    if (pts.size() < 2) {
      ed::printText(L"\n多管线至少需要两点才能生成垂直管线");
      return;
    }
    bool made = false;
    {
      LinearGjStep step;
      if (!BuildMultiLineStep(g_multiLineRows, where == 1 ? 1 : 2).empty()) {
        step.keep(1, before);
        made = true;
      }
    }
    if (!made) {
      DropNewestRunPoint();
      ed::printText(kMultiLineStepFailed);
    }
  }
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
}

namespace {

void SetPreviewActive(int on) {
  if (g_gjInputMonitor) g_gjInputMonitor->setState(on);
  if (g_multiLineInput) {
    if (g_kivMlineMonitor) g_kivMlineMonitor->active = on;
  } else {
    if (g_kivPointMonitor) g_kivPointMonitor->active = on;
  }
}

}  // namespace

bool PickupElev(double& elevation) {
  SetPreviewActive(0);
  bool found = false;
  double result = 0;
  for (;;) {
    cad::ObjectIdArray gjIds, sameNumberIds, layerIds;
    geom::Point3d pickPoint;
    const int rc = PickGj(L"", gjIds, sameNumberIds, layerIds, pickPoint, L"\n选择构件：", false);
    if (rc != ed::kNormal) break;  // Escape, Enter, Space or a right click
    HighlightEntities(gjIds, 0);
    cad::ObjectIdArray primary;
    FilterPrimaryGjIds(primary, gjIds);
    if (primary.empty()) continue;
    StringArray lines;
    GetXdataLines(primary.front(), kXdataSpecial, lines);
    std::wstring kind;
    FindAttrValue(lines, L"类型", kind);
    if (kind == kGjKindSloped || kind == kGjKindRiser || kind == kGjKindThrough) {
      double s = 0, e = 0;
      GetGjSpecial(primary.front(), nullptr, &s, &e);
      if (s == e) {
        result = s;
        found = true;
        break;
      }
    } else if (kind == kGjKindPoint) {
      GetPointGjSpecial(primary.front(), nullptr, &result, nullptr);
      found = true;
      break;
    }
  }
  SetPreviewActive(1);
  if (found) elevation = result;
  return found;
}
