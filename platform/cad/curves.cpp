// Curve geometry: paths of line and arc pieces, lengths, closest points,
// extents, intersections in plan, offsets, splitting and exploding.
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"
#include "platform/geom/region.h"

namespace cad {

using namespace gu;

namespace gu {

static Vector3d axisX(const Vector3d& n) { return isZAxis(n) ? Vector3d(1, 0, 0) : geom::planeToWorld(n) * Vector3d::xAxis(); }
static Vector3d axisY(const Vector3d& n) { return isZAxis(n) ? Vector3d(0, 1, 0) : geom::planeToWorld(n) * Vector3d::yAxis(); }

Point3d Seg::at(double t) const {
  if (!arc) return p0 + (p1 - p0) * t;
  double a = a0 + sweep * t;
  return c + axisX(n) * (r * std::cos(a)) + axisY(n) * (r * std::sin(a));
}
Vector3d Seg::tangent(double t) const {
  if (!arc) return (p1 - p0).normal();
  double a = a0 + sweep * t;
  Vector3d v = axisX(n) * -std::sin(a) + axisY(n) * std::cos(a);
  return sweep < 0 ? -v : v;
}
double Seg::closestParam(const Point3d& p, bool extend) const {
  if (!arc) {
    Vector3d d = p1 - p0;
    double l2 = d.dot(d);
    if (l2 == 0) return 0;
    double t = (p - p0).dot(d) / l2;
    return extend ? t : std::clamp(t, 0.0, 1.0);
  }
  Vector3d v = p - c;
  double ang = std::atan2(v.dot(axisY(n)), v.dot(axisX(n)));
  double as = std::fabs(sweep);
  double delta = sweep > 0 ? normAngle(ang - a0) : normAngle(a0 - ang);
  double t = delta / as;
  if (t <= 1 + 1e-12) return std::min(t, 1.0);
  if (extend) {
    double back = (delta - kTwoPi) / as;
    return (-back < t - 1) ? back : t;
  }
  return at(0).distanceTo(p) <= at(1).distanceTo(p) ? 0.0 : 1.0;
}

Seg lineSeg(const Point3d& a, const Point3d& b) {
  Seg s;
  s.p0 = a;
  s.p1 = b;
  return s;
}
Seg arcSeg(const Point3d& c, const Vector3d& n, double r, double a0, double sweep) {
  Seg s;
  s.arc = true;
  s.c = c;
  s.n = n.normal();
  s.r = r;
  s.a0 = a0;
  s.sweep = sweep;
  s.p0 = s.at(0);
  s.p1 = s.at(1);
  return s;
}
Seg bulgeSeg(const Vector3d& n, double elevation, const Point2d& a, const Point2d& b, double bulge) {
  Point3d wa = ocsToWorld(n, Point3d(a.x, a.y, elevation)), wb = ocsToWorld(n, Point3d(b.x, b.y, elevation));
  double d = a.distanceTo(b);
  if (bulge == 0 || d < 1e-14) return lineSeg(wa, wb);
  Vector2d u = (b - a) / d;
  Vector2d perp = u.perp();
  Point2d mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
  Point2d c2 = mid + perp * ((1 - bulge * bulge) / (4 * bulge) * d);
  double r = d * (1 + bulge * bulge) / (4 * std::fabs(bulge));
  double a0 = std::atan2(a.y - c2.y, a.x - c2.x);
  Seg s;
  s.arc = true;
  s.c = ocsToWorld(n, Point3d(c2.x, c2.y, elevation));
  s.n = n.normal();
  s.r = r;
  s.a0 = a0;
  s.sweep = 4 * std::atan(bulge);
  s.p0 = wa;
  s.p1 = wb;
  return s;
}

double Path::length() const {
  double l = 0;
  for (const auto& s : segs) l += s.length();
  return l;
}
Point3d Path::pointAtDist(double d) const {
  for (const auto& s : segs) {
    double l = s.length();
    if (d <= l || &s == &segs.back()) return s.at(l > 0 ? std::clamp(d / l, 0.0, 1.0) : 0);
    d -= l;
  }
  return {};
}
double Path::closestDist(const Point3d& p, Point3d* onPath, double* gap) const {
  double best = 1e300, bestD = 0, acc = 0;
  Point3d bestP;
  for (const auto& s : segs) {
    double t = s.closestParam(p, false);
    Point3d q = s.at(t);
    double g = q.distanceTo(p);
    if (g < best - 1e-12) {
      best = g;
      bestD = acc + t * s.length();
      bestP = q;
    }
    acc += s.length();
  }
  if (onPath) *onPath = bestP;
  if (gap) *gap = best;
  return bestD;
}
void segExtents(const Seg& s, Extents3d& e) {
  e.add(s.p0);
  e.add(s.p1);
  if (!s.arc) return;
  Vector3d X = axisX(s.n), Y = axisY(s.n);
  double xs[3] = {X.x, X.y, X.z}, ys[3] = {Y.x, Y.y, Y.z};
  for (int k = 0; k < 3; ++k) {
    if (std::fabs(xs[k]) < 1e-15 && std::fabs(ys[k]) < 1e-15) continue;
    double th = std::atan2(ys[k], xs[k]);
    for (double cand : {th, th + geom::kPi}) {
      double delta = s.sweep > 0 ? normAngle(cand - s.a0) : normAngle(s.a0 - cand);
      if (delta <= std::fabs(s.sweep) + 1e-12) {
        double a = s.sweep > 0 ? s.a0 + delta : s.a0 - delta;
        e.add(s.c + X * (s.r * std::cos(a)) + Y * (s.r * std::sin(a)));
      }
    }
  }
}
void Path::addExtents(Extents3d& e) const {
  for (const auto& s : segs) segExtents(s, e);
}

static void closedPoly(Path& out, const std::vector<Point3d>& pts) {
  for (std::size_t i = 0; i < pts.size(); ++i) out.segs.push_back(lineSeg(pts[i], pts[(i + 1) % pts.size()]));
  out.closed = true;
}

bool pathOf(const Entity& e, Path& out) {
  out = {};
  switch (e.kind()) {
    case Kind::Line: {
      auto& l = static_cast<const Line&>(e);
      out.segs.push_back(lineSeg(l.start(), l.end()));
      return true;
    }
    case Kind::Polyline: {
      auto& p = static_cast<const Polyline&>(e);
      const auto& v = p.vertices();
      if (v.empty()) return false;
      if (v.size() == 1) { out.segs.push_back(lineSeg(p.pointAt(0), p.pointAt(0))); return true; }
      for (unsigned i = 0; i < p.numSegments(); ++i) {
        const auto& a = v[i];
        const auto& b = v[(i + 1) % v.size()];
        if (a.pt.isEqualTo(b.pt)) continue;
        out.segs.push_back(bulgeSeg(p.normal(), p.elevation(), a.pt, b.pt, a.bulge));
      }
      if (out.segs.empty()) out.segs.push_back(lineSeg(p.pointAt(0), p.pointAt(0)));
      out.closed = p.isClosed();
      return true;
    }
    case Kind::Polyline2d: {
      auto& p = static_cast<const Polyline2d&>(e);
      const auto& v = p.vertices();
      if (v.empty()) return false;
      std::size_t n = v.size() < 2 ? 0 : v.size() - (p.isClosed() ? 0 : 1);
      for (std::size_t i = 0; i < n; ++i) {
        const auto& a = v[i];
        const auto& b = v[(i + 1) % v.size()];
        Point2d pa{a.position.x, a.position.y}, pb{b.position.x, b.position.y};
        if (pa.isEqualTo(pb)) continue;
        out.segs.push_back(bulgeSeg(p.normal(), p.elevation(), pa, pb, a.bulge));
      }
      if (out.segs.empty()) out.segs.push_back(lineSeg(p.vertexWorld(0), p.vertexWorld(0)));
      out.closed = p.isClosed();
      return true;
    }
    case Kind::Polyline3d: {
      auto& p = static_cast<const Polyline3d&>(e);
      const auto& v = p.vertices();
      if (v.empty()) return false;
      std::size_t n = v.size() < 2 ? 0 : v.size() - (p.isClosed() ? 0 : 1);
      for (std::size_t i = 0; i < n; ++i)
        if (!v[i].isEqualTo(v[(i + 1) % v.size()])) out.segs.push_back(lineSeg(v[i], v[(i + 1) % v.size()]));
      if (out.segs.empty()) out.segs.push_back(lineSeg(v[0], v[0]));
      out.closed = p.isClosed();
      return true;
    }
    case Kind::Circle: {
      auto& c = static_cast<const Circle&>(e);
      out.segs.push_back(arcSeg(c.center(), c.normal(), c.radius(), 0, kTwoPi));
      out.closed = true;
      return true;
    }
    case Kind::Arc: {
      auto& a = static_cast<const Arc&>(e);
      out.segs.push_back(arcSeg(a.center(), a.normal(), a.radius(), a.startAngle(), a.totalAngle()));
      return true;
    }
    case Kind::Ellipse: {
      auto& el = static_cast<const Ellipse&>(e);
      double p0 = el.startParam(), p1 = el.endParam();
      if (p1 <= p0) p1 += kTwoPi;
      const int n = 64;
      for (int i = 0; i < n; ++i)
        out.segs.push_back(lineSeg(el.pointAtParam(p0 + (p1 - p0) * i / n), el.pointAtParam(p0 + (p1 - p0) * (i + 1) / n)));
      out.closed = el.isClosed();
      return true;
    }
    case Kind::Spline: {
      auto& s = static_cast<const Spline&>(e);
      const auto& v = s.fitPoints.empty() ? s.controlPoints : s.fitPoints;
      if (v.empty()) return false;
      for (std::size_t i = 0; i + 1 < v.size(); ++i) out.segs.push_back(lineSeg(v[i], v[i + 1]));
      if (out.segs.empty()) out.segs.push_back(lineSeg(v[0], v[0]));
      return true;
    }
    case Kind::Solid2d: {
      auto& s = static_cast<const Solid2d&>(e);
      Point3d p[4];
      for (int i = 0; i < 4; ++i) s.getPointAt(i, p[i]);
      closedPoly(out, {p[0], p[1], p[3], p[2]});
      return true;
    }
    case Kind::Region: {
      auto& r = static_cast<const Region&>(e);
      for (const auto& l : r.loops())
        for (std::size_t i = 0; i < l.vertices.size(); ++i) {
          Point3d a = worldToOcs(r.normal(), l.vertices[i]), b = worldToOcs(r.normal(), l.vertices[(i + 1) % l.vertices.size()]);
          out.segs.push_back(bulgeSeg(r.normal(), a.z, {a.x, a.y}, {b.x, b.y}, i < l.bulges.size() ? l.bulges[i] : 0));
        }
      out.closed = true;
      return !out.segs.empty();
    }
    case Kind::Hatch: {
      auto& h = static_cast<const Hatch&>(e);
      for (const auto& l : h.loops())
        for (std::size_t i = 0; i < l.vertices.size(); ++i)
          out.segs.push_back(bulgeSeg(h.normal(), h.elevation(), l.vertices[i], l.vertices[(i + 1) % l.vertices.size()],
                                      i < l.bulges.size() ? l.bulges[i] : 0));
      out.closed = true;
      return !out.segs.empty();
    }
    case Kind::Text: case Kind::Attribute: case Kind::AttributeDefinition: {
      auto b = static_cast<const Text&>(e).boundingBox();
      closedPoly(out, {b[0], b[1], b[2], b[3]});
      return true;
    }
    case Kind::BlockReference: {
      std::vector<std::unique_ptr<Entity>> parts;
      static_cast<const BlockReference&>(e).explode(parts);
      for (const auto& p : parts) {
        Path sub;
        if (pathOf(*p, sub)) out.segs.insert(out.segs.end(), sub.segs.begin(), sub.segs.end());
      }
      return !out.segs.empty();
    }
    default:
      return false;
  }
}

}  // namespace gu

// ---------------------------------------------------------------- extents and explode

Status Entity::getGeomExtents(Extents3d& ext) const {
  ext = {};
  switch (kind()) {
    case Kind::Point: ext.add(static_cast<const PointEntity*>(this)->position()); return Status::Ok;
    case Kind::PolygonMesh:
      for (const auto& p : static_cast<const PolygonMesh*>(this)->vertices()) ext.add(p);
      return ext.isValid() ? Status::Ok : Status::NotApplicable;
    case Kind::PolyfaceMesh:
      for (const auto& p : static_cast<const PolyfaceMesh*>(this)->vertices()) ext.add(p);
      return ext.isValid() ? Status::Ok : Status::NotApplicable;
    case Kind::Solid3d:
      for (const auto& p : static_cast<const Solid3d*>(this)->body().vertices) ext.add(p);
      return ext.isValid() ? Status::Ok : Status::NotApplicable;
    default: break;
  }
  Path p;
  if (!pathOf(*this, p) || p.segs.empty()) return Status::NotApplicable;
  p.addExtents(ext);
  return Status::Ok;
}

static std::unique_ptr<Entity> entityOfSeg(const Seg& s) {
  if (!s.arc) return std::make_unique<Line>(s.p0, s.p1);
  double a0 = s.sweep > 0 ? s.a0 : s.a0 + s.sweep;
  double a1 = a0 + std::fabs(s.sweep);
  return std::make_unique<Arc>(s.c, s.n, s.r, normAngle(a0), std::fabs(s.sweep) >= kTwoPi - 1e-12 ? normAngle(a0) + kTwoPi : normAngle(a1));
}

Status Entity::explode(std::vector<std::unique_ptr<Entity>>& out) const {
  Kind k = kind();
  if (k != Kind::Polyline && k != Kind::Polyline2d && k != Kind::Polyline3d) return Status::NotApplicable;
  Path p;
  if (!pathOf(*this, p)) return Status::DegenerateGeometry;
  for (const auto& s : p.segs) {
    if (s.length() == 0) continue;
    auto e = entityOfSeg(s);
    e->copyPropertiesFrom(*this);
    out.push_back(std::move(e));
  }
  return Status::Ok;
}

// ---------------------------------------------------------------- curve queries

Status Curve::getStartPoint(Point3d& p) const {
  Path path;
  if (!pathOf(*this, path) || path.segs.empty()) return Status::DegenerateGeometry;
  p = path.segs.front().p0;
  return Status::Ok;
}
Status Curve::getEndPoint(Point3d& p) const {
  Path path;
  if (!pathOf(*this, path) || path.segs.empty()) return Status::DegenerateGeometry;
  p = path.segs.back().p1;
  return Status::Ok;
}
Point3d Curve::startPoint() const {
  Point3d p;
  getStartPoint(p);
  return p;
}
Point3d Curve::endPoint() const {
  Point3d p;
  getEndPoint(p);
  return p;
}
Status Curve::getLength(double& len) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  len = path.length();
  return Status::Ok;
}
Status Curve::getDistAtPoint(const Point3d& p, double& dist) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  double gap;
  dist = path.closestDist(p, nullptr, &gap);
  double tol = 1e-6 * std::max(1.0, path.length());
  return gap <= tol ? Status::Ok : Status::InvalidInput;
}
Status Curve::getPointAtDist(double dist, Point3d& p) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  double len = path.length();
  double tol = 1e-9 * std::max(1.0, len);
  if (dist < -tol || dist > len + tol) return Status::OutOfRange;
  p = path.pointAtDist(std::clamp(dist, 0.0, len));
  return Status::Ok;
}
Status Curve::getClosestPointTo(const Point3d& p, Point3d& out, bool extend) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  path.closestDist(p, &out);
  if (extend && !path.closed && !path.segs.empty()) {
    double best = out.distanceTo(p);
    for (int end = 0; end < 2; ++end) {
      const Seg& s = end == 0 ? path.segs.front() : path.segs.back();
      double t = s.closestParam(p, true);
      if ((end == 0 && t < 0) || (end == 1 && t > 1) || path.segs.size() == 1) {
        Point3d q = s.at(t);
        if (q.distanceTo(p) < best) { best = q.distanceTo(p); out = q; }
      }
    }
  }
  return Status::Ok;
}

