// DuctReducer and DuctFittings: the fittings between two parallel horizontal
// air ducts of one type, a reducer (大小头) between ducts of different widths
// and an offset bend (来回弯) between ducts shifted sideways. Both leave a gap
// of fixed length between the ducts' facing ends and fill it.
#include <cmath>

#include "module/fittings/duct_fitting_geom.h"
#include "module/fittings/duct_frame.h"
#include "module/fittings/duct_outlines.h"
#include "module/fittings/fittings_commands.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/status.h"

namespace {

// tan(pi / 8): the bulge of the offset bend's quarter arcs.
const double kOffsetBendBulge = std::tan(0.39269908125);

enum class ParallelFitting { Reducer, OffsetBend };

// Where the fitting's ends go.
struct Placement {
  geom::Point3d p1, p2, f1, f2;
  geom::Vector3d u, v;
  bool sideBySide = false;
};

enum class Check { Ok, PickAgain, End };

Check place(ParallelFitting kind, DuctPick& d1, DuctPick& d2, Placement& at) {
  if (!ReadDuctEnds(d1) || !ReadDuctEnds(d2)) {
    ed::print(kNeedHorizontal);
    return Check::End;
  }
  const geom::Vector3d dir1 = PlanDir(d1.end, d1.start), dir2 = PlanDir(d2.end, d2.start);
  if (!IsParallel(dir1, dir2, 0.0001)) {
    ed::alert(L"两管不平行!");
    return Check::PickAgain;
  }
  if (kind == ParallelFitting::Reducer && std::fabs(d1.width - d2.width) < 0.001) {
    ed::alert(L"两管的宽度不匹配!");
    return Check::PickAgain;
  }
  geom::Point3d c1, c2;
  {
    cad::ObjectPtr<cad::Entity> a(d1.primary, cad::OpenMode::ForRead);
    cad::ObjectPtr<cad::Entity> b(d2.primary, cad::OpenMode::ForRead);
    if (!a || !b || !GetClosestPointsOfCurves(a.get(), b.get(), c1, c2)) {
      ed::print(kNeedHorizontal);
      return Check::End;
    }
  }
  const geom::Vector3d n(c1.x - c2.x, c1.y - c2.y, 0);
  if (n.length() < 1.0) {
    ed::alert(L"两管相接或重叠，无法操作!");
    return Check::PickAgain;
  }
  geom::Point3d foot;
  GetPerpFootOnSegment(c1, d2.start, d2.end, 0, foot);
  foot.z = 0;
  at.sideBySide = std::fabs(dir1.angleTo(n.normal()) - kFitHalfPi) < 0.001;
  if (at.sideBySide) {
    FarEndToward(d1.end, d1.start, c1, at.f1, at.u);
    FarEndToward(d2.end, d2.start, c2, at.f2, at.v);
    at.p1 = c1 - at.u * 300.0;
    at.p2 = c2 - at.v * 300.0;
  } else {
    FarEndToward(d1.end, d1.start, c1, at.f1, at.u);
    FarEndToward(d2.end, d2.start, foot, at.f2, at.v);
    at.p1 = c1;
    at.p2 = foot - at.v * 600.0;
  }
  // Each duct must keep a piece from its far end to the fitting.
  if ((at.p1 - at.f1).dot(at.u) < 1.0 || (at.p2 - at.f2).dot(at.v) < 1.0) {
    ed::print(kDuctTooShort);
    return Check::End;
  }
  return Check::Ok;
}

void makeParallelFitting(ParallelFitting kind) {
  const bool reducer = kind == ParallelFitting::Reducer;
  DuctFittingJob job;
  if (!PrepareDuctFitting(reducer ? L"大小头" : L"来回弯", job)) return;
  DuctPick& d1 = job.ducts[0];
  DuctPick& d2 = job.ducts[1];
  if (PickFirstDuct(job, false) != ed::kNormal) return;
  Placement at;
  PointList points;
  BulgeList bulges;
  for (;;) {
    if (PickSecondDuct(job, {L"构件类型不一致!", L"选择了相同的管线!"}) != ed::kNormal) return;
    if (d2.kind != kKindSloped) {
      ed::print(kNeedHorizontal);
      DropPick(d2);
      continue;
    }
    const Check check = place(kind, d1, d2, at);
    if (check == Check::End) return;
    if (check == Check::PickAgain) {
      DropPick(d2);
      continue;
    }
    at.p1.z = d1.startElev;
    at.p2.z = d2.startElev;
    if (reducer) {
      ReducerOutline(at.p1, at.u, at.p2, at.v, d1.width / 2, d2.width / 2, points, bulges);
      break;
    }
    ed::print(at.sideBySide ? L"\n在里面" : L"\n在外面");
    if (OffsetBendOutline(at.p1, at.p2, at.u, at.v, d1.width / 2, d2.width / 2, points, bulges)) break;
    ed::alert(L"两管在同一直线上，无法生成来回弯!");
    DropPick(d2);
  }

  FittingEdit edit;
  if (!edit.ok()) return;
  EraseEntities(d2.picked);
  EraseEntities(d1.picked);
  const double z1 = d1.startElev, z2 = d2.startElev;
  const cad::ObjectId piece1 = RedrawDuct(d1.layer, d1.number, AtElevation(at.p1, z1), AtElevation(at.f1, z1));
  const cad::ObjectId piece2 = RedrawDuct(d1.layer, d2.number, AtElevation(at.p2, z2), AtElevation(at.f2, z2));
  const geom::Point3d mid = GetSegmentMidPoint(at.p1, at.p2, 0);
  const cad::ObjectId fitting = piece1.isNull() || piece2.isNull() ? cad::ObjectId() : InsertDuctFitting(job, mid, z1);
  if (fitting.isNull()) {
    ed::print(kFittingFailed);
    return;
  }
  cad::ValueChain chain = {GeomPoint(at.p1),   GeomPoint(at.p2),   GeomVector(at.u),   GeomVector(at.v),
                           GeomReal(d1.width), GeomReal(d2.width), GeomReal(d1.height), GeomReal(d2.height)};
  if (!reducer) chain.push_back(GeomReal(kOffsetBendBulge));
  if (!FinishDuctFitting(job, fitting, points, bulges, mid, at.p2 - at.p1, chain)) return;
  edit.commit();
  RefreshAfterFitting({{d1.layer, piece1}, {d1.layer, piece2}, {job.name, fitting}});
}

}  // namespace

void CmdDuctReducer() { makeParallelFitting(ParallelFitting::Reducer); }
void CmdDuctFittings() { makeParallelFitting(ParallelFitting::OffsetBend); }
