// Plan curves: line segments, circular arcs (full circles too), a curve that
// is either, and composite curves; plan intersections, closest points, rays;
// and the 3D line segment and arc the drawing entities need.
//
// Every plan curve is measured by length along it from its start point:
// pointAtDistance(d) and distanceAlong(p) convert between points and that
// length, so lines and arcs share one parameter.
#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "platform/geom/geom.h"

namespace geom {

class LineSeg2d {
 public:
  Point2d start, end;

  LineSeg2d() = default;
  LineSeg2d(const Point2d& s, const Point2d& e) : start(s), end(e) {}

  Point2d startPoint() const { return start; }
  Point2d endPoint() const { return end; }
  double length() const { return start.distanceTo(end); }
  Vector2d direction() const { return (end - start).normal(); }  // unit; zero if degenerate
  Point2d midPoint() const { return {(start.x + end.x) / 2, (start.y + end.y) / 2}; }
  // The point at length d from the start; d outside [0, length] extends the line.
  Point2d pointAtDistance(double d) const { return start + direction() * d; }
  // Length from the start to the closest point of the segment.
  double distanceAlong(const Point2d& p) const;
  // Closest point of the segment (of the infinite line when extend is true).
  Point2d closestPointTo(const Point2d& p, bool extend = false) const;
  double distanceTo(const Point2d& p) const { return p.distanceTo(closestPointTo(p)); }
  bool isOn(const Point2d& p, double tol = defaultTol().equalPoint) const {
    return distanceTo(p) <= tol;
  }
  Vector2d tangentAt(double) const { return direction(); }
  Extents2d extents() const;
  LineSeg2d reversed() const { return {end, start}; }
};

// A circular arc about center from startAngle through the signed sweep:
// sweep > 0 runs counter-clockwise, sweep < 0 clockwise; |sweep| = 2pi is a
// full circle (starting and ending at startAngle).
class CircArc2d {
 public:
  Point2d center;
  double radius = 0;
  double startAngle = 0;  // radians from +X, counter-clockwise
  double sweep = 2 * kPi;

  CircArc2d() = default;
  // The host's form: from startAngle to endAngle, counter-clockwise unless
  // ccw is false. Equal angles give a full circle.
  CircArc2d(const Point2d& c, double r, double startAng, double endAng, bool ccw = true);
  static CircArc2d circle(const Point2d& c, double r);
  // The arc from s to e with the given bulge (tan of a quarter of the included
  // angle, positive counter-clockwise). nullopt when |bulge| is below 1e-12 or
  // s and e coincide (no arc there).
  static std::optional<CircArc2d> fromBulge(const Point2d& s, const Point2d& e, double bulge);
  // The arc from p1 through p2 to p3; nullopt when the points are collinear or
  // two of them coincide.
  static std::optional<CircArc2d> throughPoints(const Point2d& p1, const Point2d& p2,
                                                const Point2d& p3);

  bool isFullCircle() const { return std::fabs(sweep) >= 2 * kPi - 1e-12; }
  bool isClockWise() const { return sweep < 0; }
  double endAngle() const { return normalizeAngle(startAngle + sweep); }
  // The arc's bulge for its start and end points: tan(sweep / 4).
  double bulge() const { return std::tan(sweep / 4); }
  Point2d pointAtAngle(double a) const {
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
  }
  Point2d startPoint() const { return pointAtAngle(startAngle); }
  Point2d endPoint() const { return pointAtAngle(startAngle + sweep); }
  Point2d midPoint() const { return pointAtAngle(startAngle + sweep / 2); }
  double length() const { return radius * std::fabs(sweep); }
  // Signed angle travelled from the start (in the arc's direction, >= 0) to
  // reach angle a, or nullopt when a lies outside the arc (tolerance in
  // radians).
  std::optional<double> angleAlong(double a, double tol = 1e-12) const;
  bool containsAngle(double a, double tol = 1e-12) const { return angleAlong(a, tol).has_value(); }
  Point2d pointAtDistance(double d) const {
    return pointAtAngle(startAngle + (sweep < 0 ? -1 : 1) * d / radius);
  }
  double distanceAlong(const Point2d& p) const;
  // Closest point of the arc (of its full circle when extend is true).
  Point2d closestPointTo(const Point2d& p, bool extend = false) const;
  double distanceTo(const Point2d& p) const { return p.distanceTo(closestPointTo(p)); }
  bool isOn(const Point2d& p, double tol = defaultTol().equalPoint) const {
    return distanceTo(p) <= tol;
  }
  // Unit tangent in the direction of travel at length d.
  Vector2d tangentAt(double d) const;
  // Exact bounds: end points plus the quadrant points the arc passes.
  Extents2d extents() const;
  CircArc2d reversed() const {
    CircArc2d r = *this;
    r.startAngle = normalizeAngle(startAngle + sweep);
    r.sweep = -sweep;
    return r;
  }
};

// Either a line segment or a circular arc.
class Curve2d {
 public:
  Curve2d() = default;
  Curve2d(const LineSeg2d& l) : c_(l) {}
  Curve2d(const CircArc2d& a) : c_(a) {}
  // The polyline segment s->e with the bulge: a line when |bulge| < 1e-12 or
  // the ends coincide, else the arc.
  static Curve2d fromBulge(const Point2d& s, const Point2d& e, double bulge);

