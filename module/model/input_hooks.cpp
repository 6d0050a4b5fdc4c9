// The hooks of a linear run and the nested command runner (see
// input_hooks.h).
#include "module/model/input_hooks.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>

#include "module/model/draw_engine.h"
#include "module/toolkit/solid_mode.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/status.h"

CInputReactor* g_commandWatcher = nullptr;
StringArray g_multiLineRows;

namespace {

std::wstring Upper(std::wstring s) {
  for (auto& c : s) c = wchar_t(std::towupper(c));
  return s;
}

LayWindowState g_layWindow;

// The state, unless it belongs to another drawing than the current one.
LayWindowState& layWindow() {
  if (g_layWindow.db != ed::curDatabase()) g_layWindow = LayWindowState{};
  return g_layWindow;
}

void setLayWindow(double zs, double ze) { g_layWindow = {true, zs, ze, ed::curDatabase()}; }

}  // namespace

// ---------------------------------------------------------------------------
// Nested command runner
// ---------------------------------------------------------------------------

void CInputReactor::onEvent(const std::wstring& cmdName, int newState) {
  if (Upper(cmdName) == watchedName) state = newState;
}
void CInputReactor::commandWillStart(const std::wstring& cmdName) { onEvent(cmdName, kStarted); }
void CInputReactor::commandEnded(const std::wstring& cmdName) { onEvent(cmdName, kEnded); }
void CInputReactor::commandCancelled(const std::wstring& cmdName) { onEvent(cmdName, kCancelled); }

void BeginWatchCommand(const std::wstring& cmdName) {
  EndWatchCommand();
  g_commandWatcher = new CInputReactor;
  ed::addReactor(g_commandWatcher);
  g_commandWatcher->watchedName = Upper(cmdName);
}

int WaitWatchedCommand(const std::wstring&) {
  CInputReactor* w = g_commandWatcher;
  if (!w || w->state == CInputReactor::kNotStarted) return ed::kCancel;
  for (;;) {
    if (w->state == CInputReactor::kEnded) return ed::kNormal;
    // A cancelled command is over whatever the last pause answered.
    if (w->state == CInputReactor::kCancelled) return ed::kCancel;
    // One more pause for the user's input to the running command. A pause
    // the host refuses can never move the command on: stop waiting.
    int status = ed::command({ed::CmdArg::pause()});
    if (status != ed::kNormal && w->state == CInputReactor::kStarted) return ed::kCancel;
  }
}

void EndWatchCommand() {
  if (!g_commandWatcher) return;
  ed::removeReactor(g_commandWatcher);
  delete g_commandWatcher;
  g_commandWatcher = nullptr;
}

// ---------------------------------------------------------------------------
// Lay window elevations
// ---------------------------------------------------------------------------

void OpenLayWindow(int x, int y, double elevation) {
  double start = elevation, end = elevation;
  winlib::LayLinearGj(winlib::kPaletteOpen, x, y, start, end);
  setLayWindow(elevation, elevation);
}

void CloseLayWindow() {
  double none1 = 0, none2 = 0;
  winlib::LayLinearGj(winlib::kPaletteClose, 0, 0, none1, none2);
  ForgetLayWindowElevations();
}

bool ReadLayWindowElevations(double& zs, double& ze) {
  LayWindowState& state = layWindow();
  double s = state.zs, e = state.ze;
  if (winlib::LayLinearGj(winlib::kPalettePoll, 0, 0, s, e)) setLayWindow(s, e);
  if (!g_layWindow.known) return false;
  zs = g_layWindow.zs;
  ze = g_layWindow.ze;
  return true;
}

void CarryLayWindowElevations(double z) {
  setLayWindow(z, z);
  winlib::SetElevation(z, z);
}

LayWindowState LayWindowSnapshot() { return layWindow(); }

void RestoreLayWindow(const LayWindowState& state) {
  g_layWindow = state;
  if (state.known) winlib::SetElevation(state.zs, state.ze);
}

void ForgetLayWindowElevations() { g_layWindow = LayWindowState{}; }

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------

int CKivInputPointFilter::processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint,
                                            geom::Point3d& newPoint, bool& displayOsnapGlyph, std::wstring&) {
  if (!ctx.pointComputed) return 0;
  double dx = 0, dy = 0;
  winlib::GetOffset(dx, dy);
  if (dx == 0 && dy == 0) return 0;
  changedPoint = true;
  displayOsnapGlyph = true;
  newPoint = geom::Point3d(ctx.computedPoint.x + dx, ctx.computedPoint.y + dy, 0);
  return 0;
}

// ---------------------------------------------------------------------------
// Single-line preview
// ---------------------------------------------------------------------------

int CKivInputPointMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool&,
                                             std::wstring&) {
  if (!ctx.pointComputed || active == 0) return 0;
  const auto& pts = g_linearRun.points;
  double dx = 0, dy = 0;
  winlib::GetOffset(dx, dy);
  double zs = 0, ze = 0, S = 0, E = 0, Zc = 0;
  if (ReadLayWindowElevations(zs, ze)) {
    S = zs;
    E = ze;
    Zc = pts.empty() ? zs : ze;
  }
  const geom::Point3d& c = ctx.computedPoint;

  if (!pts.empty()) {
    const geom::Point3d L = pts.back();
    const geom::Point3d R = ctx.rawPoint;
    const geom::Vector3d dir = R - L;
    const geom::Vector3d perp = geom::Vector3d(dir.x, dir.y, dir.z).perpVector().normal();
    geom::Point3d pos((L.x + R.x) / 2, (L.y + R.y) / 2, 0);
    pos = pos + perp * 30.0;
    const double length = geom::Point3d(L.x, L.y, zs).distanceTo(geom::Point3d(R.x, R.y, ze));
    draw.subEntityTraits().setColor(7);
    draw.geometry().text(pos, geom::Vector3d(0, 0, 1), dir, 200, 1, 0, FormatNumber(length, 2));
  }

  if (dx != 0 || dy != 0) {
    const double s = 10 * GetPixelSize();
    if (g_solidMode == SolidMode::Floor3d && Zc != 0 && pts.size() > 1) DrawOffsetCross(draw, c.x, c.y, Zc, s);
    DrawOffsetCross(draw, c.x, c.y, 0, s);
  }

  if (!pts.empty() && (S != 0 || E != 0) && g_solidMode == SolidMode::Floor3d) {
    const geom::Point3d& L = pts.back();
    draw.subEntityTraits().setColor(90);
    geom::Point3d line[2] = {geom::Point3d(L.x, L.y, S), geom::Point3d(c.x - dx, c.y - dy, E)};
    draw.geometry().polyline(2, line);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Multi-line preview
// ---------------------------------------------------------------------------

int CKivMlineMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool&,
                                        std::wstring&) {
  if (!ctx.pointComputed || active == 0) return 0;
  const geom::Point3d& c = ctx.computedPoint;
  double dx = 0, dy = 0;
  winlib::GetOffset(dx, dy);
  if (dx != 0 || dy != 0) DrawOffsetCross(draw, c.x, c.y, 0, 10 * GetPixelSize());

  const auto& runPts = g_linearRun.points;
  const auto& runBulges = g_linearRun.bulges;
  const size_t n = runPts.size();
  if (n == 0 || runBulges.size() != n) return 0;

  std::vector<double> offsets;
  for (const auto& row : g_multiLineRows) {
    StringArray fields;
    SplitToArray(row, L",", fields);
    if (fields.size() < 4) {
      ed::printText(L"\n管线信息不正确");
      return 0;
    }
    offsets.push_back(std::wcstod(fields[3].c_str(), nullptr));
  }

  const size_t k = std::min<size_t>(n, 3);
  std::vector<geom::Point3d> pts(runPts.end() - k, runPts.end());
  std::vector<double> bulges(runBulges.end() - k, runBulges.end());
  const geom::Point3d cursor(c.x - dx, c.y - dy, 0);
  double band = 0;
  if (!lastInputPoint.isEqualTo(runPts.back())) {
    geom::Point3d centre;
    double b = 0;
    GetArcFrom3Points(runPts.back(), lastInputPoint, cursor, centre, nullptr, &b);
    band = b;
  }
  pts.push_back(cursor);
  bulges.insert(bulges.end() - 1, band);

  cad::Polyline2d guide(cad::Polyline2d::Type::Simple, pts, 0, false, 0, 0, bulges);
  const size_t v = std::min<size_t>(pts.size(), 3);

  draw.subEntityTraits().setColor(7);
  for (double d : offsets) {
    std::vector<geom::Point3d> rowPts;
    std::vector<double> rowBulges;
    if (d < 1) {
      rowPts = pts;
      rowBulges = bulges;
    } else {
      std::vector<std::unique_ptr<cad::Entity>> curves;
      cad::Status st;
      try {
        st = guide.getOffsetCurves(d, curves);
      } catch (...) {
        st = cad::Status::InvalidInput;
      }
      if (st != cad::Status::Ok || curves.empty()) break;
      PointList cp;
      BulgeList cb;
      GetEntityVerticesOpen(curves.front().get(), cp, cb);
      if (cp.size() != pts.size()) break;
      rowPts.assign(cp.begin(), cp.end());
      rowBulges.assign(cb.begin(), cb.end());
    }
    std::vector<geom::Point3d> shown;
    std::vector<double> shownBulges;
    for (size_t i = rowPts.size() - v; i < rowPts.size(); ++i) {
      shown.emplace_back(rowPts[i].x, rowPts[i].y, 0);
      shownBulges.push_back(i < rowBulges.size() ? rowBulges[i] : 0.0);
    }
    draw.geometry().pline(shown, shownBulges);
  }
  return 0;
}
