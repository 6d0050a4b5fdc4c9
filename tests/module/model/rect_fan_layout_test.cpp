// Rectangle and fan layouts: the grid positions, the fan's rows made by the
// host's polar array, refused parameters, and Escape between the steps.
#include "module/model/rect_fan_layout.h"

#include <numbers>

#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;
using namespace palette_ids;

class AreaLayouts : public PointEngines {};

TEST_F(AreaLayouts, RectangleOfThreeByFourFillsTheBox) {
  typeInto(kRectRows, L"3");
  typeInto(kRectColumns, L"4");
  point({0, 0, 0});
  point({6000, 8000, 0});
  // A second rectangle with margins that leave nothing: refused, nothing more.
  typeInto(kRectHorizontalMargin, L"5000");
  point({10000, 0, 0});
  point({19999, 6000, 0});
  // Escape at the other corner of a third: nothing of it.
  point({30000, 0, 0});
  push(TokenKind::Escape);
  push(TokenKind::Escape);
  LayPointGjRect(L"矩形布灯具");
  const auto got = placed(L"灯具");
  ASSERT_EQ(got.size(), 12u);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      const auto& p = got[size_t(r * 4 + c)];
      EXPECT_NEAR(p.position.x, c * 2000.0, 1e-6);
      EXPECT_NEAR(p.position.y, r * 4000.0, 1e-6);
      EXPECT_EQ(p.rotation, 0);
      EXPECT_EQ(p.elevation, 2000);
      EXPECT_EQ(p.number, L"D1");
    }
  EXPECT_TRUE(messageShown(kRectMarginsTooLarge));
  EXPECT_EQ(g_dlgRect, nullptr) << "the palette closes with the command";
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(AreaLayouts, GridPositionsWithMarginsAndSingleRowsOrColumns) {
  std::vector<Point3d> pts;
  ASSERT_TRUE(RectGridPositions({10000, 6000, 0}, {0, 0, 0}, 5, 5, 500, 300, pts));
  ASSERT_EQ(pts.size(), 25u);
  EXPECT_EQ(pts[1], Point3d(2750, 300, 0));
  EXPECT_EQ(pts[5], Point3d(500, 1650, 0));
  ASSERT_TRUE(RectGridPositions({0, 0, 0}, {1000, 1000, 0}, 2, 1, 0, 0, pts));
  EXPECT_EQ(pts, (std::vector<Point3d>{{0, 0, 0}, {0, 1000, 0}}));
  EXPECT_FALSE(RectGridPositions({0, 0, 0}, {9999, 6000, 0}, 5, 5, 5000, 0, pts));
}

TEST_F(AreaLayouts, FanOfFiveOverNinetyDegrees) {
  typeInto(kFanRows, L"1");
  typeInto(kFanFirstRowCount, L"5");
  const double r = 5000, h = r * std::sqrt(0.5);
  point({r, 0, 0});
  point({0, r, 0});
  point({h, h, 0});
  point({1000, 1000, 0});
  push(TokenKind::Escape);
  LayPointGjFan(L"扇形布灯具");
  auto got = placed(L"灯具");
  ASSERT_EQ(got.size(), 5u);
  std::sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return a.position.x > b.position.x; });
  for (int i = 0; i < 5; ++i) {
    const double a = i * 22.5 * std::numbers::pi / 180;
    EXPECT_NEAR(got[size_t(i)].position.x, r * std::cos(a), 0.01) << i;
    EXPECT_NEAR(got[size_t(i)].position.y, r * std::sin(a), 0.01) << i;
    EXPECT_NEAR(got[size_t(i)].rotation, a, 1e-6) << i;
    EXPECT_EQ(got[size_t(i)].elevation, 2000);
    EXPECT_EQ(got[size_t(i)].number, L"D1");
  }
  EXPECT_EQ(g_dlgFan, nullptr);
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
}

TEST_F(AreaLayouts, FanRowsShrinkTowardsTheSmallArc) {
  // Defaults: 5 rows of 8, 7, 6, 5 and 4 components; the small arc at
  // radius 1000 puts the rows 1000 apart.
  point({5000, 0, 0});
  point({-5000, 0, 0});
  point({0, 5000, 0});
  point({0, 1000, 0});
  push(TokenKind::Escape);
  LayPointGjFan(L"扇形布灯具");
  const auto got = placed(L"灯具");
  ASSERT_EQ(got.size(), 30u);
  std::map<long, int> perRadius;
  for (const auto& p : got) ++perRadius[std::lround(std::hypot(p.position.x, p.position.y))];
  EXPECT_EQ(perRadius, (std::map<long, int>{{5000, 8}, {4000, 7}, {3000, 6}, {2000, 5}, {1000, 4}}));
}

TEST_F(AreaLayouts, FanParametersLeavingAnEmptyRowAreRefused) {
  typeInto(kFanRows, L"9");
  point({5000, 0, 0});
  point({0, 5000, 0});
  point({3535, 3535, 0});
  point({1000, 1000, 0});
  LayPointGjFan(L"扇形布灯具");
  EXPECT_TRUE(messageShown(kFanBadParameters));
  EXPECT_TRUE(placed(L"灯具").empty());
  EXPECT_EQ(entityCount(), 0);
}

TEST_F(AreaLayouts, ThreePointArcBulge) {
  EXPECT_NEAR(GetThreePointArcBulge({1, 0, 0}, {0, 1, 0}, {-1, 0, 0}), 1, 1e-12);
  EXPECT_NEAR(GetThreePointArcBulge({-1, 0, 0}, {0, 1, 0}, {1, 0, 0}), -1, 1e-12);
  const double h = std::sqrt(0.5);
  EXPECT_NEAR(GetThreePointArcBulge({1, 0, 0}, {h, h, 0}, {0, 1, 0}), std::tan(std::numbers::pi / 8), 1e-12);
  EXPECT_EQ(GetThreePointArcBulge({0, 0, 0}, {1, 1, 0}, {2, 2, 0}), 0);
}

TEST_F(AreaLayouts, PreviewDrawsTheFanWithTheSmallArcThroughTheCursor) {
  g_fanPreviewPoints = {{5000, 0}, {0, 5000}, {3535.53, 3535.53}};
  CFanLayoutMonitor monitor;
  ed::InputPointContext ctx;
  ctx.computedPoint = Point3d(2000, 2000, 0);
  ed::ViewportDraw draw;
  bool append = false;
  std::wstring tip;
  monitor.monitorInputPoint(ctx, draw, append, tip);
  ASSERT_EQ(draw.calls().size(), 4u);
  // The first line runs from P1 to the small arc's end on P1-O.
  const double d = std::hypot(2000, 2000);
  EXPECT_NEAR(draw.calls()[0].pts.back().x, d, 0.05);
  g_fanPreviewPoints.clear();
}

}  // namespace
