#include <gtest/gtest.h>

#include "platform/geom/curves.h"
#include "tests/platform/geom/near.h"

namespace {

using namespace geom;
using kivtest::Near;

Curve2d L(double x0, double y0, double x1, double y1) { return LineSeg2d({x0, y0}, {x1, y1}); }
Curve2d Circle(double x, double y, double r) { return CircArc2d::circle({x, y}, r); }
// The upper half of a circle, counter-clockwise from angle 0 to pi.
Curve2d Upper(double x, double y, double r) { return CircArc2d({x, y}, r, 0, kPi); }

TEST(Intersect, TableOfCases) {
  const double h = std::sqrt(3.0) / 2;
  struct Case {
    const char* what;
    Curve2d a, b;
    Extend ext;
    std::vector<Point2d> expected;
  } cases[] = {
      {"crossing lines", L(0, 0, 10, 0), L(5, -5, 5, 5), Extend::None, {{5, 0}}},
      {"short of the other", L(0, 0, 4, 0), L(5, -5, 5, 5), Extend::None, {}},
      {"first extended", L(0, 0, 4, 0), L(5, -5, 5, 5), Extend::This, {{5, 0}}},
      {"second extended", L(0, 0, 4, 0), L(5, -5, 5, 5), Extend::Other, {}},
      {"both extended", L(0, 0, 4, 0), L(5, 1, 5, 5), Extend::Both, {{5, 0}}},
      {"touching at an end", L(0, 0, 5, 0), L(5, 0, 5, 5), Extend::None, {{5, 0}}},
      {"parallel", L(0, 0, 10, 0), L(0, 1, 10, 1), Extend::Both, {}},
      {"collinear overlap", L(0, 0, 10, 0), L(15, 0, 5, 0), Extend::None, {{5, 0}, {10, 0}}},
      {"collinear apart", L(0, 0, 4, 0), L(5, 0, 9, 0), Extend::None, {}},
      {"line through circle", L(-2, 0, 2, 0), Circle(0, 0, 1), Extend::None, {{-1, 0}, {1, 0}}},
      {"ordered along the first", L(2, 0, -2, 0), Circle(0, 0, 1), Extend::None, {{1, 0}, {-1, 0}}},
      {"line ends inside", L(0, 0, 2, 0), Circle(0, 0, 1), Extend::None, {{1, 0}}},
      {"tangent line", L(-2, 1, 2, 1), Circle(0, 0, 1), Extend::None, {{0, 1}}},
      {"line misses the arc", L(-2, -0.5, 2, -0.5), Upper(0, 0, 1), Extend::None, {}},
      {"arc extended to its circle", L(-2, -0.5, 2, -0.5), Upper(0, 0, 1), Extend::Other,
       {{-h, -0.5}, {h, -0.5}}},
      {"arc first, line second", Upper(0, 0, 1), L(0, -2, 0, 2), Extend::None, {{0, 1}}},
      {"two circles", Circle(0, 0, 1), Circle(1, 0, 1), Extend::None, {{0.5, h}, {0.5, -h}}},
      {"two upper halves", Upper(0, 0, 1), Upper(1, 0, 1), Extend::None, {{0.5, h}}},
      {"circles touching", Circle(0, 0, 1), Circle(2, 0, 1), Extend::None, {{1, 0}}},
      {"circle inside circle", Circle(0, 0, 3), Circle(0.5, 0, 1), Extend::None, {}},
      {"co-circular arcs", CircArc2d({0, 0}, 1, 0, kPi), CircArc2d({0, 0}, 1, kPi / 2, 3 * kPi / 2),
       Extend::None, {{0, 1}, {-1, 0}}},
  };
  for (const auto& c : cases) {
    auto got = intersect(c.a, c.b, c.ext);
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(Near(got[i], c.expected[i])) << c.what << " #" << i;
  }
}

TEST(Intersect, CompositeCurvesMergeSharedVertices) {
  CompositeCurve2d a({L(0, 0, 10, 0), L(10, 0, 10, 10)});
  CompositeCurve2d b({L(10, -5, 10, 0), L(10, 0, 20, 0)});
  // The shared part of the two vertical pieces is the vertex itself.
  auto pts = intersect(a, b);
  ASSERT_EQ(pts.size(), 1u);
  EXPECT_TRUE(Near(pts[0], {10, 0}));
  CompositeCurve2d c({L(5, -5, 5, 5), Curve2d(CircArc2d({10, 5}, 1, 0, 2 * kPi))});
  auto q = intersect(a, c);
  ASSERT_EQ(q.size(), 3u);
  EXPECT_TRUE(Near(q[0], {5, 0}));
  EXPECT_TRUE(Near(q[1], {10, 4}));
  EXPECT_TRUE(Near(q[2], {10, 6}));
}

TEST(ClosestPoints, TableOfCases) {
  struct Case {
    const char* what;
    Curve2d a, b;
    double distance;
    Point2d onA, onB;
  } cases[] = {
      {"parallel lines", L(0, 0, 10, 0), L(2, 3, 5, 3), 3, {2, 0}, {2, 3}},
      {"skew lines", L(0, 0, 10, 0), L(12, 1, 20, 5), std::sqrt(5.0), {10, 0}, {12, 1}},
      {"line and circle", L(0, 0, 10, 0), Circle(5, 5, 2), 3, {5, 0}, {5, 3}},
      {"circle and line", Circle(5, 5, 2), L(0, 0, 10, 0), 3, {5, 3}, {5, 0}},
      {"two circles", Circle(0, 0, 1), Circle(5, 0, 1), 3, {1, 0}, {4, 0}},
      {"arc ends count", Upper(0, 0, 1), Upper(5, 0, 1), 3, {1, 0}, {4, 0}},
      {"crossing", L(0, 0, 10, 0), L(5, -5, 5, 5), 0, {5, 0}, {5, 0}},
      {"arc turned away", CircArc2d({0, 0}, 1, kPi / 2, 3 * kPi / 2), L(3, -1, 3, 1), 3, {0, 1}, {3, 1}},
  };
  for (const auto& c : cases) {
    auto r = closestPoints(c.a, c.b);
    EXPECT_NEAR(r.distance, c.distance, 1e-9) << c.what;
    EXPECT_NEAR(r.onA.distanceTo(r.onB), c.distance, 1e-9) << c.what;
    if (std::string(c.what) != "arc turned away") {
      EXPECT_TRUE(Near(r.onA, c.onA)) << c.what;
      EXPECT_TRUE(Near(r.onB, c.onB)) << c.what;
    }
  }
  CompositeCurve2d a({L(0, 0, 10, 0), L(10, 0, 10, 10)});
  CompositeCurve2d b({L(13, 5, 20, 5)});
  EXPECT_NEAR(distance(a, b), 3, 1e-12);
  EXPECT_GE(distance(a, CompositeCurve2d()), 1e299);
}

TEST(Ray, TowardNegativeX) {
  Ray2d r = Ray2d::towardNegX({0, 0});
  // An edge just right of the origin is not crossed; one left of it is.
  EXPECT_TRUE(intersect(r, L(0.5, -1, 0.5, 1)).empty());
  EXPECT_EQ(crossingsTowardNegX({0, 0}, L(0.5, -1, 0.5, 1)), 0);
  EXPECT_EQ(intersect(r, L(-0.5, -1, -0.5, 1)).size(), 1u);
  EXPECT_EQ(crossingsTowardNegX({0, 0}, L(-0.5, -1, -0.5, 1)), 1);
  EXPECT_EQ(crossingsTowardNegX({0, 0}, L(-5, 0, -9, 0)), 0);  // along the ray
  auto hits = intersect(r, Circle(-5, 0, 1));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_TRUE(Near(hits[0], {-4, 0}));  // nearest first
  EXPECT_EQ(crossingsTowardNegX({0, 0}, Circle(-5, 0, 1)), 2);
  EXPECT_EQ(crossingsTowardNegX({0, 0}, Circle(0, 0, 1)), 1);  // only the left side
  // Touching the ray from above, or standing on it with both ends, counts an
  // even number: the point stays outside.
  EXPECT_EQ(crossingsTowardNegX({0, 0}, Circle(-5, 1, 1)), 2);
  EXPECT_EQ(crossingsTowardNegX({0, 0}, Upper(-5, 0, 1)), 2);
  EXPECT_EQ(crossingsTowardNegX({0, 0}, Circle(-5, -1, 1)), 0);  // touching from below
  EXPECT_EQ(crossingsTowardNegX({0, 0.5}, Upper(-5, 0, 1)), 2);
  EXPECT_NEAR(distance(r, L(1, -1, 1, 1)), 1, 1e-12);
  EXPECT_NEAR(distance(r, Circle(-5, 3, 1)), 2, 1e-12);
  EXPECT_NEAR(distance(r, L(-3, -2, 3, 4)), 0, 1e-12);
  EXPECT_NEAR(distance(r, Upper(-5, 2, 1)), 2, 1e-12);
}

TEST(Ray, VertexOnTheRayCountsOncePerTrueCrossing) {
  // The diamond's side vertices lie on the ray from the points tested.
  std::vector<Curve2d> diamond = {L(0, -1, 1, 0), L(1, 0, 0, 1), L(0, 1, -1, 0), L(-1, 0, 0, -1)};
  auto count = [&](Point2d p) {
    int n = 0;
    for (const auto& s : diamond) n += crossingsTowardNegX(p, s);
    return n;
  };
  EXPECT_EQ(count({0, 0}) % 2, 1);
  EXPECT_EQ(count({5, 0}) % 2, 0);
  EXPECT_EQ(count({0.5, 0}) % 2, 1);
  EXPECT_EQ(count({-5, 0}), 0);
}

}  // namespace
