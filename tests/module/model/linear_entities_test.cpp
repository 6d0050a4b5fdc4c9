// Linear component entities: plan segments and risers, the marker block, the
// overlap tests of a run and the duplicate check of new components.
#include "module/model/linear_entities.h"

#include <gtest/gtest.h>

#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using geom::Point3d;
using Ids = cad::ObjectIdArray;

class LinearEntitiesTest : public tktest::DrawingTest {
 protected:
  cad::ObjectId make(const std::wstring& name, const std::wstring& number, Point3d s, Point3d e,
                     double bulge = 0, int vertical = 0) {
    cad::ObjectId id = cad::ObjectId::fromRaw(12345);  // the call must reset it
    CreateLinearGjEntity(id, name, number, s, e, bulge, vertical);
    return id;
  }
  std::size_t blockEntities(const std::wstring& block) {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(block), cad::OpenMode::ForRead);
    return b ? b->entityCount() : 0;
  }
  StringArray special(cad::ObjectId id) {
    StringArray out;
    GetXdataLines(id, kXdataSpecial, out);
    return out;
  }
  bool isPrimary(cad::ObjectId id, const std::wstring& number) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    return n == number && attrs == StringArray{id.handle().text(), L"主键"};
  }
};

TEST_F(LinearEntitiesTest, PlanSegmentIsAFlatStampedPolyline) {
  cad::ObjectId id = make(L"给水管", L"JL-1", Point3d(0, 0, 2900), Point3d(1000, 500, 2850), 0.25);
  ASSERT_FALSE(id.isNull());
  {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(pl);
    EXPECT_EQ(pl->layer(), L"给水管");
    EXPECT_EQ(pl->numVerts(), 2u);
    EXPECT_EQ(pl->elevation(), 0.0);
    EXPECT_EQ(pl->startPoint(), Point3d(0, 0, 0));
    EXPECT_EQ(pl->endPoint(), Point3d(1000, 500, 0));
    EXPECT_EQ(pl->bulgeAt(0), 0.25);
    EXPECT_FALSE(pl->isClosed());
  }
  EXPECT_EQ(special(id), (StringArray{L"类型=斜管", L"起点标高=2900.0", L"终点标高=2850.0"}));
  EXPECT_TRUE(isPrimary(id, L"JL-1"));
  EXPECT_EQ(db().clayer(), db().layerId(L"给水管"));
  // An empty number stamps all the same; any flag but 0 and 1 makes nothing.
  cad::ObjectId unnumbered = make(L"给水管", L"", Point3d(0, 0, 0), Point3d(10, 0, 0));
  EXPECT_TRUE(isPrimary(unnumbered, L""));
  const auto before = db().modelSpaceEntities().size();
  EXPECT_TRUE(make(L"给水管", L"1", Point3d(0, 0, 0), Point3d(0, 0, 3000), 0, 2).isNull());
  EXPECT_EQ(db().modelSpaceEntities().size(), before);
}

TEST_F(LinearEntitiesTest, RisersShareOneMarkerBlockPerNumber) {
  struct Case {
    const char* what;
    std::wstring number;
    double z1, z2;
    std::wstring block;  // empty: nothing made
  } cases[] = {
      {"less than 1 apart", L"L1", 0, 0.5, L""},
      {"exactly 1 apart", L"L1", 0, 1, L"L1"},
      {"downwards", L"L1", 3000, 0, L"L1"},
      {"star", L"DN*20", 0, 3000, L"DN·20"},
      {"illegal characters", L"A/B:C", 0, 3000, L"A·B·C"},
      {"empty number", L"", 0, 3000, L"·"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cad::ObjectId id = make(L"消防立管", c.number, Point3d(100, 200, c.z1), Point3d(999, 999, c.z2), 0, 1);
    if (c.block.empty()) {
      EXPECT_TRUE(id.isNull());
      continue;
    }
    ASSERT_FALSE(id.isNull());
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->position(), Point3d(100, 200, 0));
    EXPECT_EQ(ref->layer(), L"消防立管");
    cad::ObjectPtr<cad::BlockRecord> block(ref->blockTableRecord(), cad::OpenMode::ForRead);
    EXPECT_EQ(block->name(), c.block);
    EXPECT_EQ(block->entityCount(), 1u);
    ref.close();
    EXPECT_EQ(special(id)[0], L"类型=立管");
    EXPECT_TRUE(isPrimary(id, c.number));
  }
  // A riser of the same number on another layer leaves the block as it is.
  {
    cad::ObjectPtr<cad::BlockRecord> b(db().blockId(L"L1"), cad::OpenMode::ForWrite);
    b->appendEntity(std::make_unique<cad::Line>(Point3d(0, 0), Point3d(5, 5)));
  }
  cad::ObjectId other = make(L"给水立管", L"L1", Point3d(0, 0, 0), Point3d(0, 0, 100), 0, 1);
  ASSERT_FALSE(other.isNull());
  EXPECT_EQ(blockEntities(L"L1"), 2u);
  // Mode 1 leaves exactly one point at the origin.
  EnsureVertGjBlock(L"给水立管", L"L1", nullptr, 1);
  cad::ObjectPtr<cad::BlockRecord> b(db().blockId(L"L1"), cad::OpenMode::ForRead);
  ASSERT_EQ(b->entityCount(), 1u);
  cad::ObjectPtr<cad::PointEntity> p(b->entityIds()[0], cad::OpenMode::ForRead);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->position(), Point3d(0, 0, 0));
}

