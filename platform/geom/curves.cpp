// Line segments, circular arcs and composite curves in plan; 3D segments and arcs.
#include "platform/geom/curves.h"

#include <algorithm>

namespace geom {

// ---------------------------------------------------------------------------
// LineSeg2d

double LineSeg2d::distanceAlong(const Point2d& p) const {
  return start.distanceTo(closestPointTo(p));
}

Point2d LineSeg2d::closestPointTo(const Point2d& p, bool extend) const {
  Vector2d d = end - start;
  double l2 = d.dot(d);
  if (l2 == 0) return start;
  double t = (p - start).dot(d) / l2;
  if (!extend) t = std::clamp(t, 0.0, 1.0);
  return start + d * t;
}

Extents2d LineSeg2d::extents() const {
  Extents2d e;
  e.add(start);
  e.add(end);
  return e;
}

// ---------------------------------------------------------------------------
// CircArc2d

CircArc2d::CircArc2d(const Point2d& c, double r, double startAng, double endAng, bool ccw)
    : center(c), radius(r), startAngle(normalizeAngle(startAng)) {
  double d = ccw ? normalizeAngle(endAng - startAng) : normalizeAngle(startAng - endAng);
  if (d <= 1e-12) d = 2 * kPi;
  sweep = ccw ? d : -d;
}

CircArc2d CircArc2d::circle(const Point2d& c, double r) {
  CircArc2d a;
  a.center = c;
  a.radius = r;
  a.startAngle = 0;
  a.sweep = 2 * kPi;
  return a;
}

std::optional<CircArc2d> CircArc2d::fromBulge(const Point2d& s, const Point2d& e, double b) {
  double chord = s.distanceTo(e);
  if (std::fabs(b) < 1e-12 || chord <= 0) return std::nullopt;
  Vector2d u = (e - s) / chord;
  // The centre lies on the chord's perpendicular bisector, left of the chord
  // for 0 < b < 1 (a counter-clockwise arc less than a half circle).
  double h = chord * (1 - b * b) / (4 * b);
  Point2d mid{(s.x + e.x) / 2, (s.y + e.y) / 2};
  CircArc2d a;
  a.center = mid + u.perp() * h;
  a.radius = chord * (1 + b * b) / (4 * std::fabs(b));
  a.startAngle = (s - a.center).angle();
  a.sweep = 4 * std::atan(b);
  return a;
}

std::optional<CircArc2d> CircArc2d::throughPoints(const Point2d& p1, const Point2d& p2,
                                                  const Point2d& p3) {
  Vector2d a = p2 - p1, b = p3 - p1;
  double den = 2 * a.cross(b);
  double scale = a.length() * b.length();
  if (scale == 0 || std::fabs(den) <= 1e-12 * scale || p2.isEqualTo(p3, 0)) return std::nullopt;
  double a2 = a.dot(a), b2 = b.dot(b);
  Vector2d off{(b.y * a2 - a.y * b2) / den, (a.x * b2 - b.x * a2) / den};
  CircArc2d arc;
  arc.center = p1 + off;
  arc.radius = off.length();
  arc.startAngle = (p1 - arc.center).angle();
  double a3 = (p3 - arc.center).angle();
  // Counter-clockwise when p1, p2, p3 turn left.
  if (den > 0) {
    arc.sweep = normalizeAngle(a3 - arc.startAngle);
  } else {
    arc.sweep = -normalizeAngle(arc.startAngle - a3);
  }
  return arc;
}

std::optional<double> CircArc2d::angleAlong(double a, double tol) const {
  if (isFullCircle()) {
    double t = sweep > 0 ? normalizeAngle(a - startAngle) : normalizeAngle(startAngle - a);
    return t;
  }
  double t = sweep > 0 ? normalizeAngle(a - startAngle) : normalizeAngle(startAngle - a);
  double s = std::fabs(sweep);
  if (t <= s + tol) return std::min(t, s);
  if (t >= 2 * kPi - tol) return 0.0;  // just before the start
  return std::nullopt;
}

double CircArc2d::distanceAlong(const Point2d& p) const {
  Point2d q = closestPointTo(p);
  auto t = angleAlong((q - center).angle(), 1e-9);
  return t ? *t * radius : 0.0;
}

Point2d CircArc2d::closestPointTo(const Point2d& p, bool extend) const {
  Vector2d v = p - center;
  if (v.length() == 0) return startPoint();  // every point is as near; take the start
  double a = v.angle();
  if (extend || containsAngle(a)) return pointAtAngle(a);
  Point2d s = startPoint(), e = endPoint();
  return p.distanceTo(s) <= p.distanceTo(e) ? s : e;
}

Vector2d CircArc2d::tangentAt(double d) const {
  double a = startAngle + (sweep < 0 ? -1 : 1) * d / radius;
  Vector2d t{-std::sin(a), std::cos(a)};
  return sweep < 0 ? -t : t;
}

Extents2d CircArc2d::extents() const {
  Extents2d e;
  e.add(startPoint());
  e.add(endPoint());
  for (int k = 0; k < 4; ++k) {
    double a = k * kPi / 2;
    if (containsAngle(a)) e.add(pointAtAngle(a));
  }
  return e;
}

std::vector<Point2d> tessellate(const CircArc2d& arc, double maxStep) {
  std::vector<Point2d> out;
  if (!(maxStep > 0)) maxStep = kPi / 16;
  int n = std::max(1, static_cast<int>(std::ceil(std::fabs(arc.sweep) / maxStep - 1e-9)));
  for (int i = 0; i <= n; ++i) out.push_back(arc.pointAtAngle(arc.startAngle + arc.sweep * i / n));
  out.back() = arc.endPoint();
  out.front() = arc.startPoint();
  return out;
}

// ---------------------------------------------------------------------------
// Curve2d

Curve2d Curve2d::fromBulge(const Point2d& s, const Point2d& e, double bulge) {
  if (auto a = CircArc2d::fromBulge(s, e, bulge)) return *a;
  return LineSeg2d(s, e);
}

#define KIV_VISIT(expr) std::visit([&](const auto& c) { return expr; }, c_)

Point2d Curve2d::startPoint() const { return KIV_VISIT(c.startPoint()); }
Point2d Curve2d::endPoint() const { return KIV_VISIT(c.endPoint()); }
Point2d Curve2d::midPoint() const { return KIV_VISIT(c.midPoint()); }
double Curve2d::length() const { return KIV_VISIT(c.length()); }
Point2d Curve2d::pointAtDistance(double d) const { return KIV_VISIT(c.pointAtDistance(d)); }
double Curve2d::distanceAlong(const Point2d& p) const { return KIV_VISIT(c.distanceAlong(p)); }
Point2d Curve2d::closestPointTo(const Point2d& p, bool extend) const {
  return KIV_VISIT(c.closestPointTo(p, extend));
}
Vector2d Curve2d::tangentAt(double d) const { return KIV_VISIT(c.tangentAt(d)); }
Extents2d Curve2d::extents() const { return KIV_VISIT(c.extents()); }
Curve2d Curve2d::reversed() const { return KIV_VISIT(Curve2d(c.reversed())); }

#undef KIV_VISIT

// ---------------------------------------------------------------------------
// CompositeCurve2d

double CompositeCurve2d::length() const {
  double l = 0;
  for (const auto& s : segments) l += s.length();
  return l;
}

Point2d CompositeCurve2d::pointAtDistance(double d) const {
  if (segments.empty()) return {};
  if (d <= 0) return startPoint();
  for (const auto& s : segments) {
    double l = s.length();
    if (d <= l) return s.pointAtDistance(d);
    d -= l;
  }
  return endPoint();
}

int CompositeCurve2d::closestSegment(const Point2d& p) const {
  int best = -1;
  double bestD = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    double d = segments[i].distanceTo(p);
    if (best < 0 || d < bestD) best = static_cast<int>(i), bestD = d;
  }
  return best;
}

