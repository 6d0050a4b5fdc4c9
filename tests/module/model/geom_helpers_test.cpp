// Grid-axis locations, the duplicate-input check, exploding block references
// in id lists, and the end-point pairs of two segments.
#include "module/model/geom_helpers.h"

#include <gtest/gtest.h>

#include <functional>

#include "module/toolkit/entities.h"
#include "module/toolkit/xdata.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using geom::Point3d;
using Ids = cad::ObjectIdArray;

class GeomHelpersTest : public tktest::DrawingTest {
 protected:
  cad::ObjectId axis(double x1, double y1, double x2, double y2, StringArray special) {
    cad::ObjectId id = line(x1, y1, x2, y2, L"轴线");
    if (!special.empty()) {
      EXPECT_TRUE(SetXdataLines(id, kXdataSpecial, special, nullptr));
    }
    return id;
  }
  cad::ObjectId pointAt(double x, double y, const std::wstring& layer = L"给水管") {
    return append(std::make_unique<cad::PointEntity>(Point3d(x, y)), layer);
  }
};

TEST_F(GeomHelpersTest, AxisLocationLabelsTheEnds) {
  cad::ObjectId a1 = axis(0, -1000, 0, 10000, {L"轴号=1"});
  cad::ObjectId a2 = axis(6000, -1000, 6000, 10000, {L"轴号=2"});
  cad::ObjectId aA = axis(-1000, 0, 10000, 0, {L"轴号=A"});
  cad::ObjectId aB = axis(-1000, 6000, 10000, 6000, {L"轴号=B"});
  cad::ObjectId diag = axis(-1000, -1000, 1000, 1000, {L"轴号=X"});
  cad::ObjectId unnamed = axis(0, -1000, 0, 10000, {L"类型=轴线"});
  cad::ObjectId bare = axis(0, -1000, 0, 10000, {});
  const Ids axes{bare, a1, a2, aA, aB, diag};
  auto poly = MakePolyline({{0, 0}, {3000, 3000}, {5000, 100}, {6000, 6000}}, {}, false, kDefaultWidth);
  cad::ObjectId run3 = append(std::move(poly));
  struct Case {
    const char* name;
    Ids axes;
    cad::ObjectId gj;
    std::wstring want;
  };
  const Case cases[] = {
      {"crossing of three axes: first two", axes, pointAt(0, 0), L"1,A"},
      {"within 300 of the axes", axes, pointAt(100, -200), L"1,A"},
      {"past an axis' end", axes, pointAt(0, 10500), L""},
      {"straight run", axes, line(0, 0, 0, 6000), L"1,A~1,B"},
      {"start off the grid", axes, line(3000, 3000, 6000, 6000), L"2,B"},
      {"end off the grid", axes, line(6000, 6000, 3000, 3100), L"2,B~"},
      {"first and last of many vertices", axes, run3, L"1,A~2,B"},
      {"an axis without a number takes a place", {unnamed, a1, aA}, pointAt(0, 0), L",1"},
      {"no axes", {}, pointAt(0, 0), L""},
      {"no vertices", axes, cad::ObjectId(), L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetAxisLocation(c.axes, c.gj), c.want);
  }
}