static Vector3d curveNormal(const Curve& c) {
  switch (c.kind()) {
    case Kind::Polyline: return static_cast<const Polyline&>(c).normal();
    case Kind::Polyline2d: return static_cast<const Polyline2d&>(c).normal();
    case Kind::Circle: return static_cast<const Circle&>(c).normal();
    case Kind::Arc: return static_cast<const Arc&>(c).normal();
    case Kind::Ellipse: return static_cast<const Ellipse&>(c).normal();
    case Kind::Line: return static_cast<const Line&>(c).normal();
    default: return {0, 0, 1};
  }
}

// Signed area of a path in the plane of normal n (counter-clockwise positive).
static double pathArea(const Path& path, const Vector3d& n) {
  double a = 0;
  for (const auto& s : path.segs) {
    Point3d p = worldToOcs(n, s.p0), q = worldToOcs(n, s.p1);
    a += (p.x * q.y - q.x * p.y) / 2;
    if (s.arc) {
      double sw = std::fabs(s.sweep);
      double seg = s.r * s.r / 2 * (sw - std::sin(sw));
      bool ccw = (s.sweep > 0) == (s.n.dot(n) > 0);
      a += ccw ? seg : -seg;
    }
  }
  if (!path.segs.empty()) {
    Point3d p = worldToOcs(n, path.segs.back().p1), q = worldToOcs(n, path.segs.front().p0);
    a += (p.x * q.y - q.x * p.y) / 2;
  }
  return a;
}

