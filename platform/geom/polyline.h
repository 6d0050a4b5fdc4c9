// Plan polylines with bulges: the vertex list of a lightweight polyline as
// one value, with its length, area, centroid, containment, offset and
// tessellation.
#pragma once

#include <optional>
#include <vector>

#include "platform/geom/curves.h"

namespace geom {

enum class Containment { Outside, Inside, OnBoundary };

struct Polyline2d {
  std::vector<Point2d> points;
  // bulges[i] belongs to the segment from points[i] to points[i + 1] (the
  // closing segment for the last vertex of a closed polyline); tan of a
  // quarter of its included angle, positive counter-clockwise. The list may be
  // shorter than points: missing bulges are 0.
  std::vector<double> bulges;
  bool closed = false;

  Polyline2d() = default;
  Polyline2d(std::vector<Point2d> pts, std::vector<double> bs = {}, bool isClosed = false)
      : points(std::move(pts)), bulges(std::move(bs)), closed(isClosed) {}

  int vertexCount() const { return static_cast<int>(points.size()); }
  // n - 1 for an open polyline; n for a closed one of at least 2 vertices.
  int segmentCount() const;
  double bulgeAt(int i) const { return i >= 0 && i < static_cast<int>(bulges.size()) ? bulges[i] : 0.0; }
  Curve2d segmentAt(int i) const;
  // The segments as a chain (the closing segment included when closed).
  CompositeCurve2d toCompositeCurve() const;

  double length() const;
  // Area enclosed as if closed, with the arcs: positive when the outline runs
  // counter-clockwise. 0 below 3 vertices unless arcs enclose area.
  double signedArea() const;
  double area() const { return std::fabs(signedArea()); }
  bool isCounterClockwise() const { return signedArea() > 0; }
  // Centroid of the enclosed area (arcs exact); nullopt when the area is
  // below minArea.
  std::optional<Point2d> centroid(double minArea = 1e-12) const;
  Extents2d extents() const;

  Point2d pointAtDistance(double d) const { return toCompositeCurve().pointAtDistance(d); }
  Point2d closestPointTo(const Point2d& p) const { return toCompositeCurve().closestPointTo(p); }
  double distanceTo(const Point2d& p) const { return toCompositeCurve().distanceTo(p); }
  bool isOn(const Point2d& p, double tol = defaultTol().equalPoint) const {
    return toCompositeCurve().isOn(p, tol);
  }
  // Where p lies against the area enclosed as if closed: on the boundary
  // (within tol), inside (an odd number of boundary crossings, so a
  // self-overlapping outline counts its twice-covered part as outside) or
  // outside.
  Containment classify(const Point2d& p, double tol = defaultTol().equalPoint) const;

  // The same path run backwards (bulges negated and moved to their segments).
  Polyline2d reversed() const;

  // The offset at distance d with the same number of vertices: d > 0 moves
  // the path to the RIGHT of its direction of travel (seen from +Z), d < 0 to
  // the left. So a counter-clockwise closed outline grows for d > 0 and
  // shrinks for d < 0, a clockwise one the other way. Lines stay parallel,
  // arcs stay concentric (radius r + d for a counter-clockwise arc, r - d for
  // a clockwise one), and each vertex goes to where the neighbouring offset
  // segments meet (extended as needed; where the two offset segments touch,
  // at that point). An open polyline's first and last vertices are offset
  // square to their segments. nullopt when that cannot keep every vertex: an
  // arc shrinks to nothing, neighbouring offset segments do not meet (a line
  // missing an arc's circle, a reversal), or a segment would turn back or
  // vanish. Fewer than 2 vertices give nullopt; d = 0 gives the copy.
  std::optional<Polyline2d> offset(double d) const;

  // The polyline with every arc replaced by straight pieces at most maxStep
  // radians apart; all bulges 0.
  Polyline2d tessellated(double maxStep) const;
};

}  // namespace geom
