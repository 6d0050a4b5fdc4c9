// Point components on a picked run: the elevation on level and sloped runs,
// the service pipe, the rotation in plan, risers, and Escape at the base
// point.
#include "module/model/pipe_point_gj.h"

#include "module/model/point_layout.h"
#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;

class OnPipe : public PointEngines {
 protected:
  void SetUp() override {
    PointEngines::SetUp();
    if (IsSkipped()) return;
    show(L"阀门", L"F1");
  }
  // Risers (block references) of the run type with their two elevations.
  std::vector<std::pair<double, double>> risers() {
    std::vector<std::pair<double, double>> out;
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
      if (!r || r->layer() != L"给水管") continue;
      r.close();
      std::wstring kind;
      double a = 0, b = 0;
      GetGjSpecial(id, &kind, &a, &b);
      if (kind == kGjKindRiser) out.emplace_back(a, b);
    }
    return out;
  }
};

TEST_F(OnPipe, ElevationOnTheRunOrTypedWithAServicePipe) {
  struct Case {
    const char* what;
    Point3d start, end;
    double typed;
    int servicePipe;
    double elevation;
    std::vector<std::pair<double, double>> risers;
  } cases[] = {
      {"level, switch off", {0, 0, 3000}, {10000, 0, 3000}, 2200, 0, 3000, {}},
      {"level, switch on", {0, 0, 3000}, {10000, 0, 3000}, 2200, 1, 2200, {{3000, 2200}}},
      {"sloped, switch off", {0, 0, 3000}, {10000, 0, 2000}, 0, 0, 2750, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const cad::ObjectId pipe = run(L"给水管", L"JL-1", c.start, c.end);
    typeInWindow(c.typed, c.servicePipe, 2);
    pick(pipe);
    point({2500, 300, 0});  // held on the run
    push(TokenKind::Escape);
    LayPointGjOnPipe(L"", L"给水管");
    const auto got = placed(L"阀门");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0].position.x, 2500, 1e-6);
    EXPECT_NEAR(got[0].position.y, 0, 1e-6);
    EXPECT_NEAR(got[0].elevation, c.elevation, 0.05);
    EXPECT_NEAR(got[0].rotation, 0, 1e-9) << "turned in plan, not tilted";
    EXPECT_EQ(risers(), c.risers);
    EXPECT_FALSE(suiteWindowOpen());
    EXPECT_EQ(openTransactions(), 0);
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) EraseEntity(id);
  }
}

TEST_F(OnPipe, RotationReadsUpright) {
  struct Case {
    Point3d end;
    double rotation;
  } cases[] = {{{-10000, 0, 0}, 2 * 3.14159265}, {{0, 10000, 0}, 1.570796325 + 3.14159265},
               {{0, -10000, 0}, 3 * 3.14159265358979 / 2}};
  for (const Case& c : cases) {
    const cad::ObjectId pipe = run(L"给水管", L"JL-1", {0, 0, 3000}, {c.end.x, c.end.y, 3000});
    typeInWindow(0, 0, 2);
    pick(pipe);
    point({c.end.x / 2, c.end.y / 2, 0});
    push(TokenKind::Escape);
    LayPointGjOnPipe(L"", L"给水管");
    const auto got = placed(L"阀门");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0].rotation, c.rotation, 1e-6);
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) EraseEntity(id);
  }
}

TEST_F(OnPipe, OnARiserTheElevationIsConfirmed) {
  const cad::ObjectId riser = run(L"给水管", L"JL-1", {500, 500, 0}, {500, 500, 3000});
  typeInWindow(1500);
  pick(riser);
  push(TokenKind::Escape);
  LayPointGjOnPipe(L"", L"给水管");
  auto got = placed(L"阀门");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].position, Point3d(500, 500, 0));
  EXPECT_EQ(got[0].elevation, 1500);
  EXPECT_EQ(got[0].direction, geom::Vector3d(0, 0, 1));

  // A faucet gets no direction.
  EraseEntity(got[0].id);
  show(L"普通水嘴", L"S1");
  typeInWindow(1200);
  pick(riser);
  push(TokenKind::Escape);
  LayPointGjOnPipe(L"", L"给水管");
  got = placed(L"普通水嘴");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].direction, geom::Vector3d(0, 0, 0));
}

TEST_F(OnPipe, EscapeAtTheBasePointPlacesNothing) {
  const cad::ObjectId pipe = run(L"给水管", L"JL-1", {0, 0, 3000}, {10000, 0, 3000});
  const int before = entityCount();
  pick(pipe);
  push(TokenKind::Escape);  // base point
  push(TokenKind::Escape);  // pick
  LayPointGjOnPipe(L"", L"给水管");
  EXPECT_EQ(entityCount(), before);
  EXPECT_FALSE(suiteWindowOpen());
  EXPECT_EQ(ed::curDoc()->inputPointManager().currentPointFilter(), nullptr);
  EXPECT_TRUE(ed::curDoc()->inputPointManager().monitors().empty());
}

TEST_F(OnPipe, FilterHoldsTheCursorOnTheRun) {
  CInputPointFilter filter({0, 0, 0}, {1000, 0, 0});
  ed::InputPointContext ctx;
  ctx.computedPoint = Point3d(300, 250, 0);
  bool changed = false, glyph = false;
  Point3d out;
  std::wstring tip;
  filter.processInputPoint(ctx, changed, out, glyph, tip);
  EXPECT_TRUE(changed);
  EXPECT_EQ(out, Point3d(300, 0, 0));
  ctx.computedPoint = Point3d(1500, 0, 0);
  filter.processInputPoint(ctx, changed, out, glyph, tip);
  EXPECT_EQ(out, Point3d(1000, 0, 0));
}

}  // namespace
