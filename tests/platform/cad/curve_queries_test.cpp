// Curve queries the drawing code leans on: closest points, distances along a
// curve, splitting; and block references carrying their attributes through
// transforms.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/cad/cad.h"

using namespace cad;

namespace {

constexpr double kPi = geom::kPi;

::testing::AssertionResult Near(const Point3d& a, const Point3d& b, double tol = 1e-9) {
  if (a.distanceTo(b) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                       << ", " << b.z << ")";
}

std::unique_ptr<Polyline> poly(std::vector<Point2d> pts, std::vector<double> bulges = {}, bool closed = false) {
  auto p = std::make_unique<Polyline>();
  for (unsigned i = 0; i < pts.size(); ++i) p->addVertexAt(i, pts[i], i < bulges.size() ? bulges[i] : 0);
  p->setClosed(closed);
  return p;
}

}  // namespace

TEST(CurveQueries, ClosestPointOnEachKindAndExtended) {
  Line line(Point3d(0, 0), Point3d(10, 0));
  Arc arc(Point3d(0, 0), 5, 0, kPi / 2);
  Circle circle(Point3d(0, 0), Vector3d(0, 0, 1), 5);
  // A half circle below the chord (0,0)-(10,0), then a line to (20,0).
  auto bulged = poly({{0, 0}, {10, 0}, {20, 0}}, {1, 0});
  auto square = poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}, true);
  auto raised = poly({{0, 0}, {10, 0}});
  raised->setElevation(3);
  const double r2 = 5 / std::sqrt(2.0);
  const double k = 5 / std::sqrt(45.0);  // (-6, 3) scaled onto the radius 5
  struct Case {
    const char* name;
    const Curve* curve;
    Point3d p;
    bool extend;
    Point3d expected;
  };
  const Case cases[] = {
      {"line, beside", &line, {5, 3, 0}, false, {5, 0, 0}},
      {"line, before its start", &line, {-4, 3, 0}, false, {0, 0, 0}},
      {"line extended back", &line, {-4, 3, 0}, true, {-4, 0, 0}},
      {"line extended on", &line, {14, -2, 0}, true, {14, 0, 0}},
      {"arc, outside", &arc, {10, 10, 0}, false, {r2, r2, 0}},
      {"arc, inside", &arc, {1, 1, 0}, false, {r2, r2, 0}},
      {"arc, past its end", &arc, {-3, -4, 0}, false, {5, 0, 0}},
      {"arc extended round its circle", &arc, {-6, -8, 0}, true, {-3, -4, 0}},
      {"circle", &circle, {10, 0, 0}, false, {5, 0, 0}},
      {"polyline arc segment", bulged.get(), {5, -8, 0}, false, {5, -5, 0}},
      {"polyline near the arc's centre", bulged.get(), {5, -1, 0}, false, {5, -5, 0}},
      {"polyline line segment", bulged.get(), {15, 2, 0}, false, {15, 0, 0}},
      {"polyline past its end", bulged.get(), {25, 1, 0}, false, {20, 0, 0}},
      {"polyline extended on", bulged.get(), {25, 1, 0}, true, {25, 0, 0}},
      {"polyline before its start", bulged.get(), {-1, 3, 0}, false, {0, 0, 0}},
      {"polyline arc extended back", bulged.get(), {-1, 3, 0}, true, {5 - 6 * k, 3 * k, 0}},
      {"closed polyline: no extension", square.get(), {12, 13, 0}, true, {10, 10, 0}},
      {"closed polyline, inside", square.get(), {2, 5, 0}, false, {0, 5, 0}},
      {"at the elevation", raised.get(), {4, 1, 0}, false, {4, 0, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Point3d out;
    ASSERT_EQ(c.curve->getClosestPointTo(c.p, out, c.extend), Status::Ok);
    EXPECT_TRUE(Near(out, c.expected));
  }
}

TEST(CurveQueries, DistanceAndPointAlongABulgedPolyline) {
  auto p = poly({{0, 0}, {10, 0}, {20, 0}}, {1, 0});
  const double arc = 5 * kPi;
  struct Case {
    double dist;
    Point3d point;
  };
  for (auto c : {Case{0, {0, 0, 0}}, Case{arc / 2, {5, -5, 0}}, Case{arc, {10, 0, 0}}, Case{arc + 5, {15, 0, 0}},
                 Case{arc + 10, {20, 0, 0}}}) {
    Point3d q;
    ASSERT_EQ(p->getPointAtDist(c.dist, q), Status::Ok);
    EXPECT_TRUE(Near(q, c.point)) << c.dist;
    double d = -1;
    ASSERT_EQ(p->getDistAtPoint(c.point, d), Status::Ok);
    EXPECT_NEAR(d, c.dist, 1e-9);
  }
  Point3d q;
  EXPECT_EQ(p->getPointAtDist(-0.1, q), Status::OutOfRange);
  EXPECT_EQ(p->getPointAtDist(arc + 10.1, q), Status::OutOfRange);
}

TEST(CurveQueries, SplitAtPointsVerticesAndEnds) {
  Line line(Point3d(0, 0), Point3d(10, 0));
  auto bulged = poly({{0, 0}, {10, 0}, {20, 0}, {20, 10}}, {1, 0, 0});
  auto square = poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}, true);
  Circle circle(Point3d(0, 0), Vector3d(0, 0, 1), 5);
  Arc arc(Point3d(0, 0), 5, 0, kPi);
  Polyline3d pl3(Polyline3d::Type::Simple, {{0, 0, 0}, {3, 4, 0}, {3, 4, 12}});
  const double half = 5 * kPi;
  Point3d onArc;  // 2 along the polyline: on its first, curved segment
  bulged->getPointAtDist(2, onArc);
  struct Case {
    const char* name;
    const Curve* curve;
    std::vector<Point3d> at;
    std::vector<double> lengths;  // of the pieces, in order
    Kind kind;
  };
  const Case cases[] = {
      {"line, unsorted, with its ends and a repeat", &line, {{10, 0, 0}, {4, 0, 0}, {0, 0, 0}, {4, 0, 0}}, {4, 6},
       Kind::Line},
      {"polyline at a vertex", bulged.get(), {{10, 0, 0}}, {half, 20}, Kind::Polyline},
      {"polyline at two vertices", bulged.get(), {{20, 0, 0}, {10, 0, 0}}, {half, 10, 10}, Kind::Polyline},
      {"polyline at a point off it", bulged.get(), {{15, 3, 0}}, {half + 5, 15}, Kind::Polyline},
      {"polyline at a distance on its arc", bulged.get(), {onArc}, {2, half + 18}, Kind::Polyline},
      {"closed polyline wraps round its start", square.get(), {{5, 0, 0}, {10, 5, 0}}, {10, 30}, Kind::Polyline},
      {"circle into two arcs", &circle, {{5, 0, 0}, {-5, 0, 0}}, {half, half}, Kind::Arc},
      {"arc", &arc, {{0, 5, 0}}, {half / 2, half / 2}, Kind::Arc},
      {"3D polyline at a vertex", &pl3, {{3, 4, 0}}, {5, 12}, Kind::Polyline3d},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::unique_ptr<Entity>> out;
    ASSERT_EQ(c.curve->getSplitCurves(c.at, out), Status::Ok);
    ASSERT_EQ(out.size(), c.lengths.size());
    double total = 0, whole = 0;
    c.curve->getLength(whole);
    for (std::size_t i = 0; i < out.size(); ++i) {
      auto* piece = cast<Curve>(out[i].get());
      ASSERT_NE(piece, nullptr);
      EXPECT_EQ(piece->kind(), c.kind);
      double len = 0;
      piece->getLength(len);
      EXPECT_NEAR(len, c.lengths[i], 1e-9) << "piece " << i;
      total += len;
      // The pieces follow each other along the curve.
      if (i + 1 < out.size()) {
        EXPECT_TRUE(Near(piece->endPoint(), cast<Curve>(out[i + 1].get())->startPoint()));
      }
    }
    EXPECT_NEAR(total, whole, 1e-9);
    if (!c.curve->isClosed()) {
      EXPECT_TRUE(Near(cast<Curve>(out.front().get())->startPoint(), c.curve->startPoint()));
      EXPECT_TRUE(Near(cast<Curve>(out.back().get())->endPoint(), c.curve->endPoint()));
    }
  }
}

