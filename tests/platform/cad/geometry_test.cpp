// Entity geometry: object coordinates, extents, offsets, splits, intersections, explode.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/cad/cad.h"

using namespace cad;
constexpr double kPi = geom::kPi;

static void expectNear(const Point3d& a, const Point3d& b, double tol = 1e-9) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

static std::unique_ptr<Polyline> poly(std::vector<Point2d> pts, std::vector<double> bulges = {}, bool closed = false) {
  auto p = std::make_unique<Polyline>();
  for (unsigned i = 0; i < pts.size(); ++i) p->addVertexAt(i, pts[i], i < bulges.size() ? bulges[i] : 0);
  p->setClosed(closed);
  return p;
}

TEST(Geometry, ArcAnglesFollowTheArbitraryAxisRule) {
  // With normal -Z the plane's X axis is world -X: angle 0 lies at -X.
  Arc a(Point3d(10, 0, 0), Vector3d(0, 0, -1), 5, 0, kPi / 2);
  expectNear(a.startPoint(), {5, 0, 0});
  expectNear(a.endPoint(), {10, 5, 0});
  Extents3d e;
  ASSERT_EQ(a.getGeomExtents(e), Status::Ok);
  expectNear(e.minPoint, {5, 0, 0});
  expectNear(e.maxPoint, {10, 5, 0});
}

TEST(Geometry, ExtentsOfArcsAreExact) {
  auto p = poly({{0, 0}, {10, 0}}, {1});  // a half circle below the chord
  Extents3d e;
  ASSERT_EQ(p->getGeomExtents(e), Status::Ok);
  expectNear(e.minPoint, {0, -5, 0});
  expectNear(e.maxPoint, {10, 0, 0});
}

TEST(Geometry, OffsetOfACounterClockwiseRingGrowsForPositiveDistance) {
  auto sq = poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}, true);
  std::vector<std::unique_ptr<Entity>> out;
  ASSERT_EQ(sq->getOffsetCurves(1, out), Status::Ok);
  auto* o = cast<Polyline>(out.at(0).get());
  ASSERT_NE(o, nullptr);
  ASSERT_EQ(o->numVerts(), 4u);
  expectNear(o->pointAt(0), {-1, -1, 0});
  expectNear(o->pointAt(2), {11, 11, 0});
  out.clear();
  ASSERT_EQ(sq->getOffsetCurves(-1, out), Status::Ok);
  expectNear(cast<Polyline>(out[0].get())->pointAt(0), {1, 1, 0});
  out.clear();
  EXPECT_NE(sq->getOffsetCurves(-6, out), Status::Ok);  // the ring would turn inside out
}

TEST(Geometry, OffsetKeepsArcsAndTheirBulgeSign) {
  // A slot: two lines and two half circles, counter-clockwise.
  auto slot = poly({{0, 0}, {10, 0}, {10, 4}, {0, 4}}, {0, 1, 0, 1}, true);
  std::vector<std::unique_ptr<Entity>> out;
  ASSERT_EQ(slot->getOffsetCurves(1, out), Status::Ok);
  auto* o = cast<Polyline>(out[0].get());
  ASSERT_EQ(o->numVerts(), 4u);
  expectNear(o->pointAt(0), {0, -1, 0});
  expectNear(o->pointAt(1), {10, -1, 0});
  EXPECT_NEAR(o->bulgeAt(1), 1, 1e-9);
  double area = 0;
  o->getArea(area);
  EXPECT_NEAR(area, 10 * 6 + kPi * 9, 1e-6);
}

TEST(Geometry, SplitKeepsBulgesAndSkipsEndPoints) {
  auto p = poly({{0, 0}, {10, 0}, {20, 0}}, {1, 0});
  std::vector<std::unique_ptr<Entity>> out;
  // The first point is the curve's start: it gives no zero-length piece.
  ASSERT_EQ(p->getSplitCurves({{0, 0, 0}, {5, -5, 0}, {20, 0, 0}}, out), Status::Ok);
  ASSERT_EQ(out.size(), 2u);
  auto* a = cast<Polyline>(out[0].get());
  auto* b = cast<Polyline>(out[1].get());
  ASSERT_TRUE(a && b);
  EXPECT_NEAR(a->bulgeAt(0), std::tan(kPi / 8), 1e-9);
  expectNear(a->endPoint(), {5, -5, 0});
  EXPECT_EQ(b->numVerts(), 3u);
  double la, lb;
  a->getLength(la);
  b->getLength(lb);
  EXPECT_NEAR(la + lb, 5 * kPi + 10, 1e-9);
}