TEST_F(LinearEntitiesTest, ASegmentThatCannotBeStampedIsNotLeftBehind) {
  addLayer(L"锁定");
  SetLayerLocked(L"锁定", true, nullptr);
  const auto before = db().modelSpaceEntities().size();
  EXPECT_TRUE(make(L"锁定", L"1", Point3d(0, 0, 0), Point3d(100, 0, 0)).isNull());
  EXPECT_TRUE(make(L"锁定", L"1", Point3d(0, 0, 0), Point3d(0, 0, 100), 0, 1).isNull());
  EXPECT_EQ(db().modelSpaceEntities().size(), before);
  bool locked = false;
  ASSERT_TRUE(GetLayerFlags(L"锁定", nullptr, nullptr, &locked, nullptr));
  EXPECT_TRUE(locked);
}

TEST_F(LinearEntitiesTest, SegmentOnSegment) {
  struct Case {
    const char* what;
    Point3d a0, a1, b0, b1;
    bool notOn;
  } cases[] = {
      {"inside", {0, 0, 0}, {100, 0, 0}, {20, 0, 0}, {80, 0, 0}, false},
      {"same ends reversed", {0, 0, 0}, {100, 0, 0}, {100, 0, 0}, {0, 0, 0}, false},
      {"past the end", {0, 0, 0}, {100, 0, 0}, {20, 0, 0}, {120, 0, 0}, true},
      {"1 degree through the same points", {0, 0, 0}, {1000, 0, 0}, {0, 0, 0}, {999.85, 17.45, 0}, true},
      {"1 degree, close by", {0, 0, 0}, {1000, 0, 0}, {0, 0, 0}, {20, 0.349, 0}, false},
      {"10 degrees", {0, 0, 0}, {1000, 0, 0}, {0, 0, 0}, {5, 0.88, 0}, true},
      {"other elevation", {0, 0, 0}, {100, 0, 0}, {20, 0, 20}, {80, 0, 20}, true},
      {"sloped, on it in 3D", {0, 0, 0}, {100, 0, 100}, {20, 0, 20}, {80, 0, 80}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsSegmentNotOnSegment(c.a0, c.a1, c.b0, c.b1), c.notOn);
  }
}

TEST_F(LinearEntitiesTest, OverlappedSegmentsOfARun) {
  cad::ObjectId longer = make(L"给水管", L"1", Point3d(-10, 0, 0), Point3d(200, 0, 0));
  GjSegmentArray run{GjSegment(longer, Point3d(-10, 0, 0), Point3d(200, 0, 0), L"给水管", L"1")};
  // The new one lies on an existing one: rejected, nothing changes.
  EXPECT_FALSE(RemoveOverlappedSegments(run, Point3d(0, 0, 0), Point3d(100, 0, 0)));
  EXPECT_EQ(run.size(), 1u);
  EXPECT_FALSE(longer.isErased());

  // Existing ones lying on the new one are erased, also two in a row.
  cad::ObjectId a = make(L"给水管", L"1", Point3d(20, 100, 0), Point3d(50, 100, 0));
  cad::ObjectId b = make(L"给水管", L"1", Point3d(50, 100, 0), Point3d(80, 100, 0));
  cad::ObjectId c = make(L"给水管", L"1", Point3d(80, 100, 0), Point3d(80, 300, 0));
  run = {GjSegment(a, Point3d(20, 100, 0), Point3d(50, 100, 0), L"给水管", L"1"),
         GjSegment(b, Point3d(50, 100, 0), Point3d(80, 100, 0), L"给水管", L"1"),
         GjSegment(c, Point3d(80, 100, 0), Point3d(80, 300, 0), L"给水管", L"1")};
  EXPECT_TRUE(RemoveOverlappedSegments(run, Point3d(0, 100, 0), Point3d(100, 100, 0)));
  ASSERT_EQ(run.size(), 1u);
  EXPECT_EQ(run[0].id, c);
  EXPECT_TRUE(a.isErased());
  EXPECT_TRUE(b.isErased());
  EXPECT_FALSE(c.isErased());
}