TEST_F(GeomHelpersTest, DuplicateInput) {
  cad::ObjectId existing = line(0, 0, 1000, 0, L"给水管");
  stamp(existing, L"1", {existing.handle().text(), L"主键"});
  cad::ObjectId decoration = line(0, 3000, 1000, 3000, L"给水管");
  stamp(decoration, L"1", {existing.handle().text()});
  cad::ObjectId riser = pointAt(5000, 5000);
  stamp(riser, L"1", {riser.handle().text(), L"主键"});
  auto fresh = [&](cad::ObjectId id) {
    stamp(id, L"1", {id.handle().text(), L"主键"});
    return id;
  };
  // Each new entity is made when its case runs and erased after it.
  struct Case {
    const char* name;
    std::function<cad::ObjectId()> make;
    std::wstring filter;
    bool primaryOnly;
    bool unique;
  };
  const Case cases[] = {
      {"drawn again within 30", [&] { return fresh(line(10, 10, 990, -10, L"给水管")); }, L"给水管", true, false},
      {"reversed", [&] { return fresh(line(1000, 0, 0, 0, L"给水管")); }, L"给水管", true, false},
      {"inside a longer one", [&] { return fresh(line(200, 0, 800, 0, L"给水管")); }, L"给水管", true, true},
      {"one end off by 40", [&] { return fresh(line(0, 0, 1040, 0, L"给水管")); }, L"给水管", true, true},
      {"over a decoration, primaries only", [&] { return fresh(line(0, 3000, 1000, 3000, L"给水管")); },
       L"给水管", true, true},
      {"over a decoration, every entity", [&] { return fresh(line(0, 3000, 1000, 3000, L"给水管")); },
       L"给水管", false, false},
      {"filter by pattern", [&] { return fresh(line(0, 0, 1000, 0, L"排水管")); }, L"给*", true, false},
      {"filter names another layer", [&] { return fresh(line(0, 0, 1000, 0, L"给水管")); }, L"排水管", true, true},
      // A riser has no plan extent: the search window is 20 by 20 around it.
      {"riser inside the window", [&] { return fresh(pointAt(5005, 5005)); }, L"给水管", true, false},
      {"riser outside the window", [&] { return fresh(pointAt(5025, 5000)); }, L"给水管", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cad::ObjectId newId = c.make();
    size_t mark = ed::transcriptMark();
    EXPECT_EQ(CheckDuplicateInput(c.filter, newId, c.primaryOnly), c.unique);
    EXPECT_EQ(ed::transcriptSince(mark), c.unique ? L"" : L"输入重复\n");
    EraseEntity(newId);
  }
  // A new entity that cannot be read is no duplicate: the caller keeps it.
  cad::ObjectId gone = fresh(line(0, 0, 1000, 0, L"给水管"));
  EraseEntity(gone);
  EXPECT_TRUE(CheckDuplicateInput(L"给水管", gone, true));
  EXPECT_TRUE(CheckDuplicateInput(L"给水管", cad::ObjectId(), true));
  EXPECT_EQ(ed::liveSelectionSetCount(), 0);
}

TEST_F(GeomHelpersTest, ExplodeBlockRefsReplacesReferencesByTheirParts) {
  cad::ObjectId block;
  {
    cad::ObjectPtr<cad::BlockTable> bt(db().blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"双线");
    ASSERT_EQ(bt->add(std::move(rec), &block), cad::Status::Ok);
  }
  addLayer(L"块内");
  append(std::make_unique<cad::Line>(Point3d(0, 0), Point3d(10, 0)), L"块内", block);
  append(std::make_unique<cad::Line>(Point3d(0, 5), Point3d(10, 5)), L"块内", block);
  cad::ObjectId l = line(0, 0, 1, 1);
  cad::ObjectId ref = append(std::make_unique<cad::BlockReference>(Point3d(100, 0), block));
  cad::ObjectId circle = append(std::make_unique<cad::Circle>(Point3d(0, 0), geom::Vector3d(0, 0, 1), 3));
  Ids ids{l, ref, cad::ObjectId(), circle};
  ExplodeBlockRefs(ids);
  ASSERT_EQ(ids.size(), 5u);
  EXPECT_EQ((Ids{ids[0], ids[1], ids[2]}), (Ids{l, cad::ObjectId(), circle}));
  const Point3d starts[] = {{100, 0}, {100, 5}};
  for (int i = 0; i < 2; ++i) {
    cad::ObjectPtr<cad::Line> part(ids[3 + i], cad::OpenMode::ForRead);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->start(), starts[i]);
    EXPECT_EQ(part->layer(), L"块内");
    EXPECT_EQ(part->ownerId(), db().modelSpaceId());
  }
  EXPECT_FALSE(ref.isErased());
  EXPECT_EQ(db().modelSpaceEntities().size(), 5u);
}

TEST(EndPoints, NearestAndFarthestPairs) {
  struct Case {
    const char* name;
    Point3d as, ae, bs, be;
    Point3d nearA, nearB, farFirst, farSecond;
  };
  const Case cases[] = {
      {"shared end", {0, 0}, {10, 0}, {10, 0}, {10, 20}, {10, 0}, {10, 0}, {0, 0}, {10, 20}},
      {"overlapping collinear", {0, 0}, {10, 0}, {5, 0}, {20, 0}, {0, 0}, {5, 0}, {0, 0}, {20, 0}},
      {"one segment longest", {0, 0}, {100, 0}, {40, 1}, {60, 1}, {0, 0}, {40, 1}, {0, 0}, {100, 0}},
      {"ties keep the earlier pair", {0, 0}, {10, 0}, {0, 5}, {10, 5}, {0, 0}, {0, 5}, {0, 0}, {10, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Point3d a, b;
    NearestEndPoints(c.as, c.ae, c.bs, c.be, a, b);
    EXPECT_EQ(a, c.nearA);
    EXPECT_EQ(b, c.nearB);
    FarthestEndPoints(c.as, c.ae, c.bs, c.be, a, b);
    EXPECT_EQ(a, c.farFirst);
    EXPECT_EQ(b, c.farSecond);
  }
  // The outputs may be the inputs themselves.
  Point3d as{0, 0}, ae{10, 0}, bs{12, 0}, be{30, 0};
  NearestEndPoints(as, ae, bs, be, as, bs);
  EXPECT_EQ(as, Point3d(10, 0));
  EXPECT_EQ(bs, Point3d(12, 0));
}

}  // namespace
