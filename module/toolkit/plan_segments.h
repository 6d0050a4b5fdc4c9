// The segments of a lightweight polyline as plan curves in world x and y, for
// the outline and curve queries of this folder.
#pragma once

#include <vector>

#include "platform/cad/entities.h"
#include "platform/geom/curves.h"

// Segments 0 .. numVerts - 2 and, when withClosing is set and the polyline is
// closed, the closing segment. A polyline whose normal points down is seen
// mirrored from above, so its bulges change sign in plan. Zero-length
// segments are left out.
inline std::vector<geom::Curve2d> PlanSegmentsOf(const cad::Polyline& pl, bool withClosing) {
  std::vector<geom::Curve2d> out;
  const unsigned n = pl.numVerts();
  if (n < 2) return out;
  const double sign = pl.normal().z < 0 ? -1.0 : 1.0;
  const unsigned count = (withClosing && pl.isClosed()) ? n : n - 1;
  for (unsigned i = 0; i < count; ++i) {
    geom::Point2d a = pl.pointAt(i).toPlan();
    geom::Point2d b = pl.pointAt((i + 1) % n).toPlan();
    if (a.isEqualTo(b)) continue;
    out.push_back(geom::Curve2d::fromBulge(a, b, sign * pl.bulgeAt(i)));
  }
  return out;
}
