// Laying linear components point by point (see draw_engine.h).
#include "module/model/draw_engine.h"

#include <cwctype>

#include "module/model/current_gj.h"
#include "module/model/scope_guards.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/wnd.h"

CreateGjCb g_createGjCb = nullptr;
DecorateGjCb g_decorateGjCb = nullptr;
LinearRun g_linearRun;
bool g_multiLineInput = false;
CKivInputPointFilter* g_kivPointFilter = nullptr;
CKivInputPointMonitor* g_kivPointMonitor = nullptr;
CKivMlineMonitor* g_kivMlineMonitor = nullptr;


namespace {

cad::TransactionManager* StepTransactions() {
  ed::Document* doc = ed::curDoc();
  return doc ? doc->transactionManager() : nullptr;
}

constexpr const wchar_t* kBadInput = L"\n需要二维角点或选项关键字";

}  // namespace

// ---------------------------------------------------------------------------
// Hooks
// ---------------------------------------------------------------------------

bool InstallLinearInputHooks() {
  ed::setVar(L"CMDECHO", 1);
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  g_kivPointFilter = new CKivInputPointFilter;
  // Our filter takes the one slot for the run, as registering does on the
  // host: a filter that was there (the hover tooltip's) is taken out, and
  // its owner brings it back at its own time.
  if (ipm.currentPointFilter()) ipm.revokePointFilter();
  ipm.registerPointFilter(g_kivPointFilter);
  CAcEdInputPointMonitor* monitor;
  if (!g_multiLineInput) {
    g_kivPointMonitor = new CKivInputPointMonitor;
    monitor = g_kivPointMonitor;
  } else {
    g_kivMlineMonitor = new CKivMlineMonitor;
    g_kivMlineMonitor->lastInputPoint = geom::Point3d(0, 0, 0);
    monitor = g_kivMlineMonitor;
  }
  ipm.addPointMonitor(monitor);
  monitor->SetLayers(kDefaultSnapLayers, 1);
  if (g_kivPointMonitor && monitor == g_kivPointMonitor) g_kivPointMonitor->active = 1;
  if (g_kivMlineMonitor && monitor == g_kivMlineMonitor) g_kivMlineMonitor->active = 1;
  return true;
}

bool RemoveLinearInputHooks(int status) {
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  if (!g_multiLineInput) {
    if (g_kivPointMonitor) ipm.removePointMonitor(g_kivPointMonitor);
    delete g_kivPointMonitor;
    g_kivPointMonitor = nullptr;
  } else {
    if (g_kivMlineMonitor) ipm.removePointMonitor(g_kivMlineMonitor);
    delete g_kivMlineMonitor;
    g_kivMlineMonitor = nullptr;
  }
  // Only our own filter leaves the slot: another one there is not ours to revoke.
  if (g_kivPointFilter && ipm.currentPointFilter() == g_kivPointFilter) ipm.revokePointFilter();
  delete g_kivPointFilter;
  g_kivPointFilter = nullptr;
  ed::setVar(L"CMDECHO", 0);
  return status == ed::kNormal;
}

// ---------------------------------------------------------------------------
// Steps
// ---------------------------------------------------------------------------

LinearGjStep::LinearGjStep() {
  if (cad::TransactionManager* tm = StepTransactions()) tm->startTransaction();
}

LinearGjStep::~LinearGjStep() {
  if (kept_) return;
  cad::TransactionManager* tm = StepTransactions();
  if (tm && tm->numActiveTransactions() > 0) tm->abortTransaction();
}

void LinearGjStep::keep(int mark, const LayWindowState& before) {
  kept_ = true;
  g_linearRun.segMarks.push_back(mark);
  g_linearRun.elevBefore.push_back(before);
}

cad::ObjectId MakeLinearGjStep(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                               const geom::Point3d& end, double bulge, int vertical, int mark,
                               const LayWindowState& before) {
  LinearGjStep step;
  cad::ObjectId id;
  if (g_createGjCb) id = g_createGjCb(name, number, start, end, bulge, vertical);
  if (g_decorateGjCb) g_decorateGjCb(name, id);
  RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  step.keep(mark, before);
  return id;
}

