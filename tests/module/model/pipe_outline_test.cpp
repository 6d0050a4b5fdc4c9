// Pipe labels and riser outlines, and the rebuild of linear components of a
// name (and number) through a kind's own create and decorate routines.
#include "module/model/pipe_outline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using geom::Point3d;
constexpr double kPi = std::numbers::pi;

struct Label {
  cad::ObjectId id;
  std::wstring text;
  Point3d at;
  double rotation = 0;
  std::wstring number, attr;
};

cad::ObjectId CreatePipe(const std::wstring& name, const std::wstring& number, const Point3d& s, const Point3d& e,
                         double bulge, int vertical) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, s, e, bulge, vertical);
  return id;
}

class PipeOutlineTest : public tktest::DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    savedCheck_ = g_checkGjOverlap;
    g_checkGjOverlap = 1;
    // Loaded already: the unforced loads keep it (the name is the key).
    g_curLineGj = CurrentGj{};
    g_curLineGj.name = L"给水管";
    g_curLineGj.coords = {L"DN100=-50,-100|50,-100|50,100|-50,100"};
  }
  void TearDown() override {
    g_checkGjOverlap = savedCheck_;
    g_curLineGj = CurrentGj{};
    DrawingTest::TearDown();
  }
  std::vector<Label> labels(const std::wstring& layer = L"给水管名") {
    std::vector<Label> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      Label l;
      {
        cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
        if (!t || t->layer() != layer) continue;
        EXPECT_EQ(t->height(), 120.0);
        EXPECT_EQ(t->horizontalMode(), cad::Text::kMid);
        EXPECT_EQ(t->verticalMode(), cad::Text::kVertMid);
        l.id = id;
        l.text = t->textString();
        l.at = t->alignmentPoint();
        l.rotation = t->rotation();
      }
      StringArray attrs;
      GetGjNumberAndAttrs(id, l.number, attrs);
      EXPECT_EQ(attrs.size(), 1u);
      if (!attrs.empty()) l.attr = attrs.front();
      out.push_back(l);
    }
    return out;
  }
  int live(const std::wstring& layer) {
    int n = 0;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) ++n;
    }
    return n;
  }
  static void expectNear(const Point3d& a, const Point3d& b) {
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_NEAR(a.y, b.y, 1e-6);
    EXPECT_NEAR(a.z, b.z, 1e-6);
  }
  int savedCheck_ = 1;
};

TEST_F(PipeOutlineTest, EverySegmentOfARunGetsAnUprightLabelOnItsLeft) {
  // A run of three segments: east, north, west; z1 2900, z2 3100.
  auto pl = std::make_unique<cad::Polyline>();
  const Point3d v[] = {{0, 0}, {1000, 0}, {1000, 600}, {0, 600}};
  for (unsigned i = 0; i < 4; ++i) pl->addVertexAt(i, geom::Point2d(v[i].x, v[i].y));
  cad::ObjectId run = append(std::move(pl), L"给水管");
  stamp(run, L"JL-1", {run.handle().text(), L"主键"});
  const std::wstring kind = L"斜管";
  const double z1 = 2900, z2 = 3100;
  ASSERT_TRUE(SetGjSpecial(nullptr, &kind, run, &z1, &z2));
  g_checkGjOverlap = 0;
  DrawPipeOutline(L"给水管", run);

  const auto got = labels();
  ASSERT_EQ(got.size(), 3u);
  struct Expect {
    Point3d at;
    double rotation;
  } expect[] = {
      {{500, 120, 3000}, 0},              // east: above
      {{1120, 300, 3000}, 1.5 * kPi},    // north: at a right angle it is turned too
      {{500, 720, 3000}, 2 * kPi},        // west: turned upright, above
  };
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].text, L"JL-1");
    EXPECT_EQ(got[i].number, L"JL-1");
    EXPECT_EQ(got[i].attr, run.handle().text());
    expectNear(got[i].at, expect[i].at);
    EXPECT_NEAR(got[i].rotation, expect[i].rotation, 1e-7);
  }
}

TEST_F(PipeOutlineTest, EastToWestLabelsLikeWestToEast) {
  g_checkGjOverlap = 0;
  cad::ObjectId we = CreatePipe(L"给水管", L"JL-1", Point3d(0, 0, 0), Point3d(1000, 0, 0), 0, 0);
  cad::ObjectId ew = CreatePipe(L"给水管", L"JL-1", Point3d(1000, 5000, 0), Point3d(0, 5000, 0), 0, 0);
  DrawPipeOutline(L"给水管", we);
  DrawPipeOutline(L"给水管", ew);
  const auto got = labels();
  ASSERT_EQ(got.size(), 2u);
  expectNear(got[0].at, Point3d(500, 120, 0));
  expectNear(got[1].at, Point3d(500, 5120, 0));
  EXPECT_NEAR(std::cos(got[0].rotation), std::cos(got[1].rotation), 1e-6);
  EXPECT_NEAR(std::sin(got[0].rotation), std::sin(got[1].rotation), 1e-6);
}

