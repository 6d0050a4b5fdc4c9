// Plan curve queries on entities: distances, on-curve tests, closest points.
#include "module/toolkit/curve_queries.h"

#include <gtest/gtest.h>

#include "drawing_fixture.h"
#include "module/toolkit/entities.h"

namespace {

using geom::Point3d;

TEST(CurveQueries, DistancesAreMeasuredInPlan) {
  cad::Line line(Point3d{0, 0, 0}, Point3d{10, 0, 0});
  cad::Circle circle(Point3d{0, 0, 50}, {0, 0, 1}, 5);
  cad::Ellipse ellipse(Point3d{0, 0}, {0, 0, 1}, {10, 0, 0}, 0.5);
  cad::Text text(Point3d{0, 0}, L"x");
  auto arc = MakeSegmentCurve({0, 0}, {2, 0}, 1);  // through (1, -1)
  auto closed = MakePolyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}, true, kDefaultWidth);
  struct Case {
    const char* name;
    const cad::Entity* ent;
    Point3d p;
    double distance;
  };
  const Case cases[] = {
      {"line, z ignored", &line, {5, 5, 100}, 5},
      {"line end", &line, {13, 4}, 5},
      {"circle", &circle, {0, 8}, 3},
      {"arc", arc.get(), {1, -3}, 2},
      {"arc end, not the full circle", arc.get(), {1, 1}, std::sqrt(2.0)},
      // The closing segment of a closed polyline is part of its curve.
      {"closing segment", closed.get(), {-2, 5}, 2},
      {"ellipse has no curve", &ellipse, {0, 0}, kNoDistance},
      {"text has no curve", &text, {0, 0}, kNoDistance},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(GetPointToCurveDistance(c.p, c.ent), c.distance, 1e-9);
  }
  EXPECT_TRUE(IsPointOnCurveOpen({0, 5, 30}, closed.get(), 0.01));
  EXPECT_FALSE(IsPointOnCurveOpen({0, 0}, &ellipse, 100));
  EXPECT_FALSE(MakeGeCurve2d(&ellipse).has_value());
  cad::Polyline single;
  single.addVertexAt(0, {1, 1});
  EXPECT_FALSE(MakeGeCurve2d(&single).has_value());
}

TEST(CurveQueries, NearSegmentIsStrict) {
  struct Case {
    Point3d p;
    double b, tol;
    bool near;
  };
  const Case cases[] = {
      {{1, -0.5}, 1, 1, true},
      {{1, 1}, 1, 1, false},     // on the full circle but far from the arc
      {{1, -0.25}, 1, 0.5, false},
      {{1, 0.5}, 0, 0.6, true},
      {{1, 0.5}, 0, 0.5, false},  // distance equals the tolerance
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsNearSegment(c.p, {0, 0}, {2, 0}, c.b, c.tol), c.near) << c.p.y << " " << c.b << " " << c.tol;
}

TEST(CurveQueries, CurveDistanceAndClosestPoints) {
  cad::Line a(Point3d{0, 0, 7}, Point3d{10, 0, 7});
  cad::Line b(Point3d{0, 3}, Point3d{10, 3});
  cad::Line crossing(Point3d{5, -5}, Point3d{5, 5});
  cad::PointEntity pt(Point3d{5, 4, 20});
  cad::Ellipse ellipse(Point3d{0, 0}, {0, 0, 1}, {10, 0, 0}, 0.5);
  EXPECT_NEAR(GetCurveDistance(&a, &b), 3, 1e-9);
  EXPECT_NEAR(GetCurveDistance(&a, &crossing), 0, 1e-9);
  EXPECT_EQ(GetCurveDistance(&a, &ellipse), kNoDistance);

  Point3d onA, onB;
  ASSERT_TRUE(GetClosestPointsOfCurves(&a, &pt, onA, onB));
  EXPECT_NEAR(onA.distanceTo({5, 0, 0}), 0, 1e-9);
  EXPECT_EQ(onB, Point3d(5, 4, 0));
  cad::Arc arc(Point3d{0, 10}, 2, geom::kPi, 2 * geom::kPi);  // lower half circle about (0, 10)
  ASSERT_TRUE(GetClosestPointsOfCurves(&b, &arc, onA, onB));
  EXPECT_NEAR(onA.distanceTo({0, 3, 0}), 0, 1e-9);
  EXPECT_NEAR(onB.distanceTo({0, 8, 0}), 0, 1e-9);
  EXPECT_FALSE(GetClosestPointsOfCurves(&ellipse, &pt, onA, onB));
  EXPECT_FALSE(GetClosestPointsOfCurves(&a, &ellipse, onA, onB));
}

class CurveQueriesDb : public tktest::DrawingTest {};

TEST_F(CurveQueriesDb, OnCurveById) {
  cad::ObjectId id = line(0, 0, 10, 0);
  EXPECT_TRUE(IsPointOnCurve({4, 0.05, 9}, id, 0.1));
  EXPECT_FALSE(IsPointOnCurve({4, 0.5}, id, 0.1));
  EXPECT_FALSE(IsPointOnCurve({4, 0}, cad::ObjectId(), 0.1));
  EraseEntity(id);
  EXPECT_FALSE(IsPointOnCurve({4, 0}, id, 0.1));
}

}  // namespace
