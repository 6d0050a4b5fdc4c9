// DuctCross: a cross where two horizontal air ducts of one type cross.
#include <cmath>
#include <utility>

#include "module/fittings/duct_fitting_geom.h"
#include "module/fittings/duct_frame.h"
#include "module/fittings/duct_outlines.h"
#include "module/fittings/fittings_commands.h"
#include "module/toolkit/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"

namespace {

void makeCross(const DuctFittingJob& job, DuctPick& d1, DuctPick& d2) {
  geom::Point3d x;
  int mode = 0;
  if (!ReadDuctEnds(d1) || !ReadDuctEnds(d2) || !IntersectDucts(d1, d2, x, mode)) {
    ed::alert(L"两管不相交!");
    return;
  }
  if (mode != 0) {
    ed::print(L"\n不处理!");
    return;
  }
  const double w = d2.width - d1.width > 0.001 ? d2.width : d1.width;
  geom::Point3d f1, f2;
  geom::Vector3d u1, u2;
  FarEndToward(d1.end, d1.start, x, f1, u1);
  FarEndToward(d2.end, d2.start, x, f2, u2);
  const double a = kFitPi - u1.angleTo(u2);
  const double b = std::tan(a / 4);
  const double t = std::tan(a / 2) * w * 1.5;
  const geom::Vector3d dir1 = PlanDir(d1.end, d1.start), dir2 = PlanDir(d2.end, d2.start);
  geom::Point3d qa, qb, qc, qd;
  if (!CutPoint(x, d1.start, t, qa) || !CutPoint(x, d1.end, t, qb) || !CutPoint(x, d2.start, t, qc) ||
      !CutPoint(x, d2.end, t, qd)) {
    ed::print(kDuctTooShort);
    return;
  }
  const double z1 = d1.startElev, z2 = d2.startElev;
  const std::pair<geom::Point3d, geom::Point3d> pieces1[] = {{d1.start, qa}, {d1.end, qb}};
  const std::pair<geom::Point3d, geom::Point3d> pieces2[] = {{d2.start, qc}, {d2.end, qd}};
  if (!TurnsClockwise(qa, qc, qb)) std::swap(qc, qd);
  qa.z = qb.z = z1;
  qc.z = qd.z = z2;

  FittingEdit edit;
  if (!edit.ok()) return;
  EraseEntities(d1.picked);
  EraseEntities(d2.picked);
  std::vector<std::pair<std::wstring, cad::ObjectId>> made;
  auto redraw = [&](const DuctPick& duct, const std::pair<geom::Point3d, geom::Point3d>& piece) {
    const cad::ObjectId id = RedrawDuct(d1.layer, duct.number, AtElevation(piece.first, duct.startElev),
                                        AtElevation(piece.second, duct.startElev));
    if (!id.isNull()) made.emplace_back(d1.layer, id);
    return !id.isNull();
  };
  bool drawn = redraw(d1, pieces1[0]) && redraw(d1, pieces1[1]) && redraw(d2, pieces2[0]) && redraw(d2, pieces2[1]);
  const cad::ObjectId fitting = drawn ? InsertDuctFitting(job, x, z1) : cad::ObjectId();
  if (fitting.isNull()) {
    ed::print(kFittingFailed);
    return;
  }
  PointList points;
  BulgeList bulges;
  CrossOutline(qa, qb, qc, qd, b, d1.width * 0.5, d2.width * 0.5, points, bulges);
  const geom::Point3d mid((qa.x + qb.x) / 2, (qa.y + qb.y) / 2, z1);
  const cad::ValueChain chain = {GeomPoint(qa),       GeomPoint(qb),      GeomPoint(qc),      GeomPoint(qd),
                                 GeomVector(dir1),    GeomVector(dir2),   GeomReal(b),        GeomReal(d1.width),
                                 GeomReal(d2.width),  GeomReal(d1.height), GeomReal(d2.height)};
  if (!FinishDuctFitting(job, fitting, points, bulges, mid, qb - qa, chain)) return;
  edit.commit();
  made.emplace_back(job.name, fitting);
  RefreshAfterFitting(made);
}

}  // namespace

void CmdDuctCross() {
  DuctFittingJob job;
  if (!PrepareDuctFitting(L"四通", job)) return;
  DuctPick& d1 = job.ducts[0];
  DuctPick& d2 = job.ducts[1];
  if (PickFirstDuct(job, false) != ed::kNormal) return;
  for (;;) {
    if (PickSecondDuct(job, {L"\n所选择的类型不一致!", L"\n选择了相同的管线!"}) != ed::kNormal) return;
    if (d2.kind == kKindSloped) break;
    ed::print(kNeedHorizontal);
    DropPick(d2);
  }
  makeCross(job, d1, d2);
}