double CompositeCurve2d::distanceAlong(const Point2d& p) const {
  int k = closestSegment(p);
  if (k < 0) return 0;
  double l = 0;
  for (int i = 0; i < k; ++i) l += segments[i].length();
  return l + segments[k].distanceAlong(p);
}

Point2d CompositeCurve2d::closestPointTo(const Point2d& p) const {
  int k = closestSegment(p);
  return k < 0 ? Point2d{} : segments[k].closestPointTo(p);
}

double CompositeCurve2d::distanceTo(const Point2d& p) const {
  int k = closestSegment(p);
  return k < 0 ? 1e300 : segments[k].distanceTo(p);
}

Vector2d CompositeCurve2d::tangentAt(double d) const {
  if (segments.empty()) return {};
  for (const auto& s : segments) {
    double l = s.length();
    if (d <= l) return s.tangentAt(std::max(d, 0.0));
    d -= l;
  }
  return segments.back().tangentAt(segments.back().length());
}

Extents2d CompositeCurve2d::extents() const {
  Extents2d e;
  for (const auto& s : segments) e.add(s.extents());
  return e;
}

// ---------------------------------------------------------------------------
// 3D

Point3d LineSeg3d::closestPointTo(const Point3d& p, bool extend) const {
  Vector3d d = end - start;
  double l2 = d.dot(d);
  if (l2 == 0) return start;
  double t = (p - start).dot(d) / l2;
  if (!extend) t = std::clamp(t, 0.0, 1.0);
  return start + d * t;
}

