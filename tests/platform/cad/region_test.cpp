// Regions: creation from curves, booleans, area, perimeter and explode.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/cad/cad.h"

using namespace cad;

namespace {

constexpr double kPi = geom::kPi;

std::unique_ptr<Polyline> poly(std::vector<Point2d> pts, std::vector<double> bulges = {}, bool closed = true) {
  auto p = std::make_unique<Polyline>();
  for (unsigned i = 0; i < pts.size(); ++i) p->addVertexAt(i, pts[i], i < bulges.size() ? bulges[i] : 0);
  p->setClosed(closed);
  return p;
}
std::unique_ptr<Polyline> rect(double x0, double y0, double x1, double y1) {
  return poly({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// The one region made from the curves (fails the test when there is not exactly one).
std::unique_ptr<Region> regionOf(std::vector<const Curve*> curves) {
  std::vector<std::unique_ptr<Region>> rs;
  EXPECT_EQ(Region::createFromCurves(curves, rs), Status::Ok);
  EXPECT_EQ(rs.size(), 1u);
  return rs.empty() ? std::make_unique<Region>() : std::move(rs.front());
}
std::unique_ptr<Region> regionOf(const Curve& c) { return regionOf(std::vector<const Curve*>{&c}); }

struct Pieces {
  int lines = 0, arcs = 0, regions = 0;
  double length = 0;
};
Pieces explodeCount(const Region& r) {
  std::vector<std::unique_ptr<Entity>> out;
  EXPECT_EQ(r.explode(out), Status::Ok);
  Pieces p;
  for (const auto& e : out) {
    if (auto* c = cast<Curve>(e.get())) {
      double l = 0;
      c->getLength(l);
      p.length += l;
    }
    p.lines += e->kind() == Kind::Line;
    p.arcs += e->kind() == Kind::Arc;
    p.regions += e->kind() == Kind::Region;
  }
  return p;
}

}  // namespace

TEST(Region, CreatedFromEachKindOfClosedCurve) {
  auto slot = poly({{0, 0}, {10, 0}, {10, 4}, {0, 4}}, {0, 1, 0, 1});  // two half circles of radius 2
  auto clockwise = poly({{0, 0}, {0, 5}, {5, 5}, {5, 0}});
  auto repeatedEnd = poly({{0, 0}, {4, 0}, {4, 3}, {0, 0}}, {}, false);  // open, ends meet
  Circle circle(Point3d(5, 5, 2), Vector3d(0, 0, 1), 3);
  Ellipse ellipse(Point3d(0, 0, 0), Vector3d(0, 0, 1), Vector3d(4, 0, 0), 0.5);
  Polyline3d upright(Polyline3d::Type::Simple, {{0, 0, 0}, {0, 6, 0}, {0, 6, 2}, {0, 0, 2}}, true);
  Polyline2d old(Polyline2d::Type::Simple, {{0, 0, 0}, {2, 0, 0}}, 0, true, 0, 0, {1, 1});  // a circle of radius 1
  struct Case {
    const char* name;
    const Curve* curve;
    double area, perimeter, tol;
  };
  const Case cases[] = {
      {"slot", slot.get(), 40 + 4 * kPi, 20 + 4 * kPi, 1e-9},
      {"clockwise", clockwise.get(), 25, 20, 1e-9},
      {"repeated end", repeatedEnd.get(), 6, 12, 1e-9},
      {"circle", &circle, 9 * kPi, 6 * kPi, 1e-9},
      {"ellipse", &ellipse, kPi * 4 * 2, 19.38, 0.05},  // drawn as a fine polygon
      {"3D polyline", &upright, 12, 16, 1e-9},
      {"2D polyline", &old, kPi, 2 * kPi, 1e-9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = regionOf(*c.curve);
    EXPECT_NEAR(r->area(), c.area, c.tol * c.area);
    EXPECT_NEAR(r->perimeter(), c.perimeter, c.tol * c.perimeter);
    ASSERT_EQ(r->loops().size(), 1u);
  }
  // The region lies where the curve lies: the circle's height, the upright polyline's plane.
  auto lifted = regionOf(circle);
  EXPECT_NEAR(lifted->loops()[0].vertices[0].z, 2, 1e-12);
  auto side = regionOf(upright);
  EXPECT_NEAR(std::fabs(side->normal().x), 1, 1e-12);
  for (const auto& v : side->loops()[0].vertices) EXPECT_NEAR(v.x, 0, 1e-12);
}

TEST(Region, OpenCurvesMeetingEndToEndMakeOneRegion) {
  // A room drawn as separate lines in no particular order and direction, with
  // an arc for a bay; a stray line and an open polyline closing nothing are left out.
  Line bottom(Point3d(0, 0), Point3d(10, 0));
  Line left(Point3d(0, 8), Point3d(0, 0));
  Line top(Point3d(0, 8), Point3d(10, 8));  // runs against the loop
  Line rightLow(Point3d(10, 0), Point3d(10, 2));
  Line rightHigh(Point3d(10, 6), Point3d(10, 8));
  Arc bay(Point3d(10, 4), 2, -kPi / 2, kPi / 2);  // bulges out to the right
  Line stray(Point3d(20, 0), Point3d(30, 0));
  auto hook = poly({{40, 0}, {45, 0}, {45, 5}}, {}, false);
  std::vector<std::unique_ptr<Region>> rs;
  ASSERT_EQ(Region::createFromCurves({&top, &bay, &stray, &left, &rightHigh, hook.get(), &bottom, &rightLow}, rs),
            Status::Ok);
  ASSERT_EQ(rs.size(), 1u);
  EXPECT_NEAR(rs[0]->area(), 80 + 2 * kPi, 1e-9);
  EXPECT_NEAR(rs[0]->perimeter(), 10 + 8 + 10 + 2 + 2 + 2 * kPi, 1e-9);
  Pieces p = explodeCount(*rs[0]);
  EXPECT_EQ(p.arcs, 1);
  EXPECT_EQ(p.lines, 5);
  // Nothing closed: no region, and the call says so.
  rs.clear();
  EXPECT_EQ(Region::createFromCurves({&stray, hook.get()}, rs), Status::InvalidInput);
  EXPECT_TRUE(rs.empty());
}

TEST(Region, BooleansGiveAreaPerimeterAndBoundaryCurves) {
  struct Case {
    const char* name;
    Region::BoolOp op;
    double area, perimeter;
    int lines, arcs, regions;  // what explode gives
  };
  // The square [0,10]^2 against a circle of radius 5 about the middle of its right edge.
  const Case cases[] = {
      {"unite", Region::BoolOp::Unite, 100 + 12.5 * kPi, 30 + 5 * kPi, 3, 1, 0},
      {"intersect", Region::BoolOp::Intersect, 12.5 * kPi, 10 + 5 * kPi, 1, 1, 0},
      {"subtract", Region::BoolOp::Subtract, 100 - 12.5 * kPi, 30 + 5 * kPi, 3, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto sq = rect(0, 0, 10, 10);
    Circle circle(Point3d(10, 5), Vector3d(0, 0, 1), 5);
    auto a = regionOf(*sq);
    auto b = regionOf(circle);
    ASSERT_EQ(a->booleanOper(c.op, *b), Status::Ok);
    EXPECT_TRUE(b->isNull());  // the other operand is used up
    EXPECT_NEAR(a->area(), c.area, 1e-9);
    EXPECT_NEAR(a->perimeter(), c.perimeter, 1e-9);
    Pieces p = explodeCount(*a);
    EXPECT_EQ(p.lines, c.lines);
    EXPECT_EQ(p.arcs, c.arcs);
    EXPECT_EQ(p.regions, c.regions);
    EXPECT_NEAR(p.length, c.perimeter, 1e-9);
  }
}

TEST(Region, SubtractionLeavesAHoleOrSeveralFaces) {
  auto sq = rect(0, 0, 10, 10);
  Circle hole(Point3d(5, 5), Vector3d(0, 0, 1), 2);
  auto r = regionOf(*sq);
  auto h = regionOf(hole);
  ASSERT_EQ(r->booleanOper(Region::BoolOp::Subtract, *h), Status::Ok);
  EXPECT_NEAR(r->area(), 100 - 4 * kPi, 1e-9);
  ASSERT_EQ(r->loops().size(), 2u);  // outer boundary first, then the hole
  EXPECT_EQ(r->loops()[0].vertices.size(), 4u);
  // One face with a hole explodes into the curves of both loops.
  Pieces p = explodeCount(*r);
  EXPECT_EQ(p.lines, 4);
  EXPECT_EQ(p.arcs, 2);
  EXPECT_NEAR(p.length, 40 + 4 * kPi, 1e-9);
  // A bar across the square, through the hole, cuts it into two faces:
  // explode gives two regions. The right one keeps a bite of the hole.
  auto bar = regionOf(*rect(2, -1, 6, 11));
  ASSERT_EQ(r->booleanOper(Region::BoolOp::Subtract, *bar), Status::Ok);
  std::vector<std::unique_ptr<Entity>> parts;
  ASSERT_EQ(r->explode(parts), Status::Ok);
  ASSERT_EQ(parts.size(), 2u);
  double sum = 0;
  for (const auto& e : parts) {
    auto* face = cast<Region>(e.get());
    ASSERT_NE(face, nullptr);
    sum += face->area();
  }
  const double bite = 4 * kPi / 3 - std::sqrt(3.0);  // the circle beyond x = 6
  EXPECT_NEAR(sum, 20 + 40 - bite, 1e-9);
  EXPECT_NEAR(r->area(), sum, 1e-9);
  // Disjoint operands intersect into an empty region.
  auto far = regionOf(*rect(50, 50, 60, 60));
  ASSERT_EQ(r->booleanOper(Region::BoolOp::Intersect, *far), Status::Ok);
  EXPECT_TRUE(r->isNull());
  EXPECT_EQ(r->area(), 0);
}

TEST(Region, WallsUniteIntoAnOutlineWithItsInnerBoundary) {
  // Four walls 200 thick around a 6000 x 4000 building, overlapping at the corners.
  std::vector<std::unique_ptr<Polyline>> walls;
  walls.push_back(rect(0, 0, 6000, 200));
  walls.push_back(rect(5800, 0, 6000, 4000));
  walls.push_back(rect(0, 3800, 6000, 4000));
  walls.push_back(rect(0, 0, 200, 4000));
  std::vector<const Curve*> curves;
  for (const auto& w : walls) curves.push_back(w.get());
  std::vector<std::unique_ptr<Region>> rs;
  ASSERT_EQ(Region::createFromCurves(curves, rs), Status::Ok);
  ASSERT_EQ(rs.size(), 4u);
  for (std::size_t i = 1; i < rs.size(); ++i) ASSERT_EQ(rs[0]->booleanOper(Region::BoolOp::Unite, *rs[i]), Status::Ok);
  EXPECT_NEAR(rs[0]->area(), 6000.0 * 4000 - 5600.0 * 3600, 1e-6);
  ASSERT_EQ(rs[0]->loops().size(), 2u);
  Pieces p = explodeCount(*rs[0]);
  EXPECT_EQ(p.lines, 8);  // four outer and four inner edges, nothing left of the overlaps
  EXPECT_NEAR(p.length, 2 * (6000 + 4000) + 2 * (5600 + 3600), 1e-6);
}

TEST(Region, BooleansWorkInTheRegionsPlaneAndRefuseOtherPlanes) {
  // Two squares in the plane x = 3 (normal +X), the second given clockwise.
  Polyline3d a(Polyline3d::Type::Simple, {{3, 0, 0}, {3, 4, 0}, {3, 4, 4}, {3, 0, 4}}, true);
  Polyline3d b(Polyline3d::Type::Simple, {{3, 2, 2}, {3, 2, 6}, {3, 6, 6}, {3, 6, 2}}, true);
  auto ra = regionOf(a);
  auto rb = regionOf(b);
  ASSERT_EQ(ra->booleanOper(Region::BoolOp::Unite, *rb), Status::Ok);
  EXPECT_NEAR(ra->area(), 28, 1e-9);
  for (const auto& l : ra->loops())
    for (const auto& v : l.vertices) EXPECT_NEAR(v.x, 3, 1e-9);
  // A region in another plane is refused and neither operand changes.
  auto flat = regionOf(*rect(0, 0, 1, 1));
  auto before = ra->loops();
  EXPECT_EQ(ra->booleanOper(Region::BoolOp::Subtract, *flat), Status::NotApplicable);
  EXPECT_EQ(ra->loops(), before);
  EXPECT_FALSE(flat->isNull());
  // The same plane at another height is another plane too.
  Circle low(Point3d(0, 0, 0), Vector3d(0, 0, 1), 1), high(Point3d(0, 0, 5), Vector3d(0, 0, 1), 1);
  auto rl = regionOf(low);
  auto rh = regionOf(high);
  EXPECT_EQ(rl->booleanOper(Region::BoolOp::Unite, *rh), Status::NotApplicable);
  EXPECT_EQ(rl->booleanOper(Region::BoolOp::Unite, *rl), Status::InvalidInput);
}

TEST(Region, ResidentBooleanIsUndoneWithItsTransaction) {
  Database db;
  ObjectId ida, idb;
  ASSERT_EQ(db.appendToModelSpace(regionOf(*rect(0, 0, 10, 10)), &ida), Status::Ok);
  ASSERT_EQ(db.appendToModelSpace(regionOf(*rect(5, 0, 15, 10)), &idb), Status::Ok);
  auto& tm = db.transactionManager();
  Transaction* t = tm.startTransaction();
  Region *a = nullptr, *b = nullptr;
  ASSERT_EQ(t->getObject(a, ida, OpenMode::ForWrite), Status::Ok);
  ASSERT_EQ(t->getObject(b, idb, OpenMode::ForWrite), Status::Ok);
  ASSERT_EQ(a->booleanOper(Region::BoolOp::Subtract, *b), Status::Ok);
  EXPECT_NEAR(a->area(), 50, 1e-9);
  EXPECT_TRUE(b->isNull());
  ASSERT_EQ(tm.abortTransaction(), Status::Ok);
  ObjectPtr<Region> ra(ida, OpenMode::ForRead), rb(idb, OpenMode::ForRead);
  EXPECT_NEAR(ra->area(), 100, 1e-9);
  EXPECT_NEAR(rb->area(), 100, 1e-9);
}
