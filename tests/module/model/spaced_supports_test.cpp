// Supports along a picked run at a spacing: positions, rotations and
// elevations, the default spacing, and the spacings that place nothing.
#include "module/model/spaced_supports.h"

#include "platform/editor/cmdline.h"
#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;

class Supports : public PointEngines {
 protected:
  void SetUp() override {
    PointEngines::SetUp();
    if (IsSkipped()) return;
    show(L"支架", L"ZJ1");
  }
};

TEST_F(Supports, SpacedAlongTheRunAtItsElevation) {
  const double kPi = 3.14159265;
  struct Case {
    const char* what;
    Point3d start, end;
    const wchar_t* spacing;  // null: Enter
    std::vector<double> xs;  // plan x of the supports (or y for a vertical-in-plan run)
    double rotation;
    std::vector<double> elevations;
  } cases[] = {
      {"level, left to right", {0, 0, 3000}, {10000, 0, 3000}, L"2500", {2500, 5000, 7500, 10000}, 0,
       {3000, 3000, 3000, 3000}},
      {"Enter takes 2500", {0, 0, 3000}, {10000, 0, 3000}, nullptr, {2500, 5000, 7500, 10000}, 0,
       {3000, 3000, 3000, 3000}},
      {"right to left", {10000, 0, 3000}, {0, 0, 3000}, L"5000", {5000, 0}, kPi + kPi, {3000, 3000}},
      {"sloping", {0, 0, 3000}, {10000, 0, 2000}, L"2500", {2500, 5000, 7500, 10000}, 0,
       {2750, 2500, 2250, 2000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const cad::ObjectId pipe = run(L"给水管", L"JL-1", c.start, c.end);
    pick(pipe);
    if (c.spacing) word(c.spacing); else push(TokenKind::Enter);
    LaySupportsOnPipe(L"给水管", L"");
    const auto got = placed(L"支架");
    ASSERT_EQ(got.size(), c.xs.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i].position.x, c.xs[i], 1e-6);
      EXPECT_NEAR(got[i].position.z, 0, 1e-9);
      EXPECT_NEAR(got[i].rotation, c.rotation, 1e-6);
      EXPECT_NEAR(got[i].elevation, c.elevations[i], 0.05);
      EXPECT_EQ(got[i].number, L"ZJ1");
    }
    EXPECT_EQ(openTransactions(), 0);
    for (const auto& p : got) EraseEntity(p.id);
    EraseEntity(pipe);
  }
}

TEST_F(Supports, BottomToTopRunTurnsThreeQuarters) {
  pick(run(L"给水管", L"JL-1", {0, 0, 3000}, {0, 5000, 3000}));
  word(L"2500");
  LaySupportsOnPipe(L"给水管", L"");
  const auto got = placed(L"支架");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(got[0].rotation, 1.570796325 + 3.14159265, 1e-6);
}

TEST_F(Supports, ArcRunTurnsEachSupportAlongItsTangent) {
  // A half circle of radius 5000 about the origin, from (5000,0) through (0,5000).
  pick(run(L"给水管", L"JL-1", {5000, 0, 3000}, {-5000, 0, 3000}, 1.0));
  const double quarter = 3.14159265358979 * 5000 / 2;
  word(std::to_wstring(quarter));
  LaySupportsOnPipe(L"给水管", L"");
  const auto got = placed(L"支架");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(got[0].position.x, 0, 1e-3);
  EXPECT_NEAR(got[0].position.y, 5000, 1e-3);
  // The tangent at the top points along -X: turned upright to 0 (2 pi).
  EXPECT_NEAR(std::fmod(got[0].rotation, 2 * 3.14159265), 0, 1e-6);
}

TEST_F(Supports, SpacingsThatPlaceNothing) {
  const cad::ObjectId pipe = run(L"给水管", L"JL-1", {0, 0, 3000}, {10000, 0, 3000});
  const int before = entityCount();
  // Longer than the run: the message, nothing placed.
  pick(pipe);
  word(L"12000");
  LaySupportsOnPipe(L"给水管", L"");
  EXPECT_TRUE(messageShown(kSupportSpacingTooLarge));
  EXPECT_EQ(entityCount(), before);
  // 0, a negative value and a word are refused and asked again; Escape then
  // ends the command with nothing placed.
  pick(pipe);
  word(L"0");
  word(L"-2500");
  word(L"abc");
  push(TokenKind::Escape);
  LaySupportsOnPipe(L"给水管", L"");
  EXPECT_EQ(entityCount(), before);
  EXPECT_NE(ed::transcript().find(L"支架间距必须大于0"), std::wstring::npos);
  EXPECT_EQ(openTransactions(), 0);
  // A picked component that is not a curve (a riser block): nothing.
  pick(run(L"给水管", L"JL-1", {0, 0, 0}, {0, 0, 3000}));
  word(L"1000");
  LaySupportsOnPipe(L"给水管", L"");
  EXPECT_TRUE(placed(L"支架").empty());
}

}  // namespace
