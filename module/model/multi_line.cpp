// Laying several parallel runs at once (see multi_line.h).
#include "module/model/multi_line.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>

#include "module/model/current_gj.h"
#include "module/model/picking.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/editor/winmsg.h"

namespace {

constexpr const wchar_t* kBadInput = L"\n需要二维角点或选项关键字";

// The engine's own copy of the rows of the run in progress.
StringArray g_engineRows;

// A prompt that found no input left (a script or test ran out) can never be
// answered again: the run must end rather than ask forever.
struct ExhaustWatch {
  int before = ed::inputQueue().exhaustedCount();
  bool ranOut() const { return ed::inputQueue().exhaustedCount() != before; }
};

void EraseStep(const cad::ObjectIdArray& made) {
  cad::ObjectIdArray ids;
  for (cad::ObjectId id : made)
    if (!id.isNull()) ids.push_back(id);
  if (!ids.empty()) EraseWholeGjs(ids);
}

void SetMonitorPoint(const geom::Point3d& p) {
  if (g_kivMlineMonitor) g_kivMlineMonitor->lastInputPoint = p;
}

}  // namespace

void DropNewestRunPoint() {
  auto& pts = g_linearRun.points;
  auto& bulges = g_linearRun.bulges;
  if (!pts.empty()) pts.pop_back();
  if (!pts.empty()) SetMonitorPoint(pts.back());
  if (!bulges.empty()) bulges.pop_back();
  if (!bulges.empty()) bulges.back() = 0;
}

cad::ObjectIdArray BuildMultiLineStep(const StringArray& rows, int mode) {
  cad::ObjectIdArray made;
  const auto& allPts = g_linearRun.points;
  const auto& allBulges = g_linearRun.bulges;
  const size_t n = allPts.size();
  if (n < 2 || allBulges.size() != n) return made;
  const size_t k = std::min<size_t>(n, 4);
  const size_t m = std::min<size_t>(n, 3);

  // The guide: the last k points as a simple open 2D polyline at elevation 0.
  std::vector<geom::Point3d> guidePts(allPts.end() - long(k), allPts.end());
  std::vector<double> guideBulges(allBulges.end() - long(k), allBulges.end());
  for (auto& p : guidePts) p.z = 0;
  cad::Polyline2d guide(cad::Polyline2d::Type::Simple, guidePts, 0, false, 0, 0, guideBulges);

  // Without values from the window the rows lie at the guide's own heights.
  double zs = allPts[n - m].z, ze = allPts[n - m + 1].z;
  const bool fromWindow = ReadLayWindowElevations(zs, ze);

  for (const std::wstring& row : rows) {
    StringArray fields;
    SplitToArray(row, L",", fields);
    if (fields.size() < 4) continue;
    const std::wstring& name = fields[0];
    const std::wstring& number = fields[1];
    const double dv = std::wcstod(fields[2].c_str(), nullptr);
    const double dh = std::wcstod(fields[3].c_str(), nullptr);

    PointList pts;
    BulgeList bulges;
    if (dh >= 1) {
      std::vector<std::unique_ptr<cad::Entity>> curves;
      if (guide.getOffsetCurves(dh, curves) != cad::Status::Ok || curves.empty() || !curves.front()) {
        EraseStep(made);
        return {};
      }
      GetEntityVerticesOpen(curves.front().get(), pts, bulges);
    } else {
      GetEntityVerticesOpen(&guide, pts, bulges);
    }
    if (pts.size() != k || bulges.size() < k - 1) {
      EraseStep(made);
      return {};
    }
    const size_t c = pts.size();
    const geom::Point3d P = pts[c - m];
    const geom::Point3d Q = pts[c - m + 1];
    const double b = bulges[c - m];

    cad::ObjectId id;
    if (g_createGjCb) {
      const geom::Point3d low(P.x, P.y, zs + dv), high(Q.x, Q.y, ze + dv);
      if (mode == 0) {
        id = g_createGjCb(name, number, low, high, b, 0);
      } else if (mode == 1) {
        id = g_createGjCb(name, number, low, high, 0, 1);
      } else {
        id = g_createGjCb(name, number, high, low, 0, 1);
      }
    }
    if (g_decorateGjCb) g_decorateGjCb(name, id);
    made.push_back(id);
    RefreshSolid3dOfEntity(name, id, ed::curDatabase());
  }
  // The run goes on from the end of the segment, or from the riser's far end.
  if (!made.empty() && fromWindow) CarryLayWindowElevations(ze);
  return made;
}

