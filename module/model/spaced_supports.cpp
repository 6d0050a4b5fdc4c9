// Supports at a spacing along a run (see spaced_supports.h).
#include "module/model/spaced_supports.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/picking.h"
#include "module/model/point_steps.h"
#include "module/model/special_data.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/ui/dialog.h"

namespace {

constexpr double kDefaultSpacing = 2500;

// Asks until a usable spacing, Enter (the default) or Escape.
bool askSpacing(double& spacing) {
  for (;;) {
    double value = 0;
    const int rc = ed::getReal(kSupportSpacingPrompt, value);
    if (rc == ed::kNone) {
      spacing = kDefaultSpacing;
      return true;
    }
    if (rc != ed::kNormal) return false;
    if (IsUsableSpacing(value)) {
      spacing = value;
      return true;
    }
    ed::print(kSupportSpacingNotPositive);
  }
}

struct RunGeometry {
  geom::Point3d start, end;
  double bulge = 0;
  std::vector<geom::Point3d> supports;
};

// The support points along the run: one spacing apart from the start, the
// last at most at the end. False when the run is not a curve.
bool readRun(cad::ObjectId runId, double spacing, RunGeometry& run) {
  cad::ObjectPtr<cad::Entity> ent(runId, cad::OpenMode::ForRead);
  auto* curve = ent ? dynamic_cast<cad::Curve*>(ent.get()) : nullptr;
  if (!curve) return false;
  if (auto* pl = dynamic_cast<cad::Polyline*>(curve); pl && pl->numVerts() > 0) pl->getBulgeAt(0, run.bulge);
  double length = 0;
  if (curve->getLength(length) != cad::Status::Ok) return false;
  for (int i = 1;; ++i) {
    double d = spacing * i;
    // The end itself counts even when the sum misses it by rounding.
    if (d > length && d - length < 1e-6 * std::max(1.0, length)) d = length;
    geom::Point3d p;
    if (d > length || curve->getPointAtDist(d, p) != cad::Status::Ok) break;
    run.supports.push_back(p);
  }
  if (run.supports.empty()) return true;
  return curve->getStartPoint(run.start) == cad::Status::Ok && curve->getEndPoint(run.end) == cad::Status::Ok;
}

}  // namespace

void LaySupportsOnPipe(const std::wstring& runTypes, const std::wstring& prompt) {
  if (!LoadCurPointGj()) return;
  cad::ObjectIdArray gjIds, sameIds, layerIds;
  geom::Point3d at;
  if (PickGj(runTypes, gjIds, sameIds, layerIds, at, prompt, false) != ed::kNormal) return;
  cad::ObjectIdArray primary;
  FilterPrimaryGjIds(primary, gjIds);
  if (primary.empty()) {
    HighlightEntities(gjIds, 0);
    return;
  }
  double spacing = kDefaultSpacing;
  const bool asked = askSpacing(spacing);
  HighlightEntities(gjIds, 0);
  if (!asked) return;

  RunGeometry run;
  if (!readRun(primary[0], spacing, run)) {
    ed::print(L"\n所选构件不是线状构件！");
    return;
  }
  if (run.supports.empty()) {
    ui::AfxMessageBox(kSupportSpacingTooLarge);
    return;
  }
  geom::Point3d centre;
  if (run.bulge != 0) GetSegmentArcCenter(run.start, run.end, run.bulge, centre);
  // The plan direction: the stored ends lie flat in plan.
  const double runAngle = AngleFromXAxis(run.end - run.start, geom::Vector3d(0, 0, 1));
  GetGjSpecial(primary[0], nullptr, &run.start.z, &run.end.z);

  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  PreparePointGjLayers(name);
  PlacementStep step;
  for (const geom::Point3d& p : run.supports) {
    double angle = runAngle;
    if (run.bulge != 0) {
      geom::Vector3d radial = centre - p;
      radial.z = 0;
      angle = AngleFromXAxis(radial.perpVector(), geom::Vector3d(0, 0, 1));
    }
    const geom::Point3d q(p.x, p.y, ElevationAlongRun(run.start, run.end, p));
    PlacePointGjAt(name, number, q, UprightGjAngle(angle), q.z, geom::Vector3d(0, 0, 0));
  }
  step.keep();
}