TEST(CurveQueries, SplitPiecesKeepBulgesWidthsAndProperties) {
  auto p = poly({{0, 0}, {10, 0}, {20, 0}, {20, 10}}, {1, 0, -0.5});
  p->setConstantWidth(0.5);
  p->setColorIndex(3);
  p->setLinetype(L"ByBlock");
  std::vector<std::unique_ptr<Entity>> out;
  ASSERT_EQ(p->getSplitCurves({{10, 0, 0}, {20, 0, 0}}, out), Status::Ok);
  ASSERT_EQ(out.size(), 3u);
  auto* first = cast<Polyline>(out[0].get());
  auto* last = cast<Polyline>(out[2].get());
  EXPECT_NEAR(first->bulgeAt(0), 1, 1e-12);
  EXPECT_NEAR(last->bulgeAt(0), -0.5, 1e-12);
  for (const auto& e : out) {
    double w = 0;
    EXPECT_EQ(cast<Polyline>(e.get())->getConstantWidth(w), Status::Ok);
    EXPECT_EQ(w, 0.5);
    EXPECT_EQ(e->colorIndex(), 3);
    EXPECT_EQ(e->linetype(), L"ByBlock");
  }
  // Points only at the ends cut nothing: the call fails and gives no pieces.
  out.clear();
  EXPECT_EQ(p->getSplitCurves({{0, 0, 0}, {20, 10, 0}}, out), Status::InvalidInput);
  EXPECT_TRUE(out.empty());
}

// ---------------------------------------------------------------- block references with attributes

