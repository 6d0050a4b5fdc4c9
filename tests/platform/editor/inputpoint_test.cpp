#include "fixture.h"

using namespace edtest;

namespace {

struct Monitor : ed::InputPointMonitor {
  std::vector<ed::InputPointContext> seen;
  int excludeAsked = 0;
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& append,
                        std::wstring& tip) override {
    seen.push_back(ctx);
    draw.subEntityTraits().setColor(10);
    geom::Point3d pts[2] = {ctx.rawPoint, geom::Point3d(0, 0, 0)};
    draw.geometry().polyline(2, pts);
    append = true;
    tip = L"管线信息";
    return 0;
  }
  bool excludeFromOsnapCalculation(const std::vector<cad::ObjectId>&, int) override {
    ++excludeAsked;
    return true;
  }
};

// Moves every point onto y = 0 with z 0.
struct ClampFilter : ed::InputPointFilter {
  int calls = 0;
  int processInputPoint(const ed::InputPointContext& ctx, bool& changed, geom::Point3d& np, bool& glyph,
                        std::wstring&) override {
    ++calls;
    changed = true;
    np = geom::Point3d(ctx.computedPoint.x, 0, 0);
    glyph = true;
    return 0;
  }
};

class InputPoints : public EditorTest {};

TEST_F(InputPoints, MonitorsThenFilterForPointsAndHovers) {
  cad::ObjectId line = addLine(0, 0, 100, 0);
  auto& ipm = ed::curDoc()->inputPointManager();
  Monitor mon;
  ClampFilter filter, other;
  ASSERT_TRUE(ipm.addPointMonitor(&mon));
  ASSERT_TRUE(ipm.registerPointFilter(&filter));
  EXPECT_FALSE(ipm.registerPointFilter(&other));  // one slot
  EXPECT_EQ(ipm.currentPointFilter(), &filter);

  feed({hover(50, 2), hover(60, 200), point(70, 3, 9)});
  geom::Point3d p;
  ASSERT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(70, 0, 0));
  ASSERT_EQ(mon.seen.size(), 3u);
  EXPECT_FALSE(mon.seen[0].picking);
  ASSERT_EQ(mon.seen[0].apertureEntities.size(), 1u);  // the line is under the first hover
  EXPECT_EQ(mon.seen[0].apertureEntities[0], line);
  EXPECT_TRUE(mon.seen[1].apertureEntities.empty());
  EXPECT_TRUE(mon.seen[2].picking);
  EXPECT_EQ(filter.calls, 3);
  EXPECT_TRUE(ipm.lastOsnapGlyph());
  ASSERT_EQ(ipm.lastDraw().calls().size(), 2u);
  EXPECT_EQ(ipm.lastDraw().calls()[0].color, 10);
  EXPECT_EQ(ipm.lastDraw().calls()[1].kind, ed::DrawCall::Polyline);
  EXPECT_EQ(ipm.tooltips().size(), 3u);

  EXPECT_TRUE(ipm.revokePointFilter());
  EXPECT_EQ(ipm.currentPointFilter(), nullptr);
  EXPECT_TRUE(ipm.removePointMonitor(&mon));
  feed({point(5, 5)});
  ASSERT_EQ(ed::getPoint(nullptr, L"\n点:", p), ed::kNormal);
  EXPECT_EQ(p, geom::Point3d(5, 5, 0));
  EXPECT_EQ(mon.seen.size(), 3u);
}

TEST_F(InputPoints, MonitorMayExcludeTheSnapEntity) {
  auto& ipm = ed::curDoc()->inputPointManager();
  Monitor mon;
  ipm.addPointMonitor(&mon);
  ed::InputPointContext ctx;
  ctx.rawPoint = geom::Point3d(1, 1, 0);
  ctx.computedPoint = geom::Point3d(0, 0, 0);  // a snap target
  ctx.snapEntity = addLine(0, 0, 10, 0);
  geom::Point3d p = ipm.process(ctx);
  EXPECT_EQ(mon.excludeAsked, 1);
  EXPECT_EQ(p, geom::Point3d(1, 1, 0));  // the raw point, not the snap
  ipm.removePointMonitor(&mon);
}

}  // namespace
