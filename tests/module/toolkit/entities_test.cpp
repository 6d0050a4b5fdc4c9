// Making, appending and editing entities, and id arrays to selection sets and
// back, on the current document's drawing.
#include "module/toolkit/entities.h"

#include <gtest/gtest.h>

#include <cmath>

#include "drawing_fixture.h"
#include "module/toolkit/layers.h"

namespace {

using geom::Point3d;

class EntitiesTest : public tktest::DrawingTest {
 protected:
  std::wstring layerOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e ? e->layer() : L"<none>";
  }
  std::wstring currentLayer() {
    cad::ObjectPtr<cad::LayerRecord> l(db().clayer(), cad::OpenMode::ForRead);
    return l->name();
  }
};

TEST_F(EntitiesTest, MakePolylineRefusesTooFewPointsAndTinyClosedAreas) {
  const PointList collinear{{0, 0}, {5, 0}, {10, 0}};
  struct Case {
    const char* name;
    PointList pts;
    bool closed;
    bool made;
  };
  const Case cases[] = {
      {"one point", {{0, 0}}, false, false},
      {"collinear closed", collinear, true, false},
      {"collinear open", collinear, false, true},
      {"small closed", {{0, 0}, {0.9, 0}, {0.9, 0.9}}, true, false},
      {"square closed", {{0, 0}, {10, 0}, {10, 10}}, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto pl = MakePolyline(c.pts, {}, c.closed, kDefaultWidth);
    EXPECT_EQ(pl != nullptr, c.made);
    if (pl) {
      EXPECT_EQ(pl->isClosed(), c.closed);
    }
  }
  // Missing bulges are 0; widths are set on every vertex.
  auto pl = MakePolyline({{0, 0, 9}, {10, 0}, {10, 10}, {0, 10}}, {0.5, -0.25}, false, 20);
  ASSERT_TRUE(pl);
  ASSERT_EQ(pl->numVerts(), 4u);
  EXPECT_EQ(pl->bulgeAt(0), 0.5);
  EXPECT_EQ(pl->bulgeAt(1), -0.25);
  EXPECT_EQ(pl->bulgeAt(2), 0);
  EXPECT_EQ(pl->bulgeAt(3), 0);
  double w0 = 0, w1 = 0;
  pl->getWidthsAt(3, w0, w1);
  EXPECT_EQ(w0, 20);
  EXPECT_EQ(pl->elevation(), 0);  // polylines lie in the plane z = 0
  auto seg = MakeSegmentPolyline({0, 0}, {5, 5}, 0.3, kDefaultWidth);
  ASSERT_TRUE(seg);
  EXPECT_EQ(seg->numVerts(), 2u);
  EXPECT_EQ(seg->bulgeAt(0), 0.3);
  EXPECT_FALSE(seg->isClosed());
}

TEST_F(EntitiesTest, SegmentCurveIsALineOrTheArcOfTheBulge) {
  auto line = MakeSegmentCurve({0, 0}, {2, 0}, 0);
  EXPECT_TRUE(cad::isKindOf<cad::Line>(line.get()));
  struct Case {
    double bulge;
    double normalZ;
    Point3d passes;
  };
  for (const Case& c : {Case{1, 1, {1, -1}}, Case{-1, -1, {1, 1}}}) {
    auto curve = MakeSegmentCurve({0, 0}, {2, 0}, c.bulge);
    auto* arc = cad::cast<cad::Arc>(curve.get());
    ASSERT_TRUE(arc);
    EXPECT_EQ(arc->normal().z, c.normalZ);
    EXPECT_NEAR(arc->radius(), 1, 1e-12);
    Point3d s, e, mid;
    arc->getStartPoint(s);
    arc->getEndPoint(e);
    EXPECT_NEAR(s.distanceTo({0, 0}), 0, 1e-9);
    EXPECT_NEAR(e.distanceTo({2, 0}), 0, 1e-9);
    double len = 0;
    arc->getLength(len);
    arc->getPointAtDist(len / 2, mid);
    EXPECT_NEAR(mid.distanceTo(c.passes), 0, 1e-9);
  }
}

TEST_F(EntitiesTest, AppendPutsOnTheLayerAndMakesItCurrent) {
  // An empty layer name keeps both the entity's layer and the current layer.
  addLayer(L"给水");
  auto* keep = new cad::Line(Point3d{0, 0}, Point3d{1, 0});
  keep->setLayer(L"给水");
  cad::ObjectId a = AppendToModelSpace(keep, L"", nullptr);
  ASSERT_FALSE(a.isNull());
  EXPECT_TRUE(keep->isWriteEnabled());  // left open for the caller
  keep->close();
  EXPECT_EQ(layerOf(a), L"给水");
  EXPECT_EQ(currentLayer(), L"0");
  // A named layer is created when missing and becomes current.
  cad::ObjectId b = AddLine({0, 0}, {5, 5}, L"排水管", nullptr);
  EXPECT_EQ(layerOf(b), L"排水管");
  EXPECT_EQ(currentLayer(), L"排水管");
  EXPECT_EQ(AppendToModelSpace(nullptr, L"x", nullptr), cad::ObjectId());
  // Another database than the working one.
  cad::Database side;
  cad::ObjectId c = AddLine({0, 0}, {1, 1}, L"侧", &side);
  ASSERT_FALSE(c.isNull());
  EXPECT_EQ(c.database(), &side);
  EXPECT_EQ(side.numOpenObjects(), 0u);
}

TEST_F(EntitiesTest, FailedAppendLeavesNoEntityBehind) {
  size_t before = db().numObjects();
  // Extended data of an application the drawing does not know: the append is refused.
  auto line = std::make_unique<cad::Line>(Point3d{0, 0}, Point3d{1, 0});
  line->setXData({cad::TypedValue(1001, L"未注册"), cad::TypedValue(1000, L"x")});
  EXPECT_TRUE(AppendToModelSpace(std::move(line), L"", nullptr).isNull());
  EXPECT_EQ(db().numObjects(), before);
  EXPECT_TRUE(db().modelSpaceEntities().empty());
}

TEST_F(EntitiesTest, TextsSitAtTheirPositionWhateverTheJustification) {
  struct Case {
    int h, v;
  };
  for (const Case& c : {Case{cad::Text::kLeft, cad::Text::kBase}, Case{cad::Text::kCenter, cad::Text::kVertMid},
                        Case{cad::Text::kRight, cad::Text::kTop}}) {
    cad::ObjectId id = AddText({100, 200}, L"DN100", 350, std::atan(1.0), 0.8, L"给水名", nullptr, c.h, c.v);
    cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->textString(), L"DN100");
    EXPECT_EQ(t->height(), 350);
    EXPECT_EQ(t->widthFactor(), 0.8);
    EXPECT_EQ(t->horizontalMode(), c.h);
    EXPECT_EQ(t->verticalMode(), c.v);
    const Point3d& placed = t->isDefaultAlignment() ? t->position() : t->alignmentPoint();
    EXPECT_EQ(placed, Point3d(100, 200));
    EXPECT_EQ(t->layer(), L"给水名");
    EXPECT_EQ(t->textStyle(), db().textstyle());
  }
}

