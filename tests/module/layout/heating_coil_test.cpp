// Floor-heating coils: rectangle spirals and coils along a drawn path laid by
// scripted input, their data, their refusals and their rebuild.
#include "module/layout/heating_coil.h"

#include <gtest/gtest.h>

#include "module/layout/layout_commands.h"
#include "module/layout/rebuild_gj.h"
#include "module/toolkit/strings.h"
#include "tests/module/layout/rebuild_fixture.h"

namespace {

using geom::Point3d;
using rebuildtest::RebuildSandbox;

const std::wstring kCoil = L"地暖盘管";
const std::wstring kFigureLayer = L"地暖盘管边线";
const std::wstring kLabelLayer = L"地暖盘管名";

// ---------------------------------------------------------------------------
// The spiral
// ---------------------------------------------------------------------------

struct SpiralCase {
  Point3d a, b;
  std::vector<Point3d> expected;
};

TEST(CoilSpiral, VerticesRunInwardAndStayInTheirRectangle) {
  const SpiralCase cases[] = {
      {{0, 0, 0},
       {1000, 800, 0},
       {{0, 0, 0}, {1000, 0, 0}, {1000, 800, 0}, {100, 800, 0}, {100, 100, 0}, {900, 100, 0}, {900, 700, 0},
        {200, 700, 0}, {200, 200, 0}, {800, 200, 0}, {800, 600, 0}, {300, 600, 0}, {300, 300, 0}, {700, 300, 0},
        {700, 500, 0}, {400, 500, 0}, {400, 400, 0}}},
      {{0, 0, 0}, {150, 150, 0}, {{0, 0, 0}, {150, 0, 0}, {150, 150, 0}, {100, 150, 0}, {100, 100, 0}}},
      {{0, 0, 0},
       {500, 500, 0},
       {{0, 0, 0}, {500, 0, 0}, {500, 500, 0}, {100, 500, 0}, {100, 100, 0}, {400, 100, 0}, {400, 400, 0},
        {200, 400, 0}, {200, 200, 0}}},
      // A side below the spacing: the pass stops instead of turning out of
      // the rectangle (to (100, 100) for a 50 high one).
      {{0, 0, 0}, {1000, 50, 0}, {{0, 0, 0}, {1000, 0, 0}, {1000, 50, 0}, {100, 50, 0}}},
      {{0, 0, 0}, {100, 1000, 0}, {{0, 0, 0}, {100, 0, 0}, {100, 1000, 0}}},
  };
  for (const auto& c : cases) {
    const PointList got = CoilSpiralVertices(c.a, c.b);
    ASSERT_EQ(got.size(), c.expected.size()) << c.b.x << "x" << c.b.y;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].x, c.expected[i].x, 1e-9) << c.b.x << "x" << c.b.y << " vertex " << i;
      EXPECT_NEAR(got[i].y, c.expected[i].y, 1e-9) << c.b.x << "x" << c.b.y << " vertex " << i;
      EXPECT_GE(got[i].y, std::min(c.a.y, c.b.y));
      EXPECT_LE(got[i].y, std::max(c.a.y, c.b.y));
    }
  }
}

// ---------------------------------------------------------------------------
// Rectangle coils
// ---------------------------------------------------------------------------

class CoilTest : public RebuildSandbox {
 protected:
  // A coil by the Coil command, the corners in the order given.
  cad::ObjectId layRect(const Point3d& first, const Point3d& second) {
    const auto before = onLayer(kCoil);
    points({first, second});
    escape();
    CmdCoil();
    const auto after = onLayer(kCoil);
    return after.size() > before.size() ? after.back() : cad::ObjectId();
  }
  // The figure and label of a coil.
  std::vector<cad::ObjectId> decorationsOf(cad::ObjectId coil, const std::wstring& layer) {
    std::vector<cad::ObjectId> out;
    const std::wstring handle = GetHandleText(coil);
    for (cad::ObjectId id : onLayer(layer)) {
      StringArray attrs = attrsOf(id);
      if (attrs.size() == 1 && attrs.front() == handle) out.push_back(id);
    }
    return out;
  }
  // A line or polyline drawn by hand.
  cad::ObjectId drawn(const PointList& pts, const BulgeList& bulges = {}, bool closed = false) {
    return AddPolyline(pts, bulges, closed, 0, L"0", nullptr);
  }
};