namespace {

// A block "TAG" (a line and an attribute definition at (1, 0.5), height 0.25)
// and a reference to it at (10, 10) with its attribute.
struct TaggedBlock {
  Database db;
  ObjectId refId, attrId;
  const Point3d attrInBlock{1, 0.5, 0};

  TaggedBlock() {
    ObjectId block, defId;
    {
      ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
      auto rec = std::make_unique<BlockRecord>();
      rec->setName(L"TAG");
      bt->add(std::move(rec), &block);
      ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
      b->appendEntity(std::make_unique<Line>(Point3d(0, 0), Point3d(2, 0)));
      auto def = std::make_unique<AttributeDefinition>();
      def->setTag(L"NO");
      def->setPosition(attrInBlock);
      def->setHeight(0.25);
      b->appendEntity(std::move(def), &defId);
    }
    db.appendToModelSpace(std::make_unique<BlockReference>(Point3d(10, 10), block), &refId);
    ObjectPtr<BlockReference> ref(refId, OpenMode::ForWrite);
    ObjectPtr<AttributeDefinition> def(defId, OpenMode::ForRead);
    auto a = std::make_unique<Attribute>();
    a->setAttributeFromBlock(*def, ref->blockTransform());
    a->setTextString(L"P-1");
    ref->appendAttribute(std::move(a), &attrId);
  }
  Point3d attrPosition() {
    ObjectPtr<Attribute> a(attrId, OpenMode::ForRead);
    return a->position();
  }
};

}  // namespace

TEST(BlockAttributes, FollowTheReferenceThroughEveryTransform) {
  struct Case {
    const char* name;
    Matrix3d m;
    double scale;  // of the text height
  };
  const Case cases[] = {
      {"move", Matrix3d::translation({5, -3, 2}), 1},
      {"rotate about a point", Matrix3d::rotation(kPi / 3, Vector3d::zAxis(), Point3d(4, 7, 0)), 1},
      {"scale about the origin", Matrix3d::scaling(2), 2},
      {"mirror about a line", Matrix3d::mirroringLine(Point3d(0, 0, 0), Point3d(1, 1, 0)), 1},
      {"rotate, then move", Matrix3d::translation({100, 0, 0}) * Matrix3d::rotation(kPi, Vector3d::zAxis()), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TaggedBlock t;
    Point3d before = t.attrPosition();
    ASSERT_TRUE(Near(before, {11, 10.5, 0}));
    {
      ObjectPtr<BlockReference> ref(t.refId, OpenMode::ForWrite);
      ASSERT_EQ(ref->transformBy(c.m), Status::Ok);
    }
    ObjectPtr<BlockReference> ref(t.refId, OpenMode::ForRead);
    ObjectPtr<Attribute> a(t.attrId, OpenMode::ForRead);
    // Where the transform takes it, and still where the block puts it.
    EXPECT_TRUE(Near(a->position(), c.m * before));
    EXPECT_TRUE(Near(ref->blockTransform().inverse() * a->position(), t.attrInBlock));
    EXPECT_NEAR(a->height(), 0.25 * c.scale, 1e-12);
    EXPECT_EQ(a->textString(), L"P-1");
    // Exploding shows the attribute's text where the attribute now is.
    std::vector<std::unique_ptr<Entity>> parts;
    ASSERT_EQ(ref->explode(parts), Status::Ok);
    ASSERT_EQ(parts.size(), 2u);
    auto* text = cast<Text>(parts[1].get());
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(Near(text->position(), c.m * before));
  }
}

TEST(BlockAttributes, RotationOfTheAttributeFollowsTheReference) {
  TaggedBlock t;
  {
    ObjectPtr<BlockReference> ref(t.refId, OpenMode::ForWrite);
    ASSERT_EQ(ref->transformBy(Matrix3d::rotation(kPi / 2, Vector3d::zAxis(), Point3d(10, 10, 0))), Status::Ok);
    EXPECT_NEAR(ref->rotation(), kPi / 2, 1e-12);
  }
  ObjectPtr<Attribute> a(t.attrId, OpenMode::ForRead);
  EXPECT_NEAR(a->rotation(), kPi / 2, 1e-12);
  EXPECT_TRUE(Near(a->position(), {9.5, 11, 0}));
}

TEST(BlockAttributes, UndoOfATransformRestoresTheAttributes) {
  TaggedBlock t;
  auto& tm = t.db.transactionManager();
  Transaction* tr = tm.startTransaction();
  BlockReference* ref = nullptr;
  ASSERT_EQ(tr->getObject(ref, t.refId, OpenMode::ForWrite), Status::Ok);
  ASSERT_EQ(ref->transformBy(Matrix3d::translation({50, 0, 0})), Status::Ok);
  EXPECT_TRUE(Near(t.attrPosition(), {61, 10.5, 0}));
  ASSERT_EQ(tm.abortTransaction(), Status::Ok);
  EXPECT_TRUE(Near(t.attrPosition(), {11, 10.5, 0}));
}
