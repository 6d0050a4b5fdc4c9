// Bulge segments and outlines: the plan geometry of linear components (runs
// of straight and arc segments given by end points and a bulge) and of closed
// outlines (rooms, fittings, hatched areas, conversion regions).
//
// - Segment: start, end, bulge b = tan(theta / 4) of the included angle
//   theta; b > 0 runs counter-clockwise in plan, b < 0 clockwise, 0 straight.
// - Outline: points p[0..n-1] with bulges; bulge i belongs to p[i] -> p[i+1]
//   (missing bulges read as 0). Lists made here hold exactly n bulges, the
//   last 0. A closed outline is a ring: its last point repeats the first.
// - Two vertices coincide when they are closer than 1.0 in x and in y.
// - Everything is measured in plan: arc centres have z = 0 and radii are plan
//   distances, so points that carry an elevation give the same radius,
//   length, midpoint and tessellation as their plan projections.
// - Tessellation grid: n directions per full turn at the absolute angles
//   k * 6.2831853 / n about +Z from +X.
#pragma once

#include "module/toolkit/entities.h"

// Coincidence of outline vertices (IsEqualPointXY, strict).
constexpr double kOutlineCoincidence = 1.0;

// ---------------------------------------------------------------------------
// Segments
// ---------------------------------------------------------------------------

// Centre (z = 0) of the plan arc from start to end with bulge b, and its
// radius (plan distance from the centre to start). For b = 0, or start and
// end on one plan point, the centre is the plan midpoint and the radius the
// plan distance to start.
void GetSegmentArcCenter(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                         geom::Point3d& centre, double* radius = nullptr);
// b = 0: the 3D distance; otherwise radius * 4 * atan(|b|).
double GetSegmentLength(const geom::Point3d& start, const geom::Point3d& end, double bulge);
// b = 0: the average of the two points; otherwise the arc's middle (z = 0).
geom::Point3d GetSegmentMidPoint(const geom::Point3d& start, const geom::Point3d& end, double bulge);
// The plan circle through three points (centre z = 0, radius plan distance to
// p1) and the bulge of the arc from p1 through p2 to p3. Collinear points
// leave the outputs unchanged.
void GetArcFrom3Points(const geom::Point3d& p1, const geom::Point3d& p2, const geom::Point3d& p3,
                       geom::Point3d& centre, double* radius = nullptr, double* bulge = nullptr);
// On the segment's carrier: the point coincides with an end (1.0, plan); for
// b = 0 it lies on the infinite line (direction parallel within 0.0001); for
// an arc it lies within 1.0 of the full circle.
bool IsPointOnSegment(const geom::Point3d& point, const geom::Point3d& start, const geom::Point3d& end,
                      double bulge);
// The foot of the perpendicular from the point on the segment's carrier (the
// infinite line, or for an arc the nearer point of the full circle on the line
// through the centre and the point) and the 3D distance to it; -1 when there
// is none (the foot is not written then).
double GetPerpFootOnSegment(const geom::Point3d& point, const geom::Point3d& start,
                            const geom::Point3d& end, double bulge, geom::Point3d& foot);
// A line gives its ends and bulge 0; an arc the points at its start and end
// angles and its bulge (negative when its normal points down). False for any
// other entity.
bool GetLineOrArcEnds(const cad::Entity* ent, geom::Point3d& start, geom::Point3d& end, double& bulge);

// ---------------------------------------------------------------------------
// Outlines
// ---------------------------------------------------------------------------

// Sum of the segment lengths p[i] -> p[i+1].
double GetOutlineLength(const PointList& points, const BulgeList& bulges);
// Drops p[i] and its bulge while p[i] coincides with p[i+1].
void RemoveOutlineDuplicates(PointList& points, BulgeList& bulges);
// The closed band (5 points, the first repeated) around one segment, the left
// width on the left of the direction of travel, the right width on the right.
void GetSegmentBandOutline(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                           double leftWidth, double rightWidth, PointList& points, BulgeList& bulges);
// The ring p1, (p1.x, p2.y, 0), p2, (p2.x, p1.y, 0), p1 with zero bulges.
void RectToVertices(const geom::Point3d& p1, const geom::Point3d& p2, PointList& points, BulgeList& bulges);
// The segment as straight pieces: for an arc its ends and the grid directions
// between them (n per turn), all at z = 0; a straight segment gives its ends.
void TessellateSegment(const geom::Point3d& start, const geom::Point3d& end, double bulge,
                       PointList& points, BulgeList& bulges, double n);
// Every arc of the outline tessellated; straight vertices kept as they are.
void TessellateOutline(const PointList& points, const BulgeList& bulges, PointList& outPoints,
                       BulgeList& outBulges, double n);
// Half the shoelace sum with the closing edge: positive counter-clockwise;
// 0 below 3 points.
double GetPolygonSignedArea(const PointList& points);
// The centroid of the area (arcs tessellated, 32 per turn); false, with the
// origin, when the area is below 0.01 or the outline too short.
bool GetOutlineCentroid(const PointList& points, const BulgeList& bulges, geom::Point3d& centroid);
// True unless the tessellated area rounded to 0.1 is negative (a degenerate
// outline counts as counter-clockwise).
bool IsOutlineCounterClockwise(const PointList& points, const BulgeList& bulges);
// The vertex order reversed with the bulges moved to their segments and negated.
void ReverseOutline(PointList& points, BulgeList& bulges);
// The outline moved by the distance to one side relative to its interior,
// whatever its orientation: a positive distance moves a counter-clockwise
// outline to the right of its direction of travel (outward) and a clockwise
// one to its left (inward). A distance that rounds to 0 copies the input.
// Outputs stay empty when the offset cannot be made.
void OffsetOutline(const PointList& points, const BulgeList& bulges, PointList& outPoints,
                   BulgeList& outBulges, double distance);
// Area of the outline closed (0 below 3 points or below an area of 1).
double GetOutlineArea(const PointList& points, const BulgeList& bulges);
// The point (plan) inside or on the closed outline.
bool IsPointInOutline(const PointList& points, const BulgeList& bulges, const geom::Point3d& point);
// The point (in plan) inside or on a lightweight polyline, by counting the
// crossings of a ray toward -X with its segments (the closing one when the
// polyline is closed; a ring's repeated last point closes it too): only
// crossings left of the point count, a ray through a vertex counts a true
// crossing once. On a segment within 0.1 counts as inside. False for any
// other entity.
bool IsPointInPolyline(const cad::Entity* ent, const geom::Point3d& point);
// Width and height of the closed outline's extents; both 0 when there is no
// outline.
void GetOutlineSize(const PointList& points, const BulgeList& bulges, double& width, double& height);

// ---------------------------------------------------------------------------
// Reading entities
// ---------------------------------------------------------------------------

// The vertices and bulges of an open entity: lightweight and 2D polylines
// (closed ones as rings, the first vertex repeated), 3D polylines, 2D solids,
// lines, arcs, points and block references (their position). Other kinds,
// circles included, give nothing.
void GetEntityVerticesOpen(const cad::Entity* ent, PointList& points, BulgeList& bulges);
// The same by id: the status of a failed open, else that of the close.
cad::Status GetEntityVertices(cad::ObjectId id, PointList& points, BulgeList& bulges);
