// Private to the kiv_cad library: small geometry helpers and curve paths.
#pragma once

#include <cmath>
#include <vector>

#include "platform/cad/entities.h"
#include "platform/geom/polyline.h"

namespace cad::gu {

constexpr double kTwoPi = 2 * geom::kPi;
constexpr double kTol = 1e-9;

inline double normAngle(double a) {  // 0..2pi
  a = std::fmod(a, kTwoPi);
  if (a < 0) a += kTwoPi;
  return a;
}
inline bool isZAxis(const Vector3d& n) { return std::fabs(n.x) < 1e-12 && std::fabs(n.y) < 1e-12 && n.z > 0; }
// Object coordinates of the plane with normal n (with or without the elevation) to world.
inline Point3d ocsToWorld(const Vector3d& n, const Point3d& p) {
  if (isZAxis(n)) return p;
  return geom::planeToWorld(n) * p;
}
inline Point3d worldToOcs(const Vector3d& n, const Point3d& p) {
  if (isZAxis(n)) return p;
  return geom::worldToPlane(n) * p;
}
inline Vector3d ocsToWorld(const Vector3d& n, const Vector3d& v) {
  if (isZAxis(n)) return v;
  return geom::planeToWorld(n) * v;
}
inline Vector3d worldToOcs(const Vector3d& n, const Vector3d& v) {
  if (isZAxis(n)) return v;
  return geom::worldToPlane(n) * v;
}
double determinant(const Matrix3d& m);
// True when the linear part scales every direction by the same factor.
bool isUniformScale(const Matrix3d& m, double* scale = nullptr);
// The normal after a transform, oriented so that counter-clockwise stays counter-clockwise.
Vector3d transformNormal(const Matrix3d& m, const Vector3d& n);

// One piece of a curve: a line or a circular arc.
struct Seg {
  Point3d p0, p1;     // world end points in travel order
  bool arc = false;
  Point3d c;          // arc centre (world)
  Vector3d n{0, 0, 1};  // arc plane normal
  double r = 0;
  double a0 = 0;      // start angle in the plane's axes
  double sweep = 0;   // signed: positive is counter-clockwise about n
  double length() const { return arc ? r * std::fabs(sweep) : p0.distanceTo(p1); }
  Point3d at(double t) const;  // t in [0,1]; arcs and lines extend beyond
  Vector3d tangent(double t) const;
  // Parameter of the closest point (clamped to [0,1] unless extend).
  double closestParam(const Point3d& p, bool extend) const;
};

// A planar bulge segment from OCS 2D points.
Seg bulgeSeg(const Vector3d& n, double elevation, const Point2d& a, const Point2d& b, double bulge);
Seg lineSeg(const Point3d& a, const Point3d& b);
Seg arcSeg(const Point3d& c, const Vector3d& n, double r, double a0, double sweep);

struct Path {
  std::vector<Seg> segs;
  bool closed = false;
  double length() const;
  Point3d pointAtDist(double d) const;
  // Distance along the path of the closest point; also gives the point.
  double closestDist(const Point3d& p, Point3d* onPath = nullptr, double* gap = nullptr) const;
  void addExtents(Extents3d& e) const;
};

// The path of any curve-like entity (curves, 2D solids, regions, hatches,
// block references through their exploded entities). False when it has none.
bool pathOf(const Entity& e, Path& out);
void segExtents(const Seg& s, Extents3d& e);

// Region loops in the plane of normal n (object coordinates), and back;
// elevation gets the plane's height when given.
std::vector<geom::Polyline2d> planLoops(const std::vector<Region::Loop>& loops, const Vector3d& n,
                                        double* elevation = nullptr);
std::vector<Region::Loop> worldLoops(const std::vector<geom::Polyline2d>& loops, const Vector3d& n, double elevation);

}  // namespace cad::gu