  bool isLine() const { return std::holds_alternative<LineSeg2d>(c_); }
  bool isArc() const { return std::holds_alternative<CircArc2d>(c_); }
  const LineSeg2d& line() const { return std::get<LineSeg2d>(c_); }
  const CircArc2d& arc() const { return std::get<CircArc2d>(c_); }
  // Bulge of the segment: 0 for a line.
  double bulge() const { return isArc() ? arc().bulge() : 0.0; }

  Point2d startPoint() const;
  Point2d endPoint() const;
  Point2d midPoint() const;
  double length() const;
  Point2d pointAtDistance(double d) const;
  double distanceAlong(const Point2d& p) const;
  Point2d closestPointTo(const Point2d& p, bool extend = false) const;
  double distanceTo(const Point2d& p) const { return p.distanceTo(closestPointTo(p)); }
  bool isOn(const Point2d& p, double tol = defaultTol().equalPoint) const {
    return distanceTo(p) <= tol;
  }
  Vector2d tangentAt(double d) const;
  Extents2d extents() const;
  Curve2d reversed() const;

 private:
  std::variant<LineSeg2d, CircArc2d> c_;
};

// A chain of line and arc segments, in order; the segments need not touch.
class CompositeCurve2d {
 public:
  std::vector<Curve2d> segments;

  CompositeCurve2d() = default;
  explicit CompositeCurve2d(std::vector<Curve2d> segs) : segments(std::move(segs)) {}
  bool isEmpty() const { return segments.empty(); }
  Point2d startPoint() const { return segments.empty() ? Point2d{} : segments.front().startPoint(); }
  Point2d endPoint() const { return segments.empty() ? Point2d{} : segments.back().endPoint(); }
  bool isClosed(double tol = defaultTol().equalPoint) const {
    return !segments.empty() && startPoint().isEqualTo(endPoint(), tol);
  }
  double length() const;
  Point2d midPoint() const { return pointAtDistance(length() / 2); }
  // Point at length d along the chain (clamped to its ends).
  Point2d pointAtDistance(double d) const;
  double distanceAlong(const Point2d& p) const;
  Point2d closestPointTo(const Point2d& p) const;
  // Index of the segment holding the closest point (-1 when empty).
  int closestSegment(const Point2d& p) const;
  // 1e300 when empty.
  double distanceTo(const Point2d& p) const;
  bool isOn(const Point2d& p, double tol = defaultTol().equalPoint) const {
    return !segments.empty() && distanceTo(p) <= tol;
  }
  Vector2d tangentAt(double d) const;
  Extents2d extents() const;
};

// ---------------------------------------------------------------------------
// Intersections and distances in plan
// ---------------------------------------------------------------------------

// Which operands of an intersection are extended: a line to its infinite
// line, an arc to its full circle. "This" is the first operand.
enum class Extend { None, This, Other, Both };

// Intersection points of a and b, ordered by length along a (along a's
// extension where it is extended). Tangent contact within tol gives one point.
// Overlapping collinear lines or co-circular arcs give the end points of the
// shared part. Points count as on a segment within tol of its ends.
std::vector<Point2d> intersect(const Curve2d& a, const Curve2d& b, Extend ext = Extend::None,
                               double tol = 1e-9);
// All intersections of the segments of two chains, in the order of a's
// segments and along each; duplicates at shared vertices are merged.
std::vector<Point2d> intersect(const CompositeCurve2d& a, const CompositeCurve2d& b,
                               double tol = 1e-9);

// The mutually closest points of two curves and their distance (0 with an
// intersection point when they cross).
struct ClosestPoints {
  Point2d onA, onB;
  double distance = 0;
};
ClosestPoints closestPoints(const Curve2d& a, const Curve2d& b);
// For chains; distance 1e300 and zero points when either is empty.
ClosestPoints closestPoints(const CompositeCurve2d& a, const CompositeCurve2d& b);
inline double distance(const Curve2d& a, const Curve2d& b) { return closestPoints(a, b).distance; }
inline double distance(const CompositeCurve2d& a, const CompositeCurve2d& b) {
  return closestPoints(a, b).distance;
}

// A half-line from origin in direction (need not be unit).
struct Ray2d {
  Point2d origin;
  Vector2d direction{-1, 0};
  static Ray2d towardNegX(const Point2d& from) { return {from, {-1, 0}}; }
};
// Points where the ray meets the curve, nearest first. A point behind the
// origin (even within tol of the ray's line) is not on the ray.
std::vector<Point2d> intersect(const Ray2d& r, const Curve2d& c, double tol = 1e-9);
// Shortest distance between the ray and the curve (0 when they meet).
double distance(const Ray2d& r, const Curve2d& c);
// Number of times the curve crosses the ray toward -X from p, by the
// half-open rule: a piece of the curve counts when one of its ends lies
// strictly above the ray's line and the other on or below it, and the
// crossing is left of p. Arcs are cut into pieces that only rise or only
// fall. So a ray through a vertex of a closed boundary counts a true crossing
// once and a touching vertex zero or two times, a horizontal edge counts
// nothing, and an edge right of p counts nothing however near. Summed over a
// closed boundary the count is odd exactly when p is inside.
int crossingsTowardNegX(const Point2d& p, const Curve2d& c);

// ---------------------------------------------------------------------------
// 3D
// ---------------------------------------------------------------------------

class LineSeg3d {
 public:
  Point3d start, end;

