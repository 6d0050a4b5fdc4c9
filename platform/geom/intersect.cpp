// Plan intersections, closest points and rays.
#include <algorithm>

#include "platform/geom/curves.h"

namespace geom {

namespace {

struct Hit {
  Point2d p;
  double key;  // position along the first operand, for ordering
};

// Position of p along curve c, extended or not, for ordering the hits.
double keyAlong(const Curve2d& c, const Point2d& p) {
  if (c.isLine()) {
    const auto& l = c.line();
    return (p - l.start).dot(l.direction());
  }
  const auto& a = c.arc();
  double t = a.sweep > 0 ? normalizeAngle((p - a.center).angle() - a.startAngle)
                         : normalizeAngle(a.startAngle - (p - a.center).angle());
  if (t > 2 * kPi - 1e-12) t = 0;
  return t * a.radius;
}

bool onLine(const LineSeg2d& l, const Point2d& p, bool extend, double tol) {
  if (extend) return true;
  double len = l.length();
  double t = (p - l.start).dot(l.direction());
  return t >= -tol && t <= len + tol;
}

bool onArc(const CircArc2d& a, const Point2d& p, bool extend, double tol) {
  if (extend || a.isFullCircle()) return true;
  if (p.isEqualTo(a.startPoint(), tol) || p.isEqualTo(a.endPoint(), tol)) return true;
  double angTol = a.radius > 0 ? tol / a.radius : 0;
  return a.containsAngle((p - a.center).angle(), angTol);
}

bool onCurve(const Curve2d& c, const Point2d& p, bool extend, double tol) {
  return c.isLine() ? onLine(c.line(), p, extend, tol) : onArc(c.arc(), p, extend, tol);
}

void addUnique(std::vector<Point2d>& pts, const Point2d& p, double tol) {
  for (const auto& q : pts)
    if (q.isEqualTo(p, tol)) return;
  pts.push_back(p);
}

// Candidate points where an (extended) line meets an (extended) circle.
std::vector<Point2d> lineCircle(const LineSeg2d& l, const Point2d& c, double r, double tol) {
  std::vector<Point2d> out;
  Vector2d d = l.direction();
  if (d.length() == 0) return out;
  double t0 = (c - l.start).dot(d);
  Point2d f = l.start + d * t0;
  double h = f.distanceTo(c);
  if (h > r + tol) return out;
  if (std::fabs(h - r) <= tol) {
    out.push_back(f);
    return out;
  }
  double dt = std::sqrt(std::max(0.0, r * r - h * h));
  out.push_back(l.start + d * (t0 - dt));
  out.push_back(l.start + d * (t0 + dt));
  return out;
}

std::vector<Point2d> circleCircle(const CircArc2d& a, const CircArc2d& b, double tol) {
  std::vector<Point2d> out;
  Vector2d cc = b.center - a.center;
  double d = cc.length();
  double r1 = a.radius, r2 = b.radius;
  if (d <= tol) return out;  // concentric: handled by the caller when co-circular
  if (d > r1 + r2 + tol || d < std::fabs(r1 - r2) - tol) return out;
  Vector2d u = cc / d;
  double x = (d * d + r1 * r1 - r2 * r2) / (2 * d);
  x = std::clamp(x, -r1, r1);
  double h = std::sqrt(std::max(0.0, r1 * r1 - x * x));
  Point2d m = a.center + u * x;
  if (h <= tol) {
    out.push_back(m);
    return out;
  }
  out.push_back(m + u.perp() * h);
  out.push_back(m - u.perp() * h);
  return out;
}

}  // namespace

std::vector<Point2d> intersect(const Curve2d& a, const Curve2d& b, Extend ext, double tol) {
  bool extA = ext == Extend::This || ext == Extend::Both;
  bool extB = ext == Extend::Other || ext == Extend::Both;
  std::vector<Point2d> cand;

  if (a.isLine() && b.isLine()) {
    const LineSeg2d &la = a.line(), &lb = b.line();
    Vector2d r = la.end - la.start, s = lb.end - lb.start;
    double lr = r.length(), ls = s.length();
    if (lr == 0 || ls == 0) {
      // A degenerate segment is a point: it meets the other where it lies on it.
      Point2d p = lr == 0 ? la.start : lb.start;
      const LineSeg2d& other = lr == 0 ? lb : la;
      bool extOther = lr == 0 ? extB : extA;
      if (other.closestPointTo(p, extOther).isEqualTo(p, tol)) cand.push_back(p);
    } else {
      double den = r.cross(s);
      if (std::fabs(den) <= 1e-12 * lr * ls) {
        // Parallel: only collinear ones meet, along their shared part.
        if (la.closestPointTo(lb.start, true).distanceTo(lb.start) <= tol && !(extA && extB)) {
          Vector2d u = r / lr;
          double b0 = (lb.start - la.start).dot(u), b1 = (lb.end - la.start).dot(u);
          double lo = extA ? std::min(b0, b1) : std::max(0.0, std::min(b0, b1));
          double hi = extA ? std::max(b0, b1) : std::min(lr, std::max(b0, b1));
          if (extB) lo = 0, hi = lr;
          if (lo <= hi + tol) {
            cand.push_back(la.start + u * lo);
            if (hi - lo > tol) cand.push_back(la.start + u * hi);
          }
        }
      } else {
        double t = (lb.start - la.start).cross(s) / den;
        cand.push_back(la.start + r * t);
      }
    }
  } else if (a.isArc() && b.isArc()) {
    const CircArc2d &aa = a.arc(), &ab = b.arc();
    if (aa.center.isEqualTo(ab.center, tol) && std::fabs(aa.radius - ab.radius) <= tol) {
      // Co-circular: the ends of the shared part.
      if (!(extA && extB) && !(aa.isFullCircle() && ab.isFullCircle())) {
        if (!extB && !ab.isFullCircle()) {
          addUnique(cand, ab.startPoint(), tol);
          addUnique(cand, ab.endPoint(), tol);
        }
        if (!extA && !aa.isFullCircle()) {
          addUnique(cand, aa.startPoint(), tol);
          addUnique(cand, aa.endPoint(), tol);
        }
      }
    } else {
      cand = circleCircle(aa, ab, tol);
    }
  } else {
    const LineSeg2d& l = a.isLine() ? a.line() : b.line();
    const CircArc2d& c = a.isArc() ? a.arc() : b.arc();
    if (l.length() == 0) {
      if (std::fabs(l.start.distanceTo(c.center) - c.radius) <= tol) cand.push_back(l.start);
    } else {
      cand = lineCircle(l, c.center, c.radius, tol);
    }
  }

  std::vector<Hit> hits;
  for (const auto& p : cand) {
    if (!onCurve(a, p, extA, tol) || !onCurve(b, p, extB, tol)) continue;
    bool dup = false;
    for (const auto& h : hits) dup = dup || h.p.isEqualTo(p, tol);
    if (!dup) hits.push_back({p, keyAlong(a, p)});
  }
  std::stable_sort(hits.begin(), hits.end(), [](const Hit& x, const Hit& y) { return x.key < y.key; });
  std::vector<Point2d> out;
  for (const auto& h : hits) out.push_back(h.p);
  return out;
}

std::vector<Point2d> intersect(const CompositeCurve2d& a, const CompositeCurve2d& b, double tol) {
  std::vector<Point2d> out;
  for (const auto& sa : a.segments) {
    std::vector<Hit> hits;
    for (const auto& sb : b.segments)
      for (const auto& p : intersect(sa, sb, Extend::None, tol)) hits.push_back({p, keyAlong(sa, p)});
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& x, const Hit& y) { return x.key < y.key; });
    for (const auto& h : hits) addUnique(out, h.p, tol);
  }
  return out;
}

