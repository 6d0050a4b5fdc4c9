#include <gtest/gtest.h>

#include "platform/geom/polyline.h"
#include "tests/platform/geom/near.h"

namespace {

using namespace geom;
using kivtest::Near;

Polyline2d Square(double size = 10) {
  return Polyline2d({{0, 0}, {size, 0}, {size, size}, {0, size}}, {}, true);
}
// The square with its right side bowed out into a half circle of radius 5.
Polyline2d Stadium() { return Polyline2d({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {0, 1, 0, 0}, true); }

TEST(Polyline, SegmentsAndLength) {
  Polyline2d open({{0, 0}, {10, 0}, {10, 10}}, {0, 0});
  EXPECT_EQ(open.segmentCount(), 2);
  EXPECT_EQ(Square().segmentCount(), 4);
  EXPECT_EQ(Polyline2d({{0, 0}}, {}, true).segmentCount(), 0);
  EXPECT_NEAR(open.length(), 20, 1e-12);
  EXPECT_NEAR(Stadium().length(), 30 + 5 * kPi, 1e-12);
  EXPECT_TRUE(Stadium().segmentAt(1).isArc());
  EXPECT_TRUE(Near(Stadium().segmentAt(3).endPoint(), {0, 0}));  // the closing segment
  EXPECT_NEAR(Stadium().extents().max.x, 15, 1e-12);
}

TEST(Polyline, AreaAndCentroid) {
  const double cap = 12.5 * kPi;  // half of a circle of radius 5
  const double capX = 10 + 4 * 5 / (3 * kPi);
  struct Case {
    const char* what;
    Polyline2d p;
    double signedArea;
    Point2d centroid;
  } cases[] = {
      {"square", Square(), 100, {5, 5}},
      {"square reversed", Square().reversed(), -100, {5, 5}},
      {"square closed by repeating the first point", Polyline2d({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}),
       100, {5, 5}},
      {"stadium", Stadium(), 100 + cap, {(500 + cap * capX) / (100 + cap), 5}},
      {"stadium reversed", Stadium().reversed(), -(100 + cap), {(500 + cap * capX) / (100 + cap), 5}},
      {"circle of two half arcs", Polyline2d({{-1, 0}, {1, 0}}, {1, 1}, true), kPi, {0, 0}},
      // A bite: the right side bowed inward takes the half disc away.
      {"bitten square", Polyline2d({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {0, -1, 0, 0}, true), 100 - cap,
       {(500 - cap * (10 - 4 * 5 / (3 * kPi))) / (100 - cap), 5}},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(c.p.signedArea(), c.signedArea, 1e-9) << c.what;
    EXPECT_EQ(c.p.isCounterClockwise(), c.signedArea > 0) << c.what;
    auto g = c.p.centroid();
    ASSERT_TRUE(g) << c.what;
    EXPECT_TRUE(Near(*g, c.centroid)) << c.what;
  }
  EXPECT_FALSE(Polyline2d({{0, 0}, {1, 1}, {2, 2}}, {}, true).centroid());
  EXPECT_EQ(Polyline2d({{0, 0}, {1, 1}}).signedArea(), 0);
  // Far from the origin the result is as exact.
  Polyline2d far({{1e6, 1e6}, {1e6 + 10, 1e6}, {1e6 + 10, 1e6 + 10}, {1e6, 1e6 + 10}}, {}, true);
  EXPECT_TRUE(Near(*far.centroid(), {1e6 + 5, 1e6 + 5}, 1e-6));
}

TEST(Polyline, Classify) {
  struct Case {
    Point2d p;
    Containment expected;
  } cases[] = {
      {{5, 5}, Containment::Inside},      {{14, 5}, Containment::Inside},  // inside the bowed side
      {{10, 5}, Containment::Inside},     {{16, 5}, Containment::Outside},
      {{15, 5}, Containment::OnBoundary}, {{0, 0}, Containment::OnBoundary},
      {{-1, 10}, Containment::Outside},   {{12, 10}, Containment::Outside},  // ray along the top edge
      {{5, 10}, Containment::OnBoundary}, {{5, -0.1}, Containment::Outside},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Stadium().classify(c.p, 1e-9), c.expected) << c.p.x << "," << c.p.y;
  // An open polyline counts as closed by a straight line.
  Polyline2d open({{0, 0}, {10, 0}, {10, 10}});
  EXPECT_EQ(open.classify({8, 2}), Containment::Inside);
  EXPECT_EQ(open.classify({2, 8}), Containment::Outside);
  EXPECT_EQ(open.classify({5, 5}), Containment::OnBoundary);
}

TEST(Polyline, ReversedMovesBulgesToTheirSegments) {
  Polyline2d p({{0, 0}, {1, 0}, {2, 0}}, {0.5, -0.25, 0});
  Polyline2d r = p.reversed();
  EXPECT_TRUE(Near(r.points[0], {2, 0}));
  EXPECT_EQ(r.bulges, (std::vector<double>{0.25, -0.5, 0}));
  EXPECT_NEAR(r.length(), p.length(), 1e-12);
  Polyline2d s = Stadium().reversed();
  EXPECT_TRUE(Near(s.segmentAt(1).midPoint(), Stadium().segmentAt(1).midPoint()));
}

void ExpectPolyline(const std::optional<Polyline2d>& got, const std::vector<Point2d>& pts,
                    const std::vector<double>& bulges, const char* what) {
  ASSERT_TRUE(got) << what;
  ASSERT_EQ(got->points.size(), pts.size()) << what;
  for (size_t i = 0; i < pts.size(); ++i) EXPECT_TRUE(Near(got->points[i], pts[i])) << what << " #" << i;
  for (size_t i = 0; i < bulges.size(); ++i) EXPECT_NEAR(got->bulgeAt(static_cast<int>(i)), bulges[i], 1e-9) << what << " #" << i;
}

TEST(Offset, PositiveGoesRightOfTravel) {
  Polyline2d path({{0, 0}, {10, 0}, {10, 10}});
  ExpectPolyline(path.offset(1), {{0, -1}, {11, -1}, {11, 10}}, {0, 0}, "open, right");
  ExpectPolyline(path.offset(-1), {{0, 1}, {9, 1}, {9, 10}}, {0, 0}, "open, left");
  ExpectPolyline(Square().offset(1), {{-1, -1}, {11, -1}, {11, 11}, {-1, 11}}, {}, "ccw grows");
  ExpectPolyline(Square().offset(-1), {{1, 1}, {9, 1}, {9, 9}, {1, 9}}, {}, "ccw shrinks");
  ExpectPolyline(Square().reversed().offset(1), {{1, 9}, {9, 9}, {9, 1}, {1, 1}}, {}, "cw shrinks");
  EXPECT_NEAR(Square().offset(2)->area(), 196, 1e-9);
  ExpectPolyline(path.offset(0), path.points, {0, 0}, "zero");
}

TEST(Offset, ArcsStayConcentric) {
  Polyline2d half({{0, 0}, {2, 0}}, {1, 0});  // counter-clockwise, centre (1,0)
  ExpectPolyline(half.offset(0.5), {{-0.5, 0}, {2.5, 0}}, {1, 0}, "ccw arc outward");
  ExpectPolyline(half.offset(-0.5), {{0.5, 0}, {1.5, 0}}, {1, 0}, "ccw arc inward");
  EXPECT_FALSE(half.offset(-1));  // shrinks to its centre
  Polyline2d cwHalf({{0, 0}, {2, 0}}, {-1, 0});
  ExpectPolyline(cwHalf.offset(0.5), {{0.5, 0}, {1.5, 0}}, {-1, 0}, "cw arc, right is inward");

  // The stadium grows: the bowed side stays a half circle, now of radius 6.
  auto s = Stadium().offset(1);
  ExpectPolyline(s, {{-1, -1}, {10, -1}, {10, 11}, {-1, 11}}, {0, 1, 0, 0}, "stadium");
  EXPECT_NEAR(s->area(), 11 * 12 + 18 * kPi, 1e-9);
}

TEST(Offset, VertexWhereALineMeetsAnArc) {
  // A line heading +X, then a half circle turning down from (0,0) to (2,0).
  Polyline2d p({{-10, 0}, {0, 0}, {2, 0}}, {0, 1, 0});
  auto o = p.offset(0.5);
  // The line moves to y = -0.5 and meets the circle of radius 1.5 about (1,0).
  double x = 1 - std::sqrt(2.0);
  double sweep = kPi - std::atan2(0.5, std::sqrt(2.0));
  ExpectPolyline(o, {{-10, -0.5}, {x, -0.5}, {2.5, 0}}, {0, std::tan(sweep / 4), 0}, "line-arc");
}

TEST(Offset, FailsRatherThanChangeTheVertexCount) {
  EXPECT_FALSE(Square().offset(-6));  // the sides would turn back
  EXPECT_FALSE(Square().offset(-5));  // the square shrinks to a point
  EXPECT_FALSE(Polyline2d({{0, 0}, {10, 0}, {0, 0}}).offset(1));  // a reversal has no corner
  // A line heading +X turns back into a clockwise half circle about (10,1).
  // To the right the line moves to y = -0.5 and the circle shrinks to radius
  // 0.5: they never meet. To the left they do.
  Polyline2d hook({{0, 0}, {10, 0}, {10, 2}}, {0, -1});
  EXPECT_FALSE(hook.offset(0.5));
  auto left = hook.offset(-0.5);
  ASSERT_TRUE(left);
  EXPECT_NEAR(left->points[1].y, 0.5, 1e-12);
  EXPECT_NEAR(left->points[1].distanceTo({10, 1}), 1.5, 1e-12);
  EXPECT_FALSE(Polyline2d({{0, 0}}).offset(1));
  EXPECT_FALSE(Polyline2d().offset(1));
}

TEST(Offset, RepeatedFirstPointOfAClosedOutline) {
  // An outline that repeats its first point: the zero-length closing segment
  // keeps its two vertices together.
  Polyline2d p({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, {}, true);
  ExpectPolyline(p.offset(-1), {{1, 1}, {9, 1}, {9, 9}, {1, 9}, {1, 1}}, {}, "repeated first point");
}

TEST(Tessellate, ArcsBecomeStraightPieces) {
  Polyline2d t = Stadium().tessellated(kPi / 2);
  // The half circle becomes two pieces through its outermost point.
  ASSERT_EQ(t.points.size(), 5u);
  EXPECT_TRUE(Near(t.points[2], {15, 5}));
  for (double b : t.bulges) EXPECT_EQ(b, 0);
  EXPECT_TRUE(t.closed);
  Polyline2d open({{0, 0}, {2, 0}}, {1});
  Polyline2d u = open.tessellated(kPi / 2);
  ASSERT_EQ(u.points.size(), 3u);
  EXPECT_TRUE(Near(u.points[1], {1, -1}));
}

}  // namespace
