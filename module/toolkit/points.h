// Point and vector geometry shared by the placement engines, conversion and
// take-off: construction, tolerance compares, rounding of coordinates and the
// two angle conversions that tie a direction to an angle about an axis.
//
// Every compare is strict: a difference equal to the tolerance fails. The
// reference direction of an axis is +X when the axis' z component is greater
// than 0, otherwise -X; for the axes (0,0,1) and (0,0,-1) it is the x axis of
// the plane the axis defines, so an angle about the downward axis is measured
// from -X.
#pragma once

#include <vector>

#include "platform/geom/geom.h"

using geom::Point2d;
using geom::Point3d;
using geom::Vector3d;

// The host's input point: three doubles.
using InputPoint = double[3];

// angle * 180 / 3.14159265 (pi taken to eight decimals).
double RadToDeg(double angle);

void SetPoint3d(double x, double y, double z, Point3d& out);
void CopyPoint3d(const Point3d& from, Point3d& to);
void CopyPoint3d(const Vector3d& from, Vector3d& to);
Point3d ToPoint3d(const InputPoint p);
Point2d ToPoint2d(double x, double y);

// |ax - bx| < tol and |ay - by| < tol; z is ignored.
bool IsEqualPointXY(const Point3d& a, const Point3d& b, double tol);
// The same for x, y and z.
bool IsEqualPoint(const Point3d& a, const Point3d& b, double tol);
// Both vectors normalised (a vector too short to normalise is left as it is),
// then each component differs by less than tol.
bool IsSameDirection(const Vector3d& a, const Vector3d& b, double tol);
// IsSameDirection(a, b) or IsSameDirection(a, -b).
bool IsParallel(const Vector3d& a, const Vector3d& b, double tol);

// RoundTo of x, y and z with n decimals.
void RoundPoint(Point3d& p, int n);
void RoundPoints(std::vector<Point3d>& pts, int n);

// The reference direction of the axis turned by the angle about the axis.
Vector3d DirectionFromAngle(double angle, const Vector3d& axis);
// The angle (0 <= angle < 2 pi) from the reference direction of the axis to
// the vector, counter-clockwise about the axis; 0 for a vector shorter than
// 1e-8.
double AngleFromXAxis(const Vector3d& v, const Vector3d& axis);