TEST_F(CoilTest, RectangleCoilHasItsSpiralLabelBlockAndAreaData) {
  typeInWindow(0);
  const cad::ObjectId coil = layRect({0, 0, 0}, {1000, 800, 0});
  ASSERT_FALSE(coil.isNull());
  EXPECT_FALSE(windowOpen());

  const Point3d at = positionOf(coil);
  EXPECT_EQ(at, Point3d(500, 400, 0));
  EXPECT_EQ(blockOf(coil), L"地暖盘管_DN1");
  const StringArray attrs = attrsOf(coil);
  ASSERT_EQ(attrs.size(), 2u);
  EXPECT_EQ(attrs[0], GetHandleText(coil));
  EXPECT_EQ(attrs[1], L"主键");
  EXPECT_EQ(xdata(coil, kXdataFloorHeating),
            (StringArray{L"起点=0.000000,0.000000,0.000000", L"终点=1000.000000,800.000000,0.000000"}));

  const auto figures = decorationsOf(coil, kFigureLayer);
  ASSERT_EQ(figures.size(), 1u);
  const auto pts = vertices(figures[0]);
  const PointList spiral = CoilSpiralVertices({0, 0, 0}, {1000, 800, 0});
  ASSERT_EQ(pts.size(), spiral.size() + 1);  // read back closed: the first vertex again
  for (size_t i = 0; i < spiral.size(); ++i) EXPECT_EQ(Point3d(pts[i].x, pts[i].y, 0), spiral[i]) << i;
  {
    cad::ObjectPtr<cad::Polyline> pl(figures[0], cad::OpenMode::ForRead);
    ASSERT_TRUE(pl);
    EXPECT_TRUE(pl->isClosed());
    double w = 0;
    EXPECT_EQ(pl->getConstantWidth(w), cad::Status::Ok);
    EXPECT_DOUBLE_EQ(w, 2.0);
  }
  const auto labels = decorationsOf(coil, kLabelLayer);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(textOf(labels[0]), L"DN1");
  EXPECT_EQ(positionOf(labels[0]), Point3d(500, 400, 0));
  EXPECT_EQ(xdata(labels[0], kXdataNumber), StringArray{L"DN1"});
}

TEST_F(CoilTest, CornersAreOrderedAndTheElevationGoesIntoTheData) {
  typeInWindow(2750.04);
  const cad::ObjectId coil = layRect({1000, 800, 0}, {0, 0, 0});
  ASSERT_FALSE(coil.isNull());
  EXPECT_EQ(positionOf(coil), Point3d(500, 400, 0));
  EXPECT_EQ(xdata(coil, kXdataFloorHeating),
            (StringArray{L"起点=0.000000,0.000000,2750.000000", L"终点=1000.000000,800.000000,2750.000000"}));
  double elev = 0;
  GetPointGjSpecial(coil, nullptr, &elev, nullptr);
  EXPECT_DOUBLE_EQ(elev, 2750.0);
  // The figure in plan does not change with the elevation.
  const auto figures = decorationsOf(coil, kFigureLayer);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(vertices(figures[0]).size(), 18u);
}

TEST_F(CoilTest, TheWindowOpensWithTheBaseElevationOfTheNumber) {
  points({{0, 0, 0}, {300, 300, 0}});
  escape();
  CmdCoil();
  const auto coils = onLayer(kCoil);
  ASSERT_EQ(coils.size(), 1u);
  double elev = 0;
  GetPointGjSpecial(coils[0], nullptr, &elev, nullptr);
  EXPECT_DOUBLE_EQ(elev, 50.0);
}

