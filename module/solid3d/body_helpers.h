// Bodies for the shape descriptions: the system's own geometry (base points,
// radii, heights, outlines of points and bulges) turned into calls of the
// body modeller, and the booleans that join the bodies of one description.
// Every helper answers the null body when the sizes are degenerate or the
// modeller cannot make the body.
#pragma once

#include "module/toolkit/entities.h"
#include "platform/geom/geom.h"
#include "platform/solid/body.h"

enum class BodyOp { Union = 0, Intersection = 1, Subtraction = 2 };

// Cone or cylinder standing on p along +Z; null for h <= 0.
solid::Body MakeConeBody(const geom::Point3d& p, double r1, double r2, double h);
// Sphere resting on p; null for r <= 0.
solid::Body MakeSphereBody(const geom::Point3d& p, double r);
// Spherical cap standing on p with base radius a and height h (a sphere of
// radius (a² + h²) / 2h cut at p + h); null for h <= 0.
solid::Body MakeDomeBody(const geom::Point3d& p, double a, double h);
// Removes from the body the half-space on the normal's side of the plane.
void CutBodyByPlane(solid::Body& body, const geom::Point3d& q, const geom::Vector3d& n);
// first op second; throws solid::ModelError when the modeller cannot.
void CombineBodies(solid::Body& first, const solid::Body& second, BodyOp op);
// CombineBodies, tried again with the second body nudged by half a unit in
// 23 directions when the modeller fails. After the last failure prints
// "集合计算!\n", leaves the first body as it was and answers false.
bool CombineBodiesWithRetry(solid::Body& first, const solid::Body& second, BodyOp op);

// The outline (points and bulges in the plane of the normal, the plane's
// own axes, as a polyline's object coordinates) as a modeller profile: a
// last vertex within 1.0 of the first is dropped. False without a vertex.
bool OutlineToProfile(const PointList& points, const BulgeList& bulges, bool closed, const geom::Vector3d& normal,
                      solid::Profile& profile);
// The closed outline's face moved along its normal by h; null for h == 0.
solid::Body MakeExtrusionBody(const PointList& points, const BulgeList& bulges, double h);
// The profile (drawn about the origin, set across normal n) swept along the
// path from the path's first point.
solid::Body MakePathSweepBody(const PointList& profile, const BulgeList& bulges, const geom::Vector3d& n,
                              const PointList& path);
// Edge pairs of a loft from a face of nA edges to one of nB: the surplus
// edges of the longer face all meet the last edge of the shorter one.
solid::MorphingMap MakeEdgeMorphingMap(int nA, int nB);
// Tapered prism: the closed outline (turned counter-clockwise) at p, the
// outline offset by g at p + h; null for h <= 0 or an outline that gives no
// polyline.
solid::Body MakeSectionSolid(const geom::Point3d& p, PointList points, BulgeList bulges, double h, double g);
// Loft from the bottom outline at p to the top outline at p + h.
solid::Body MakeTransitionSolid(const geom::Point3d& p, PointList bottom, BulgeList bottomBulges, PointList top,
                                BulgeList topBulges, double h);