Status Curve::getArea(double& area) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  Vector3d n = curveNormal(*this);
  if (kind() == Kind::Polyline3d) {
    const auto& v = static_cast<const Polyline3d&>(*this).vertices();
    Vector3d acc;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) acc = acc + (v[i] - v[0]).cross(v[i + 1] - v[0]);
    area = acc.length() / 2;
    return Status::Ok;
  }
  area = std::fabs(pathArea(path, n));
  return Status::Ok;
}

// ---------------------------------------------------------------- intersections

namespace {

struct Prim {
  bool circle = false;
  Point2d a, b;      // line
  Point2d c;         // circle
  double r = 0, a0 = 0, sweep = 0;  // plan angles, sweep signed
  bool extStart = false, extEnd = false;  // the piece may be extended beyond its start or end
  const Seg* seg = nullptr;
  bool planArc = false;  // true when the plan parameter maps onto the seg parameter
};

double primParam(const Prim& p, const Point2d& q) {
  if (!p.circle) {
    Vector2d d = p.b - p.a;
    double l2 = d.dot(d);
    return l2 > 0 ? (q - p.a).dot(d) / l2 : 0;
  }
  double ang = std::atan2(q.y - p.c.y, q.x - p.c.x);
  double as = std::fabs(p.sweep);
  double delta = p.sweep > 0 ? normAngle(ang - p.a0) : normAngle(p.a0 - ang);
  double t = delta / as;
  if (t > 1 + 1e-9) {
    double back = (delta - kTwoPi) / as;  // before the start
    if (p.extStart && p.extEnd) return t;  // the full circle: any angle counts
    if (p.extStart && !p.extEnd) return back;
    if (-back < t - 1) return back;
  }
  return t;
}

bool primAccepts(const Prim& p, double t) {
  const double eps = 1e-9;
  if (p.circle && p.extStart && p.extEnd) return true;
  if (t < -eps && !p.extStart) return false;
  if (t > 1 + eps && !p.extEnd) return false;
  return true;
}

void intersectPrims(const Prim& A, const Prim& B, std::vector<Point2d>& pts) {
  if (!A.circle && !B.circle) {
    Vector2d r = A.b - A.a, s = B.b - B.a;
    double den = r.cross(s);
    if (std::fabs(den) < 1e-12 * r.length() * s.length() || r.length() == 0 || s.length() == 0) return;
    double t = (B.a - A.a).cross(s) / den;
    pts.push_back(A.a + r * t);
    return;
  }
  if (A.circle != B.circle) {
    const Prim& L = A.circle ? B : A;
    const Prim& C = A.circle ? A : B;
    Vector2d d = L.b - L.a;
    double l = d.length();
    if (l == 0) return;
    Vector2d u = d / l;
    Vector2d w = C.c - L.a;
    double proj = w.dot(u);
    Point2d foot = L.a + u * proj;
    double h = foot.distanceTo(C.c);
    if (h > C.r * (1 + 1e-12)) return;
    double k = std::sqrt(std::max(0.0, C.r * C.r - h * h));
    if (k < 1e-12 * C.r) { pts.push_back(foot); return; }
    pts.push_back(foot - u * k);
    pts.push_back(foot + u * k);
    return;
  }
  double d = A.c.distanceTo(B.c);
  if (d < 1e-14 || d > A.r + B.r + 1e-12 * (A.r + B.r) || d < std::fabs(A.r - B.r) - 1e-12 * (A.r + B.r)) return;
  double a = (A.r * A.r - B.r * B.r + d * d) / (2 * d);
  double h = std::sqrt(std::max(0.0, A.r * A.r - a * a));
  Vector2d u = (B.c - A.c) / d;
  Point2d m = A.c + u * a;
  if (h < 1e-12 * A.r) { pts.push_back(m); return; }
  pts.push_back(m + u.perp() * h);
  pts.push_back(m - u.perp() * h);
}

void primsOf(const Path& path, bool extend, std::vector<Prim>& out, std::vector<Seg>& store) {
  // Arcs tilted out of plan are approximated by short lines.
  store.clear();
  std::vector<std::pair<Seg, bool>> pieces;  // seg, is a tilted arc approximation
  for (const auto& s : path.segs) {
    if (s.arc && std::fabs(std::fabs(s.n.z) - 1) > 1e-9) {
      const int n = 32;
      for (int i = 0; i < n; ++i) pieces.push_back({lineSeg(s.at(double(i) / n), s.at(double(i + 1) / n)), true});
    } else {
      pieces.push_back({s, false});
    }
  }
  store.reserve(pieces.size());
  for (auto& p : pieces) store.push_back(p.first);
  for (std::size_t i = 0; i < store.size(); ++i) {
    const Seg& s = store[i];
    Prim p;
    p.seg = &s;
    if (!s.arc) {
      p.a = s.p0.toPlan();
      p.b = s.p1.toPlan();
    } else {
      p.circle = true;
      p.c = s.c.toPlan();
      p.r = s.r;
      p.a0 = std::atan2(s.p0.y - s.c.y, s.p0.x - s.c.x);
      p.sweep = s.n.z > 0 ? s.sweep : -s.sweep;
    }
    if (extend && !path.closed) {
      p.extStart = i == 0;
      p.extEnd = i + 1 == store.size();
    }
    out.push_back(p);
  }
}

}  // namespace

