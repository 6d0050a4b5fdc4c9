#include "module/toolkit/bulge.h"

#include <algorithm>
#include <cmath>

#include "module/toolkit/plan_segments.h"
#include "module/toolkit/points.h"
#include "module/toolkit/strings.h"
#include "platform/geom/polyline.h"

namespace {

// The full turn of the tessellation grid (2 pi to seven decimals).
constexpr double kGridTurn = 6.2831853;
// Bulges below this are straight for the band outline.
constexpr double kStraightBulge = 0.0001;
// On-boundary tolerance of the point-in-polyline test.
constexpr double kOnBoundaryTol = 0.1;

const geom::Vector3d kZ(0, 0, 1);

geom::Vector3d planVector(const geom::Vector3d& v) { return {v.x, v.y, 0}; }
geom::Point3d planPoint(const geom::Point2d& p) { return {p.x, p.y, 0}; }

double bulgeOf(const BulgeList& bulges, size_t i) { return i < bulges.size() ? bulges[i] : 0.0; }

// The outline as a plan polyline value (the repeated last point of a ring
// kept as it is: it only adds a zero-length segment).
geom::Polyline2d planPolyline(const PointList& points, const BulgeList& bulges, bool closed) {
  geom::Polyline2d pl;
  pl.closed = closed;
  for (size_t i = 0; i < points.size(); ++i) {
    pl.points.push_back(points[i].toPlan());
    pl.bulges.push_back(bulgeOf(bulges, i));
  }
  return pl;
}

void appendPoint(PointList& points, BulgeList& bulges, const geom::Point3d& p, double b = 0.0) {
  points.push_back(p);
  bulges.push_back(b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Segments
// ---------------------------------------------------------------------------

void GetSegmentArcCenter(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                         geom::Point3d& centre, double* radius) {
  auto arc = geom::CircArc2d::fromBulge(start.toPlan(), end.toPlan(), bulge);
  if (arc)
    centre = planPoint(arc->center);
  else
    centre = {(start.x + end.x) / 2, (start.y + end.y) / 2, 0};
  if (radius) *radius = centre.planDistanceTo(start);
}

double GetSegmentLength(const geom::Point3d& start, const geom::Point3d& end, double bulge) {
  if (bulge == 0.0) return start.distanceTo(end);
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  return r * 4 * std::atan(std::fabs(bulge));
}

geom::Point3d GetSegmentMidPoint(const geom::Point3d& start, const geom::Point3d& end, double bulge) {
  if (bulge == 0.0)
    return {(start.x + end.x) / 2, (start.y + end.y) / 2, (start.z + end.z) / 2};
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  geom::Vector3d u = planVector(start - c).normal().rotatedBy(2 * std::atan(bulge), kZ);
  return c + u * r;
}

void GetArcFrom3Points(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Point3d& p3,
                       geom::Point3d& centre, double* radius, double* bulge) {
  auto arc = geom::CircArc2d::throughPoints(p1.toPlan(), p2.toPlan(), p3.toPlan());
  if (!arc) return;
  centre = planPoint(arc->center);
  if (radius) *radius = centre.planDistanceTo(p1);
  if (bulge) {
    geom::Vector2d v1 = p1.toPlan() - arc->center, v3 = p3.toPlan() - arc->center;
    if (!arc->isClockWise())
      *bulge = std::tan(v1.angleTo(v3) / 4);
    else
      *bulge = -std::tan(v3.angleTo(v1) / 4);
  }
}

bool IsPointOnSegment(const geom::Point3d& point, const geom::Point3d& start, const geom::Point3d& end,
                      double bulge) {
  if (IsEqualPointXY(point, start, kOutlineCoincidence) || IsEqualPointXY(point, end, kOutlineCoincidence))
    return true;
  if (bulge == 0.0) return IsParallel(planVector(point - start), planVector(end - start), 0.0001);
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  return std::fabs(point.planDistanceTo(c) - r) < kOutlineCoincidence;
}

double GetPerpFootOnSegment(const geom::Point3d& point, const geom::Point3d& start, const geom::Point3d& end,
                            double bulge, geom::Point3d& foot) {
  if (bulge == 0.0) {
    geom::Vector2d d = end.toPlan() - start.toPlan();
    double len2 = d.dot(d);
    if (len2 <= 0) return -1;
    double t = (point.toPlan() - start.toPlan()).dot(d) / len2;
    // The foot lies on the line through the two points, with its height there.
    foot = start + (end - start) * t;
    return point.distanceTo(foot);
  }
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  geom::Vector2d toPoint = point.toPlan() - c.toPlan();
  if (toPoint.isZeroLength(1e-12) || r <= 0) return -1;  // every point of the circle is as near
  geom::Point2d near = c.toPlan() + toPoint.normal() * r;
  // The arc lies in the plane z = 0: the foot is there, measured in plan.
  foot = planPoint(near);
  return point.planDistanceTo(foot);
}

bool GetLineOrArcEnds(const cad::Entity* ent, geom::Point3d& start, geom::Point3d& end, double& bulge) {
  if (auto* line = cad::cast<cad::Line>(ent)) {
    start = line->start();
    end = line->end();
    bulge = 0;
    return true;
  }
  if (auto* arc = cad::cast<cad::Arc>(ent)) {
    arc->getStartPoint(start);
    arc->getEndPoint(end);
    double b = std::tan(arc->totalAngle() / 4);
    bulge = arc->normal().z < 0 ? -std::fabs(b) : b;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Outlines
// ---------------------------------------------------------------------------

double GetOutlineLength(const PointList& points, const BulgeList& bulges) {
  double len = 0;
  for (size_t i = 0; i + 1 < points.size(); ++i) len += GetSegmentLength(points[i], points[i + 1], bulgeOf(bulges, i));
  return len;
}

void RemoveOutlineDuplicates(PointList& points, BulgeList& bulges) {
  if (bulges.size() < points.size()) bulges.resize(points.size(), 0.0);
  size_t i = 0;
  while (i + 1 < points.size()) {
    if (IsEqualPointXY(points[i], points[i + 1], kOutlineCoincidence)) {
      points.erase(points.begin() + std::ptrdiff_t(i));
      bulges.erase(bulges.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
}

void GetSegmentBandOutline(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                           double w1, double w2, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  if (std::fabs(bulge) < kStraightBulge) {
    geom::Vector3d d = planVector(end - start).normal();
    geom::Vector3d n(-d.y, d.x, 0);  // the left side
    appendPoint(points, bulges, start + n * w1);
    appendPoint(points, bulges, start - n * w2);
    appendPoint(points, bulges, end - n * w2);
    appendPoint(points, bulges, end + n * w1);
    appendPoint(points, bulges, start + n * w1);
    return;
  }
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  if (bulge > 0)
    w1 = -w1;  // counter-clockwise: the left side faces the centre
  else
    w2 = -w2;  // clockwise: the right side faces the centre
  geom::Vector3d us = planVector(start - c).normal(), ue = planVector(end - c).normal();
  appendPoint(points, bulges, c + us * (r + w1));
  appendPoint(points, bulges, c + us * (r + w2), bulge);
  appendPoint(points, bulges, c + ue * (r + w2));
  appendPoint(points, bulges, c + ue * (r + w1), -bulge);
  appendPoint(points, bulges, c + us * (r + w1));
}

void RectToVertices(const geom::Point3d& p1, const geom::Point3d& p2, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  appendPoint(points, bulges, p1);
  appendPoint(points, bulges, {p1.x, p2.y, 0});
  appendPoint(points, bulges, p2);
  appendPoint(points, bulges, {p2.x, p1.y, 0});
  appendPoint(points, bulges, p1);
}

void TessellateSegment(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                       PointList& points, BulgeList& bulges, double n) {
  points.clear();
  bulges.clear();
  if (bulge == 0.0) {
    appendPoint(points, bulges, start);
    appendPoint(points, bulges, end);
    return;
  }
  const double step = n > 0 ? kGridTurn / n : kGridTurn;
  geom::Point3d c;
  double r = 0;
  GetSegmentArcCenter(start, end, bulge, c, &r);
  const double theta = std::fabs(4 * std::atan(bulge));
  auto at = [&](double a) { return c + DirectionFromAngle(a, kZ) * r; };
  if (bulge > 0) {
    double a0 = AngleFromXAxis(planVector(start - c), kZ), a1 = a0 + theta;
    appendPoint(points, bulges, at(a0));
    double k = std::floor(a0 / step) + 1;
    while (k * step <= a0) k += 1;
    for (; k * step < a1; k += 1) appendPoint(points, bulges, at(k * step));
    appendPoint(points, bulges, at(a1));
  } else {
    double a0 = AngleFromXAxis(planVector(end - c), kZ), a1 = a0 + theta;
    appendPoint(points, bulges, at(a1));
    double k = std::ceil(a1 / step) - 1;
    while (k * step >= a1) k -= 1;
    for (; k * step > a0; k -= 1) appendPoint(points, bulges, at(k * step));
    appendPoint(points, bulges, at(a0));
  }
  RemoveOutlineDuplicates(points, bulges);
}

void TessellateOutline(const PointList& points, const BulgeList& bulges, PointList& outPoints,
                       BulgeList& outBulges, double n) {
  outPoints.clear();
  outBulges.clear();
  if (points.empty()) return;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    double b = bulgeOf(bulges, i);
    if (b != 0.0) {
      PointList segPts;
      BulgeList segBulges;
      TessellateSegment(points[i], points[i + 1], b, segPts, segBulges, n);
      outPoints.insert(outPoints.end(), segPts.begin(), segPts.end());
      outBulges.insert(outBulges.end(), segBulges.begin(), segBulges.end());
    } else {
      appendPoint(outPoints, outBulges, points[i]);
    }
  }
  appendPoint(outPoints, outBulges, points.back());
  RemoveOutlineDuplicates(outPoints, outBulges);
}

double GetPolygonSignedArea(const PointList& points) {
  if (points.size() < 3) return 0;
  double sum = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& a = points[i];
    const auto& b = points[(i + 1) % points.size()];
    sum += a.x * b.y - b.x * a.y;
  }
  return sum / 2;
}

bool GetOutlineCentroid(const PointList& points, const BulgeList& bulges, geom::Point3d& centroid) {
  centroid = {0, 0, 0};
  if (points.size() < 2) return false;
  // The area with its arcs, measured exactly rather than from a tessellation.
  auto c = planPolyline(points, bulges, true).centroid(0.01);
  if (!c) return false;
  centroid = planPoint(*c);
  return true;
}

bool IsOutlineCounterClockwise(const PointList& points, const BulgeList& bulges) {
  if (points.size() < 2) return true;
  return RoundTo(planPolyline(points, bulges, true).signedArea(), 1) >= 0;
}

void ReverseOutline(PointList& points, BulgeList& bulges) {
  const size_t n = points.size();
  BulgeList reversed(n, 0.0);
  for (size_t k = 0; k + 1 < n; ++k) reversed[k] = -bulgeOf(bulges, n - 2 - k);
  std::reverse(points.begin(), points.end());
  bulges = std::move(reversed);
}

void OffsetOutline(const PointList& points, const BulgeList& bulges, PointList& outPoints,
                   BulgeList& outBulges, double distance) {
  outPoints.clear();
  outBulges.clear();
  if (points.size() < 2) return;
  if (RoundTo(distance, 0) == 0) {
    outPoints = points;
    outBulges = bulges;
    outBulges.resize(points.size(), 0.0);
    return;
  }
  // One sign moves every outline the same way against its interior: outward
  // for a positive distance.
  if (!IsOutlineCounterClockwise(points, bulges)) distance = -distance;
  const bool ring = points.size() > 2 && IsEqualPointXY(points.front(), points.back(), kOutlineCoincidence);
  geom::Polyline2d pl = planPolyline(points, bulges, false);
  if (ring) {
    // A ring is offset as the closed outline it is, so that the corner at its
    // first vertex is mitred like every other corner.
    pl.points.pop_back();
    pl.bulges.pop_back();
    pl.closed = true;
  }
  auto off = pl.offset(distance);
  if (!off) return;
  for (size_t i = 0; i < off->points.size(); ++i) appendPoint(outPoints, outBulges, planPoint(off->points[i]), off->bulgeAt(int(i)));
  if (ring) appendPoint(outPoints, outBulges, outPoints.front());
}

double GetOutlineArea(const PointList& points, const BulgeList& bulges) {
  if (points.size() < 3) return 0;
  auto pl = MakePolyline(points, bulges, true, kDefaultWidth);
  if (!pl) return 0;
  double area = 0;
  pl->getArea(area);
  return area;
}

bool IsPointInOutline(const PointList& points, const BulgeList& bulges, const geom::Point3d& point) {
  auto pl = MakePolyline(points, bulges, true, kDefaultWidth);
  return pl && IsPointInPolyline(pl.get(), point);
}

bool IsPointInPolyline(const cad::Entity* ent, const geom::Point3d& point) {
  auto* pl = cad::cast<cad::Polyline>(ent);
  if (!pl) return false;
  const geom::Point2d p = point.toPlan();
  int crossings = 0;
  for (const auto& seg : PlanSegmentsOf(*pl, true)) {
    if (seg.distanceTo(p) < kOnBoundaryTol) return true;
    // Crossings left of the point only, by the half-open rule: a ray through
    // a vertex counts a true crossing once and a touching vertex not at all
    // or twice.
    crossings += geom::crossingsTowardNegX(p, seg);
  }
  return crossings % 2 == 1;
}

void GetOutlineSize(const PointList& points, const BulgeList& bulges, double& width, double& height) {
  width = 0;
  height = 0;
  auto pl = MakePolyline(points, bulges, true, kDefaultWidth);
  if (!pl) return;
  cad::Extents3d ext;
  if (pl->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) return;
  width = ext.maxPoint.x - ext.minPoint.x;
  height = ext.maxPoint.y - ext.minPoint.y;
}

// ---------------------------------------------------------------------------
// Reading entities
// ---------------------------------------------------------------------------

namespace {

// A closed polyline read as a ring: the first vertex again at the end.
void closeRing(PointList& points, BulgeList& bulges) {
  if (points.size() > 1 && !IsEqualPointXY(points.back(), points.front(), kOutlineCoincidence))
    appendPoint(points, bulges, points.front());
}

}  // namespace

void GetEntityVerticesOpen(const cad::Entity* ent, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  if (!ent) return;
  if (auto* pl = cad::cast<cad::Polyline>(ent)) {
    for (unsigned i = 0; i < pl->numVerts(); ++i) appendPoint(points, bulges, pl->pointAt(i), pl->bulgeAt(i));
    if (pl->isClosed()) closeRing(points, bulges);
  } else if (auto* p2 = cad::cast<cad::Polyline2d>(ent)) {
    for (unsigned i = 0; i < p2->numVerts(); ++i)
      appendPoint(points, bulges, p2->vertexWorld(i), p2->vertices()[i].bulge);
    if (p2->isClosed()) closeRing(points, bulges);
  } else if (auto* p3 = cad::cast<cad::Polyline3d>(ent)) {
    for (const auto& v : p3->vertices()) appendPoint(points, bulges, v);
    if (p3->isClosed()) closeRing(points, bulges);
  } else if (auto* solid = cad::cast<cad::Solid2d>(ent)) {
    geom::Point3d c[4];
    for (int i = 0; i < 4; ++i) solid->getPointAt(i, c[i]);
    appendPoint(points, bulges, c[0]);
    appendPoint(points, bulges, c[1]);
    if (!IsEqualPointXY(c[3], c[2], kOutlineCoincidence)) appendPoint(points, bulges, c[3]);
    appendPoint(points, bulges, c[2]);
  } else if (cad::isKindOf<cad::Line>(ent) || cad::isKindOf<cad::Arc>(ent)) {
    geom::Point3d s, e;
    double b = 0;
    GetLineOrArcEnds(ent, s, e, b);
    appendPoint(points, bulges, s, b);
    appendPoint(points, bulges, e);
  } else if (auto* pt = cad::cast<cad::PointEntity>(ent)) {
    appendPoint(points, bulges, pt->position());
  } else if (auto* ref = cad::cast<cad::BlockReference>(ent)) {
    appendPoint(points, bulges, ref->position());
  }
}

cad::Status GetEntityVertices(cad::ObjectId id, PointList& points, BulgeList& bulges) {
  points.clear();
  bulges.clear();
  cad::Entity* ent = nullptr;
  cad::Status s = cad::openObject(ent, id, cad::OpenMode::ForRead);
  if (s != cad::Status::Ok) return s;
  GetEntityVerticesOpen(ent, points, bulges);
  return ent->close();
}