TEST_F(CoilTest, EscapeAtEitherCornerLeavesTheDrawingAsItWas) {
  const int before = entityCount();
  // Escape at the second corner goes back to the first; Escape there ends.
  point({0, 0, 0});
  escape();
  escape();
  CmdCoil();
  EXPECT_EQ(entityCount(), before);
  EXPECT_FALSE(windowOpen());
  EXPECT_FALSE(GetLayerFlags(kCoil, nullptr, nullptr, nullptr, nullptr));
  // Coils finished before an Escape stay, whole.
  points({{0, 0, 0}, {500, 500, 0}, {2000, 0, 0}});
  escape();
  escape();
  CmdCoil();
  EXPECT_EQ(onLayer(kCoil).size(), 1u);
  EXPECT_EQ(onLayer(kFigureLayer).size(), 1u);
  EXPECT_EQ(onLayer(kLabelLayer).size(), 1u);
}

TEST_F(CoilTest, ABaseElevationThatIsNoNumberIsRefusedWithAMessage) {
  show(kCoil, L"DN2");
  const int before = entityCount();
  const size_t mark = ed::transcriptMark();
  points({{0, 0, 0}, {500, 500, 0}});
  escape();
  CmdCoil();
  EXPECT_EQ(entityCount(), before);
  EXPECT_NE(ed::transcriptSince(mark).find(L"abc"), std::wstring::npos) << ed::transcriptSince(mark);
  EXPECT_FALSE(windowOpen());
  ed::inputQueue().clear();
}

TEST_F(CoilTest, ARepeatedCoilIsRefused) {
  ASSERT_FALSE(layRect({0, 0, 0}, {1000, 800, 0}).isNull());
  const size_t mark = ed::transcriptMark();
  layRect({0, 0, 0}, {1000, 800, 0});
  EXPECT_NE(ed::transcriptSince(mark).find(L"输入重复"), std::wstring::npos);
  EXPECT_EQ(onLayer(kCoil).size(), 1u);
  EXPECT_EQ(onLayer(kFigureLayer).size(), 1u);
}

TEST_F(CoilTest, CoilBlocksAreNotSharedWithOtherKindsOfTheSameNumber) {
  // A riser of the number "DN1" draws a point into its block.
  cad::ObjectId riser;
  CreateLinearGjEntity(riser, L"给水管", L"DN1", {0, 0, 0}, {0, 0, 3000}, 0, 1);
  ASSERT_FALSE(riser.isNull());
  const cad::ObjectId coil = layRect({0, 0, 0}, {1000, 800, 0});
  ASSERT_FALSE(coil.isNull());
  EXPECT_NE(blockOf(coil), blockOf(riser));
  cad::ObjectPtr<cad::BlockRecord> block(db().blockId(blockOf(coil)), cad::OpenMode::ForRead);
  ASSERT_TRUE(block);
  EXPECT_TRUE(block->entityIds().empty());
}

// ---------------------------------------------------------------------------
// Coils along a path
// ---------------------------------------------------------------------------

TEST_F(CoilTest, APolylineTouchingNothingBecomesACoilAlongIt) {
  const cad::ObjectId pl = drawn({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}});
  const size_t mark = ed::transcriptMark();
  pick(pl);
  CmdLineToCoil();
  const std::wstring said = ed::transcriptSince(mark);
  size_t first = said.find(L"搜索实体太多或者只有本身实体!");
  ASSERT_NE(first, std::wstring::npos);
  EXPECT_NE(said.find(L"搜索实体太多或者只有本身实体!", first + 1), std::wstring::npos);

  const auto coils = onLayer(kCoil);
  ASSERT_EQ(coils.size(), 1u);
  EXPECT_EQ(positionOf(coils[0]), Point3d(0, 0, 0));
  const StringArray area = xdata(coils[0], kXdataFloorHeating);
  ASSERT_GE(area.size(), 2u);
  EXPECT_EQ(area[0], L"起点=0.000000,0.000000,0.000000");
  EXPECT_EQ(area[1], L"终点=1000.000000,1000.000000,0.000000");  // the third vertex
  const auto figures = decorationsOf(coils[0], kFigureLayer);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(vertices(figures[0]), vertices(pl));
  const auto labels = decorationsOf(coils[0], kLabelLayer);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(positionOf(labels[0]), Point3d(1000, 1000, 0));  // vertex 4 / 2
}