Status Entity::intersectWith(const Entity& other, Intersect mode, std::vector<Point3d>& points) const {
  Path pa, pb;
  if (!pathOf(*this, pa) || !pathOf(other, pb)) return Status::NotApplicable;
  bool extA = mode == Intersect::ExtendThis || mode == Intersect::ExtendBoth;
  bool extB = mode == Intersect::ExtendArg || mode == Intersect::ExtendBoth;
  std::vector<Prim> A, B;
  std::vector<Seg> sa, sb;
  primsOf(pa, extA, A, sa);
  primsOf(pb, extB, B, sb);
  std::size_t before = points.size();
  for (const auto& x : A)
    for (const auto& y : B) {
      std::vector<Point2d> cand;
      intersectPrims(x, y, cand);
      for (const auto& q : cand) {
        double ta = primParam(x, q), tb = primParam(y, q);
        if (!primAccepts(x, ta) || !primAccepts(y, tb)) continue;
        // The point on this entity: same plan place, this piece's height.
        Point3d p3;
        if (!x.circle) {
          p3 = x.seg->at(ta);
        } else {
          p3 = Point3d(q.x, q.y, x.seg->c.z);
        }
        p3.x = q.x;
        p3.y = q.y;
        bool dup = false;
        for (std::size_t k = before; k < points.size(); ++k)
          if (points[k].isEqualTo(p3, 1e-9)) dup = true;
        if (!dup) points.push_back(p3);
      }
    }
  return Status::Ok;
}

