// Point and vector compares, rounding and the angle conversions.
#include "module/toolkit/points.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(PointCompare, StrictToleranceInPlanAndSpace) {
  struct Case {
    Point3d a, b;
    double tol;
    bool xy, xyz;
  };
  const Case cases[] = {
      {{0, 0, 0}, {1, 0, 5}, 1.0, false, false},  // difference equal to the tolerance fails
      {{0, 0, 0}, {1, 0, 5}, 1.5, true, false},   // z ignored in plan
      {{0, 0, 0}, {0.999, -0.999, 0.999}, 1.0, true, true},
      {{10, 10, 0}, {10.5, 11.0, 0}, 1.0, false, false},
      {{-3, 4, 2}, {-3, 4, 2}, 1e-9, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsEqualPointXY(c.a, c.b, c.tol), c.xy);
    EXPECT_EQ(IsEqualPointXY(c.b, c.a, c.tol), c.xy);
    EXPECT_EQ(IsEqualPoint(c.a, c.b, c.tol), c.xyz);
  }
}

TEST(Direction, SameAndParallel) {
  struct Case {
    Vector3d a, b;
    double tol;
    bool same, parallel;
  };
  const Case cases[] = {
      {{1, 0, 0}, {-3, 0, 0}, 1e-6, false, true},
      {{1, 0, 0}, {0, 1, 0}, 1e-6, false, false},
      {{0, 0, 0}, {1, 0, 0}, 1.0, false, false},  // a zero vector stays zero
      {{0, 0, 0}, {1, 0, 0}, 0.5, false, false},
      {{2, 2, 0}, {5, 5, 0}, 1e-9, true, true},
      {{1, 0, 0}, {1, 0.001, 0}, 1e-2, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSameDirection(c.a, c.b, c.tol), c.same);
    EXPECT_EQ(IsParallel(c.a, c.b, c.tol), c.parallel);
  }
}

TEST(RoundPoint, HalfUpOnEveryCoordinate) {
  Point3d p(1.25, -1.25, 0.04);
  RoundPoint(p, 1);
  EXPECT_NEAR(p.x, 1.3, 1e-12);
  EXPECT_NEAR(p.y, -1.2, 1e-12);
  EXPECT_NEAR(p.z, 0.0, 1e-12);
  std::vector<Point3d> pts = {{1234, 5678, 49}, {-50, 150, 250}};
  RoundPoints(pts, -2);
  EXPECT_EQ(pts[0], Point3d(1200, 5700, 0));
  EXPECT_EQ(pts[1], Point3d(0, 200, 300));
}

TEST(Angles, MeasuredFromTheAxisReferenceDirection) {
  const Vector3d up(0, 0, 1), down(0, 0, -1);
  struct Case {
    Vector3d v, axis;
    double want;
  };
  const Case cases[] = {
      {{0, 1, 0}, up, kPi / 2},       {{0, 1, 0}, down, kPi / 2},
      {{0, -1, 0}, down, 3 * kPi / 2}, {{0, 0, 0}, up, 0.0},
      {{1, 0, 0}, up, 0.0},           {{-1, 0, 0}, down, 0.0},
      {{1, 0, 0}, down, kPi},          {{-1, -1, 0}, up, 5 * kPi / 4},
      {{1e-9, 0, 0}, up, 0.0},
  };
  for (const auto& c : cases) {
    double a = AngleFromXAxis(c.v, c.axis);
    EXPECT_NEAR(a, c.want, 1e-12) << c.v.x << "," << c.v.y;
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 2 * kPi);
  }
  Vector3d d = DirectionFromAngle(0, down);
  EXPECT_NEAR(d.x, -1, 1e-12);
  EXPECT_NEAR(d.y, 0, 1e-12);
}

TEST(Angles, DirectionAndAngleAreInverse) {
  for (const Vector3d& axis : {Vector3d(0, 0, 1), Vector3d(0, 0, -1)})
    for (double a = 0; a < 2 * kPi; a += 0.3) {
      Vector3d d = DirectionFromAngle(a, axis);
      EXPECT_NEAR(d.length(), 1.0, 1e-12);
      EXPECT_NEAR(AngleFromXAxis(d, axis), a, 1e-9) << a << " about z=" << axis.z;
    }
}

TEST(Conversions, DegreesAndPointCopies) {
  EXPECT_DOUBLE_EQ(RadToDeg(3.14159265), 180.0);
  EXPECT_NEAR(RadToDeg(kPi / 2), 90.0, 1e-6);
  double in[3] = {1.5, -2, 3};
  EXPECT_EQ(ToPoint3d(in), Point3d(1.5, -2, 3));
  EXPECT_EQ(ToPoint2d(4, 5), Point2d(4, 5));
  Point3d p;
  SetPoint3d(7, 8, 9, p);
  Point3d q;
  CopyPoint3d(p, q);
  EXPECT_EQ(q, Point3d(7, 8, 9));
}

}  // namespace
