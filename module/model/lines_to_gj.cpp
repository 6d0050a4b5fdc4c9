// Lines to linear components: the pick loop and the conversion.
#include "module/model/lines_to_gj.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/wnd.h"

namespace {

bool isConvertible(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return false;
  return cad::isKindOf<cad::Polyline>(ent.get()) || cad::isKindOf<cad::Line>(ent.get());
}

// One component segment per segment of every picked entity, in the list's
// order, each from z1 to z2.
void convertPicked(const std::wstring& name, const cad::ObjectIdArray& picked, double z1, double z2) {
  for (cad::ObjectId id : picked) {
    PointList points;
    BulgeList bulges;
    GetEntityVertices(id, points, bulges);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
      const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
      const geom::Point3d start(points[i].x, points[i].y, z1);
      const geom::Point3d end(points[i + 1].x, points[i + 1].y, z2);
      const double bulge = i < bulges.size() ? bulges[i] : 0.0;
      cad::ObjectId made;
      if (g_createGjCb) made = g_createGjCb(name, number, start, end, bulge, 0);
      if (g_decorateGjCb) g_decorateGjCb(name, made);
      RefreshSolid3dOfEntity(name, made, ed::curDatabase());
    }
  }
}

}  // namespace

double LineToGjDefaultElevation() {
  const StringArray lines = GetGjParamLines(g_curLineGj, g_curLineGj.number);
  const std::wstring value = GetAttrValue(lines, L"底标高");
  if (value == L"层高") return g_floorHeight;
  return std::wcstod(value.c_str(), nullptr);
}

void LineToGj() {
  if (!LoadCurGjDefine()) return;

  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  PrepareGjLayers(name, g_curLineGj, ed::curDatabase());

  ui::Point screen(0, 0);
  ui::Wnd* view = ui::drawingView();
  if (view) view->ClientToScreen(&screen);

  double z1 = LineToGjDefaultElevation();
  double z2 = z1;
  if (!winlib::InputTwoElev(winlib::kPaletteOpen, screen.x, screen.y, z1, z2)) return;
  ScopeExit closeWindow([] {
    double none1 = 0, none2 = 0;
    winlib::InputTwoElev(winlib::kPaletteClose, 0, 0, none1, none2);
  });

  cad::ObjectIdArray picked;
  auto unhighlightPicked = [&picked] {
    HighlightEntities(picked, 0);
    picked.clear();
  };
  // Whatever ends the routine, nothing stays highlighted.
  ScopeExit unhighlight([&picked] { HighlightEntities(picked, 0); });
  for (;;) {
    if (view) view->SetFocus();
    g_clickWatchFlag = 0;
    ed::SelSet ss = 0;
    int rc;
    {
      ScopedWinMsgWatch watch(WatchClickProc);
      rc = ed::ssGetWithPrompts(L":S:$", kLineToGjSelectPrompt, L"", {}, ss);
    }
    if (rc == ed::kCancel) {
      if (ss) ed::ssFree(ss);
      unhighlightPicked();
      break;
    }
    if (g_clickWatchFlag == 2) {
      if (ss) ed::ssFree(ss);
      if (picked.empty()) break;
      // The elevations set in the window meanwhile. The window answers false
      // when it has no new values to give; the values it opened with (or
      // last gave) still hold then, so the conversion goes on with them.
      double newZ1 = z1, newZ2 = z2;
      if (winlib::InputTwoElev(winlib::kPalettePoll, screen.x, screen.y, newZ1, newZ2)) {
        z1 = newZ1;
        z2 = newZ2;
      }
      convertPicked(name, picked, z1, z2);
      unhighlightPicked();
      continue;
    }
    if (g_clickWatchFlag == 1 && rc == ed::kError) continue;  // nothing under the cursor
    std::int32_t length = 0;
    if (rc == ed::kNormal && ss && ed::ssLength(ss, length) == ed::kNormal && length > 0) {
      int added = 0;
      for (std::int32_t i = length - 1; i >= 0; --i) {
        cad::ObjectId id;
        if (ed::ssName(ss, i, id) != ed::kNormal || !isConvertible(id)) continue;
        auto it = std::find(picked.begin(), picked.end(), id);
        if (it != picked.end()) {
          HighlightEntity(id, 0);
          picked.erase(it);
        } else {
          HighlightEntity(id, 1);
          picked.push_back(id);
          ++added;
        }
      }
      ed::print(kLineToGjPickedFormat, added, static_cast<int>(picked.size()));
    }
    if (ss) ed::ssFree(ss);
  }
}