ClosestPoints closestPoints(const Curve2d& a, const Curve2d& b) {
  auto meet = intersect(a, b, Extend::None, 1e-9);
  if (!meet.empty()) return {meet.front(), meet.front(), 0};
  // The minimum lies at an end point of either curve or at an interior
  // stationary pair; collect candidate points on each side and let the other
  // curve answer its closest point.
  std::vector<Point2d> onA = {a.startPoint(), a.endPoint()};
  std::vector<Point2d> onB = {b.startPoint(), b.endPoint()};
  auto radial = [](const CircArc2d& arc, const Point2d& toward, std::vector<Point2d>& into) {
    Vector2d v = toward - arc.center;
    if (v.length() == 0) return;
    for (double s : {1.0, -1.0}) {
      Point2d p = arc.center + v.normal() * (arc.radius * s);
      if (arc.containsAngle((p - arc.center).angle(), 1e-12)) into.push_back(p);
    }
  };
  if (a.isArc() && b.isArc()) {
    radial(a.arc(), b.arc().center, onA);
    radial(b.arc(), a.arc().center, onB);
  } else if (a.isArc() && b.isLine()) {
    Point2d f = b.line().closestPointTo(a.arc().center, true);
    radial(a.arc(), f, onA);
    onB.push_back(b.line().closestPointTo(a.arc().center));
  } else if (a.isLine() && b.isArc()) {
    Point2d f = a.line().closestPointTo(b.arc().center, true);
    radial(b.arc(), f, onB);
    onA.push_back(a.line().closestPointTo(b.arc().center));
  }
  ClosestPoints best;
  best.distance = 1e300;
  for (const auto& p : onA) {
    Point2d q = b.closestPointTo(p);
    double d = p.distanceTo(q);
    if (d < best.distance) best = {p, q, d};
  }
  for (const auto& q : onB) {
    Point2d p = a.closestPointTo(q);
    double d = p.distanceTo(q);
    if (d < best.distance) best = {p, q, d};
  }
  return best;
}