TEST_F(EntitiesTest, BlockReferences) {
  size_t before = db().numObjects();
  EXPECT_TRUE(InsertBlockRef(L"无此块", {0, 0}, 0, {}, {0, 0, 1}, L"0", nullptr).isNull());
  EXPECT_EQ(db().numObjects(), before);

  {
    cad::ObjectPtr<cad::BlockTable> bt(db().blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"阀门");
    ASSERT_EQ(bt->add(std::move(rec)), cad::Status::Ok);
  }
  addLayer(L"阀门层");
  cad::ObjectId a = InsertBlockRef(L"阀门", {5, 6}, 0.5, {2, 2, 1}, {0, 0, 1}, L"阀门层", nullptr);
  cad::ObjectId b = InsertBlockRef(L"阀门", {5, 6}, 0, {}, {0, 0, 1}, L"没有的层", nullptr);
  cad::ObjectPtr<cad::BlockReference> ra(a, cad::OpenMode::ForRead);
  ASSERT_TRUE(ra);
  EXPECT_EQ(ra->blockName(), L"阀门");
  EXPECT_EQ(ra->position(), Point3d(5, 6));
  EXPECT_EQ(ra->rotation(), 0.5);
  EXPECT_EQ(ra->scaleFactors(), (cad::Scale3d{2, 2, 1}));
  EXPECT_EQ(ra->layer(), L"阀门层");
  ra.close();
  // A layer name that no layer has leaves the reference on the current layer
  // and creates no layer.
  EXPECT_EQ(layerOf(b), L"0");
  EXPECT_TRUE(db().layerId(L"没有的层").isNull());
}

TEST_F(EntitiesTest, SolidHatchNeedsAClosedBoundary) {
  cad::ObjectId ring = AddPolyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}, true, kDefaultWidth, L"区域", nullptr);
  ASSERT_FALSE(ring.isNull());
  size_t mark = ed::transcriptMark();
  cad::ObjectId h = AddSolidHatch(ring, L"填充", nullptr);
  ASSERT_FALSE(h.isNull());
  {
    cad::ObjectPtr<cad::Hatch> hatch(h, cad::OpenMode::ForRead);
    EXPECT_TRUE(hatch->isSolidFill());
    EXPECT_TRUE(hatch->associative());
    EXPECT_NEAR(hatch->area(), 100, 1e-9);
    EXPECT_EQ(hatch->layer(), L"填充");
  }
  EXPECT_EQ(ed::transcriptSince(mark), L"");
  cad::ObjectId open = line(0, 0, 10, 0);
  size_t count = db().modelSpaceEntities().size();
  EXPECT_TRUE(AddSolidHatch(open, L"填充", nullptr).isNull());
  EXPECT_EQ(ed::transcriptSince(mark), L"\n创建Hatch失败\n");
  EXPECT_EQ(db().modelSpaceEntities().size(), count);
}

