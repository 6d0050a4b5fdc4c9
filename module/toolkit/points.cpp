#include "module/toolkit/points.h"

#include <cmath>

#include "module/toolkit/strings.h"

namespace {

constexpr double kTwoPi = 2.0 * geom::kPi;

Vector3d referenceDirection(const Vector3d& axis) {
  return axis.z > 0 ? Vector3d(1, 0, 0) : Vector3d(-1, 0, 0);
}

Vector3d normalisedOrSame(const Vector3d& v) {
  double len = v.length();
  if (len <= geom::defaultTol().equalVector) return v;
  return v / len;
}

}  // namespace

double RadToDeg(double angle) { return angle * 180.0 / 3.14159265; }

void SetPoint3d(double x, double y, double z, Point3d& out) { out = Point3d(x, y, z); }
void CopyPoint3d(const Point3d& from, Point3d& to) { to = from; }
void CopyPoint3d(const Vector3d& from, Vector3d& to) { to = from; }
Point3d ToPoint3d(const InputPoint p) { return Point3d(p[0], p[1], p[2]); }
Point2d ToPoint2d(double x, double y) { return Point2d(x, y); }

bool IsEqualPointXY(const Point3d& a, const Point3d& b, double tol) {
  return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol;
}

bool IsEqualPoint(const Point3d& a, const Point3d& b, double tol) {
  return IsEqualPointXY(a, b, tol) && std::fabs(a.z - b.z) < tol;
}

bool IsSameDirection(const Vector3d& a, const Vector3d& b, double tol) {
  Vector3d na = normalisedOrSame(a), nb = normalisedOrSame(b);
  return std::fabs(na.x - nb.x) < tol && std::fabs(na.y - nb.y) < tol &&
         std::fabs(na.z - nb.z) < tol;
}

bool IsParallel(const Vector3d& a, const Vector3d& b, double tol) {
  return IsSameDirection(a, b, tol) || IsSameDirection(a, -b, tol);
}

void RoundPoint(Point3d& p, int n) {
  p.x = RoundTo(p.x, n);
  p.y = RoundTo(p.y, n);
  p.z = RoundTo(p.z, n);
}

void RoundPoints(std::vector<Point3d>& pts, int n) {
  for (auto& p : pts) RoundPoint(p, n);
}

Vector3d DirectionFromAngle(double angle, const Vector3d& axis) {
  Vector3d ref = referenceDirection(axis);
  if (axis.isZeroLength(geom::defaultTol().equalVector)) return ref;
  return geom::Matrix3d::rotation(angle, axis) * ref;
}

double AngleFromXAxis(const Vector3d& v, const Vector3d& axis) {
  if (v.isZeroLength(1e-8)) return 0.0;
  Vector3d ref = referenceDirection(axis);
  Vector3d n = axis.normal();
  double a = std::atan2(n.dot(ref.cross(v)), ref.dot(v));
  if (a < 0) a += kTwoPi;
  if (a >= kTwoPi) a = 0.0;
  return a;
}
