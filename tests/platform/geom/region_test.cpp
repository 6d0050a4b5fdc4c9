// Plan areas: loop nesting, area, perimeter, containment and the booleans.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/geom/region.h"

using namespace geom;

namespace {

using Loops = std::vector<Polyline2d>;

Polyline2d rect(double x0, double y0, double x1, double y1) {
  return Polyline2d({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, {}, true);
}
// A circle as two half arcs, clockwise when cw is set.
Polyline2d circle(Point2d c, double r, bool cw = false) {
  double b = cw ? -1 : 1;
  return Polyline2d({{c.x - r, c.y}, {c.x + r, c.y}}, {b, b}, true);
}

struct Case {
  const char* name;
  Loops a, b;
  RegionOp op;
  double area, perimeter;
  std::size_t loops, faces;
};

}  // namespace

TEST(RegionBoolean, WorkedCases) {
  const Loops sq = {rect(0, 0, 10, 10)};
  const Loops shifted = {rect(5, 5, 15, 15)};
  const Loops hole = {circle({5, 5}, 2)};
  const Loops bite = {circle({10, 5}, 5, true)};  // half inside the square; given clockwise
  const Loops far = {rect(20, 0, 21, 1)};
  const Loops beside = {rect(10, 0, 12, 10)};      // shares the square's right edge
  const Loops overlapEdge = {rect(5, 0, 15, 10)};  // shares parts of the bottom and top edges
  const Loops corner = {rect(10, 10, 11, 11)};     // meets the square at one point
  const Loops bar = {rect(3, -1, 6, 11)};          // cuts the square in two
  const Loops ring = {rect(0, 0, 10, 10), rect(3, 3, 7, 7)};
  const Loops strip = {rect(5, 4, 15, 6)};  // from the ring's hole out through its outer edge
  const double pi = kPi;
  const Loops tangentHole = {circle({5, 2}, 2)};  // touches the square's bottom edge from inside
  const Loops lens = {circle({3, 0}, 2)};
  const Loops disc = {circle({0, 0}, 2)};
  const double lensArea = 8 * std::acos(0.75) - 1.5 * std::sqrt(7.0);  // two radius-2 circles 3 apart
  const double lensArc = 2 * 2 * std::acos(0.75);                     // each circle's arc inside the other
  const std::vector<Case> cases = {
      {"squares unite", sq, shifted, RegionOp::Unite, 175, 60, 1, 1},
      {"squares intersect", sq, shifted, RegionOp::Intersect, 25, 20, 1, 1},
      {"squares subtract", sq, shifted, RegionOp::Subtract, 75, 40, 1, 1},
      {"circle in square unite", sq, hole, RegionOp::Unite, 100, 40, 1, 1},
      {"circle in square intersect", sq, hole, RegionOp::Intersect, 4 * pi, 4 * pi, 1, 1},
      {"square minus circle", sq, hole, RegionOp::Subtract, 100 - 4 * pi, 40 + 4 * pi, 2, 1},
      {"circle minus square", hole, sq, RegionOp::Subtract, 0, 0, 0, 0},
      {"bite unite", sq, bite, RegionOp::Unite, 100 + 12.5 * pi, 30 + 5 * pi, 1, 1},
      {"bite intersect", sq, bite, RegionOp::Intersect, 12.5 * pi, 10 + 5 * pi, 1, 1},
      {"bite subtract", sq, bite, RegionOp::Subtract, 100 - 12.5 * pi, 30 + 5 * pi, 1, 1},
      {"disjoint unite", sq, far, RegionOp::Unite, 101, 44, 2, 2},
      {"disjoint intersect", sq, far, RegionOp::Intersect, 0, 0, 0, 0},
      {"disjoint subtract", sq, far, RegionOp::Subtract, 100, 40, 1, 1},
      {"touching edge unite", sq, beside, RegionOp::Unite, 120, 44, 1, 1},
      {"touching edge intersect", sq, beside, RegionOp::Intersect, 0, 0, 0, 0},
      {"touching edge subtract", sq, beside, RegionOp::Subtract, 100, 40, 1, 1},
      {"shared edge parts unite", sq, overlapEdge, RegionOp::Unite, 150, 50, 1, 1},
      {"shared edge parts intersect", sq, overlapEdge, RegionOp::Intersect, 50, 30, 1, 1},
      {"shared edge parts subtract", sq, overlapEdge, RegionOp::Subtract, 50, 30, 1, 1},
      {"corner unite", sq, corner, RegionOp::Unite, 101, 44, 2, 2},
      {"corner intersect", sq, corner, RegionOp::Intersect, 0, 0, 0, 0},
      {"cut in two", sq, bar, RegionOp::Subtract, 70, 54, 2, 2},
      {"self unite", sq, sq, RegionOp::Unite, 100, 40, 1, 1},
      {"self intersect", sq, sq, RegionOp::Intersect, 100, 40, 1, 1},
      {"self subtract", sq, sq, RegionOp::Subtract, 0, 0, 0, 0},
      // A hole touching the boundary at one point stays one loop through that point.
      {"touching hole", sq, tangentHole, RegionOp::Subtract, 100 - 4 * pi, 40 + 4 * pi, 1, 1},
      {"circles unite", disc, lens, RegionOp::Unite, 8 * pi - lensArea, 2 * (4 * pi - lensArc), 1, 1},
      {"circles intersect", disc, lens, RegionOp::Intersect, lensArea, 2 * lensArc, 1, 1},
      {"circles subtract", disc, lens, RegionOp::Subtract, 4 * pi - lensArea, 4 * pi, 1, 1},
      {"empty operand unite", sq, {}, RegionOp::Unite, 100, 40, 1, 1},
      {"empty operand intersect", sq, {}, RegionOp::Intersect, 0, 0, 0, 0},
      // The ring's hole loses the strip's part and stays one loop; the outer
      // boundary gains the strip's outside part.
      {"ring unite strip", ring, strip, RegionOp::Unite, 98, 40 + 10 + 16 + 4, 2, 1},
      {"ring intersect strip", ring, strip, RegionOp::Intersect, 6, 10, 1, 1},
      // Subtracting the strip opens the hole to the outside: one C-shaped loop.
      {"ring subtract strip", ring, strip, RegionOp::Subtract, 78, 38 + 14 + 6, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = regionBoolean(c.a, c.b, c.op);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(regionArea(*r), c.area, 1e-9);
    EXPECT_NEAR(regionPerimeter(*r), c.perimeter, 1e-9);
    EXPECT_EQ(r->size(), c.loops);
    std::vector<std::size_t> faces;
    arrangeFaces(*r, &faces);
    EXPECT_EQ(faces.size(), c.faces);
    // Faces come outer boundary first (counter-clockwise), holes after (clockwise).
    for (std::size_t i = 0; i < r->size(); ++i) {
      bool outer = std::find(faces.begin(), faces.end(), i) != faces.end();
      EXPECT_EQ((*r)[i].isCounterClockwise(), outer) << "loop " << i;
    }
  }
}

TEST(RegionBoolean, JoinsPiecesOnOneLineAndKeepsArcs) {
  // Two squares side by side unite into one rectangle of four corners.
  auto r = regionBoolean({rect(0, 0, 1, 1)}, {rect(1, 0, 2, 1)}, RegionOp::Unite);
  ASSERT_TRUE(r && r->size() == 1);
  EXPECT_EQ((*r)[0].vertexCount(), 4);
  // The square less the circle on its right edge as diameter: three lines
  // and one half circle running clockwise into the square.
  r = regionBoolean({rect(0, 0, 10, 10)}, {circle({10, 5}, 5)}, RegionOp::Subtract);
  ASSERT_TRUE(r && r->size() == 1);
  const Polyline2d& l = (*r)[0];
  ASSERT_EQ(l.vertexCount(), 4);
  int arcs = 0;
  for (int i = 0; i < l.segmentCount(); ++i) {
    Curve2d s = l.segmentAt(i);
    if (!s.isArc()) continue;
    ++arcs;
    EXPECT_TRUE(s.arc().isClockWise());
    EXPECT_NEAR(std::fabs(s.arc().sweep), kPi, 1e-9);
    EXPECT_TRUE(s.midPoint().isEqualTo({5, 5}, 1e-9));
  }
  EXPECT_EQ(arcs, 1);
}

TEST(RegionBoolean, HolesStayWithTheirFaces) {
  // Two rings side by side: two faces, each with its own hole.
  Loops a = {rect(0, 0, 10, 10), rect(2, 2, 4, 4)};
  Loops b = {rect(20, 0, 30, 10), rect(25, 5, 27, 7)};
  auto r = regionBoolean(a, b, RegionOp::Unite);
  ASSERT_TRUE(r);
  std::vector<std::size_t> faces;
  auto arranged = arrangeFaces(*r, &faces);
  ASSERT_EQ(faces, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(classifyInRegion(arranged, {3, 3}), Containment::Outside);
  EXPECT_EQ(classifyInRegion(arranged, {26, 6}), Containment::Outside);
  EXPECT_EQ(classifyInRegion(arranged, {8, 8}), Containment::Inside);
  EXPECT_EQ(classifyInRegion(arranged, {20, 5}), Containment::OnBoundary);
  EXPECT_NEAR(regionArea(*r), 200 - 4 - 4, 1e-9);
  // The second face's hole follows its outer boundary.
  EXPECT_TRUE(arranged[3].classify({26, 6}) == Containment::Inside);
}

TEST(RegionLoops, DepthDecidesOuterAndHoleWhateverTheDirection) {
  // Three nested squares given in any direction: outer, hole, island.
  Loops loops = {rect(2, 2, 8, 8).reversed(), rect(0, 0, 10, 10).reversed(), rect(4, 4, 6, 6)};
  EXPECT_EQ(loopDepths(loops), (std::vector<int>{1, 0, 2}));
  std::vector<std::size_t> faces;
  auto arranged = arrangeFaces(loops, &faces);
  ASSERT_EQ(arranged.size(), 3u);
  EXPECT_EQ(faces, (std::vector<std::size_t>{0, 2}));
  EXPECT_NEAR(arranged[0].signedArea(), 100, 1e-12);
  EXPECT_NEAR(arranged[1].signedArea(), -36, 1e-12);
  EXPECT_NEAR(arranged[2].signedArea(), 4, 1e-12);
  EXPECT_NEAR(regionArea(loops), 100 - 36 + 4, 1e-12);
  // A repeated closing vertex and a loop without area are dropped.
  Polyline2d repeated({{0, 0}, {1, 0}, {1, 1}, {0, 0}}, {}, false);
  Polyline2d flat({{0, 0}, {5, 0}}, {}, true);
  arranged = arrangeFaces({repeated, flat});
  ASSERT_EQ(arranged.size(), 1u);
  EXPECT_EQ(arranged[0].vertexCount(), 3);
}

TEST(RegionBoolean, FarFromTheOriginAtBuildingScale) {
  // Millimetre coordinates of a large floor: walls 200 thick meeting at a corner.
  const double o = 250000;
  Loops wallA = {rect(o, o, o + 12000, o + 200)};
  Loops wallB = {rect(o + 11800, o, o + 12000, o + 9000)};
  auto r = regionBoolean(wallA, wallB, RegionOp::Unite);
  ASSERT_TRUE(r && r->size() == 1);
  EXPECT_EQ((*r)[0].vertexCount(), 6);
  EXPECT_NEAR(regionArea(*r), 12000 * 200 + 8800 * 200, 1e-3);
}