// ---------------------------------------------------------------- offsets

namespace {

struct V2 {
  Point2d pt;
  double bulge = 0;
  double sw = 0, ew = 0;
};

struct OffSeg {
  bool arc = false;
  Point2d a, b;     // line: end points after offset
  Point2d c;        // arc centre
  double r = 0;
  double sweep = 0; // original signed sweep
};

std::optional<Point2d> joinPoint(const OffSeg& s, const OffSeg& t, const Point2d& near) {
  Prim x, y;
  if (s.arc) { x.circle = true; x.c = s.c; x.r = s.r; x.sweep = 1; x.extStart = x.extEnd = true; }
  else { x.a = s.a; x.b = s.b; }
  if (t.arc) { y.circle = true; y.c = t.c; y.r = t.r; y.sweep = 1; y.extStart = y.extEnd = true; }
  else { y.a = t.a; y.b = t.b; }
  std::vector<Point2d> cand;
  intersectPrims(x, y, cand);
  if (cand.empty()) return std::nullopt;
  Point2d best = cand[0];
  for (const auto& p : cand)
    if (p.distanceTo(near) < best.distanceTo(near)) best = p;
  return best;
}

// Offsets a planar vertex chain to the right of travel by d; false when the
// result would lose or reverse a segment.
bool offsetChain(const std::vector<V2>& in, bool closed, double d, std::vector<V2>& out) {
  std::size_t n = in.size();
  if (n < 2) return false;
  std::size_t nseg = closed ? n : n - 1;
  std::vector<OffSeg> segs(nseg);
  for (std::size_t i = 0; i < nseg; ++i) {
    const Point2d& a = in[i].pt;
    const Point2d& b = in[(i + 1) % n].pt;
    double len = a.distanceTo(b);
    if (len < 1e-12) return false;
    OffSeg& s = segs[i];
    if (in[i].bulge == 0) {
      Vector2d u = (b - a) / len;
      Vector2d right{u.y, -u.x};
      s.a = a + right * d;
      s.b = b + right * d;
    } else {
      Seg g = bulgeSeg({0, 0, 1}, 0, a, b, in[i].bulge);
      s.arc = true;
      s.c = g.c.toPlan();
      s.sweep = g.sweep;
      s.r = g.sweep > 0 ? g.r + d : g.r - d;
      if (s.r <= 1e-12) return false;
      Vector2d ua = (a - s.c).normal(), ub = (b - s.c).normal();
      s.a = s.c + ua * s.r;
      s.b = s.c + ub * s.r;
    }
  }
  out.assign(n, V2{});
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = in[i];
    bool hasPrev = closed || i > 0;
    bool hasNext = closed || i + 1 < n;
    if (!hasPrev) { out[i].pt = segs[0].a; continue; }
    if (!hasNext) { out[i].pt = segs[nseg - 1].b; continue; }
    const OffSeg& prev = segs[(i + nseg - 1) % nseg];
    const OffSeg& next = segs[i % nseg];
    if (prev.b.isEqualTo(next.a, 1e-9)) { out[i].pt = prev.b; continue; }
    auto j = joinPoint(prev, next, prev.b);
    if (!j) return false;
    out[i].pt = *j;
  }
  for (std::size_t i = 0; i < nseg; ++i) {
    const Point2d& a0 = in[i].pt;
    const Point2d& b0 = in[(i + 1) % n].pt;
    const Point2d& a1 = out[i].pt;
    const Point2d& b1 = out[(i + 1) % n].pt;
    const OffSeg& s = segs[i];
    if (!s.arc) {
      if ((b1 - a1).dot(b0 - a0) <= 0 || a1.distanceTo(b1) < 1e-12) return false;
      out[i].bulge = 0;
    } else {
      double angA = std::atan2(a1.y - s.c.y, a1.x - s.c.x), angB = std::atan2(b1.y - s.c.y, b1.x - s.c.x);
      double delta = s.sweep > 0 ? normAngle(angB - angA) : normAngle(angA - angB);
      if (delta < 1e-12 || std::fabs(delta - std::fabs(s.sweep)) > geom::kPi) return false;
      out[i].bulge = std::tan(delta / 4) * (s.sweep > 0 ? 1 : -1);
    }
  }
  return true;
}

}  // namespace