namespace {

// Makes the step after a new point; a failed step drops the point again.
void MultiLineStep() {
  if (g_linearRun.points.size() < 3) return;
  const LayWindowState before = LayWindowSnapshot();
  {
    LinearGjStep step;
    const cad::ObjectIdArray ids = BuildMultiLineStep(g_engineRows, 0);
    if (!ids.empty()) {
      step.keep(0, before);
      return;
    }
  }
  DropNewestRunPoint();
  ed::printText(kMultiLineStepFailed);
}

void AppendRunPoint(const geom::Point3d& p, double bulge) {
  g_linearRun.points.push_back(p);
  // The bulge of the segment to the new point goes before the newest entry,
  // which stays 0 for the point that has no segment yet.
  auto& bulges = g_linearRun.bulges;
  bulges.insert(bulges.empty() ? bulges.end() : bulges.end() - 1, bulge);
}

enum class ArcResult { Made, Cancelled, RanOut };

ArcResult InputArc() {
  const geom::Point3d current = g_linearRun.points.back();
  geom::Point3d mid, end;
  for (;;) {
    ExhaustWatch watch;
    const int rc = ed::getPoint(nullptr, L"\n指定弧线上的一点(非端点)", mid);
    if (watch.ranOut()) return ArcResult::RanOut;
    // Escape leaves the arc: the user would otherwise be held in its prompts.
    if (rc == ed::kCancel) return ArcResult::Cancelled;
    if (rc == ed::kNormal && !mid.isEqualTo(current)) break;
  }
  SetMonitorPoint(mid);
  for (;;) {
    ExhaustWatch watch;
    const int rc = ed::getPoint(nullptr, L"\n指定弧线的第二端点", end);
    if (watch.ranOut()) return ArcResult::RanOut;
    if (rc == ed::kCancel) {
      SetMonitorPoint(current);
      return ArcResult::Cancelled;
    }
    if (rc == ed::kNormal) break;
  }
  SetMonitorPoint(end);
  geom::Point3d centre;
  double bulge = 0;
  GetArcFrom3Points(current, mid, end, centre, nullptr, &bulge);
  AppendRunPoint(end, bulge);
  MultiLineStep();
  return ArcResult::Made;
}

}  // namespace

bool LayMultiLinearGj(const StringArray& rows) {
  if (rows.empty()) return false;
  g_multiLineInput = true;
  g_linearRun.points.clear();
  g_linearRun.bulges.clear();
  g_linearRun.segMarks.clear();
  g_linearRun.elevBefore.clear();
  g_engineRows = rows;
  g_multiLineRows = rows;

  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  PrepareGjLayers(name, g_curLineGj, ed::curDatabase());

  LinearRunScope run;
  geom::Point3d first;
  int status = GetRunStartPoint(L"\n指定起点", first);

  if (status == ed::kNormal) {
    SetMonitorPoint(first);
    g_linearRun.points.push_back(first);
    g_linearRun.bulges.push_back(0);
    for (;;) {
      const geom::Point3d current = g_linearRun.points.back();
      ed::initGet(0xA0, L"");
      geom::Point3d picked;
      ExhaustWatch watch;
      const int rc = ed::getPoint(&current, L"\n指定下一点或[圆弧(A)/回退(U)]:", picked);
      if (watch.ranOut()) {  // no user left to answer
        status = ed::kCancel;
        break;
      }
      if (rc == ed::kNormal) {
        AppendRunPoint(picked, 0);
        SetMonitorPoint(picked);
        MultiLineStep();
        continue;
      }
      if (rc == ed::kNone) {
        ed::printText(L"\n");
        status = ed::kNormal;
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
        if (InputArc() == ArcResult::RanOut) {
          status = ed::kCancel;
          break;
        }
      } else if (word == L"U") {
        if (UndoNewestRunStep(DropNewestRunPoint)) {
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
