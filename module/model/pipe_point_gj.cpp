// Point components on a pipe (see pipe_point_gj.h).
#include "module/model/pipe_point_gj.h"

#include <cmath>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/pipe_outline.h"
#include "module/model/point_layout.h"
#include "module/model/point_steps.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"

namespace {

using geom::Point3d;
using geom::Vector3d;

// What the engine keeps across the picks of one command.
struct OnPipeState {
  std::wstring name;
  double elevation = 1000;
  int servicePipe = 1;
  CGjInputPointMonitor* monitor = nullptr;
  int screenX = 0, screenY = 0;
};

// The picked run.
struct PickedRun {
  cad::ObjectId id;
  std::wstring type, number;
  double bulge = 0;
  Point3d start, end;
};

bool readRun(cad::ObjectId id, PickedRun& run) {
  run.id = id;
  StringArray attrs;
  GetGjNumberAndAttrs(id, run.number, attrs);
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) return false;
    run.type = ent->layer();
    if (auto* pl = dynamic_cast<cad::Polyline*>(ent.get()); pl && pl->numVerts() > 0) pl->getBulgeAt(0, run.bulge);
  }
  return GetGjEndPoints3d(id, run.start, run.end);
}

void onRiser(OnPipeState& st, const PickedRun& run) {
  if (!winlib::ChangeOneElev(1, st.screenX, st.screenY, st.elevation)) return;
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  const bool faucet = st.name == L"普通水嘴" || st.name == L"冷热水嘴";
  const Vector3d direction = faucet ? Vector3d(0, 0, 0) : Vector3d(0, 0, 1);
  PlacementStep step;
  PlacePointGjAt(st.name, number, Point3d(run.start.x, run.start.y, 0), 0, st.elevation, direction);
  step.keep();
}

// A service pipe of the run's type from the run up or down to the component.
void drawServicePipe(const PickedRun& run, const Point3d& base, double onRun, double elevation) {
  LoadGjDefineByName(run.type, false);
  cad::ObjectId pipe;
  CreateLinearGjEntity(pipe, run.type, run.number, Point3d(base.x, base.y, onRun),
                       Point3d(base.x, base.y, elevation), 0, 1);
  if (pipe.isNull()) return;
  DrawPipeOutline(run.type, pipe);
  RefreshSolid3dOfEntity(run.type, pipe, ed::curDatabase());
}

void onRun(OnPipeState& st, PickedRun& run, const cad::ObjectIdArray& highlighted) {
  std::wstring runNumber = run.number;
  winlib::LayServicePipe(1, st.screenX, st.screenY, st.elevation, nullptr, run.type.c_str(), runNumber,
                         st.servicePipe);
  // The plan direction: a component on a sloped run lies flat, turned along it.
  Vector3d along = run.end - run.start;
  along.z = 0;
  double angle = UprightGjAngle(AngleFromXAxis(along, Vector3d(0, 0, 1)));
  st.monitor->setAngle(angle);
  st.monitor->setState(1);

  auto* filter = new CInputPointFilter(Point3d(run.start.x, run.start.y, 0), Point3d(run.end.x, run.end.y, 0));
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  if (ipm.currentPointFilter()) ipm.revokePointFilter();
  ipm.registerPointFilter(filter);
  FocusDrawingView();
  Point3d base;
  const int rc = ed::getPoint(nullptr, L"\n请选择布置基点", base);
  ipm.revokePointFilter();
  delete filter;
  st.monitor->setState(0);
  HighlightEntities(highlighted, 0);
  if (rc != ed::kNormal) {
    winlib::LayServicePipe(4, 0, 0, st.elevation, nullptr, nullptr, runNumber, st.servicePipe);
    return;
  }
  GetGjSpecial(run.id, nullptr, &run.start.z, &run.end.z);
  if (run.bulge != 0) {
    Point3d centre;
    GetSegmentArcCenter(run.start, run.end, run.bulge, centre);
    Vector3d radial = centre - base;
    radial.z = 0;
    angle = UprightGjAngle(AngleFromXAxis(radial.perpVector(), Vector3d(0, 0, 1)));
  }
  const Vector3d direction = run.end.z > run.start.z ? run.end - run.start : run.start - run.end;
  const double onRunElevation = std::fabs(run.start.z - run.end.z) > 1
                                    ? ElevationAlongRun(run.start, run.end, base)
                                    : (run.start.z + run.end.z) / 2;
  winlib::LayServicePipe(2, st.screenX, st.screenY, st.elevation, nullptr, nullptr, runNumber, st.servicePipe);
  winlib::LayServicePipe(4, 0, 0, st.elevation, nullptr, nullptr, runNumber, st.servicePipe);
  if (!st.servicePipe) st.elevation = onRunElevation;

  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PlacementStep step;
  const cad::ObjectId id = PlacePointGjAt(st.name, number, Point3d(base.x, base.y, 0), angle, st.elevation, direction);
  if (id.isNull()) return;  // nothing of this placement stays
  if (st.servicePipe) drawServicePipe(run, base, onRunElevation, st.elevation);
  step.keep();
}

}  // namespace

int CInputPointFilter::processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint,
                                         geom::Point3d& newPoint, bool&, std::wstring&) {
  if (!ctx.pointComputed) return 0;
  const Point3d& p = ctx.computedPoint;
  const Vector3d seg = end_ - start_;
  const double len2 = seg.dot(seg);
  double t = len2 > 0 ? (p - start_).dot(seg) / len2 : 0;
  t = std::fmax(0.0, std::fmin(1.0, t));
  newPoint = start_ + seg * t;
  changedPoint = true;
  return 0;
}

void LayPointGjOnPipe(const std::wstring& prompt, const std::wstring& runTypes) {
  OnPipeState st;
  if (!LoadCurPointGj()) return;
  st.name = winlib::CmbGetName(winlib::kComboName);
  PreparePointGjLayers(st.name);
  ed::setVar(L"CMDECHO", 1);
  st.monitor = new CGjInputPointMonitor;
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ipm.addPointMonitor(st.monitor);
  st.monitor->SetLayers(runTypes, 0);

  for (;;) {
    cad::ObjectIdArray ids;
    double at[3] = {0, 0, 0};
    if (!PickGjEntities(runTypes, ids, at, prompt)) break;
    cad::ObjectIdArray primary;
    FilterPrimaryGjIds(primary, ids);
    PickedRun run;
    if (primary.empty() || !readRun(primary[0], run)) {
      HighlightEntities(ids, 0);
      continue;
    }
    GetDrawingViewOrigin(st.screenX, st.screenY);
    const double planLength = std::hypot(run.end.x - run.start.x, run.end.y - run.start.y);
    if (planLength < 1.0) {
      HighlightEntities(ids, 0);
      onRiser(st, run);
    } else {
      onRun(st, run, ids);
    }
    HighlightEntities(ids, 0);
  }

  ipm.removePointMonitor(st.monitor);
  delete st.monitor;
  ed::setVar(L"CMDECHO", 0);
  std::wstring none;
  winlib::LayServicePipe(4, 0, 0, st.elevation, nullptr, nullptr, none, st.servicePipe);
}