Status Curve::getOffsetCurves(double d, std::vector<std::unique_ptr<Entity>>& out) const {
  switch (kind()) {
    case Kind::Line: {
      auto& l = static_cast<const Line&>(*this);
      Vector3d dir = l.end() - l.start();
      if (dir.isZeroLength(1e-14)) return Status::DegenerateGeometry;
      Vector3d right = dir.normal().cross(l.normal()).normal();
      if (right.isZeroLength(1e-14)) return Status::DegenerateGeometry;
      auto e = std::make_unique<Line>(l.start() + right * d, l.end() + right * d);
      e->copyPropertiesFrom(*this);
      out.push_back(std::move(e));
      return Status::Ok;
    }
    case Kind::Circle: {
      auto& c = static_cast<const Circle&>(*this);
      if (c.radius() + d <= 0) return Status::DegenerateGeometry;
      auto e = std::make_unique<Circle>(c.center(), c.normal(), c.radius() + d);
      e->copyPropertiesFrom(*this);
      out.push_back(std::move(e));
      return Status::Ok;
    }
    case Kind::Arc: {
      auto& a = static_cast<const Arc&>(*this);
      if (a.radius() + d <= 0) return Status::DegenerateGeometry;
      auto e = std::make_unique<Arc>(a.center(), a.normal(), a.radius() + d, a.startAngle(), a.endAngle());
      e->copyPropertiesFrom(*this);
      out.push_back(std::move(e));
      return Status::Ok;
    }
    case Kind::Polyline: {
      auto& p = static_cast<const Polyline&>(*this);
      std::vector<V2> in, res;
      for (const auto& v : p.vertices()) in.push_back({v.pt, v.bulge, v.startWidth, v.endWidth});
      if (!offsetChain(in, p.isClosed(), d, res)) return Status::DegenerateGeometry;
      auto e = std::unique_ptr<Polyline>(static_cast<Polyline*>(p.clone().release()));
      for (unsigned i = 0; i < res.size(); ++i) {
        e->setPointAt(i, res[i].pt);
        e->setBulgeAt(i, res[i].bulge);
      }
      DbObject::Internal::xdata(*e).clear();
      out.push_back(std::move(e));
      return Status::Ok;
    }
    case Kind::Polyline2d: {
      auto& p = static_cast<const Polyline2d&>(*this);
      std::vector<V2> in, res;
      for (const auto& v : p.vertices()) in.push_back({{v.position.x, v.position.y}, v.bulge, v.startWidth, v.endWidth});
      if (!offsetChain(in, p.isClosed(), d, res)) return Status::DegenerateGeometry;
      auto e = std::unique_ptr<Polyline2d>(static_cast<Polyline2d*>(p.clone().release()));
      for (unsigned i = 0; i < res.size(); ++i) {
        auto v = p.vertices()[i];
        v.position = {res[i].pt.x, res[i].pt.y, 0};
        v.bulge = res[i].bulge;
        e->setVertexAt(i, v);
      }
      DbObject::Internal::xdata(*e).clear();
      out.push_back(std::move(e));
      return Status::Ok;
    }
    default:
      return Status::NotApplicable;
  }
}

// ---------------------------------------------------------------- splitting