bool AbortNewestLinearGjStep() {
  if (g_linearRun.segMarks.empty()) return false;
  g_linearRun.segMarks.pop_back();
  if (!g_linearRun.elevBefore.empty()) {
    RestoreLayWindow(g_linearRun.elevBefore.back());
    g_linearRun.elevBefore.pop_back();
  }
  cad::TransactionManager* tm = StepTransactions();
  if (tm && tm->numActiveTransactions() > 0) tm->abortTransaction();
  return true;
}

void EndOpenLinearGjSteps() {
  cad::TransactionManager* tm = StepTransactions();
  while (!g_linearRun.segMarks.empty()) {
    g_linearRun.segMarks.pop_back();
    if (tm && tm->numActiveTransactions() > 0) tm->endTransaction();
  }
  g_linearRun.elevBefore.clear();
}

// ---------------------------------------------------------------------------
// The engine
// ---------------------------------------------------------------------------

namespace {

enum class Next { Prompt, Finish };

// Draws an arc with the host's ARC from the current point. True with the
// new run point and its bulge when an arc was made.
bool DrawArcSegment(const geom::Point3d& current, geom::Point3d& newPoint, double& bulge) {
  WatchedCommand arc(L"arc");
  double dx = 0, dy = 0;
  winlib::GetOffset(dx, dy);
  // The offset filter moves the start again by the offset, so ARC starts at
  // the current point itself.
  const cad::ObjectId before = ed::entLast();
  ed::command({L"arc", geom::Point3d(current.x - dx, current.y - dy, 0), L"\\"});
  if (arc.wait() != ed::kNormal) return false;
  const cad::ObjectId last = ed::entLast();
  // An ARC that ended without making anything leaves an older entity last:
  // that one is not ours to read or erase.
  if (last.isNull() || last == before) return false;
  PointList pts;
  BulgeList bulges;
  GetEntityVertices(last, pts, bulges);
  if (pts.size() < 2) {
    EraseEntity(last);
    return false;
  }
  bulge = bulges.empty() ? 0.0 : bulges.front();
  geom::Point3d s, e;
  {
    cad::ObjectPtr<cad::Curve> curve(last, cad::OpenMode::ForRead);
    if (curve) {
      curve->getStartPoint(s);
      curve->getEndPoint(e);
    } else {
      s = pts.front();
      e = pts.back();
    }
  }
  EraseEntity(last);
  // The arc lies at z 0 while the run may lie at another height: its start
  // is compared with the current point in plan.
  if (IsEqualPointXY(s, current, 1.0)) {
    newPoint = e;
  } else {
    newPoint = s;
    bulge = -bulge;
  }
  newPoint.z = current.z;
  return true;
}

// The segment from the second-newest run point to the newest: it starts
// where the run stands (the window's values, typed or carried on), and the
// next one starts where it ends.
void MakeSegmentStep(const std::wstring& name, double bulge) {
  const auto& pts = g_linearRun.points;
  if (pts.size() < 2) return;
  geom::Point3d start = pts[pts.size() - 2];
  geom::Point3d end = pts.back();
  const LayWindowState before = LayWindowSnapshot();
  double zs = start.z, ze = end.z;
  const bool fromWindow = ReadLayWindowElevations(zs, ze);
  if (fromWindow) {
    start.z = zs;
    end.z = ze;
  }
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  MakeLinearGjStep(name, number, start, end, bulge, 0, 0, before);
  // Without window values the run lies at its points' own height anyway.
  if (fromWindow) CarryLayWindowElevations(end.z);
}

}  // namespace

int GetRunStartPoint(const wchar_t* prompt, geom::Point3d& first) {
  // The first point turns a right click into Escape; the later prompts of
  // the run swallow it (the filter stays until the run ends).
  int status;
  {
    ScopedWinMsgFilter escape(RightClickAsEscape);
    status = ed::getPoint(nullptr, prompt, first);
  }
  ed::registerFilterWinMsg(SwallowRightClick);
  return status;
}

