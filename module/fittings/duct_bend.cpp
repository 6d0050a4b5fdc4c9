// DuctBend: an elbow where two horizontal air ducts meet at a corner, or,
// when one of the two is a riser, an elbow from the horizontal duct onto the
// riser.
#include <algorithm>
#include <cmath>

#include "module/fittings/duct_fitting_geom.h"
#include "module/fittings/duct_frame.h"
#include "module/fittings/duct_outlines.h"
#include "module/fittings/fittings_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"

namespace {

constexpr const wchar_t* kRiser = kKindRiser;
constexpr const wchar_t* kSloped = kKindSloped;

double largerWidth(const DuctPick& d1, const DuctPick& d2) {
  return d2.width - d1.width > 0.001 ? d2.width : d1.width;
}

// The elbow from a horizontal duct onto a riser standing on its line: the
// riser and the duct are each shortened by one duct height at the riser.
bool makeRiserElbow(const DuctFittingJob& job, const DuctPick& riser, DuctPick& duct) {
  geom::Point3d p;
  double riserTurn = 0;
  {
    cad::ObjectPtr<cad::BlockReference> ref(riser.primary, cad::OpenMode::ForRead);
    if (!ref) return false;
    p = ref->position();
    riserTurn = ref->rotation();
  }
  if (!ReadDuctEnds(duct)) return false;
  if (!IsPointOnDuct(p, duct.start, duct.end)) {
    ed::print(L"\n不在同一直线上!");
    return false;
  }
  geom::Point3d s = duct.start, e = duct.end;
  if (p.distanceTo(e) - p.distanceTo(s) < 0.0001) std::swap(s, e);
  const geom::Vector3d dir = PlanDir(s, e);
  const double hS = duct.startElev, hE = duct.endElev, hH = duct.height;
  const double rS = riser.startElev, rE = riser.endElev;
  const int level = rE <= hS && rS <= hS ? 0 : 1;
  const double q1 = level == 0 ? hS - hH : hS + hH;
  const double q2 = level == 0 ? std::min(rS, rE) : std::max(rS, rE);
  const geom::Point3d pn(p.x + dir.x * hH, p.y + dir.y * hH, 0);
  // Both must keep a piece beyond the elbow's cube.
  const bool riserLeft = level == 0 ? q2 <= q1 - 1.0 : q2 >= q1 + 1.0;
  const bool ductLeft = (e - pn).dot(dir) >= 1.0;
  if (!riserLeft || !ductLeft) {
    ed::print(kDuctTooShort);
    return false;
  }

  FittingEdit edit;
  if (!edit.ok()) return false;
  auto fail = [] {
    ed::print(kFittingFailed);
    return false;
  };
  EraseEntities(riser.picked);
  EraseEntities(duct.picked);
  const cad::ObjectId fitting = InsertDuctFitting(job, p, hS);
  if (fitting.isNull()) return fail();
  {
    const geom::Vector3d d = PlanDir(p, e), q = d.perpVector();
    const geom::Point3d k1 = p + q * (duct.width / 2), k2 = k1 + d * hH, k3 = k2 - q * duct.width,
                        k4 = k3 - d * hH;
    if (!DrawDuctFittingFigure(job, fitting, {k1, k2, k3, k4}, {0, 0, 0, 0}, true, k2, e - p, riser.width))
      return fail();
  }
  // The riser again, from the elbow to its far elevation, turned as before.
  const cad::ObjectId newRiser =
      CreateDuctGj(riser.layer, riser.number, AtElevation(p, q1), AtElevation(p, q2), 0, 1);
  if (newRiser.isNull()) return fail();
  if (riserTurn != 0) RotateEntity(newRiser, riserTurn, p, geom::Vector3d(0, 0, 1));
  DecorateDuctGj(riser.layer, newRiser);
  const cad::ObjectId newDuct = RedrawDuct(duct.layer, duct.number, AtElevation(pn, hS), AtElevation(e, hE));
  if (newDuct.isNull()) return fail();
  const cad::ValueChain chain = {GeomPoint(s),         GeomPoint(e),         GeomReal(0.0),        GeomPoint(p),
                                 GeomPoint(p),         GeomReal(riser.width), GeomReal(duct.width), GeomReal(riser.height),
                                 GeomReal(duct.height), GeomInt(level),      GeomInt(1),           GeomReal(hS)};
  if (!WriteFittingRecord(job, fitting, chain)) return fail();
  edit.commit();
  RefreshAfterFitting({{riser.layer, newRiser}, {duct.layer, newDuct}, {job.name, fitting}});
  return true;
}

// The bend between two horizontal ducts.
void makeBend(const DuctFittingJob& job, DuctPick& d1, DuctPick& d2) {
  geom::Point3d x;
  int mode = 0;
  if (!ReadDuctEnds(d1) || !ReadDuctEnds(d2) || !IntersectDucts(d1, d2, x, mode)) {
    ed::alert(L"无法操作!");
    return;
  }
  const double w = largerWidth(d1, d2);
  geom::Point3d f1, f2, t1, t2;
  geom::Vector3d u1, u2;
  FarEndToward(d1.end, d1.start, x, f1, u1);
  FarEndToward(d2.end, d2.start, x, f2, u2);
  const double a = kFitPi - u1.angleTo(u2);
  double b = std::tan(a * 0.25);
  const double t = std::tan(a * 0.5) * w;
  if (!CutPoint(x, f1, t, t1) || !CutPoint(x, f2, t, t2)) {
    ed::print(kDuctTooShort);
    return;
  }
  const int turn = TurnsClockwise(t1, x, t2) ? 1 : 0;
  if (turn) b = -b;
  const double z = d1.startElev;

  FittingEdit edit;
  if (!edit.ok()) return;
  EraseEntities(d2.picked);
  EraseEntities(d1.picked);
  const cad::ObjectId piece1 = RedrawDuct(d1.layer, d1.number, AtElevation(f1, z), AtElevation(t1, z));
  const cad::ObjectId piece2 = RedrawDuct(d1.layer, d2.number, AtElevation(f2, z), AtElevation(t2, z));
  const cad::ObjectId fitting = piece1.isNull() || piece2.isNull() ? cad::ObjectId() : InsertDuctFitting(job, x, z);
  if (fitting.isNull()) {
    ed::print(kFittingFailed);
    return;
  }
  t1.z = t2.z = z;
  PointList points;
  BulgeList bulges;
  BendOutline(t1, t2, u1, u2, b, d1.width * 0.5, d2.width * 0.5, points, bulges);
  const geom::Point3d mid((t1.x + t2.x) / 2, (t1.y + t2.y) / 2, z);
  const cad::ValueChain chain = {GeomPoint(t1),       GeomPoint(t2),       GeomReal(a),         GeomVector(u1),
                                 GeomVector(u2),      GeomReal(d1.width),  GeomReal(d2.width),  GeomReal(d1.height),
                                 GeomReal(d2.height), GeomInt(turn),       GeomInt(0),          GeomReal(0.0)};
  if (!FinishDuctFitting(job, fitting, points, bulges, mid, t2 - t1, chain)) return;
  edit.commit();
  RefreshAfterFitting({{d1.layer, piece1}, {d1.layer, piece2}, {job.name, fitting}});
}

}  // namespace

void CmdDuctBend() {
  DuctFittingJob job;
  if (!PrepareDuctFitting(L"弯头", job)) return;
  DuctPick& d1 = job.ducts[0];
  DuctPick& d2 = job.ducts[1];
  if (PickFirstDuct(job, true) != ed::kNormal) return;
  const bool firstIsRiser = d1.kind == kRiser;
  for (;;) {
    if (PickSecondDuct(job, {L"所选择的类型不一致!", L"选择了相同的管线"}) != ed::kNormal) return;
    if (d2.kind == kRiser && firstIsRiser) {
      ed::print(L"\n请选择垂直立管!");
      DropPick(d2);
      continue;
    }
    if ((d2.kind == kSloped && firstIsRiser) || (d2.kind == kRiser && !firstIsRiser)) {
      ed::print(L"\n选择了立管和水平管");
      if (firstIsRiser)
        makeRiserElbow(job, d1, d2);
      else
        makeRiserElbow(job, d2, d1);
      return;
    }
    if (d2.kind == kSloped) {
      makeBend(job, d1, d2);
      return;
    }
    ed::print(kNeedHorizontal);
    DropPick(d2);
  }
}