Status Curve::getSplitCurves(const std::vector<Point3d>& points, std::vector<std::unique_ptr<Entity>>& out) const {
  Path path;
  if (!pathOf(*this, path)) return Status::DegenerateGeometry;
  Kind k = kind();
  if (k == Kind::Ellipse || k == Kind::Spline) return Status::NotApplicable;
  double len = path.length();
  if (len <= 0) return Status::DegenerateGeometry;
  double tol = 1e-9 * std::max(1.0, len);
  std::vector<double> cuts;
  for (const auto& p : points) cuts.push_back(path.closestDist(p));
  std::sort(cuts.begin(), cuts.end());
  std::vector<double> u;
  for (double c : cuts) {
    if (!path.closed && (c <= tol || c >= len - tol)) continue;
    if (path.closed && c >= len - tol) c = 0;
    if (!u.empty() && std::fabs(c - u.back()) <= tol) continue;
    u.push_back(c);
  }
  std::sort(u.begin(), u.end());
  u.erase(std::unique(u.begin(), u.end(), [&](double a, double b) { return std::fabs(a - b) <= tol; }), u.end());
  if (u.empty()) return Status::InvalidInput;

  std::vector<std::pair<double, double>> ranges;
  if (!path.closed) {
    double s = 0;
    for (double c : u) { ranges.push_back({s, c}); s = c; }
    ranges.push_back({s, len});
  } else {
    for (std::size_t i = 0; i < u.size(); ++i) {
      double a = u[i], b = i + 1 < u.size() ? u[i + 1] : u[0] + len;
      ranges.push_back({a, b});
    }
  }

  // The pieces of the path between two distances (b may exceed the length on closed paths).
  auto piecesOf = [&](double a, double b) {
    std::vector<Seg> r;
    double base = 0;
    for (int lap = 0; lap < 2; ++lap) {
      for (const auto& s : path.segs) {
        double l = s.length();
        double s0 = base, s1 = base + l;
        base = s1;
        double lo = std::max(a, s0), hi = std::min(b, s1);
        if (hi - lo <= tol || l <= 0) continue;
        double t0 = (lo - s0) / l, t1 = (hi - s0) / l;
        Seg p = s;
        if (s.arc) {
          p.a0 = s.a0 + s.sweep * t0;
          p.sweep = s.sweep * (t1 - t0);
        }
        p.p0 = s.at(t0);
        p.p1 = s.at(t1);
        r.push_back(p);
      }
    }
    return r;
  };

  for (auto [a, b] : ranges) {
    std::vector<Seg> segs = piecesOf(a, b);
    if (segs.empty()) continue;
    std::unique_ptr<Entity> e;
    switch (k) {
      case Kind::Line:
        e = std::make_unique<Line>(segs.front().p0, segs.back().p1);
        break;
      case Kind::Arc: case Kind::Circle: {
        Seg s = segs.front();
        if (segs.size() > 1) s.sweep = segs.front().sweep + segs.back().sweep;
        e = std::make_unique<Arc>(s.c, s.n, s.r, normAngle(s.a0), normAngle(s.a0 + s.sweep));
        break;
      }
      case Kind::Polyline: {
        auto& src = static_cast<const Polyline&>(*this);
        auto pl = std::make_unique<Polyline>();
        pl->setNormal(src.normal());
        pl->setElevation(src.elevation());
        unsigned i = 0;
        for (const auto& s : segs) {
          Point3d o = worldToOcs(src.normal(), s.p0);
          pl->addVertexAt(i++, {o.x, o.y}, s.arc ? std::tan(s.sweep / 4) : 0, 0, 0);
        }
        Point3d o = worldToOcs(src.normal(), segs.back().p1);
        pl->addVertexAt(i, {o.x, o.y}, 0, 0, 0);
        double w;
        if (src.getConstantWidth(w) == Status::Ok && w > 0) pl->setConstantWidth(w);
        e = std::move(pl);
        break;
      }
      case Kind::Polyline2d: {
        auto& src = static_cast<const Polyline2d&>(*this);
        auto pl = std::make_unique<Polyline2d>();
        pl->setNormal(src.normal());
        pl->setElevation(src.elevation());
        pl->setDefaultWidths(src.defaultStartWidth(), src.defaultEndWidth());
        for (const auto& s : segs) {
          Point3d o = worldToOcs(src.normal(), s.p0);
          pl->appendVertex({{o.x, o.y, 0}, s.arc ? std::tan(s.sweep / 4) : 0, src.defaultStartWidth(), src.defaultEndWidth()});
        }
        Point3d o = worldToOcs(src.normal(), segs.back().p1);
        pl->appendVertex({{o.x, o.y, 0}, 0, src.defaultStartWidth(), src.defaultEndWidth()});
        e = std::move(pl);
        break;
      }
      case Kind::Polyline3d: {
        auto pl = std::make_unique<Polyline3d>();
        for (const auto& s : segs) pl->appendVertex(s.p0);
        pl->appendVertex(segs.back().p1);
        e = std::move(pl);
        break;
      }
      default:
        return Status::NotApplicable;
    }
    e->copyPropertiesFrom(*this);
    out.push_back(std::move(e));
  }
  return Status::Ok;
}

// ---------------------------------------------------------------- regions from curves

