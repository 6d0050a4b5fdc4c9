// Placing point components one at a time (see point_layout.h).
#include "module/model/point_layout.h"

#include <cmath>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/input_hooks.h"
#include "module/model/params.h"
#include "module/model/picking.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/wnd.h"

CGjInputPointMonitor* g_gjInputMonitor = nullptr;

namespace {

constexpr const wchar_t* kSnapLayers = L"轴网,辅助轴网,墙";
constexpr const wchar_t* kPrompt = L"\n请选择布置基点[撤销(U)/旋转(R)]:";

cad::TransactionManager* placementTransactions() {
  ed::Document* doc = ed::curDoc();
  return doc ? doc->transactionManager() : nullptr;
}

// The state of one run of LayPointGj.
struct PointRun {
  std::wstring name;
  double elevation = 0;
  int openPlacements = 0;  // placement transactions still open, one per component
};

void placeOne(PointRun& run, const geom::Point3d& point) {
  winlib::InputOneElev(2, 0, 0, run.elevation);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  cad::TransactionManager* tm = placementTransactions();
  if (tm) tm->startTransaction();
  // A placement left by an exception takes its transaction back with it.
  ScopeExit abandoned([tm] {
    if (tm && tm->numActiveTransactions() > 0) tm->abortTransaction();
  });

  cad::ObjectId id;
  InsertPointGjBlock(id, run.name, number, point, 0);
  const geom::Vector3d noRotation(0, 0, 0);
  if (!SetPointGjSpecial(&number, id, &run.elevation, &noRotation)) {
    EraseEntity(id);
    // Nothing stays of this placement, so its transaction is not one that
    // "U" should take back.
    abandoned.release();
    if (tm) tm->endTransaction();
    return;
  }
  abandoned.release();
  if (tm) ++run.openPlacements;
  RebuildPointGjFigure(run.name, id);
  RefreshSolid3dOfEntity(run.name, id, ed::curDatabase());
}

void undoLast(PointRun& run) {
  cad::TransactionManager* tm = placementTransactions();
  if (run.openPlacements <= 0 || !tm || tm->numActiveTransactions() <= 0) return;
  tm->abortTransaction();
  --run.openPlacements;
}

void rotatePicked(CGjInputPointMonitor* monitor) {
  monitor->setState(0);
  cad::ObjectIdArray ids;
  for (;;) {
    cad::ObjectIdArray gjIds, sameNumber, layerIds;
    geom::Point3d at;
    const int rc = PickGj(L"", gjIds, sameNumber, layerIds, at, L"", false);
    if (rc == ed::kCancel) break;
    if (rc == ed::kNormal) ids.insert(ids.end(), gjIds.begin(), gjIds.end());
  }
  if (!ids.empty()) {
    ed::SelSet ss = 0;
    IdsToSS(ids, ss);
    {
      WatchedCommand rotate(L"ROTATE");
      ed::command({L"ROTATE", ed::CmdArg::selection(ss), L""});
      rotate.wait();
    }
    ed::ssFree(ss);
  }
  HighlightEntities(ids, 0);
  monitor->setState(1);
}

}  // namespace

int CGjInputPointMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw,
                                            bool& /*appendToTooltip*/, std::wstring& /*additionalTooltip*/) {
  if (!ctx.pointComputed) return 0;
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  if (state_ != 1) return 0;
  StringArray lines;
  SplitLines(GetAttrValue(g_curPointGj.coords, number), lines);
  const geom::Point3d& at = ctx.computedPoint;
  const double c = std::cos(m_angle), s = std::sin(m_angle);
  for (const std::wstring& line : lines) {
    std::vector<geom::Point3d> points;
    std::vector<double> bulges;
    ParseCoordList(line, points, bulges);
    if (points.empty()) continue;
    std::vector<geom::Point3d> vertices;
    vertices.reserve(points.size());
    for (const geom::Point3d& p : points)
      vertices.emplace_back(at.x + p.x * c - p.y * s, at.y + p.x * s + p.y * c, 0);
    // A turn keeps every arc's bulge: it moves the arc, not its sweep.
    draw.geometry().pline(vertices, bulges);
  }
  return 0;
}

double InitialPointGjElevation(const std::wstring& number) {
  const std::wstring value = GetAttrValue(GetGjParamLines(g_curPointGj, number), L"底标高");
  if (value == L"层高") return g_floorHeight;
  if (value.empty()) return 0;
  wchar_t* end = nullptr;
  const double v = std::wcstod(value.c_str(), &end);
  return end == value.c_str() ? 0 : v;
}

void LayPointGj() {
  if (!LoadCurPointGj()) return;
  PointRun run;
  run.name = winlib::CmbGetName(winlib::kComboName);
  PrepareGjLayers(run.name, g_curPointGj, ed::curDatabase());

  run.elevation = InitialPointGjElevation(g_curPointGj.number);

  ui::Point origin{0, 0};
  ui::Wnd* view = ui::drawingView();
  if (view) view->ClientToScreen(&origin);
  winlib::InputOneElev(1, origin.x, origin.y, run.elevation);
  if (view) view->SetFocus();

  auto* monitor = new CGjInputPointMonitor;
  g_gjInputMonitor = monitor;
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ipm.addPointMonitor(monitor);
  monitor->SetLayers(kSnapLayers, 1.0);

  // The finish, on every way out: the placements not undone stay, the
  // monitor goes and the elevation window closes.
  ScopeExit finish([&run, &ipm, monitor] {
    if (cad::TransactionManager* tm = placementTransactions()) {
      for (; run.openPlacements > 0 && tm->numActiveTransactions() > 0; --run.openPlacements)
        tm->endTransaction();
    }
    run.openPlacements = 0;
    ipm.removePointMonitor(monitor);
    delete monitor;
    g_gjInputMonitor = nullptr;
    winlib::InputOneElev(4, 0, 0, run.elevation);
  });
  ScopedWinMsgFilter swallow(SwallowRightClick);
  for (;;) {
    monitor->setAngle(0);
    monitor->setState(1);
    ed::initGet(0, L"U R");
    geom::Point3d point;
    const int rc = GetPointWithOffset(kPrompt, point, L"");
    if (rc == ed::kKeyword) {
      std::wstring word;
      if (ed::getInput(word) != ed::kNormal) continue;
      for (auto& ch : word) ch = wchar_t(std::towupper(ch));
      if (word == L"U")
        undoLast(run);
      else if (word == L"R")
        rotatePicked(monitor);
      continue;
    }
    if (rc == ed::kNormal) {
      placeOne(run, point);
      continue;
    }
    break;
  }
}