TEST(Geometry, IntersectWithHonoursTheExtendModes) {
  Line a(Point3d(0, 0), Point3d(10, 0));
  Line b(Point3d(20, -5), Point3d(20, 5));
  struct Case {
    Intersect mode;
    std::size_t count;
  };
  for (auto c : {Case{Intersect::OnBothOperands, 0}, Case{Intersect::ExtendArg, 0}, Case{Intersect::ExtendThis, 1},
                 Case{Intersect::ExtendBoth, 1}}) {
    std::vector<Point3d> pts;
    ASSERT_EQ(a.intersectWith(b, c.mode, pts), Status::Ok);
    EXPECT_EQ(pts.size(), c.count) << int(c.mode);
  }
  Circle circle(Point3d(0, 0), Vector3d(0, 0, 1), 5);
  std::vector<Point3d> pts;
  a.intersectWith(circle, Intersect::OnBothOperands, pts);
  ASSERT_EQ(pts.size(), 1u);
  expectNear(pts[0], {5, 0, 0});
  pts.clear();
  a.intersectWith(circle, Intersect::ExtendThis, pts);
  EXPECT_EQ(pts.size(), 2u);
}

TEST(Geometry, TransformFlipTurnsThePolylineNormal) {
  auto p = poly({{0, 0}, {10, 0}}, {0.5});
  Point3d mid;
  p->getPointAtDist(0, mid);
  ASSERT_EQ(p->transformBy(Matrix3d::rotation(kPi, Vector3d::xAxis())), Status::Ok);
  EXPECT_NEAR(p->normal().z, -1, 1e-12);
  expectNear(p->pointAt(1), {10, 0, 0});
  Extents3d e;
  p->getGeomExtents(e);
  EXPECT_NEAR(e.maxPoint.y, 10 * 0.5 / 2, 1e-9);  // the bulge now points to +Y
}

TEST(Geometry, BlockReferenceExplodesAndMeasuresThroughItsTransform) {
  Database db;
  ObjectId block;
  {
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto rec = std::make_unique<BlockRecord>();
    rec->setName(L"B");
    bt->add(std::move(rec), &block);
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    b->appendEntity(std::make_unique<Line>(Point3d(0, 0), Point3d(1, 0)));
  }
  BlockReference ref(Point3d(10, 10), block);
  ref.setRotation(kPi / 2);
  ref.setScaleFactors({2, 2, 2});
  std::vector<std::unique_ptr<Entity>> parts;
  ASSERT_EQ(ref.explode(parts), Status::Ok);
  ASSERT_EQ(parts.size(), 1u);
  auto* l = cast<Line>(parts[0].get());
  expectNear(l->start(), {10, 10, 0});
  expectNear(l->end(), {10, 12, 0});
  Extents3d e;
  ref.getGeomExtents(e);
  expectNear(e.maxPoint, {10, 12, 0});
  BlockReference empty(Point3d(3, 4), ObjectId());
  ASSERT_EQ(empty.getGeomExtents(e), Status::Ok);
  expectNear(e.minPoint, {3, 4, 0});
}

// Exploding a multiline text keeps its lines inside the text's own extents,
// whichever attachment point the location names.
TEST(Geometry, ExplodedMTextLinesStayInsideItsExtents) {
  for (int attachment : {1, 5, 9}) {
    MText m;
    m.setLocation(Point3d(100, 200));
    m.setTextHeight(10);
    m.setContents(L"DN25\\Pde50 long");
    m.setAttachment(attachment);
    Extents3d whole;
    ASSERT_EQ(m.getGeomExtents(whole), Status::Ok);
    std::vector<std::unique_ptr<Entity>> lines;
    ASSERT_EQ(m.explode(lines), Status::Ok);
    ASSERT_EQ(lines.size(), 2u) << attachment;
    for (auto& line : lines) {
      Extents3d e;
      ASSERT_EQ(line->getGeomExtents(e), Status::Ok);
      EXPECT_GE(e.minPoint.x, whole.minPoint.x - 1e-6) << attachment;
      EXPECT_LE(e.maxPoint.x, whole.maxPoint.x + 1e-6) << attachment;
      EXPECT_GE(e.minPoint.y, whole.minPoint.y - 1e-6) << attachment;
      EXPECT_LE(e.maxPoint.y, whole.maxPoint.y + 1e-6) << attachment;
    }
  }
}

TEST(Geometry, PointAtDistanceFailsPastTheEnd) {
  auto p = poly({{0, 0}, {3, 4}});
  Point3d q;
  EXPECT_EQ(p->getPointAtDist(2.5, q), Status::Ok);
  expectNear(q, {1.5, 2, 0});
  EXPECT_EQ(p->getPointAtDist(5.5, q), Status::OutOfRange);
  double d;
  EXPECT_EQ(p->getDistAtPoint({1.5, 2, 0}, d), Status::Ok);
  EXPECT_NEAR(d, 2.5, 1e-12);
  EXPECT_EQ(p->getDistAtPoint({9, 9, 0}, d), Status::InvalidInput);
}