namespace {

Path reversedPath(const Path& p) {
  Path r;
  r.closed = p.closed;
  for (auto it = p.segs.rbegin(); it != p.segs.rend(); ++it) {
    Seg s = *it;
    std::swap(s.p0, s.p1);
    if (s.arc) {
      s.a0 += s.sweep;
      s.sweep = -s.sweep;
    }
    r.segs.push_back(s);
  }
  return r;
}

// The loop of a closed chain of pieces in the plane of n; nullopt when a
// piece leaves that plane.
std::optional<Region::Loop> planarLoop(const std::vector<Seg>& segs, const Vector3d& n, double tol) {
  Region::Loop l;
  if (segs.empty()) return std::nullopt;
  double z = worldToOcs(n, segs.front().p0).z;
  for (const Seg& s : segs) {
    if (std::fabs(worldToOcs(n, s.p0).z - z) > tol || std::fabs(worldToOcs(n, s.p1).z - z) > tol) return std::nullopt;
    if (s.length() <= tol) continue;
    if (!s.arc) {
      l.vertices.push_back(s.p0);
      l.bulges.push_back(0);
      continue;
    }
    double along = s.n.dot(n);
    if (std::fabs(std::fabs(along) - 1) > 1e-9) return std::nullopt;
    double sweep = along > 0 ? s.sweep : -s.sweep;
    if (std::fabs(sweep) >= kTwoPi - 1e-12) {  // a full circle: two halves
      l.vertices.insert(l.vertices.end(), {s.p0, s.at(0.5)});
      l.bulges.insert(l.bulges.end(), 2, std::tan(sweep / 8));
    } else {
      l.vertices.push_back(s.p0);
      l.bulges.push_back(std::tan(sweep / 4));
    }
  }
  if (l.vertices.size() < 2) return std::nullopt;
  return l;
}

// The plane of a curve's loop: the curve's normal; a 3D polyline's from its vertices.
Vector3d loopNormal(const Curve& c, const Path& path) {
  if (c.kind() != Kind::Polyline3d) {
    for (const Seg& s : path.segs)
      if (s.arc) return s.n;
    return curveNormal(c);
  }
  Vector3d acc;
  Point3d o = path.segs.front().p0;
  for (const Seg& s : path.segs) acc = acc + (s.p0 - o).cross(s.p1 - o);
  return acc.isZeroLength(1e-12) ? Vector3d(0, 0, 1) : acc.normal();
}

}  // namespace

Status Region::createFromCurves(const std::vector<const Curve*>& curves, std::vector<std::unique_ptr<Region>>& regions) {
  std::size_t before = regions.size();
  struct Open {
    const Curve* curve;
    Path path;
  };
  std::vector<Open> open;
  auto addRegion = [&](const std::vector<Seg>& segs, const Vector3d& n) {
    double size = 1;
    for (const Seg& s : segs) size = std::max({size, s.p0.asVector().length(), s.p1.asVector().length()});
    auto loop = planarLoop(segs, n, 1e-9 * size);
    if (!loop) return;
    auto r = std::make_unique<Region>();
    r->normal_ = n;
    // Through the region's own arrangement: counter-clockwise, no repeated
    // vertices, and no region for a loop without area.
    double z = 0;
    auto plan = planLoops({*loop}, n, &z);
    r->loops_ = worldLoops(geom::arrangeFaces(plan), n, z);
    if (!r->loops_.empty()) regions.push_back(std::move(r));
  };
  for (const Curve* c : curves) {
    Path path;
    if (!c || !pathOf(*c, path) || path.segs.empty()) continue;
    double size = std::max({1.0, path.segs.front().p0.asVector().length(), path.segs.back().p1.asVector().length()});
    bool ends = path.segs.front().p0.isEqualTo(path.segs.back().p1, 1e-9 * size);
    if (path.closed || (ends && path.length() > 0)) {
      addRegion(path.segs, loopNormal(*c, path));
    } else if (c->kind() != Kind::Spline && path.length() > 0) {
      open.push_back({c, std::move(path)});
    }
  }
  // Open curves meeting end to end: followed from each unused one until the
  // chain comes back to its start or finds no continuation.
  std::vector<bool> used(open.size(), false);
  for (std::size_t first = 0; first < open.size(); ++first) {
    if (used[first]) continue;
    used[first] = true;
    std::vector<Seg> chain = open[first].path.segs;
    double size = 1;
    for (const auto& o : open) size = std::max({size, o.path.segs.front().p0.asVector().length()});
    double tol = std::max(1e-6, 1e-9 * size);
    while (!chain.back().p1.isEqualTo(chain.front().p0, tol)) {
      bool found = false;
      for (std::size_t k = 0; k < open.size() && !found; ++k) {
        if (used[k]) continue;
        const Path& p = open[k].path;
        if (p.segs.front().p0.isEqualTo(chain.back().p1, tol)) {
          chain.insert(chain.end(), p.segs.begin(), p.segs.end());
          found = true;
        } else if (p.segs.back().p1.isEqualTo(chain.back().p1, tol)) {
          Path r = reversedPath(p);
          chain.insert(chain.end(), r.segs.begin(), r.segs.end());
          found = true;
        }
        if (found) used[k] = true;
      }
      if (!found) break;
    }
    if (chain.back().p1.isEqualTo(chain.front().p0, tol)) {
      // Small gaps within the tolerance are closed by taking the next piece's start.
      for (std::size_t i = 0; i + 1 < chain.size(); ++i) chain[i + 1].p0 = chain[i].p1;
      addRegion(chain, loopNormal(*open[first].curve, Path{chain, true}));
    }
  }
  return regions.size() > before ? Status::Ok : Status::InvalidInput;
}

}  // namespace cad