  LineSeg3d() = default;
  LineSeg3d(const Point3d& s, const Point3d& e) : start(s), end(e) {}
  double length() const { return start.distanceTo(end); }
  Vector3d direction() const { return (end - start).normal(); }
  Point3d midPoint() const {
    return {(start.x + end.x) / 2, (start.y + end.y) / 2, (start.z + end.z) / 2};
  }
  Point3d pointAtDistance(double d) const { return start + direction() * d; }
  // Closest point of the segment (of the infinite line when extend is true).
  Point3d closestPointTo(const Point3d& p, bool extend = false) const;
  double distanceTo(const Point3d& p) const { return p.distanceTo(closestPointTo(p)); }
  bool isOn(const Point3d& p, double tol = defaultTol().equalPoint) const {
    return distanceTo(p) <= tol;
  }
  // The lines lie on one line: parallel within tol.equalVector (sine of the
  // angle) and other's points within tol.equalPoint of this line.
  bool isColinearTo(const LineSeg3d& other, const Tol& tol = defaultTol()) const;
  // The point where the two segments meet: they pass within tol of each
  // other, the closest points lying on both segments (within tol of their
  // ends; on the infinite lines when extended). The point returned is the
  // one on this segment. nullopt for parallel lines and misses.
  std::optional<Point3d> intersectWith(const LineSeg3d& other, double tol = defaultTol().equalPoint,
                                       Extend ext = Extend::None) const;
  Extents3d extents() const {
    Extents3d e;
    e.add(start);
    e.add(end);
    return e;
  }
  LineSeg2d toPlan() const { return {start.toPlan(), end.toPlan()}; }
};

// A circular arc in space in the manner of the drawing's arc entity: centre,
// normal, radius, and angles measured counter-clockwise about the normal from
// the X axis of the normal's plane (arbitrary-axis rule). It runs from
// startAngle counter-clockwise to endAngle; equal angles make a full circle.
class CircArc3d {
 public:
  Point3d center;
  Vector3d normal = Vector3d::zAxis();
  double radius = 0;
  double startAngle = 0, endAngle = 2 * kPi;

  CircArc3d() = default;
  CircArc3d(const Point3d& c, const Vector3d& n, double r, double a0, double a1)
      : center(c), normal(n.normal()), radius(r), startAngle(a0), endAngle(a1) {}
  // The arc entity of a polyline segment in plan at height z: normal +Z for a
  // positive bulge, -Z for a negative one; nullopt where fromBulge has none.
  static std::optional<CircArc3d> fromBulge(const Point3d& s, const Point3d& e, double bulge);

  double sweep() const {  // in (0, 2pi]
    double d = normalizeAngle(endAngle - startAngle);
    return d <= 1e-12 ? 2 * kPi : d;
  }
  Point3d pointAtAngle(double a) const { return center + directionFromAngle(a, normal) * radius; }
  Point3d startPoint() const { return pointAtAngle(startAngle); }
  Point3d endPoint() const { return pointAtAngle(endAngle); }
  Point3d midPoint() const { return pointAtAngle(startAngle + sweep() / 2); }
  double length() const { return radius * sweep(); }
  // The bulge from startPoint to endPoint seen from +Z (negative when the
  // normal points down).
  double bulge() const { return std::tan(sweep() / 4) * (normal.z < 0 ? -1 : 1); }
  // The plan arc (x and y of its points) when the normal is +Z or -Z.
  std::optional<CircArc2d> toPlan() const;
  Extents3d extents() const;
};

// Points along an arc: its ends and at most maxStep radians apart (evenly
// spaced). A full circle repeats its first point at the end.
std::vector<Point2d> tessellate(const CircArc2d& arc, double maxStep);

}  // namespace geom
