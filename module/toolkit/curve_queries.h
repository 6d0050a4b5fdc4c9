// Plan questions about drawing entities: distance of a point to a line, arc,
// circle or lightweight polyline, whether it lies on it, distance and closest
// points between two of them. The entity is turned into a plan curve (x and y
// only); z values of inputs are ignored and points returned have z = 0.
//
// The plan curve of an entity:
// - line: the segment between the plan projections of its ends;
// - arc: the plan arc between its ends with its bulge;
// - circle: the full circle;
// - lightweight polyline: its line and arc segments in order, the closing
//   segment of a closed polyline included (so a closed outline is measured
//   all the way round);
// - anything else (ellipses, 2D and 3D polylines, texts, block references):
//   no curve.
// Curves are values here: nothing needs freeing.
#pragma once

#include <optional>

#include "platform/cad/entities.h"
#include "platform/geom/curves.h"

// Returned where a distance cannot be measured.
constexpr double kNoDistance = 1e10;

using PlanCurve = geom::CompositeCurve2d;

// The plan curve of an open entity, or nullopt.
std::optional<PlanCurve> MakeGeCurve2d(const cad::Entity* ent);

// Shortest plan distance from the point to the entity's curve; kNoDistance
// when it has none.
double GetPointToCurveDistance(const geom::Point3d& point, const cad::Entity* ent);
// The point lies on the entity's plan curve within the tolerance.
bool IsPointOnCurveOpen(const geom::Point3d& point, const cad::Entity* ent, double tol);
// The same by id; false when the entity cannot be opened.
bool IsPointOnCurve(const geom::Point3d& point, cad::ObjectId id, double tol);
// Shortest distance between the two plan curves; kNoDistance when either
// entity has none.
double GetCurveDistance(const cad::Entity* a, const cad::Entity* b);
// The mutually closest points of a's curve and b (a point entity, whose plan
// position is taken, or another curve), with z = 0. False when a has no curve
// or b is neither a point entity nor has a curve.
bool GetClosestPointsOfCurves(const cad::Entity* a, const cad::Entity* b, geom::Point3d& onA,
                              geom::Point3d& onB);
// The plan distance from the point to the segment (a line, or the arc of a
// non-zero bulge) is strictly less than the tolerance.
bool IsNearSegment(const geom::Point3d& point, const geom::Point3d& start, const geom::Point3d& end,
                   double bulge, double tol);
