// Bulge polylines: measures, containment, offsets and tessellation.
#include "platform/geom/polyline.h"

#include <algorithm>

namespace geom {

namespace {
// Signed area between an arc segment and its chord: positive when the arc
// bulges to the right of the chord's direction (a counter-clockwise arc), as
// a counter-clockwise outline gains area from such an arc.
double capArea(const CircArc2d& a) {
  double t = std::fabs(a.sweep);
  double area = a.radius * a.radius / 2 * (t - std::sin(t));
  return a.sweep > 0 ? area : -area;
}

// Centroid of the circular segment between the arc and its chord.
Point2d capCentroid(const CircArc2d& a) {
  double al = std::fabs(a.sweep) / 2;
  double den = 3 * (2 * al - std::sin(2 * al));
  double d = den > 0 ? 4 * a.radius * std::pow(std::sin(al), 3) / den : a.radius;
  Vector2d toMid = (a.midPoint() - a.center).normal();
  return a.center + toMid * d;
}

double wrapPi(double a) {
  a = normalizeAngle(a);
  return a > kPi ? a - 2 * kPi : a;
}
}  // namespace

int Polyline2d::segmentCount() const {
  int n = vertexCount();
  if (closed) return n >= 2 ? n : 0;
  return n >= 1 ? n - 1 : 0;
}

Curve2d Polyline2d::segmentAt(int i) const {
  int n = vertexCount();
  return Curve2d::fromBulge(points[i], points[(i + 1) % n], bulgeAt(i));
}

CompositeCurve2d Polyline2d::toCompositeCurve() const {
  CompositeCurve2d c;
  for (int i = 0; i < segmentCount(); ++i) c.segments.push_back(segmentAt(i));
  return c;
}

double Polyline2d::length() const {
  double l = 0;
  for (int i = 0; i < segmentCount(); ++i) l += segmentAt(i).length();
  return l;
}

double Polyline2d::signedArea() const {
  int n = vertexCount();
  double a = 0;
  for (int i = 0; i < n; ++i) {
    const Point2d &p = points[i], &q = points[(i + 1) % n];
    a += (p.x * q.y - q.x * p.y) / 2;
  }
  int arcs = closed ? n : n - 1;
  for (int i = 0; i < arcs; ++i) {
    Curve2d s = segmentAt(i);
    if (s.isArc()) a += capArea(s.arc());
  }
  return n < 2 ? 0 : a;
}

std::optional<Point2d> Polyline2d::centroid(double minArea) const {
  int n = vertexCount();
  if (n < 2) return std::nullopt;
  // Measured from the first vertex to keep the sums small far from the origin.
  Point2d o = points[0];
  double area = 0, mx = 0, my = 0;
  for (int i = 0; i < n; ++i) {
    Vector2d p = points[i] - o, q = points[(i + 1) % n] - o;
    double f = p.cross(q) / 2;
    area += f;
    mx += f * (p.x + q.x) / 3;
    my += f * (p.y + q.y) / 3;
  }
  int arcs = closed ? n : n - 1;
  for (int i = 0; i < arcs; ++i) {
    Curve2d s = segmentAt(i);
    if (!s.isArc()) continue;
    double ca = capArea(s.arc());
    Vector2d cc = capCentroid(s.arc()) - o;
    area += ca;
    mx += ca * cc.x;
    my += ca * cc.y;
  }
  if (std::fabs(area) < minArea || std::fabs(area) == 0) return std::nullopt;
  return Point2d{o.x + mx / area, o.y + my / area};
}

Extents2d Polyline2d::extents() const {
  Extents2d e;
  for (const auto& p : points) e.add(p);
  for (int i = 0; i < segmentCount(); ++i) e.add(segmentAt(i).extents());
  return e;
}

Containment Polyline2d::classify(const Point2d& p, double tol) const {
  int n = vertexCount();
  if (n == 0) return Containment::Outside;
  // The outline as if closed: an open polyline is closed by a straight line.
  std::vector<Curve2d> segs;
  for (int i = 0; i < segmentCount(); ++i) segs.push_back(segmentAt(i));
  if (!closed && n >= 2) segs.push_back(LineSeg2d(points[n - 1], points[0]));
  if (n == 1) return p.isEqualTo(points[0], tol) ? Containment::OnBoundary : Containment::Outside;
  int count = 0;
  for (const auto& s : segs) {
    if (s.isOn(p, tol)) return Containment::OnBoundary;
    count += crossingsTowardNegX(p, s);
  }
  return count % 2 ? Containment::Inside : Containment::Outside;
}

Polyline2d Polyline2d::reversed() const {
  Polyline2d r;
  int n = vertexCount();
  r.closed = closed;
  r.points.assign(points.rbegin(), points.rend());
  r.bulges.assign(n, 0.0);
  for (int k = 0; k + 1 < n; ++k) r.bulges[k] = -bulgeAt(n - 2 - k);
  if (closed && n > 0) r.bulges[n - 1] = -bulgeAt(n - 1);
  return r;
}

std::optional<Polyline2d> Polyline2d::offset(double d) const {
  int n = vertexCount();
  if (n < 2) return std::nullopt;
  if (d == 0) return *this;
  int m = segmentCount();
  double scale = 1;
  for (const auto& p : points) scale = std::max({scale, std::fabs(p.x), std::fabs(p.y)});
  const double tol = 1e-9 * std::max(scale, std::fabs(d));

  // Each segment moved sideways: lines parallel, arcs concentric.
  std::vector<std::optional<Curve2d>> off(m);
  std::vector<Curve2d> orig(m);
  bool anyReal = false;
  for (int i = 0; i < m; ++i) {
    orig[i] = segmentAt(i);
    if (orig[i].startPoint().distanceTo(orig[i].endPoint()) <= tol) continue;  // degenerate
    anyReal = true;
    if (orig[i].isLine()) {
      const auto& l = orig[i].line();
      Vector2d u = l.direction();
      Vector2d right{u.y, -u.x};
      off[i] = LineSeg2d(l.start + right * d, l.end + right * d);
    } else {
      CircArc2d a = orig[i].arc();
      a.radius += a.sweep > 0 ? d : -d;
      if (a.radius <= tol) return std::nullopt;  // the arc shrinks to nothing
      off[i] = a;
    }
  }
  if (!anyReal) return std::nullopt;

  auto realBefore = [&](int k) -> int {  // the real segment ending at vertex k
    for (int step = 1; step <= m; ++step) {
      int i = k - step;
      if (!closed && i < 0) return -1;
      i = (i % m + m) % m;
      if (off[i]) return i;
    }
    return -1;
  };
  auto realFrom = [&](int k) -> int {  // the real segment starting at vertex k
    for (int step = 0; step < m; ++step) {
      int i = k + step;
      if (!closed && i >= m) return -1;
      i %= m;
      if (off[i]) return i;
    }
    return -1;
  };

  Polyline2d r;
  r.closed = closed;
  r.points.resize(n);
  for (int k = 0; k < n; ++k) {
    int prev = realBefore(k), next = realFrom(k);
    if (prev < 0 && next < 0) return std::nullopt;
    if (prev < 0) {
      r.points[k] = off[next]->startPoint();
      continue;
    }
    if (next < 0) {
      r.points[k] = off[prev]->endPoint();
      continue;
    }
    if (prev == next) return std::nullopt;  // a single real segment cannot close on itself
    Point2d pe = off[prev]->endPoint(), ns = off[next]->startPoint();
    if (pe.distanceTo(ns) <= tol) {
      r.points[k] = pe;
      continue;
    }
    auto hits = intersect(*off[prev], *off[next], Extend::Both, tol);
    if (hits.empty()) return std::nullopt;
    Point2d want{(pe.x + ns.x) / 2, (pe.y + ns.y) / 2};
    Point2d best = hits.front();
    for (const auto& h : hits)
      if (h.distanceTo(want) < best.distanceTo(want)) best = h;
    r.points[k] = best;
  }

  // Bulges of the moved segments between their new vertices; a segment that
  // turned back or vanished makes the offset fail.
  r.bulges.assign(n, 0.0);
  for (int i = 0; i < m; ++i) {
    if (!off[i]) continue;
    Point2d s = r.points[i], e = r.points[(i + 1) % n];
    if (orig[i].isLine()) {
      if ((e - s).dot(orig[i].line().direction()) <= tol) return std::nullopt;
      continue;
    }
    const CircArc2d& a = orig[i].arc();
    const CircArc2d& o = off[i]->arc();
    double dir = a.sweep > 0 ? 1 : -1;
    double t0 = wrapPi(dir * ((s - o.center).angle() - a.startAngle));
    double t1 = wrapPi(dir * ((e - o.center).angle() - (a.startAngle + a.sweep)));
    double sw = std::fabs(a.sweep) + t1 - t0;
    if (sw <= 1e-9 || sw >= 2 * kPi - 1e-9) return std::nullopt;
    r.bulges[i] = dir * std::tan(sw / 4);
  }
  if (!closed && static_cast<int>(bulges.size()) >= n) r.bulges[n - 1] = bulges[n - 1];
  return r;
}

Polyline2d Polyline2d::tessellated(double maxStep) const {
  Polyline2d r;
  r.closed = closed;
  int n = vertexCount();
  for (int i = 0; i < segmentCount(); ++i) {
    Curve2d s = segmentAt(i);
    if (s.isArc()) {
      auto pts = tessellate(s.arc(), maxStep);
      r.points.insert(r.points.end(), pts.begin(), pts.end() - 1);
    } else {
      r.points.push_back(s.startPoint());
    }
  }
  if (!closed && n > 0) r.points.push_back(points[n - 1]);
  if (n == 1) r.points = points;
  r.bulges.assign(r.points.size(), 0.0);
  return r;
}

}  // namespace geom
