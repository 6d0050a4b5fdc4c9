// Core plane and space geometry: points, vectors, 3D matrices, tolerances.
// Curves, intersections and offsets live in the other headers of this folder.
#pragma once

#include <array>
#include <cmath>

namespace geom {

constexpr double kPi = 3.14159265358979323846;

// Equality tolerances, as the host's global tolerance: points closer than
// equalPoint are the same point, vectors shorter than equalVector are zero.
struct Tol {
  double equalPoint = 1e-10;
  double equalVector = 1e-12;
};
inline const Tol& defaultTol() {
  static const Tol t;
  return t;
}

struct Vector2d {
  double x = 0, y = 0;
  constexpr Vector2d() = default;
  constexpr Vector2d(double x_, double y_) : x(x_), y(y_) {}
  double length() const { return std::hypot(x, y); }
  Vector2d normal() const {
    double l = length();
    return l > 0 ? Vector2d{x / l, y / l} : Vector2d{};
  }
  bool isZeroLength(double tol = 1e-8) const { return length() <= tol; }
  Vector2d perp() const { return {-y, x}; }  // counter-clockwise
  double dot(const Vector2d& o) const { return x * o.x + y * o.y; }
  double cross(const Vector2d& o) const { return x * o.y - y * o.x; }
  double angle() const {  // 0..2pi from +X, counter-clockwise
    double a = std::atan2(y, x);
    return a < 0 ? a + 2 * kPi : a;
  }
  Vector2d rotated(double a) const {
    double c = std::cos(a), s = std::sin(a);
    return {x * c - y * s, x * s + y * c};
  }
  // Angle from this vector to v, counter-clockwise, in [0, 2pi).
  double angleTo(const Vector2d& v) const {
    double a = std::atan2(cross(v), dot(v));
    return a < 0 ? a + 2 * kPi : a;
  }
  // Parallel or anti-parallel: the sine of the angle between them is within tol.
  bool isParallelTo(const Vector2d& v, double tol = 1e-12) const {
    double l = length() * v.length();
    return l == 0 || std::fabs(cross(v)) <= tol * l;
  }
  Vector2d operator+(const Vector2d& o) const { return {x + o.x, y + o.y}; }
  Vector2d operator-(const Vector2d& o) const { return {x - o.x, y - o.y}; }
  Vector2d operator-() const { return {-x, -y}; }
  Vector2d operator*(double k) const { return {x * k, y * k}; }
  Vector2d operator/(double k) const { return {x / k, y / k}; }
  bool operator==(const Vector2d&) const = default;
};

struct Point2d {
  double x = 0, y = 0;
  constexpr Point2d() = default;
  constexpr Point2d(double x_, double y_) : x(x_), y(y_) {}
  double distanceTo(const Point2d& o) const { return std::hypot(x - o.x, y - o.y); }
  bool isEqualTo(const Point2d& o, double tol = defaultTol().equalPoint) const {
    return distanceTo(o) <= tol;
  }
  Point2d operator+(const Vector2d& v) const { return {x + v.x, y + v.y}; }
  Point2d operator-(const Vector2d& v) const { return {x - v.x, y - v.y}; }
  Vector2d operator-(const Point2d& o) const { return {x - o.x, y - o.y}; }
  bool operator==(const Point2d&) const = default;
};

struct Vector3d {
  double x = 0, y = 0, z = 0;
  constexpr Vector3d() = default;
  constexpr Vector3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  static constexpr Vector3d xAxis() { return {1, 0, 0}; }
  static constexpr Vector3d yAxis() { return {0, 1, 0}; }
  static constexpr Vector3d zAxis() { return {0, 0, 1}; }
  double length() const { return std::sqrt(x * x + y * y + z * z); }
  Vector3d normal() const {
    double l = length();
    return l > 0 ? Vector3d{x / l, y / l, z / l} : Vector3d{};
  }
  bool isZeroLength(double tol = 1e-8) const { return length() <= tol; }
  double dot(const Vector3d& o) const { return x * o.x + y * o.y + z * o.z; }
  Vector3d cross(const Vector3d& o) const {
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
  }
  Vector2d toPlan() const { return {x, y}; }
  // Unsigned angle to v in [0, pi]; 0 when either is zero.
  double angleTo(const Vector3d& v) const {
    return std::atan2(cross(v).length(), dot(v));
  }
  // Angle to v counter-clockwise about ref (seen from ref's tip) in [0, 2pi).
  // When ref is zero or perpendicular to the plane of both vectors cannot be
  // told (parallel vectors), the unsigned angle (0 or pi) is returned.
  double angleTo(const Vector3d& v, const Vector3d& ref) const {
    Vector3d c = cross(v);
    double a = std::atan2(c.length(), dot(v));
    if (c.dot(ref) < 0) a = 2 * kPi - a;
    return a >= 2 * kPi ? 0 : a;
  }
  // Parallel or anti-parallel: sine of the angle between them within tol.
  bool isParallelTo(const Vector3d& v, double tol = 1e-12) const {
    double l = length() * v.length();
    return l == 0 || cross(v).length() <= tol * l;
  }
  // Parallel and pointing the same way.
  bool isCodirectionalTo(const Vector3d& v, double tol = 1e-12) const {
    return isParallelTo(v, tol) && dot(v) >= 0;
  }
  bool isPerpendicularTo(const Vector3d& v, double tol = 1e-12) const {
    double l = length() * v.length();
    return l == 0 || std::fabs(dot(v)) <= tol * l;
  }
  // A vector perpendicular to this one, of the same length. For a vector
  // with a horizontal part it is that part turned 90 degrees
  // counter-clockwise in plan, (-y, x, 0), so perp(-v) = -perp(v); a vertical
  // vector gives (|v|, 0, 0) for +Z and (-|v|, 0, 0) for -Z; zero gives zero.
  Vector3d perpVector() const {
    double h = std::hypot(x, y);
    if (h > 0) {
      double l = length();
      return {-y / h * l, x / h * l, 0};
    }
    return {z >= 0 ? std::fabs(z) : -std::fabs(z), 0, 0};
  }
  // Rotated by a about axis (right-handed), by Rodrigues' formula.
  Vector3d rotatedBy(double a, const Vector3d& axis) const {
    Vector3d k = axis.normal();
    double c = std::cos(a), s = std::sin(a);
    return (*this) * c + k.cross(*this) * s + k * (k.dot(*this) * (1 - c));
  }
  Vector3d operator+(const Vector3d& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vector3d operator-(const Vector3d& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vector3d operator-() const { return {-x, -y, -z}; }
  Vector3d operator*(double k) const { return {x * k, y * k, z * k}; }
  Vector3d operator/(double k) const { return {x / k, y / k, z / k}; }
  bool operator==(const Vector3d&) const = default;
};

struct Point3d {
  double x = 0, y = 0, z = 0;
  constexpr Point3d() = default;
  constexpr Point3d(double x_, double y_, double z_ = 0) : x(x_), y(y_), z(z_) {}
  constexpr Point3d(const Point2d& p, double z_ = 0) : x(p.x), y(p.y), z(z_) {}
  double distanceTo(const Point3d& o) const {
    return std::sqrt((x - o.x) * (x - o.x) + (y - o.y) * (y - o.y) + (z - o.z) * (z - o.z));
  }
  double planDistanceTo(const Point3d& o) const { return std::hypot(x - o.x, y - o.y); }
  bool isEqualTo(const Point3d& o, double tol = defaultTol().equalPoint) const {
    return distanceTo(o) <= tol;
  }
  Point2d toPlan() const { return {x, y}; }
  Point3d operator+(const Vector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  Point3d operator-(const Vector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  Vector3d operator-(const Point3d& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vector3d asVector() const { return {x, y, z}; }
  bool operator==(const Point3d&) const = default;
};

// A 4x4 affine matrix acting on column vectors: p' = M * p.
struct Matrix3d {
  std::array<std::array<double, 4>, 4> m{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

  static Matrix3d identity() { return {}; }
  static Matrix3d translation(const Vector3d& v) {
    Matrix3d r;
    r.m[0][3] = v.x;
    r.m[1][3] = v.y;
    r.m[2][3] = v.z;
    return r;
  }
  // Rotation by angle a (right-handed, counter-clockwise seen from the axis tip)
  // about the axis through point c.
  static Matrix3d rotation(double a, const Vector3d& axis, const Point3d& c = {}) {
    Vector3d u = axis.normal();
    double cs = std::cos(a), sn = std::sin(a), t = 1 - cs;
    Matrix3d r;
    r.m[0] = {t * u.x * u.x + cs, t * u.x * u.y - sn * u.z, t * u.x * u.z + sn * u.y, 0};
    r.m[1] = {t * u.x * u.y + sn * u.z, t * u.y * u.y + cs, t * u.y * u.z - sn * u.x, 0};
    r.m[2] = {t * u.x * u.z - sn * u.y, t * u.y * u.z + sn * u.x, t * u.z * u.z + cs, 0};
    return translation(c.asVector()) * r * translation(-c.asVector());
  }
  static Matrix3d scaling(double k, const Point3d& c = {}) { return scaling(k, k, k, c); }
  static Matrix3d scaling(double kx, double ky, double kz, const Point3d& c = {}) {
    Matrix3d r;
    r.m[0][0] = kx;
    r.m[1][1] = ky;
    r.m[2][2] = kz;
    return translation(c.asVector()) * r * translation(-c.asVector());
  }
  // Columns are the images of the axes; origin is the image of the origin.
  static Matrix3d alignCoordSys(const Point3d& origin, const Vector3d& xa, const Vector3d& ya,
                                const Vector3d& za) {
    Matrix3d r;
    r.m[0] = {xa.x, ya.x, za.x, origin.x};
    r.m[1] = {xa.y, ya.y, za.y, origin.y};
    r.m[2] = {xa.z, ya.z, za.z, origin.z};
    return r;
  }

  Matrix3d operator*(const Matrix3d& o) const {
    Matrix3d r;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += m[i][k] * o.m[k][j];
        r.m[i][j] = s;
      }
    return r;
  }
  Point3d operator*(const Point3d& p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
  }
  Vector3d operator*(const Vector3d& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  // Uniform scale factor of the linear part (length of the image of a unit X).
  double scale() const { return ((*this) * Vector3d::xAxis()).length(); }
  // Determinant of the 3x3 linear part (negative for a mirroring transform).
  double determinant() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  }
  bool isSingular(double tol = 1e-14) const { return std::fabs(determinant()) <= tol; }
  // The inverse affine transform; the identity when the matrix is singular
  // (check isSingular() first where that matters).
  Matrix3d inverse() const;
  Matrix3d transposed() const {
    Matrix3d r;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) r.m[i][j] = m[j][i];
    return r;
  }
  // Mirror in the plane through p with normal n.
  static Matrix3d mirroring(const Point3d& p, const Vector3d& n);
  // Mirror in the vertical plane through the plan line a-b (a mirror in plan).
  static Matrix3d mirroringLine(const Point3d& a, const Point3d& b) {
    Vector3d d = b - a;
    return mirroring(a, Vector3d(-d.y, d.x, 0));
  }
  // Coordinate system with the given origin and axes to world: the same as
  // alignCoordSys.
  static Matrix3d coordSystem(const Point3d& origin, const Vector3d& xa, const Vector3d& ya,
                              const Vector3d& za) {
    return alignCoordSys(origin, xa, ya, za);
  }
  // Compares element by element within tol.
  bool isEqualTo(const Matrix3d& o, double tol = 1e-10) const {
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        if (std::fabs(m[i][j] - o.m[i][j]) > tol) return false;
    return true;
  }
  bool operator==(const Matrix3d&) const = default;
};

// The arbitrary-axis rule: the X axis of the object coordinate system of a
// plane with normal n. Y = n x X.
inline Vector3d arbitraryXAxis(const Vector3d& n) {
  Vector3d nz = n.normal();
  const double limit = 1.0 / 64.0;
  Vector3d ax = (std::fabs(nz.x) < limit && std::fabs(nz.y) < limit)
                    ? Vector3d::yAxis().cross(nz)
                    : Vector3d::zAxis().cross(nz);
  return ax.normal();
}
// Object (plane) coordinates to world coordinates for a plane with normal n.
inline Matrix3d planeToWorld(const Vector3d& n) {
  Vector3d nz = n.normal();
  Vector3d ax = arbitraryXAxis(nz);
  Vector3d ay = nz.cross(ax).normal();
  return Matrix3d::alignCoordSys({}, ax, ay, nz);
}
// World to object coordinates (the transpose of the rotation above).
inline Matrix3d worldToPlane(const Vector3d& n) {
  Matrix3d r = planeToWorld(n);
  Matrix3d t;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t.m[i][j] = r.m[j][i];
  return t;
}
// The same for a plane through origin: plane coordinates are measured from it.
inline Matrix3d planeToWorld(const Point3d& origin, const Vector3d& n) {
  return Matrix3d::translation(origin.asVector()) * planeToWorld(n);
}
inline Matrix3d worldToPlane(const Point3d& origin, const Vector3d& n) {
  return worldToPlane(n) * Matrix3d::translation(-origin.asVector());
}

inline Matrix3d Matrix3d::inverse() const {
  double d = determinant();
  if (d == 0) return {};
  Matrix3d r;
  // Inverse of the linear part by cofactors, then the translation.
  r.m[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / d;
  r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / d;
  r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / d;
  r.m[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / d;
  r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / d;
  r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / d;
  r.m[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / d;
  r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / d;
  r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / d;
  for (int i = 0; i < 3; ++i)
    r.m[i][3] = -(r.m[i][0] * m[0][3] + r.m[i][1] * m[1][3] + r.m[i][2] * m[2][3]);
  return r;
}

inline Matrix3d Matrix3d::mirroring(const Point3d& p, const Vector3d& n) {
  Vector3d u = n.normal();
  Matrix3d r;
  // I - 2 u u^T about the plane through p.
  double c[3] = {u.x, u.y, u.z};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = (i == j ? 1.0 : 0.0) - 2 * c[i] * c[j];
  return translation(p.asVector()) * r * translation(-p.asVector());
}

// A plane by a point and a unit normal.
struct Plane {
  Point3d origin;
  Vector3d normal = Vector3d::zAxis();

  Plane() = default;
  Plane(const Point3d& o, const Vector3d& n) : origin(o), normal(n.normal()) {}
  // Through three points; false (and unchanged) when they are collinear.
  bool setThrough(const Point3d& a, const Point3d& b, const Point3d& c) {
    Vector3d n = (b - a).cross(c - a);
    if (n.length() <= 1e-12 * (b - a).length() * (c - a).length() || n.length() == 0) return false;
    origin = a;
    normal = n.normal();
    return true;
  }
  double signedDistanceTo(const Point3d& p) const { return (p - origin).dot(normal); }
  double distanceTo(const Point3d& p) const { return std::fabs(signedDistanceTo(p)); }
  // Foot of the perpendicular from p.
  Point3d closestPointTo(const Point3d& p) const { return p - normal * signedDistanceTo(p); }
  // p moved along dir until it meets the plane; false when dir is parallel.
  bool project(const Point3d& p, const Vector3d& dir, Point3d& out) const {
    double den = dir.dot(normal);
    if (std::fabs(den) <= 1e-12 * dir.length()) return false;
    out = p - dir * (signedDistanceTo(p) / den);
    return true;
  }
};

// Axis-aligned bounds; empty until the first point is added.
struct Extents3d {
  Point3d min{1e300, 1e300, 1e300}, max{-1e300, -1e300, -1e300};
  bool isEmpty() const { return min.x > max.x; }
  void add(const Point3d& p) {
    min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y), std::fmin(min.z, p.z)};
    max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y), std::fmax(max.z, p.z)};
  }
  void add(const Extents3d& e) {
    if (!e.isEmpty()) add(e.min), add(e.max);
  }
};
struct Extents2d {
  Point2d min{1e300, 1e300}, max{-1e300, -1e300};
  bool isEmpty() const { return min.x > max.x; }
  void add(const Point2d& p) {
    min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y)};
    max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y)};
  }
  void add(const Extents2d& e) {
    if (!e.isEmpty()) add(e.min), add(e.max);
  }
  bool contains(const Point2d& p, double tol = 0) const {
    return p.x >= min.x - tol && p.x <= max.x + tol && p.y >= min.y - tol && p.y <= max.y + tol;
  }
};

// Angle helpers.
// a brought into [0, 2pi).
inline double normalizeAngle(double a) {
  a = std::fmod(a, 2 * kPi);
  if (a < 0) a += 2 * kPi;
  return a >= 2 * kPi ? 0 : a;
}
// The angle of v about the axis n, measured counter-clockwise (seen from n's
// tip) from the X axis of n's plane by the arbitrary-axis rule; for n = +Z
// that is the usual angle from +X, for n = -Z it is measured from -X.
inline double angleFromXAxis(const Vector3d& v, const Vector3d& n = Vector3d::zAxis()) {
  Vector3d p = worldToPlane(n) * v;
  return normalizeAngle(std::atan2(p.y, p.x));
}
// The unit vector at angle a in the plane of n (inverse of angleFromXAxis).
inline Vector3d directionFromAngle(double a, const Vector3d& n = Vector3d::zAxis()) {
  return planeToWorld(n) * Vector3d(std::cos(a), std::sin(a), 0);
}

}  // namespace geom
