#include "module/toolkit/curve_queries.h"

#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/plan_segments.h"

namespace {

geom::Point3d planPoint(const geom::Point2d& p) { return {p.x, p.y, 0}; }

}  // namespace

std::optional<PlanCurve> MakeGeCurve2d(const cad::Entity* ent) {
  if (!ent) return std::nullopt;
  if (cad::isKindOf<cad::Line>(ent) || cad::isKindOf<cad::Arc>(ent)) {
    geom::Point3d s, e;
    double b = 0;
    GetLineOrArcEnds(ent, s, e, b);
    return PlanCurve({geom::Curve2d::fromBulge(s.toPlan(), e.toPlan(), b)});
  }
  if (auto* circle = cad::cast<cad::Circle>(ent))
    return PlanCurve({geom::Curve2d(geom::CircArc2d::circle(circle->center().toPlan(), circle->radius()))});
  if (auto* pl = cad::cast<cad::Polyline>(ent)) {
    auto segs = PlanSegmentsOf(*pl, true);
    if (segs.empty()) return std::nullopt;
    return PlanCurve(std::move(segs));
  }
  return std::nullopt;
}

double GetPointToCurveDistance(const geom::Point3d& point, const cad::Entity* ent) {
  auto curve = MakeGeCurve2d(ent);
  if (!curve) return kNoDistance;
  return curve->distanceTo(point.toPlan());
}

bool IsPointOnCurveOpen(const geom::Point3d& point, const cad::Entity* ent, double tol) {
  auto curve = MakeGeCurve2d(ent);
  return curve && curve->isOn(point.toPlan(), tol);
}

bool IsPointOnCurve(const geom::Point3d& point, cad::ObjectId id, double tol) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return ent && IsPointOnCurveOpen(point, ent.get(), tol);
}

double GetCurveDistance(const cad::Entity* a, const cad::Entity* b) {
  auto ca = MakeGeCurve2d(a);
  auto cb = MakeGeCurve2d(b);
  if (!ca || !cb) return kNoDistance;
  return geom::distance(*ca, *cb);
}

bool GetClosestPointsOfCurves(const cad::Entity* a, const cad::Entity* b, geom::Point3d& onA,
                              geom::Point3d& onB) {
  auto ca = MakeGeCurve2d(a);
  if (!ca) return false;
  if (auto* pt = cad::cast<cad::PointEntity>(b)) {
    geom::Point2d p = pt->position().toPlan();
    onB = planPoint(p);
    onA = planPoint(ca->closestPointTo(p));
    return true;
  }
  auto cb = MakeGeCurve2d(b);
  if (!cb) return false;
  geom::ClosestPoints cp = geom::closestPoints(*ca, *cb);
  onA = planPoint(cp.onA);
  onB = planPoint(cp.onB);
  return true;
}

bool IsNearSegment(const geom::Point3d& point, const geom::Point3d& start, const geom::Point3d& end,
                   double bulge, double tol) {
  auto seg = MakeSegmentCurve(start, end, bulge);
  return GetPointToCurveDistance(point, seg.get()) < tol;
}