bool LineSeg3d::isColinearTo(const LineSeg3d& other, const Tol& tol) const {
  Vector3d a = end - start, b = other.end - other.start;
  if (a.length() == 0 || b.length() == 0) return false;
  if (!a.isParallelTo(b, tol.equalVector)) return false;
  return closestPointTo(other.start, true).distanceTo(other.start) <= tol.equalPoint &&
         closestPointTo(other.end, true).distanceTo(other.end) <= tol.equalPoint;
}

std::optional<Point3d> LineSeg3d::intersectWith(const LineSeg3d& other, double tol, Extend ext) const {
  Vector3d u = end - start, v = other.end - other.start, w = start - other.start;
  double a = u.dot(u), b = u.dot(v), c = v.dot(v), d = u.dot(w), e = v.dot(w);
  double den = a * c - b * b;
  if (a == 0 || c == 0 || den <= 1e-24 * a * c) return std::nullopt;  // parallel or degenerate
  double s = (b * e - c * d) / den;  // on this
  double t = (a * e - b * d) / den;  // on other
  Point3d p = start + u * s, q = other.start + v * t;
  if (p.distanceTo(q) > tol) return std::nullopt;
  bool extThis = ext == Extend::This || ext == Extend::Both;
  bool extOther = ext == Extend::Other || ext == Extend::Both;
  double la = std::sqrt(a), lc = std::sqrt(c);
  if (!extThis && (s * la < -tol || (s - 1) * la > tol)) return std::nullopt;
  if (!extOther && (t * lc < -tol || (t - 1) * lc > tol)) return std::nullopt;
  return p;
}

std::optional<CircArc3d> CircArc3d::fromBulge(const Point3d& s, const Point3d& e, double bulge) {
  auto a = CircArc2d::fromBulge(s.toPlan(), e.toPlan(), bulge);
  if (!a) return std::nullopt;
  double z = s.z;
  if (bulge > 0) {
    return CircArc3d({a->center, z}, Vector3d::zAxis(), a->radius, a->startAngle, a->endAngle());
  }
  // Seen from -Z the arc runs counter-clockwise; angles are measured from
  // that plane's X axis, which is world -X.
  Vector3d n{0, 0, -1};
  Point3d c{a->center, z};
  return CircArc3d(c, n, a->radius, angleFromXAxis(s - c, n), angleFromXAxis(e - c, n));
}

std::optional<CircArc2d> CircArc3d::toPlan() const {
  if (std::fabs(normal.x) > 1e-12 || std::fabs(normal.y) > 1e-12) return std::nullopt;
  CircArc2d a;
  a.center = center.toPlan();
  a.radius = radius;
  a.startAngle = (startPoint().toPlan() - a.center).angle();
  a.sweep = normal.z >= 0 ? sweep() : -sweep();
  return a;
}

Extents3d CircArc3d::extents() const {
  Extents3d e;
  e.add(startPoint());
  e.add(endPoint());
  // Extremes in each world axis: where the tangent is perpendicular to it.
  Matrix3d toWorld = planeToWorld(normal);
  Vector3d ax = toWorld * Vector3d::xAxis(), ay = toWorld * Vector3d::yAxis();
  double s = sweep();
  double comps[3][2] = {{ax.x, ay.x}, {ax.y, ay.y}, {ax.z, ay.z}};
  for (auto& c : comps) {
    if (c[0] == 0 && c[1] == 0) continue;
    double a = std::atan2(c[1], c[0]);
    for (double cand : {a, a + kPi}) {
      double t = normalizeAngle(cand - startAngle);
      if (t <= s) e.add(pointAtAngle(cand));
    }
  }
  return e;
}

}  // namespace geom
