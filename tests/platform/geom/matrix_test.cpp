#include <gtest/gtest.h>

#include "platform/geom/geom.h"
#include "tests/platform/geom/near.h"

namespace {

using namespace geom;
using kivtest::Near;

TEST(Matrix, InverseUndoesCompositeTransforms) {
  Matrix3d ms[] = {
      Matrix3d::rotation(0.7, {1, 2, 3}, {4, -5, 6}) * Matrix3d::translation({1, 2, 3}),
      Matrix3d::scaling(2, 3, 0.5, {1, 1, 1}) * Matrix3d::rotation(kPi / 3, Vector3d::zAxis()),
      Matrix3d::mirroring({1, 0, 0}, {1, 1, 0}) * Matrix3d::translation({-3, 0, 9}),
  };
  for (const auto& m : ms) {
    EXPECT_TRUE((m * m.inverse()).isEqualTo(Matrix3d::identity(), 1e-12));
    EXPECT_TRUE((m.inverse() * m).isEqualTo(Matrix3d::identity(), 1e-12));
    EXPECT_TRUE(Near(m.inverse() * (m * Point3d(7, -2, 5)), Point3d(7, -2, 5), 1e-12));
  }
  EXPECT_NEAR(ms[0].determinant(), 1, 1e-12);
  EXPECT_NEAR(ms[1].determinant(), 3, 1e-12);
  EXPECT_NEAR(ms[2].determinant(), -1, 1e-12);
  Matrix3d singular = Matrix3d::scaling(1, 0, 1);
  EXPECT_TRUE(singular.isSingular());
  EXPECT_EQ(singular.inverse(), Matrix3d::identity());
}

TEST(Matrix, MirrorsAndRotations) {
  EXPECT_TRUE(Near(Matrix3d::mirroring({}, Vector3d::xAxis()) * Point3d(1, 2, 3), {-1, 2, 3}));
  // In plan about the line y = x + 1.
  EXPECT_TRUE(Near(Matrix3d::mirroringLine({0, 1, 0}, {1, 2, 0}) * Point3d(1, 0, 5), {-1, 2, 5}));
  // A quarter turn about +Z through (1, 1): (2, 1) -> (1, 2).
  EXPECT_TRUE(Near(Matrix3d::rotation(kPi / 2, Vector3d::zAxis(), {1, 1, 0}) * Point3d(2, 1, 0), {1, 2, 0}));
  // A half turn about a horizontal axis turns +Z to -Z.
  EXPECT_TRUE(Near(Matrix3d::rotation(kPi, Vector3d::xAxis()) * Vector3d::zAxis(), {0, 0, -1}));
}

TEST(Plane, ArbitraryAxisRule) {
  struct Case {
    Vector3d n, xAxis;
  } cases[] = {
      {{0, 0, 1}, {1, 0, 0}},
      {{0, 0, -1}, {-1, 0, 0}},  // a downward normal measures from -X
      {{1, 0, 0}, {0, 1, 0}},
      {{0, 1, 0}, {-1, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Near(arbitraryXAxis(c.n), c.xAxis));
    EXPECT_TRUE(Near(planeToWorld(c.n) * Vector3d::xAxis(), c.xAxis));
    EXPECT_TRUE((worldToPlane(c.n) * planeToWorld(c.n)).isEqualTo(Matrix3d::identity(), 1e-12));
  }
  // Angles about a normal and back.
  EXPECT_NEAR(angleFromXAxis({1, 0, 0}, {0, 0, -1}), kPi, 1e-12);
  // Seen from below the plane's Y axis is still +Y: the plane is mirrored in X.
  EXPECT_NEAR(angleFromXAxis({0, 1, 0}, {0, 0, -1}), kPi / 2, 1e-12);
  EXPECT_NEAR(angleFromXAxis({1, -1, 0}, {0, 0, -1}), 5 * kPi / 4, 1e-12);
  for (double a : {0.0, 1.0, 3.0, 5.5})
    for (Vector3d n : {Vector3d(0, 0, 1), Vector3d(0, 0, -1), Vector3d(1, 2, 3)})
      EXPECT_NEAR(angleFromXAxis(directionFromAngle(a, n), n), a, 1e-12);
  // A plane through a point.
  Matrix3d w = worldToPlane({10, 0, 0}, {0, 0, -1});
  EXPECT_TRUE(Near(w * Point3d(9, 0, 0), {1, 0, 0}));
  EXPECT_TRUE(Near(planeToWorld({10, 0, 0}, {0, 0, -1}) * Point3d(1, 0, 0), {9, 0, 0}));
}

TEST(Vector, PerpendicularAndAngles) {
  struct Case {
    Vector3d v, perp;
  } cases[] = {
      {{1, 0, 0}, {0, 1, 0}},   {{-1, 0, 0}, {0, -1, 0}}, {{3, 4, 0}, {-4, 3, 0}},
      {{0, 0, 2}, {2, 0, 0}},   {{0, 0, -2}, {-2, 0, 0}}, {{0, 0, 0}, {0, 0, 0}},
      {{3, 4, 12}, {-4 * 13 / 5.0, 3 * 13 / 5.0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(Near(c.v.perpVector(), c.perp));
    EXPECT_TRUE(Near((-c.v).perpVector(), -c.perp));
  }
  Vector3d x = Vector3d::xAxis(), y = Vector3d::yAxis();
  EXPECT_NEAR(x.angleTo(y, Vector3d::zAxis()), kPi / 2, 1e-12);
  EXPECT_NEAR(x.angleTo(y, {0, 0, -1}), 3 * kPi / 2, 1e-12);
  EXPECT_NEAR(x.angleTo(-x, x.cross(-x)), kPi, 1e-12);  // zero reference: unsigned
  EXPECT_NEAR(x.angleTo(x, {0, 0, 1}), 0, 1e-12);
  EXPECT_TRUE(x.isParallelTo({-2, 0, 0}));
  EXPECT_FALSE(x.isCodirectionalTo({-2, 0, 0}));
  EXPECT_TRUE(x.isParallelTo({1, std::sin(0.02), 0}, std::sin(3 * kPi / 180)));
  EXPECT_FALSE(x.isParallelTo({1, std::sin(0.1), 0}, std::sin(3 * kPi / 180)));
  EXPECT_TRUE(Near(x.rotatedBy(kPi / 2, Vector3d::zAxis()), y));
  EXPECT_NEAR(Vector2d(1, 0).angleTo({0, -1}), 3 * kPi / 2, 1e-12);
}

TEST(Plane, ThroughPointsAndProjection) {
  Plane p;
  EXPECT_FALSE(p.setThrough({0, 0, 0}, {1, 1, 1}, {2, 2, 2}));
  // The slope z = x / 10.
  ASSERT_TRUE(p.setThrough({0, 0, 0}, {10, 0, 1}, {0, 10, 0}));
  Point3d out;
  ASSERT_TRUE(p.project({5, 3, 100}, Vector3d::zAxis(), out));
  EXPECT_TRUE(Near(out, {5, 3, 0.5}));
  EXPECT_FALSE(p.project({5, 3, 100}, {0, 1, 0}, out));
  EXPECT_NEAR(Plane({0, 0, 2}, {0, 0, -5}).signedDistanceTo({1, 1, 5}), -3, 1e-12);
}

TEST(Extents, GrowAndContain) {
  Extents2d e;
  EXPECT_TRUE(e.isEmpty());
  e.add({1, 2});
  e.add({-1, 5});
  EXPECT_FALSE(e.isEmpty());
  EXPECT_TRUE(e.contains({0, 3}));
  EXPECT_FALSE(e.contains({0, 6}));
  EXPECT_TRUE(e.contains({0, 5.5}, 0.5));
}

}  // namespace