TEST_F(LinearEntitiesTest, DuplicateCheckByKind) {
  struct Seg {
    Point3d s, e;
    int vertical;
  };
  struct Case {
    const char* what;
    Seg existing, fresh;
    bool unique;
  } cases[] = {
      {"sloped, reversed, same elevations", {{0, 0, 100}, {1000, 0, 200}, 0}, {{1000, 0, 200}, {0, 0, 100}, 0}, false},
      {"sloped, 2 off at one end", {{0, 0, 100}, {1000, 0, 200}, 0}, {{0, 2, 100}, {1000, 0, 200}, 0}, false},
      {"sloped, 3 higher at one end", {{0, 0, 100}, {1000, 0, 200}, 0}, {{0, 0, 103}, {1000, 0, 200}, 0}, true},
      {"sloped, shorter", {{0, 0, 0}, {1000, 0, 0}, 0}, {{0, 0, 0}, {500, 0, 0}, 0}, true},
      {"risers 5 apart, same span within 10", {{0, 0, 0}, {0, 0, 3000}, 1}, {{5, 0, 5}, {5, 0, 2995}, 1}, false},
      {"risers, reversed", {{0, 0, 0}, {0, 0, 3000}, 1}, {{0, 0, 3000}, {0, 0, 0}, 1}, false},
      {"risers, half the span", {{0, 0, 0}, {0, 0, 3000}, 1}, {{0, 0, 0}, {0, 0, 1500}, 1}, true},
      {"risers 20 apart", {{0, 0, 0}, {0, 0, 3000}, 1}, {{20, 0, 0}, {20, 0, 3000}, 1}, true},
      {"a riser over a sloped segment", {{0, 0, 0}, {100, 0, 0}, 0}, {{0, 0, 0}, {0, 0, 3000}, 1}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cad::ObjectId old = make(L"给水管", L"1", c.existing.s, c.existing.e, 0, c.existing.vertical);
    cad::ObjectId fresh = make(L"给水管", L"1", c.fresh.s, c.fresh.e, 0, c.fresh.vertical);
    ASSERT_FALSE(old.isNull());
    ASSERT_FALSE(fresh.isNull());
    EXPECT_EQ(CheckGjOverlap(L"给水管", fresh), c.unique);
    // The same entity on another layer is no duplicate.
    EXPECT_TRUE(CheckGjOverlap(L"别的层", fresh));
    EraseEntity(old);
    EraseEntity(fresh);
  }
  // An entity that cannot be read counts as a duplicate (the caller removes it).
  cad::ObjectId gone = make(L"给水管", L"1", Point3d(0, 0, 0), Point3d(10, 0, 0));
  EraseEntity(gone);
  EXPECT_FALSE(CheckGjOverlap(L"给水管", gone));
}

TEST_F(LinearEntitiesTest, PointComponentsDuplicateByBlockAndPlace) {
  for (const wchar_t* name : {L"灯A", L"灯B"}) {
    cad::ObjectPtr<cad::BlockTable> t(db().blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(name);
    t->add(std::move(rec));
  }
  addLayer(L"灯具");
  auto place = [&](const wchar_t* block, double x, double z) {
    cad::ObjectId id = InsertBlockRef(block, Point3d(x, 0, 0), 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1),
                                      L"灯具", nullptr);
    const std::wstring n = L"1";
    EXPECT_TRUE(SetPointGjSpecial(&n, id, &z, nullptr));
    return id;
  };
  cad::ObjectId first = place(L"灯A", 0, 2800);
  EXPECT_FALSE(CheckGjOverlap(L"灯具", place(L"灯A", 6, 2800)));
  EXPECT_TRUE(CheckGjOverlap(L"灯具", place(L"灯B", 0, 2800)));
  EXPECT_TRUE(CheckGjOverlap(L"灯具", place(L"灯A", 0, 2700)));
  EXPECT_TRUE(CheckGjOverlap(L"灯具", first) == false);  // it meets the second one

  // A neighbour whose block cannot be read says nothing about the new one:
  // the new component stays.
  cad::ObjectId fresh = place(L"灯B", 500, 2800);
  place(L"灯A", 500, 2800);
  cad::ObjectPtr<cad::BlockRecord> busy(db().blockId(L"灯A"), cad::OpenMode::ForWrite);
  ASSERT_TRUE(busy);
  EXPECT_TRUE(CheckGjOverlap(L"灯具", fresh));
}

TEST_F(LinearEntitiesTest, ClickWatchFlags) {
  struct Case {
    unsigned message;
    std::uintptr_t wParam;
    int flag;
  } cases[] = {
      {ed::kWmLButtonDown, 0, 1}, {ed::kWmRButtonDown, 0, 2}, {ed::kWmChar, 13, 2},
      {ed::kWmChar, 32, 7},       {ed::kWmKeyDown, 13, 7},    {ed::kWmMouseMove, 0, 7},
  };
  for (const auto& c : cases) {
    g_clickWatchFlag = 7;
    ed::Msg msg;
    msg.message = c.message;
    msg.wParam = c.wParam;
    WatchClickProc(&msg);
    EXPECT_EQ(g_clickWatchFlag, c.flag) << c.message << " " << c.wParam;
  }
  g_clickWatchFlag = 0;
  EXPECT_EQ(g_checkGjOverlap, 1);
}

}  // namespace
