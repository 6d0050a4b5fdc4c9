#include <gtest/gtest.h>

#include "platform/geom/curves.h"
#include "tests/platform/geom/near.h"

namespace {

using namespace geom;
using kivtest::Near;

TEST(Bulge, ArcFromBulgeAndBack) {
  struct Case {
    Point2d s, e;
    double bulge;
    Point2d center;
    double radius;
    Point2d mid;
  } cases[] = {
      // A half circle counter-clockwise from (0,0) to (2,0) passes below.
      {{0, 0}, {2, 0}, 1, {1, 0}, 1, {1, -1}},
      {{0, 0}, {2, 0}, -1, {1, 0}, 1, {1, 1}},
      // A quarter about the origin.
      {{1, 0}, {0, 1}, std::tan(kPi / 8), {0, 0}, 1, {std::sqrt(0.5), std::sqrt(0.5)}},
      {{0, 1}, {1, 0}, -std::tan(kPi / 8), {0, 0}, 1, {std::sqrt(0.5), std::sqrt(0.5)}},
      // Three quarters: bulge tan(3pi/8) > 1, the centre on the bulge side.
      {{1, 0}, {0, -1}, std::tan(3 * kPi / 8), {0, 0}, 1, {-std::sqrt(0.5), std::sqrt(0.5)}},
  };
  for (const auto& c : cases) {
    auto a = CircArc2d::fromBulge(c.s, c.e, c.bulge);
    ASSERT_TRUE(a);
    EXPECT_TRUE(Near(a->center, c.center));
    EXPECT_NEAR(a->radius, c.radius, 1e-12);
    EXPECT_TRUE(Near(a->startPoint(), c.s));
    EXPECT_TRUE(Near(a->endPoint(), c.e));
    EXPECT_TRUE(Near(a->midPoint(), c.mid));
    EXPECT_NEAR(a->bulge(), c.bulge, 1e-12);
    EXPECT_EQ(a->isClockWise(), c.bulge < 0);
  }
  EXPECT_FALSE(CircArc2d::fromBulge({0, 0}, {2, 0}, 0));
  EXPECT_FALSE(CircArc2d::fromBulge({1, 1}, {1, 1}, 1));
  EXPECT_TRUE(Curve2d::fromBulge({0, 0}, {2, 0}, 0).isLine());
  EXPECT_NEAR(Curve2d::fromBulge({0, 0}, {2, 0}, 1).length(), kPi, 1e-12);
}

TEST(Arc, ThroughThreePoints) {
  auto ccw = CircArc2d::throughPoints({1, 0}, {0, 1}, {-1, 0});
  ASSERT_TRUE(ccw);
  EXPECT_TRUE(Near(ccw->center, {0, 0}));
  EXPECT_NEAR(ccw->sweep, kPi, 1e-12);
  auto cw = CircArc2d::throughPoints({-1, 0}, {0, 1}, {1, 0});
  ASSERT_TRUE(cw);
  EXPECT_TRUE(cw->isClockWise());
  EXPECT_NEAR(cw->sweep, -kPi, 1e-12);
  EXPECT_TRUE(Near(cw->midPoint(), {0, 1}));
  // The middle point decides the side: through (0,-1) the long way round.
  auto longWay = CircArc2d::throughPoints({0, 1}, {0, -1}, {1, 0});
  ASSERT_TRUE(longWay);
  EXPECT_NEAR(std::fabs(longWay->sweep), 3 * kPi / 2, 1e-12);
  EXPECT_TRUE(longWay->isOn({-1, 0}));
  EXPECT_FALSE(CircArc2d::throughPoints({0, 0}, {1, 1}, {2, 2}));
  EXPECT_FALSE(CircArc2d::throughPoints({0, 0}, {0, 0}, {2, 2}));
}

TEST(Arc, HostFormAnglesAndFullCircle) {
  CircArc2d a({0, 0}, 2, 3 * kPi / 2, kPi / 2);  // counter-clockwise through 0
  EXPECT_NEAR(a.sweep, kPi, 1e-12);
  EXPECT_TRUE(a.isOn({2, 0}));
  EXPECT_FALSE(a.isOn({-2, 0}, 1e-6));
  CircArc2d b({0, 0}, 2, 3 * kPi / 2, kPi / 2, false);  // clockwise through pi
  EXPECT_TRUE(b.isOn({-2, 0}));
  EXPECT_TRUE(CircArc2d({0, 0}, 1, 1.0, 1.0).isFullCircle());
  CircArc2d c = CircArc2d::circle({1, 1}, 1);
  EXPECT_NEAR(c.length(), 2 * kPi, 1e-12);
  EXPECT_TRUE(c.isOn({1, 0}));
  EXPECT_NEAR(c.distanceTo({1, 4}), 2, 1e-12);
  EXPECT_NEAR(c.distanceTo({1, 1}), 1, 1e-12);  // the centre is a radius away
}

TEST(Curve, ClosestPointDistanceAndIsOn) {
  CircArc2d quarter({0, 0}, 1, 0, kPi / 2);
  LineSeg2d line({0, 0}, {10, 0});
  struct Case {
    Curve2d c;
    Point2d p;
    Point2d closest;
    bool extend;
  } cases[] = {
      {quarter, {2, 2}, {std::sqrt(0.5), std::sqrt(0.5)}, false},
      {quarter, {1, -1}, {1, 0}, false},          // beyond the start: the start
      {quarter, {-1, 0.1}, {0, 1}, false},        // beyond the end: the end
      {quarter, {-2, 0}, {-1, 0}, true},          // on the full circle
      {line, {5, 5}, {5, 0}, false},
      {line, {-3, 4}, {0, 0}, false},
      {line, {-3, 4}, {-3, 0}, true},
  };
  for (const auto& c : cases) EXPECT_TRUE(Near(c.c.closestPointTo(c.p, c.extend), c.closest));
  // The half circle (0,0)->(2,0) with bulge 1 passes (1,-1): (1,1) lies on its
  // circle but not on the arc.
  Curve2d half = Curve2d::fromBulge({0, 0}, {2, 0}, 1);
  EXPECT_NEAR(half.distanceTo({1, -0.5}), 0.5, 1e-12);
  EXPECT_NEAR(half.distanceTo({1, 1}), std::sqrt(2.0), 1e-12);
  EXPECT_TRUE(half.isOn({1, -1}, 1e-9));
  EXPECT_FALSE(half.isOn({1, 1}, 0.5));
}

TEST(Curve, AlongTheCurve) {
  Curve2d cw = Curve2d::fromBulge({0, 0}, {2, 0}, -1);  // over the top, clockwise
  EXPECT_TRUE(Near(cw.pointAtDistance(kPi / 2), {1, 1}));
  EXPECT_NEAR(cw.distanceAlong({1, 5}), kPi / 2, 1e-12);
  EXPECT_TRUE(Near(Point2d() + cw.tangentAt(0), {0, 1}));
  EXPECT_TRUE(Near(Point2d() + cw.tangentAt(kPi / 2), {1, 0}));
  Curve2d rev = cw.reversed();
  EXPECT_TRUE(Near(rev.startPoint(), {2, 0}));
  EXPECT_TRUE(Near(rev.midPoint(), {1, 1}));
  EXPECT_NEAR(rev.bulge(), 1, 1e-12);
  LineSeg2d l({1, 1}, {4, 5});
  EXPECT_TRUE(Near(l.pointAtDistance(2.5), {2.5, 3}));
  EXPECT_NEAR(l.distanceAlong({2.5, 3}), 2.5, 1e-12);
}

TEST(Curve, ExactExtents) {
  // From 350 to 10 degrees through 0: the rightmost point (1,0) is inside.
  CircArc2d a({0, 0}, 1, 350 * kPi / 180, 10 * kPi / 180);
  Extents2d e = a.extents();
  EXPECT_DOUBLE_EQ(e.max.x, 1);
  EXPECT_NEAR(e.min.x, std::cos(10 * kPi / 180), 1e-12);
  EXPECT_NEAR(e.max.y, std::sin(10 * kPi / 180), 1e-12);
  Extents2d half = Curve2d::fromBulge({0, 0}, {2, 0}, 1).extents();
  EXPECT_NEAR(half.min.y, -1, 1e-12);
  EXPECT_NEAR(half.max.y, 0, 1e-12);
}

TEST(Composite, LengthAndPointsAlong) {
  CompositeCurve2d c({LineSeg2d({0, 0}, {10, 0}), LineSeg2d({10, 0}, {10, 10}),
                      Curve2d::fromBulge({10, 10}, {0, 10}, 1)});
  EXPECT_NEAR(c.length(), 20 + 5 * kPi, 1e-12);
  EXPECT_TRUE(Near(c.pointAtDistance(15), {10, 5}));
  EXPECT_TRUE(Near(c.pointAtDistance(-1), {0, 0}));
  EXPECT_TRUE(Near(c.pointAtDistance(1e9), {0, 10}));
  EXPECT_TRUE(Near(c.pointAtDistance(20 + 2.5 * kPi), {5, 15}));
  EXPECT_NEAR(c.distanceAlong({12, 5}), 15, 1e-12);
  EXPECT_EQ(c.closestSegment({12, 5}), 1);
  EXPECT_NEAR(c.distanceTo({5, 17}), 2, 1e-12);
  EXPECT_TRUE(c.isOn({5, 15}));
  EXPECT_FALSE(c.isClosed());
  EXPECT_NEAR(c.extents().max.y, 15, 1e-12);
  EXPECT_NEAR(CompositeCurve2d().distanceTo({0, 0}), 1e300, 1);
  EXPECT_FALSE(CompositeCurve2d().isOn({0, 0}));
}

TEST(Tessellate, ArcPoints) {
  auto half = *CircArc2d::fromBulge({0, 0}, {2, 0}, 1);
  auto pts = tessellate(half, kPi / 2);
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_TRUE(Near(pts[0], {0, 0}));
  EXPECT_TRUE(Near(pts[1], {1, -1}));
  EXPECT_TRUE(Near(pts[2], {2, 0}));
  EXPECT_EQ(tessellate(half, kPi / 2 - 1e-6).size(), 4u);
  auto circle = tessellate(CircArc2d::circle({0, 0}, 1), kPi / 2);
  ASSERT_EQ(circle.size(), 5u);
  EXPECT_TRUE(Near(circle.front(), circle.back()));
}

TEST(Line3d, IntersectWithTolerance) {
  LineSeg3d a({0, 0, 0}, {10, 0, 0});
  LineSeg3d b({5, -5, 1}, {5, 5, 1});  // passes 1 above a
  EXPECT_FALSE(a.intersectWith(b));
  auto p = a.intersectWith(b, 10.0);
  ASSERT_TRUE(p);
  EXPECT_TRUE(Near(*p, {5, 0, 0}));  // the point on the first segment
  LineSeg3d c({20, -5, 0}, {20, 5, 0});
  EXPECT_FALSE(a.intersectWith(c));
  EXPECT_TRUE(Near(a.intersectWith(c, 1e-9, Extend::This).value(), {20, 0, 0}));
  EXPECT_FALSE(a.intersectWith(c, 1e-9, Extend::Other));
  EXPECT_FALSE(a.intersectWith(LineSeg3d({0, 1, 0}, {10, 1, 0}), 10.0));  // parallel
  EXPECT_TRUE(Near(a.closestPointTo({-4, 3, 2}), {0, 0, 0}));
  EXPECT_TRUE(Near(a.closestPointTo({-4, 3, 2}, true), {-4, 0, 0}));
}

TEST(Line3d, Colinear) {
  LineSeg3d a({0, 0, 0}, {10, 0, 0});
  Tol loose{1.0, std::sin(5 * kPi / 180)};
  EXPECT_TRUE(a.isColinearTo(LineSeg3d({20, 0.5, 0}, {30, 0.9, 0}), loose));
  EXPECT_FALSE(a.isColinearTo(LineSeg3d({20, 0.5, 0}, {30, 0.9, 0})));
  EXPECT_FALSE(a.isColinearTo(LineSeg3d({20, 2, 0}, {30, 2, 0}), loose));
  EXPECT_FALSE(a.isColinearTo(LineSeg3d({0, 0, 0}, {10, 3, 0}), loose));
}

TEST(Arc3d, FromBulgeFollowsTheArbitraryAxis) {
  auto up = CircArc3d::fromBulge({0, 0, 3}, {2, 0, 3}, 1);
  auto down = CircArc3d::fromBulge({0, 0, 3}, {2, 0, 3}, -1);
  ASSERT_TRUE(up && down);
  EXPECT_TRUE(Near(up->normal, {0, 0, 1}));
  EXPECT_TRUE(Near(down->normal, {0, 0, -1}));
  EXPECT_NEAR(down->startAngle, 0, 1e-12);  // (0,0) is at -X from the centre: angle 0 about -Z
  for (const auto& a : {*up, *down}) {
    EXPECT_TRUE(Near(a.startPoint(), {0, 0, 3}));
    EXPECT_TRUE(Near(a.endPoint(), {2, 0, 3}));
  }
  EXPECT_TRUE(Near(up->midPoint(), {1, -1, 3}));
  EXPECT_TRUE(Near(down->midPoint(), {1, 1, 3}));
  EXPECT_NEAR(down->bulge(), -1, 1e-12);
  EXPECT_NEAR(down->toPlan()->sweep, -kPi, 1e-12);
  EXPECT_NEAR(down->extents().max.y, 1, 1e-12);
  EXPECT_NEAR(down->extents().min.y, 0, 1e-12);
  EXPECT_FALSE(CircArc3d({0, 0, 0}, {1, 0, 0}, 1, 0, 1).toPlan());
}

}  // namespace