ClosestPoints closestPoints(const CompositeCurve2d& a, const CompositeCurve2d& b) {
  ClosestPoints best;
  best.distance = 1e300;
  for (const auto& sa : a.segments)
    for (const auto& sb : b.segments) {
      auto c = closestPoints(sa, sb);
      if (c.distance < best.distance) best = c;
    }
  return best;
}

std::vector<Point2d> intersect(const Ray2d& r, const Curve2d& c, double tol) {
  std::vector<Point2d> out;
  Vector2d d = r.direction.normal();
  if (d.length() == 0) return out;
  LineSeg2d carrier(r.origin, r.origin + d);
  for (const auto& p : intersect(Curve2d(carrier), c, Extend::This, tol))
    if ((p - r.origin).dot(d) >= -tol) out.push_back(p);
  return out;  // already ordered along the carrier, i.e. nearest first
}

double distance(const Ray2d& r, const Curve2d& c) {
  if (!intersect(r, c).empty()) return 0;
  Vector2d d = r.direction.normal();
  if (d.length() == 0) return c.distanceTo(r.origin);
  auto toRay = [&](const Point2d& p) {
    double t = std::max(0.0, (p - r.origin).dot(d));
    return p.distanceTo(r.origin + d * t);
  };
  double best = std::min({c.distanceTo(r.origin), toRay(c.startPoint()), toRay(c.endPoint())});
  if (c.isArc()) {
    const auto& a = c.arc();
    double t = (a.center - r.origin).dot(d);
    Point2d f = r.origin + d * t;
    Vector2d v = f - a.center;
    if (v.length() > 0) {
      Point2d p = a.center + v.normal() * a.radius;
      if (a.containsAngle((p - a.center).angle())) best = std::min(best, toRay(p));
    }
  }
  return best;
}

namespace {
// Above the ray's line: by more than the rounding of computed arc ends, so
// an arc end that is a polyline vertex on the ray counts as on it, as the
// vertex does for the straight neighbour.
bool above(const Point2d& q, const Point2d& p) {
  return q.y > p.y + 1e-12 * std::max({1.0, std::fabs(p.y), std::fabs(q.y)});
}
// One rising or falling piece: the half-open crossing test against the ray
// toward -X from p.
int pieceCrossing(const Point2d& p, const Point2d& s, const Point2d& e, double xAtP) {
  if (above(s, p) == above(e, p)) return 0;
  return xAtP < p.x ? 1 : 0;
}
}  // namespace

int crossingsTowardNegX(const Point2d& p, const Curve2d& c) {
  if (c.isLine()) {
    const auto& l = c.line();
    if (above(l.start, p) == above(l.end, p)) return 0;
    double x = l.start.x + (p.y - l.start.y) * (l.end.x - l.start.x) / (l.end.y - l.start.y);
    return pieceCrossing(p, l.start, l.end, x);
  }
  const auto& a = c.arc();
  // Cut the arc at its top and bottom points into pieces that only rise or
  // only fall; each lies in the left or the right half of the circle.
  std::vector<double> cuts = {0.0};
  for (double q : {kPi / 2, 3 * kPi / 2}) {
    double t = a.sweep > 0 ? normalizeAngle(q - a.startAngle) : normalizeAngle(a.startAngle - q);
    if (t > 1e-15 && t < std::fabs(a.sweep) - 1e-15) cuts.push_back(t);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(std::fabs(a.sweep));
  double dir = a.sweep > 0 ? 1 : -1;
  int count = 0;
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    double a0 = a.startAngle + dir * cuts[i], a1 = a.startAngle + dir * cuts[i + 1];
    Point2d s = i == 0 ? a.startPoint() : a.pointAtAngle(a0);
    Point2d e = i + 2 == cuts.size() ? a.endPoint() : a.pointAtAngle(a1);
    double dy = p.y - a.center.y;
    double half = std::sqrt(std::max(0.0, a.radius * a.radius - dy * dy));
    double side = std::cos((a0 + a1) / 2) < 0 ? -1 : 1;
    count += pieceCrossing(p, s, e, a.center.x + side * half);
  }
  return count;
}

}  // namespace geom
