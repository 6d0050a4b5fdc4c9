// Plan outlines of the air-duct fittings.
#include "module/fittings/duct_outlines.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265;
constexpr double kHalfPi = 1.570796325;

geom::Vector3d perp(const geom::Vector3d& d) { return geom::Vector3d(d.x, d.y, 0).normal().perpVector(); }

void put(PointList& points, BulgeList& bulges, const geom::Point3d& p, double b) {
  points.push_back(p);
  bulges.push_back(b);
}

// The angle between two directions folded into [0, pi/2].
double foldedAngle(const geom::Vector3d& a, const geom::Vector3d& b) {
  const double angle = a.angleTo(b);
  return std::min(angle, kPi - angle);
}

}  // namespace

void BendOutline(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Vector3d& d1,
                 const geom::Vector3d& d2, double b, double h1, double h2, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  const geom::Vector3d q1 = perp(d1), q2 = perp(d2);
  put(points, bulges, p1 + q1 * h1, 0);
  put(points, bulges, p1 - q1 * h1, b);
  put(points, bulges, p2 + q2 * h2, 0);
  put(points, bulges, p2 - q2 * h2, -b);
  put(points, bulges, p1 + q1 * h1, 0);
}

void TeeOutline(const geom::Point3d& pa, const geom::Point3d& pb, const geom::Point3d& pc, const geom::Vector3d& ua,
                const geom::Vector3d& ub, const geom::Vector3d& uc, double ha, double hb, PointList& points,
                BulgeList& bulges) {
  points.clear();
  bulges.clear();
  const geom::Vector3d qa = perp(ua), qb = perp(ub), qc = perp(uc);
  put(points, bulges, pa + qa * ha, 0);
  put(points, bulges, pb - qb * hb, 0);
  put(points, bulges, pb + qb * hb, 0);
  put(points, bulges, pc - qc * hb, 0);
  put(points, bulges, pc + qc * hb, 0);
  put(points, bulges, pa - qa * ha, 0);
  put(points, bulges, pa + qa * ha, 0);
}

void CrossOutline(const geom::Point3d& qa, const geom::Point3d& qb, const geom::Point3d& qc, const geom::Point3d& qd,
                  double b, double h1, double h2, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  const geom::Vector3d q1 = perp(qa - qb), q2 = perp(qc - qd);
  put(points, bulges, qa + q1 * h1, 0);
  put(points, bulges, qa - q1 * h1, b);
  put(points, bulges, qc + q2 * h2, 0);
  put(points, bulges, qc - q2 * h2, b);
  put(points, bulges, qb - q1 * h1, 0);
  put(points, bulges, qb + q1 * h1, b);
  put(points, bulges, qd - q2 * h2, 0);
  put(points, bulges, qd + q2 * h2, b);
  put(points, bulges, qa + q1 * h1, 0);
}

void ReducerOutline(const geom::Point3d& p1, const geom::Vector3d& d1, const geom::Point3d& p2,
                    const geom::Vector3d& d2, double h1, double h2, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  const geom::Vector3d q1 = perp(d1), q2 = perp(d2);
  put(points, bulges, p1 + q1 * h1, 0);
  put(points, bulges, p1 - q1 * h1, 0);
  put(points, bulges, p2 + q2 * h2, 0);
  put(points, bulges, p2 - q2 * h2, 0);
  put(points, bulges, p1 + q1 * h1, 0);
}

bool OffsetBendOutline(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Vector3d& d1,
                       const geom::Vector3d&, double h1, double h2, PointList& points, BulgeList& bulges) {
  const double length = p1.distanceTo(p2);
  const geom::Vector3d q = perp(d1);
  const geom::Point3d aPlus = p1 + q * h1, aMinus = p1 - q * h1, bPlus = p2 + q * h2, bMinus = p2 - q * h2;
  const int flag = (p1 - p2).normal().angleTo(q) > kHalfPi ? 1 : 0;
  const geom::Vector3d e1 = (aPlus - bPlus).normal(), e2 = (aMinus - bMinus).normal();
  const double a1 = foldedAngle(e1, d1), a2 = foldedAngle(e2, d1);
  if (length < 1e-6 || std::sin(a1) < 1e-6 || std::sin(a2) < 1e-6) return false;
  const double big = (length / 4) / std::sin(a1) + h1;
  const double dist = 2 * std::sin(a1) * big;
  const double t1 = std::tan(a1 / 2), t2 = std::tan(a2 / 2);
  // The point at dist along the straight line from one point toward another.
  auto along = [dist](const geom::Point3d& from, const geom::Point3d& to) { return from + (to - from).normal() * dist; };
  const geom::Point3d m1 = flag == 0 ? along(aPlus, bPlus) : along(bPlus, aPlus);
  const geom::Point3d m2 = flag == 0 ? along(bMinus, aMinus) : along(aMinus, bMinus);
  const double s = flag == 0 ? 1.0 : -1.0;
  points.clear();
  bulges.clear();
  put(points, bulges, aPlus, -s * t1);
  put(points, bulges, m1, s * t1);
  put(points, bulges, bPlus, 0);
  put(points, bulges, bMinus, -s * t2);
  put(points, bulges, m2, s * t2);
  put(points, bulges, aMinus, 0);
  put(points, bulges, aPlus, 0);
  return true;
}