LinearRunScope::LinearRunScope() {
  InstallLinearInputHooks();
  g_linearRun.active = true;
}

LinearRunScope::~LinearRunScope() {
  if (!finished_) finish(ed::kCancel);
}

bool LinearRunScope::finish(int status) {
  finished_ = true;
  return FinishLinearRun(status);
}

bool UndoNewestRunStep(const std::function<void()>& dropPoint) {
  auto& pts = g_linearRun.points;
  auto& marks = g_linearRun.segMarks;
  if (!pts.empty() && (marks.empty() || marks.back() == 0)) {
    dropPoint();
    if (pts.empty()) {
      ed::printText(L"\n");
      return true;
    }
  }
  AbortNewestLinearGjStep();
  return false;
}

bool FinishLinearRun(int status) {
  ed::removeFilterWinMsg(SwallowRightClick);
  EndOpenLinearGjSteps();
  g_linearRun.active = false;
  return RemoveLinearInputHooks(status);
}

bool LayLinearGjByPoints() {
  g_multiLineInput = false;
  g_linearRun.points.clear();
  g_linearRun.segMarks.clear();
  g_linearRun.elevBefore.clear();

  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  PrepareGjLayers(name, g_curLineGj, ed::curDatabase());

  LinearRunScope run;
  geom::Point3d first;
  int status = GetRunStartPoint(L"\n指定起点：", first);

  if (status == ed::kNormal) {
    g_linearRun.points.push_back(first);
    const double runZ = first.z;
    for (;;) {
      const geom::Point3d current = g_linearRun.points.back();
      ed::initGet(0, L"A U");
      geom::Point3d picked;
      int rc = ed::getPoint(&current, L"\n指定下一点或[圆弧(A)/回退(U)]:", picked);
      if (rc == ed::kNormal) {
        g_linearRun.points.emplace_back(picked.x, picked.y, runZ);
        MakeSegmentStep(name, 0);
        continue;
      }
      if (rc == ed::kNone) {
        ed::printText(L"\n");
        status = ed::kNormal;
        break;
      }
      if (rc == ed::kCancel) {
        status = ed::kCancel;
        break;
      }
      if (rc != ed::kKeyword) {
        ed::printText(kBadInput);
        continue;
      }
      std::wstring word;
      if (ed::getInput(word) != ed::kNormal) continue;
      for (auto& ch : word) ch = wchar_t(std::towupper(ch));
      if (word == L"A") {
        geom::Point3d p;
        double bulge = 0;
        if (DrawArcSegment(current, p, bulge)) {
          p.z = runZ;
          g_linearRun.points.push_back(p);
          MakeSegmentStep(name, bulge);
        }
      } else if (word == L"U") {
        if (UndoNewestRunStep([] { g_linearRun.points.pop_back(); })) {
          status = ed::kNormal;
          break;
        }
      } else {
        ed::printText(kBadInput);
      }
    }
  }

  return run.finish(status);
}

namespace {

// The lay window open at the drawing view's corner and the callback pair in
// place for one command; the window is closed on every way out.
template <class Engine>
void RunWithLayWindow(CreateGjCb create, DecorateGjCb decorate, double elevation, Engine runOnce) {
  ui::Point corner(0, 0);
  if (ui::Wnd* view = ui::drawingView()) view->ClientToScreen(&corner);
  OpenLayWindow(corner.x, corner.y, elevation);
  ScopeExit close([] { CloseLayWindow(); });
  // The pair is stored again before every run: whatever ran in between (a
  // transparent command, a rebuild) finds the command's own pair in place.
  do {
    g_createGjCb = create;
    g_decorateGjCb = decorate;
  } while (runOnce());
}

}  // namespace

void RunLinearGjByPoints(CreateGjCb create, DecorateGjCb decorate, double elevation) {
  RunWithLayWindow(create, decorate, elevation, [] { return Seams().layLinearGjByPoints(); });
}

void RunMultiLinearGj(const StringArray& rows, CreateGjCb create, DecorateGjCb decorate, double elevation) {
  RunWithLayWindow(create, decorate, elevation, [&rows] { return Seams().layMultiLinearGj(rows); });
}