TEST_F(CoilTest, ALineTouchingAPolylineIsFollowedByAllItsVertices) {
  const cad::ObjectId line = AddLine({-500, 0, 0}, {0, 0, 0}, L"0", nullptr);
  // Drawn towards the line, with an arc: taken against its direction, the arc
  // keeps its shape.
  drawn({{1000, 500, 0}, {1000, 0, 0}, {0, 0, 0}}, {0.5, 0});
  pick(line);
  CmdLineToCoil();
  const auto coils = onLayer(kCoil);
  ASSERT_EQ(coils.size(), 1u);
  const auto figures = decorationsOf(coils[0], kFigureLayer);
  ASSERT_EQ(figures.size(), 1u);
  const auto pts = vertices(figures[0]);
  const std::vector<Point3d> expected{{-500, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1000, 0, 0}, {1000, 500, 0}};
  EXPECT_EQ(pts, expected);
  const BulgeList bulges = bulgesOf(figures[0]);
  ASSERT_GE(bulges.size(), 4u);
  EXPECT_DOUBLE_EQ(bulges[3], -0.5);
  EXPECT_EQ(xdata(coils[0], kXdataFloorHeating)[1], L"终点=0.000000,0.000000,0.000000");
}

TEST_F(CoilTest, AClosedChainIsRefusedAndNothingIsMade) {
  const cad::ObjectId square = drawn({{0, 0, 0}, {500, 0, 0}, {500, 500, 0}, {0, 500, 0}}, {}, true);
  const int before = entityCount();
  const size_t mark = ed::transcriptMark();
  pick(square);
  CmdLineToCoil();
  EXPECT_NE(ed::transcriptSince(mark).find(L"封闭多段线,不能处理!"), std::wstring::npos);
  EXPECT_EQ(entityCount(), before);

  // Two open polylines closing a ring between them.
  const cad::ObjectId a = drawn({{2000, 0, 0}, {2500, 0, 0}, {2500, 500, 0}});
  drawn({{2500, 500, 0}, {2000, 500, 0}, {2000, 0, 0}});
  const int before2 = entityCount();
  pick(a);
  CmdLineToCoil();
  EXPECT_EQ(entityCount(), before2);
}

TEST_F(CoilTest, EscapeAtThePickOrAPickOfAnotherKindMakesNothing) {
  const int before = entityCount();
  escape();
  CmdLineToCoil();
  const cad::ObjectId text = AddText({0, 0, 0}, L"x", 100, 0, 1, L"0", nullptr);
  pick(text);
  CmdLineToCoil();
  EXPECT_EQ(entityCount(), before + 1);
}

// ---------------------------------------------------------------------------
// Rebuild
// ---------------------------------------------------------------------------

TEST_F(CoilTest, RebuildRedrawsEveryCoilAndRemovesTheOldFigures) {
  const cad::ObjectId rect = layRect({0, 0, 0}, {1000, 800, 0});
  const cad::ObjectId pl = drawn({{3000, 0, 0}, {4000, 0, 0}, {4000, 1000, 0}}, {0.25, 0});
  pick(pl);
  CmdLineToCoil();
  const auto coils = onLayer(kCoil);
  ASSERT_EQ(coils.size(), 2u);
  const cad::ObjectId path = coils[1];
  const auto oldFigures = onLayer(kFigureLayer);
  const auto oldLabels = onLayer(kLabelLayer);
  const auto pathFigureBefore = vertices(decorationsOf(path, kFigureLayer).at(0));
  // A stray entity on the label layer goes too.
  AddText({0, 0, 0}, L"stray", 80, 0, 1, kLabelLayer, nullptr);

  RebuildCoilGj(kCoil, L"", {});
  EXPECT_EQ(onLayer(kCoil), coils);
  for (cad::ObjectId id : oldFigures) EXPECT_FALSE(alive(id));
  for (cad::ObjectId id : oldLabels) EXPECT_FALSE(alive(id));
  EXPECT_EQ(onLayer(kFigureLayer).size(), 2u);
  EXPECT_EQ(onLayer(kLabelLayer).size(), 2u);
  EXPECT_EQ(vertices(decorationsOf(rect, kFigureLayer).at(0)).size(), 18u);
  // The path coil is redrawn along its path, arc included, not as a spiral.
  const cad::ObjectId pathFigure = decorationsOf(path, kFigureLayer).at(0);
  EXPECT_EQ(vertices(pathFigure), pathFigureBefore);
  EXPECT_DOUBLE_EQ(bulgesOf(pathFigure).at(0), 0.25);
  EXPECT_TRUE(g_checkGjOverlap == 1);
}