TEST_F(PipeOutlineTest, RiserOutlineAndLabelFollowTheBlockTransform) {
  g_checkGjOverlap = 0;
  struct Case {
    double rotation;
    Point3d labelAt;
  } cases[] = {
      {0, {2000, 1220, 1500}},
      {kPi / 2, {1780, 1000, 1500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotation);
    cad::ObjectId riser = CreatePipe(L"给水管", L"DN100", Point3d(2000, 1000, 0), Point3d(2000, 1000, 3000), 0, 1);
    ASSERT_FALSE(riser.isNull());
    {
      cad::ObjectPtr<cad::BlockReference> ref(riser, cad::OpenMode::ForWrite);
      ASSERT_TRUE(ref);
      ref->setRotation(c.rotation);
    }
    DrawPipeOutline(L"给水管", riser);
    const auto got = labels();
    ASSERT_EQ(got.size(), 1u);
    expectNear(got[0].at, c.labelAt);
    EXPECT_NEAR(got[0].rotation, c.rotation, 1e-6);
    // The 100 x 200 figure, closed, moved onto the riser.
    int outlines = 0;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
      if (!pl || pl->layer() != L"给水管边线") continue;
      ++outlines;
      EXPECT_TRUE(pl->isClosed());
      cad::Extents3d ext;
      ASSERT_EQ(pl->getGeomExtents(ext), cad::Status::Ok);
      const double w = c.rotation == 0 ? 100 : 200;
      EXPECT_NEAR(ext.maxPoint.x - ext.minPoint.x, w, 1e-6);
      EXPECT_NEAR((ext.maxPoint.x + ext.minPoint.x) / 2, 2000, 1e-6);
      EXPECT_NEAR((ext.maxPoint.y + ext.minPoint.y) / 2, 1000, 1e-6);
      std::wstring n;
      StringArray attrs;
      GetGjNumberAndAttrs(id, n, attrs);
      EXPECT_EQ(n, L"DN100");
    }
    EXPECT_EQ(outlines, 1);
    EraseEntities(db().modelSpaceEntities());
  }
}

TEST_F(PipeOutlineTest, DuplicateSegmentIsErasedWithoutLabel) {
  cad::ObjectId first = CreatePipe(L"给水管", L"JL-1", Point3d(0, 0, 0), Point3d(1000, 0, 0), 0, 0);
  DrawPipeOutline(L"给水管", first);
  cad::ObjectId again = CreatePipe(L"给水管", L"JL-1", Point3d(1000, 0, 0), Point3d(0, 0, 0), 0, 0);
  DrawPipeOutline(L"给水管", again);
  DrawPipeOutline(L"给水管", cad::ObjectId());
  EXPECT_EQ(live(L"给水管"), 1);
  EXPECT_EQ(labels().size(), 1u);
}

TEST_F(PipeOutlineTest, RebuildByNumberKeepsOtherNumbersAndMakesCopiesPrimary) {
  g_checkGjOverlap = 0;
  cad::ObjectId one = CreatePipe(L"给水管", L"1", Point3d(0, 0, 100), Point3d(1000, 0, 200), 0, 0);
  cad::ObjectId copy = CreatePipe(L"给水管", L"1", Point3d(0, 3000, 0), Point3d(1000, 3000, 0), 0, 0);
  cad::ObjectId two = CreatePipe(L"给水管", L"2", Point3d(0, 6000, 0), Point3d(1000, 6000, 0), 0, 0);
  // The copy still names the entity it was copied from.
  stamp(copy, L"1", {one.handle().text(), L"主键"});
  StringArray ownLines{L"管径=DN65"};
  ASSERT_TRUE(SetXdataLines(one, kXdataExternalGj, ownLines, nullptr));
  for (cad::ObjectId id : {one, copy, two}) DrawPipeOutline(L"给水管", id);
  g_checkGjOverlap = 1;
  ASSERT_EQ(labels().size(), 3u);

  RebuildGjByName(L"给水管", L"1", &CreatePipe, &DrawPipeOutline, {});
  EXPECT_EQ(g_checkGjOverlap, 1);
  EXPECT_EQ(live(L"给水管"), 3);
  EXPECT_EQ(labels().size(), 3u);
  // Number 2 and its label are the very same entities.
  {
    cad::ObjectPtr<cad::Entity> e(two, cad::OpenMode::ForRead);
    EXPECT_TRUE(e);
  }
  for (cad::ObjectId old : {one, copy}) {
    cad::ObjectPtr<cad::Entity> e(old, cad::OpenMode::ForRead);
    EXPECT_FALSE(e) << "the old segment is gone";
  }
  // Every new segment is primary, keeps its number and its elevations.
  int ones = 0;
  for (cad::ObjectId id : db().modelSpaceEntities()) {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    if (!pl || pl->layer() != L"给水管") continue;
    pl.close();
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    ASSERT_FALSE(attrs.empty());
    EXPECT_EQ(attrs.front(), id.handle().text());
    if (n != L"1") continue;
    ++ones;
    Point3d s, e;
    ASSERT_TRUE(GetGjEndPoints3d(id, s, e));
    StringArray carried;
    GetXdataLines(id, kXdataExternalGj, carried);
    if (s.y == 0) {
      EXPECT_EQ(s, Point3d(0, 0, 100));
      EXPECT_EQ(e, Point3d(1000, 0, 200));
      EXPECT_EQ(carried, ownLines) << "a component made again from itself keeps its own lines";
    } else {
      EXPECT_TRUE(carried.empty());
    }
  }
  EXPECT_EQ(ones, 2);
  for (const Label& l : labels()) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(l.id, n, attrs);
    EXPECT_EQ(l.text, n);
  }

  // An empty number rebuilds all: nothing of the old entities is left.
  const auto before = db().modelSpaceEntities();
  RebuildGjByName(L"给水管", L"", &CreatePipe, &DrawPipeOutline, {});
  EXPECT_EQ(live(L"给水管"), 3);
  EXPECT_EQ(labels().size(), 3u);
  for (cad::ObjectId old : before) {
    cad::ObjectPtr<cad::Entity> e(old, cad::OpenMode::ForRead);
    EXPECT_FALSE(e);
  }
}

}  // namespace