TEST_F(EntitiesTest, EraseCountsWhatWasErased) {
  cad::ObjectId a = line(0, 0, 1, 0, L"A");
  cad::ObjectId b = line(0, 0, 1, 0, L"锁定");
  cad::ObjectId c = line(0, 0, 1, 0, L"A");
  setLayerFlag(L"锁定", false, false, true);
  EXPECT_EQ(EraseEntity(b), cad::Status::OnLockedLayer);
  EXPECT_EQ(EraseEntities({a, b, cad::ObjectId(), c, a}), 2);
  EXPECT_TRUE(a.isErased());
  EXPECT_FALSE(b.isErased());
  EXPECT_TRUE(c.isErased());
}

TEST_F(EntitiesTest, EraseLayerEntitiesRestoresLocks) {
  cad::ObjectId a = line(0, 0, 1, 0, L"锁");
  cad::ObjectId b = line(0, 0, 1, 0, L"开");
  cad::ObjectId keep = line(0, 0, 1, 0, L"留");
  setLayerFlag(L"锁", false, false, true);
  EraseLayerEntities(L"锁,开,不存在");
  EXPECT_TRUE(a.isErased());
  EXPECT_TRUE(b.isErased());
  EXPECT_FALSE(keep.isErased());
  bool locked = false;
  ASSERT_TRUE(GetLayerFlags(L"锁", nullptr, nullptr, &locked, nullptr));
  EXPECT_TRUE(locked);
  ASSERT_TRUE(GetLayerFlags(L"开", nullptr, nullptr, &locked, nullptr));
  EXPECT_FALSE(locked);
  EXPECT_TRUE(db().layerId(L"不存在").isNull());
}

TEST_F(EntitiesTest, MoveRotateAndHighlight) {
  cad::ObjectId a = line(0, 0, 10, 0);
  MoveEntity(a, {5, 5, 1});
  RotateEntity(a, geom::kPi / 2, {5, 5}, {0, 0, 1});
  {
    cad::ObjectPtr<cad::Line> l(a, cad::OpenMode::ForRead);
    EXPECT_NEAR(l->start().distanceTo({5, 5, 1}), 0, 1e-9);
    EXPECT_NEAR(l->end().distanceTo({5, 15, 1}), 0, 1e-9);
  }
  cad::ObjectId locked = line(0, 0, 10, 0, L"锁");
  setLayerFlag(L"锁", false, false, true);
  MoveEntity(locked, {1, 0, 0});  // cannot be opened for write: unchanged
  RotateEntity(cad::ObjectId(), 1, {}, {0, 0, 1});
  {
    cad::ObjectPtr<cad::Line> l(locked, cad::OpenMode::ForRead);
    EXPECT_EQ(l->start(), Point3d(0, 0));
  }
  HighlightEntities({a, locked, cad::ObjectId()}, 1);
  for (cad::ObjectId id : {a, locked}) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    EXPECT_TRUE(e->isHighlighted());
  }
  HighlightEntities({a, locked}, 2);  // any value but 1 removes it
  cad::ObjectPtr<cad::Entity> e(a, cad::OpenMode::ForRead);
  EXPECT_FALSE(e->isHighlighted());
}

TEST_F(EntitiesTest, IdsToSelectionSetsAndBack) {
  cad::ObjectId a = line(0, 0, 1, 0), b = line(0, 1, 1, 1), gone = line(0, 2, 1, 2);
  EraseEntity(gone);
  ed::SelSet ss = 0;
  // Null and erased ids do not go into the set, and the count says so.
  EXPECT_EQ(IdsToSS({a, cad::ObjectId(), b, gone}, ss), 2);
  ASSERT_NE(ss, 0);
  std::int32_t n = 0;
  ed::ssLength(ss, n);
  EXPECT_EQ(n, 2);
  cad::ObjectIdArray ids{gone};
  SSToIds(ss, ids);
  EXPECT_EQ(ids, (cad::ObjectIdArray{a, b}));
  ed::ssFree(ss);
  SSToIds(ss, ids);  // freed: invalid
  EXPECT_TRUE(ids.empty());
  SSToIds(123456, ids);
  EXPECT_TRUE(ids.empty());
  // An empty array still makes a set (empty) for the caller to free.
  EXPECT_EQ(IdsToSS({}, ss), 0);
  EXPECT_NE(ss, 0);
  ed::ssFree(ss);
}

}  // namespace