TEST_F(CoilTest, RebuildKeepsCoilsThatStandOnEachOther) {
  layRect({0, 0, 0}, {1000, 800, 0});
  // A second coil laid over the first one with the check off (as a copy
  // would be).
  g_checkGjOverlap = 0;
  layRect({0, 0, 0}, {1000, 800, 0});
  g_checkGjOverlap = 1;
  ASSERT_EQ(onLayer(kCoil).size(), 2u);
  RebuildCoilGj(kCoil, L"", {});
  EXPECT_EQ(onLayer(kCoil).size(), 2u);
  EXPECT_EQ(onLayer(kFigureLayer).size(), 2u);
}

TEST_F(CoilTest, ACoilWithUnreadableCornersKeepsItsOldFigure) {
  const cad::ObjectId good = layRect({0, 0, 0}, {1000, 800, 0});
  const cad::ObjectId bad = layRect({2000, 0, 0}, {2500, 500, 0});
  const cad::ObjectId badFigure = decorationsOf(bad, kFigureLayer).at(0);
  ClearXdata(bad, kXdataFloorHeating);
  StringArray broken{L"起点=2000,0", L"终点=2500.0,500.0,0.0"};
  SetXdataLines(bad, kXdataFloorHeating, broken, nullptr);
  const size_t mark = ed::transcriptMark();
  RebuildCoilGj(kCoil, L"", {});
  EXPECT_NE(ed::transcriptSince(mark).find(L"区域数据无法读取"), std::wstring::npos);
  EXPECT_TRUE(alive(badFigure));
  EXPECT_EQ(decorationsOf(bad, kFigureLayer).size(), 1u);
  // The other coil is not drawn with the broken one's corners or vice versa.
  EXPECT_EQ(vertices(decorationsOf(good, kFigureLayer).at(0)).size(), 18u);
}

TEST_F(CoilTest, APathCoilStoredWithoutItsPathKeepsItsFigure) {
  // As drawings made before the path was kept hold it: the corners only.
  pick(drawn({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}}));
  CmdLineToCoil();
  const auto coils = onLayer(kCoil);
  ASSERT_EQ(coils.size(), 1u);
  StringArray area = xdata(coils[0], kXdataFloorHeating);
  area.resize(2);
  ClearXdata(coils[0], kXdataFloorHeating);
  SetXdataLines(coils[0], kXdataFloorHeating, area, nullptr);
  const cad::ObjectId figure = decorationsOf(coils[0], kFigureLayer).at(0);
  const size_t mark = ed::transcriptMark();
  RebuildCoilGj(kCoil, L"", {});
  EXPECT_NE(ed::transcriptSince(mark).find(L"没有保存路径"), std::wstring::npos);
  EXPECT_TRUE(alive(figure));
  EXPECT_EQ(decorationsOf(coils[0], kFigureLayer).size(), 1u);
}

TEST_F(CoilTest, RebuildOfListedCoilsReplacesTheirDecorationsOnly) {
  const cad::ObjectId a = layRect({0, 0, 0}, {1000, 800, 0});
  const cad::ObjectId b = layRect({2000, 0, 0}, {2500, 500, 0});
  const cad::ObjectId bFigure = decorationsOf(b, kFigureLayer).at(0);
  const cad::ObjectId aFigure = decorationsOf(a, kFigureLayer).at(0);
  ASSERT_TRUE(RebuildGjByType(kCoil, L"", {a}));
  EXPECT_FALSE(alive(aFigure));
  EXPECT_EQ(decorationsOf(a, kFigureLayer).size(), 1u);
  EXPECT_EQ(decorationsOf(a, kLabelLayer).size(), 1u);
  EXPECT_TRUE(alive(bFigure));
  EXPECT_EQ(decorationsOf(b, kFigureLayer).size(), 1u);
}

}  // namespace
