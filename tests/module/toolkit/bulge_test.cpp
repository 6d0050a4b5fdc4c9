// Bulge segments and outlines: the worked examples as tables, the plan
// measure of points with elevations, and reading vertices from entities.
#include "module/toolkit/bulge.h"

#include <gtest/gtest.h>

#include <cmath>

#include "drawing_fixture.h"

namespace {

using geom::Point3d;
constexpr double kPi = geom::kPi;

void expectPoint(const Point3d& got, const Point3d& want, double tol = 1e-6) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}
void expectPoints(const PointList& got, const PointList& want, double tol = 1e-6) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    expectPoint(got[i], want[i], tol);
  }
}
void expectBulges(const BulgeList& got, const BulgeList& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << i;
}

const PointList kSquare{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
const PointList kSquareRing{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};

TEST(BulgeSegment, LengthMidpointAndCentreAreMeasuredInPlan) {
  struct Case {
    Point3d s, e;
    double b;
    double length;
    Point3d mid, centre;
  };
  const Case cases[] = {
      // The half circle around (1, 0) passing (1, -1).
      {{0, 0}, {2, 0}, 1, kPi, {1, -1, 0}, {1, 0, 0}},
      {{0, 0}, {2, 0}, -1, kPi, {1, 1, 0}, {1, 0, 0}},
      // The same arc at an elevation: the radius stays 1.
      {{0, 0, 500}, {2, 0, 500}, 1, kPi, {1, -1, 0}, {1, 0, 0}},
      // A quarter circle (bulge tan(pi/8)) from (10, 0) to (0, 10) about the origin.
      {{10, 0}, {0, 10}, std::tan(kPi / 8), 5 * kPi, {10 / std::sqrt(2.0), 10 / std::sqrt(2.0), 0}, {0, 0, 0}},
      // Straight: 3D length, mean point with z.
      {{0, 0, 0}, {3, 4, 12}, 0, 13, {1.5, 2, 6}, {1.5, 2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b);
    EXPECT_NEAR(GetSegmentLength(c.s, c.e, c.b), c.length, 1e-9);
    expectPoint(GetSegmentMidPoint(c.s, c.e, c.b), c.mid);
    Point3d centre;
    double r = 0;
    GetSegmentArcCenter(c.s, c.e, c.b, centre, &r);
    expectPoint(centre, c.centre);
  }
}

TEST(BulgeSegment, ArcThroughThreePoints) {
  struct Case {
    Point3d p1, p2, p3;
    Point3d centre;
    double radius, bulge;
  };
  const Case cases[] = {
      {{0, 0}, {1, -1}, {2, 0}, {1, 0}, 1, 1},  // down and up again: counter-clockwise
      {{0, 0}, {1, 1}, {2, 0}, {1, 0}, 1, -1},
      {{0, 0, 7}, {1, 1, 7}, {2, 0, 7}, {1, 0}, 1, -1},  // elevations do not change the radius
  };
  for (const auto& c : cases) {
    Point3d centre;
    double r = 0, b = 0;
    GetArcFrom3Points(c.p1, c.p2, c.p3, centre, &r, &b);
    expectPoint(centre, c.centre);
    EXPECT_NEAR(r, c.radius, 1e-9);
    EXPECT_NEAR(b, c.bulge, 1e-9);
  }
}

TEST(BulgeSegment, OnSegmentMeansOnTheWholeCarrier) {
  struct Case {
    Point3d p;
    double b;
    bool on;
  };
  const Point3d s{0, 0}, e{2, 0};
  const Case cases[] = {
      {{5, 0}, 0, true},       // on the line beyond the end
      {{-3, 0, 40}, 0, true},  // elevation plays no part
      {{1, 0.5}, 0, false},
      {{2.9, 0.9}, 0, true},   // within 1.0 of the end in x and y
      {{1, 1}, 1, true},       // on the full circle, though the arc passes (1, -1)
      {{1, -1}, 1, true},
      {{1, 2.5}, 1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPointOnSegment(c.p, s, e, c.b), c.on) << c.p.x << "," << c.p.y;
}

TEST(BulgeSegment, PerpendicularFoot) {
  Point3d foot{-9, -9, -9};
  EXPECT_DOUBLE_EQ(GetPerpFootOnSegment({5, 5}, {0, 0}, {2, 0}, 0, foot), 5);
  expectPoint(foot, {5, 0, 0});
  // On an arc: the nearer point of the circle on the line from the centre.
  EXPECT_NEAR(GetPerpFootOnSegment({1, 3}, {0, 0}, {2, 0}, 1, foot), 2, 1e-9);
  expectPoint(foot, {1, 1, 0});
  // No foot: a degenerate line, and the centre of an arc.
  foot = {-9, -9, -9};
  EXPECT_EQ(GetPerpFootOnSegment({1, 1}, {3, 3}, {3, 3}, 0, foot), -1);
  EXPECT_EQ(GetPerpFootOnSegment({1, 0}, {0, 0}, {2, 0}, 1, foot), -1);
  expectPoint(foot, {-9, -9, -9});
}

TEST(BulgeSegment, BandOutlines) {
  struct Case {
    const char* name;
    Point3d s, e;
    double b, w1, w2;
    PointList points;
    BulgeList bulges;
  };
  const Case cases[] = {
      {"straight", {0, 0}, {10, 0}, 0, 1, 2,
       {{0, 1}, {0, -2}, {10, -2}, {10, 1}, {0, 1}}, {0, 0, 0, 0, 0}},
      // Half circle (0,0) -> (2,0) through (1,-1): counter-clockwise, the left
      // side faces the centre (1,0).
      {"ccw arc", {0, 0}, {2, 0}, 1, 0.5, 0.25,
       {{0.5, 0}, {-0.25, 0}, {2.25, 0}, {1.5, 0}, {0.5, 0}}, {0, 1, 0, -1, 0}},
      {"cw arc", {0, 0}, {2, 0}, -1, 0.5, 0.25,
       {{-0.5, 0}, {0.25, 0}, {1.75, 0}, {2.5, 0}, {-0.5, 0}}, {0, -1, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PointList pts{{99, 99}};
    BulgeList bs{7};
    GetSegmentBandOutline(c.s, c.e, c.b, c.w1, c.w2, pts, bs);
    expectPoints(pts, c.points);
    expectBulges(bs, c.bulges);
  }
}

TEST(BulgeSegment, TessellationFollowsTheGrid) {
  struct Case {
    double b, n;
    PointList points;
  };
  const Case cases[] = {
      {1, 4, {{0, 0}, {1, -1}, {2, 0}}},
      {-1, 4, {{0, 0}, {1, 1}, {2, 0}}},
      {0, 4, {{0, 0}, {2, 0}}},
      // Grid directions that fall on the ends are not repeated.
      {1, 2, {{0, 0}, {2, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b);
    PointList pts;
    BulgeList bs;
    TessellateSegment({0, 0}, {2, 0}, c.b, pts, bs, c.n);
    expectPoints(pts, c.points, 1e-6);
    EXPECT_EQ(bs, BulgeList(c.points.size(), 0.0));
  }
  // A large quarter circle takes every grid direction between its ends.
  PointList pts;
  BulgeList bs;
  TessellateSegment({1000, 0}, {0, 1000}, std::tan(kPi / 8), pts, bs, 32);
  ASSERT_EQ(pts.size(), 9u);
  for (const auto& p : pts) EXPECT_NEAR(std::hypot(p.x, p.y), 1000, 1e-3);
  // Outline: arcs replaced, straight vertices kept.
  PointList out;
  TessellateOutline({{0, 0}, {2, 0}, {2, 5}}, {1, 0, 0}, out, bs, 4);
  expectPoints(out, {{0, 0}, {1, -1}, {2, 0}, {2, 5}});
}

TEST(BulgeOutline, AreaCentroidAndOrientation) {
  PointList reversed(kSquare.rbegin(), kSquare.rend());
  const PointList collinear{{0, 0}, {5, 0}, {10, 0}};
  struct Case {
    const char* name;
    PointList pts;
    bool ccw;
    bool hasCentroid;
  };
  const Case cases[] = {{"square", kSquare, true, true},
                        {"ring", kSquareRing, true, true},
                        {"reversed", reversed, false, true},
                        {"collinear", collinear, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BulgeList bs(c.pts.size(), 0.0);
    EXPECT_EQ(IsOutlineCounterClockwise(c.pts, bs), c.ccw);
    Point3d centroid{9, 9, 9};
    EXPECT_EQ(GetOutlineCentroid(c.pts, bs, centroid), c.hasCentroid);
    expectPoint(centroid, c.hasCentroid ? Point3d{5, 5, 0} : Point3d{0, 0, 0});
  }
  EXPECT_DOUBLE_EQ(GetPolygonSignedArea(kSquare), 100);
  EXPECT_DOUBLE_EQ(GetPolygonSignedArea(reversed), -100);
  EXPECT_NEAR(GetOutlineArea(kSquareRing, {0, 0, 0, 0, 0}), 100, 1e-9);
  EXPECT_EQ(GetOutlineArea({{0, 0}, {0.5, 0}, {0.5, 0.5}}, {}), 0);  // below 1: refused
  // A half disc: the bulged segment closed by its chord.
  Point3d c;
  ASSERT_TRUE(GetOutlineCentroid({{0, 0}, {2, 0}}, {-1, 0}, c));
  expectPoint(c, {1, 4 / (3 * kPi), 0}, 1e-9);
  double w = 0, h = 0;
  GetOutlineSize({{0, 0}, {2, 0}}, {-1, 0}, w, h);
  EXPECT_NEAR(w, 2, 1e-9);
  EXPECT_NEAR(h, 1, 1e-9);
  EXPECT_NEAR(GetOutlineLength({{0, 0}, {2, 0}, {2, 5}}, {1}), kPi + 5, 1e-9);
}

TEST(BulgeOutline, ReverseAndRemoveDuplicates) {
  PointList pts{{0, 0}, {5, 0}, {5, 5}};
  BulgeList bs{0.3, 0.7, 0};
  ReverseOutline(pts, bs);
  expectPoints(pts, {{5, 5}, {5, 0}, {0, 0}});
  expectBulges(bs, {-0.7, -0.3, 0});

  pts = {{0, 0}, {0.5, 0.5}, {8, 0}};
  bs = {0.1, 0.2, 0};
  RemoveOutlineDuplicates(pts, bs);
  expectPoints(pts, {{0.5, 0.5}, {8, 0}});
  expectBulges(bs, {0.2, 0});
}

TEST(BulgeOutline, OffsetMovesEveryRingOutward) {
  PointList out;
  BulgeList outB;
  BulgeList zeros(5, 0.0);
  // A distance that rounds to 0 copies the input.
  OffsetOutline(kSquareRing, zeros, out, outB, 0.4);
  expectPoints(out, kSquareRing);
  // Both orientations move outward, with the first corner mitred like the others.
  const PointList grown{{-1, -1}, {11, -1}, {11, 11}, {-1, 11}, {-1, -1}};
  OffsetOutline(kSquareRing, zeros, out, outB, 1);
  expectPoints(out, grown);
  PointList cw(kSquareRing.rbegin(), kSquareRing.rend());
  OffsetOutline(cw, zeros, out, outB, 1);
  expectPoints(out, PointList(grown.rbegin(), grown.rend()));
  OffsetOutline(kSquareRing, zeros, out, outB, 0.5);
  expectPoints(out, {{-0.5, -0.5}, {10.5, -0.5}, {10.5, 10.5}, {-0.5, 10.5}, {-0.5, -0.5}});
  // Inward by too much fails and leaves nothing.
  OffsetOutline(kSquareRing, zeros, out, outB, -6);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(outB.empty());
  // An open run keeps square ends.
  OffsetOutline({{0, 0}, {10, 0}, {10, 10}}, {0, 0, 0}, out, outB, 1);
  expectPoints(out, {{0, -1}, {11, -1}, {11, 10}});
}

TEST(BulgeOutline, PointInOutline) {
  const PointList diamond{{0, -5}, {5, 0}, {0, 5}, {-5, 0}, {0, -5}};
  struct Case {
    const char* name;
    const PointList* outline;
    Point3d p;
    bool inside;
  };
  const Case cases[] = {
      {"centre", &kSquareRing, {5, 5}, true},
      {"on an edge", &kSquareRing, {10, 5}, true},
      {"on a corner", &kSquareRing, {0, 0}, true},
      {"near but outside", &kSquareRing, {10.3, 5}, false},
      // An edge just right of the point is not crossed by a ray toward -X.
      {"near the right edge inside", &kSquareRing, {9.7, 5}, true},
      {"near the left edge inside", &kSquareRing, {0.3, 5}, true},
      {"elevation ignored", &kSquareRing, {5, 5, 3000}, true},
      // The ray passes a vertex where the outline goes on across it...
      {"through a vertex", &diamond, {0, 0}, true},
      {"through two vertices", &diamond, {6, 0}, false},
      {"left of the diamond", &diamond, {-6, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsPointInOutline(*c.outline, BulgeList(c.outline->size(), 0.0), c.p), c.inside);
  }
  // ...and where the outline turns back (the tip of a notch from below), the
  // ray touches it without crossing.
  const PointList notch{{-10, -10}, {-6, -10}, {-5, 0}, {-4, -10}, {10, -10}, {10, 10}, {-10, 10}, {-10, -10}};
  BulgeList zeros(notch.size(), 0.0);
  EXPECT_TRUE(IsPointInOutline(notch, zeros, {0, 0}));
  EXPECT_TRUE(IsPointInOutline(notch, zeros, {-8, 0}));
  EXPECT_FALSE(IsPointInOutline(notch, zeros, {-5, -5}));
  // An arc edge: the half disc below (0,0)-(2,0).
  EXPECT_TRUE(IsPointInOutline({{0, 0}, {2, 0}, {0, 0}}, {1, 0, 0}, {1, -0.5}));
  EXPECT_FALSE(IsPointInOutline({{0, 0}, {2, 0}, {0, 0}}, {1, 0, 0}, {1, 0.5}));
}

class VerticesTest : public tktest::DrawingTest {};

TEST_F(VerticesTest, ReadsEveryKind) {
  auto lw = std::make_unique<cad::Polyline>();
  lw->addVertexAt(0, {0, 0}, 0.5);
  lw->addVertexAt(1, {10, 0});
  lw->addVertexAt(2, {10, 10});
  lw->setClosed(true);
  lw->setElevation(30);
  auto p2 = std::make_unique<cad::Polyline2d>(cad::Polyline2d::Type::Simple,
                                              std::vector<Point3d>{{0, 0}, {4, 0}, {4, 4}}, 0, true);
  auto arc = std::make_unique<cad::Arc>(Point3d{1, 0}, geom::Vector3d(0, 0, -1), 1.0, 0.0, kPi);
  struct Case {
    const char* name;
    std::unique_ptr<cad::Entity> ent;
    PointList points;
    BulgeList bulges;
  };
  std::vector<Case> cases;
  cases.push_back({"lw closed", std::move(lw), {{0, 0, 30}, {10, 0, 30}, {10, 10, 30}, {0, 0, 30}}, {0.5, 0, 0, 0}});
  cases.push_back({"2d closed", std::move(p2), {{0, 0}, {4, 0}, {4, 4}, {0, 0}}, {0, 0, 0, 0}});
  cases.push_back({"3d", std::make_unique<cad::Polyline3d>(cad::Polyline3d::Type::Simple,
                                                           std::vector<Point3d>{{0, 0, 1}, {5, 0, 2}}),
                   {{0, 0, 1}, {5, 0, 2}}, {0, 0}});
  cases.push_back({"solid", std::make_unique<cad::Solid2d>(Point3d{0, 0}, Point3d{4, 0}, Point3d{0, 4}, Point3d{4, 4}),
                   {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {0, 0, 0, 0}});
  cases.push_back({"triangle solid", std::make_unique<cad::Solid2d>(Point3d{0, 0}, Point3d{4, 0}, Point3d{0, 4}),
                   {{0, 0}, {4, 0}, {0, 4}}, {0, 0, 0}});
  cases.push_back({"line", std::make_unique<cad::Line>(Point3d{1, 2, 3}, Point3d{4, 5, 6}), {{1, 2, 3}, {4, 5, 6}}, {0, 0}});
  // An arc about -Z from angle 0 to pi: from (0,0) over (1,1) to (2,0), clockwise seen from above.
  cases.push_back({"arc", std::move(arc), {{0, 0}, {2, 0}}, {-1, 0}});
  cases.push_back({"point", std::make_unique<cad::PointEntity>(Point3d{7, 8, 9}), {{7, 8, 9}}, {0}});
  cases.push_back({"circle", std::make_unique<cad::Circle>(Point3d{0, 0}, geom::Vector3d(0, 0, 1), 5), {}, {}});
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    cad::ObjectId id = append(std::move(c.ent));
    PointList pts{{1, 1}};
    BulgeList bs{3};
    ASSERT_EQ(GetEntityVertices(id, pts, bs), cad::Status::Ok);
    expectPoints(pts, c.points);
    expectBulges(bs, c.bulges);
  }
  PointList pts{{1, 1}};
  BulgeList bs{1};
  EXPECT_NE(GetEntityVertices(cad::ObjectId(), pts, bs), cad::Status::Ok);
  EXPECT_TRUE(pts.empty());
}

TEST_F(VerticesTest, ArcEndsReadBackWhatMakeSegmentCurveBuilt) {
  for (double b : {1.0, -1.0, 0.4142, -0.2}) {
    SCOPED_TRACE(b);
    auto curve = MakeSegmentCurve({3, 4}, {9, 1}, b);
    Point3d s, e;
    double bulge = 0;
    ASSERT_TRUE(GetLineOrArcEnds(curve.get(), s, e, bulge));
    expectPoint(s, {3, 4, 0});
    expectPoint(e, {9, 1, 0});
    EXPECT_NEAR(bulge, b, 1e-9);
    expectPoint(GetSegmentMidPoint(s, e, bulge), GetSegmentMidPoint({3, 4}, {9, 1}, b));
  }
  Point3d s, e;
  double bulge = 0;
  cad::Circle circle(Point3d{0, 0}, geom::Vector3d(0, 0, 1), 1);
  EXPECT_FALSE(GetLineOrArcEnds(&circle, s, e, bulge));
}

}  // namespace
