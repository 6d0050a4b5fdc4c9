// Plan outlines of the air-duct fittings: point lists with the bulge of the
// segment that starts at each point. "perp" is the plan normal of a
// direction turned counter-clockwise, (-y, x, 0), so perp(-v) = -perp(v).
#pragma once

#include "module/toolkit/bulge.h"
#include "platform/geom/geom.h"

// Bend between the tangent points p1 and p2, whose ducts run toward the
// corner along d1 and d2: two straight caps joined by two arcs of bulge b
// and -b (open ring, the first point repeated).
void BendOutline(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Vector3d& d1,
                 const geom::Vector3d& d2, double b, double h1, double h2, PointList& points, BulgeList& bulges);

// Tee with the piece ends pa, pb, pc (clockwise) and their directions toward
// the junction; the caps at pb and pc take the half width hb.
void TeeOutline(const geom::Point3d& pa, const geom::Point3d& pb, const geom::Point3d& pc, const geom::Vector3d& ua,
                const geom::Vector3d& ub, const geom::Vector3d& uc, double ha, double hb, PointList& points,
                BulgeList& bulges);

// Cross with the piece ends qa, qc, qb, qd clockwise (qa, qb on the first
// duct): four caps joined by four arcs of bulge b.
void CrossOutline(const geom::Point3d& qa, const geom::Point3d& qb, const geom::Point3d& qc, const geom::Point3d& qd,
                  double b, double h1, double h2, PointList& points, BulgeList& bulges);

// Reducer between p1 and p2 with the ducts' directions into it: a trapezoid.
void ReducerOutline(const geom::Point3d& p1, const geom::Vector3d& d1, const geom::Point3d& p2,
                    const geom::Vector3d& d2, double h1, double h2, PointList& points, BulgeList& bulges);

// Offset bend between p1 and p2 (directions d1, d2 into it): two caps joined
// by two reverse curves. False, with nothing written, when the two ends lie
// in one line along d1 (no sideways offset to bend through).
bool OffsetBendOutline(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Vector3d& d1,
                       const geom::Vector3d& d2, double h1, double h2, PointList& points, BulgeList& bulges);
