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

}  // namespace geom
