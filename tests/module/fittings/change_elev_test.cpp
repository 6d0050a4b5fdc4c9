// KivChangeElev driven by scripted picks: a point component with its riser, a
// sloped run with the accessory on it, and the ways out that change nothing.
#include <gtest/gtest.h>

#include "module/fittings/fittings_commands.h"
#include "tests/module/fittings/pipe_fixture.h"

namespace {

using kivtest::Point3d;
using kivtest::Vector3d;

class ChangeElev : public kivtest::PipeSandbox {
 protected:
  // The window the command opens answers with these values.
  void windowAnswers(double v1, double v2, int count) {
    auto set = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
    ASSERT_NE(set, nullptr);
    set(v1, v2, 0, count);
  }
  // The primary entities on a layer.
  static cad::ObjectIdArray primariesOn(const std::wstring& layer) {
    cad::ObjectIdArray ids, out;
    CollectIdsByLayerAndNumber(layer, L"", ids, nullptr);
    FilterPrimaryGjIds(out, ids);
    return out;
  }
};

TEST_F(ChangeElev, APointComponentTakesItsRiserAlong) {
  const auto valve = pointGj(L"阀门", L"F1", {0, 0, 1000});
  pipe({100, 0, 1000}, {100, 0, 3000});
  const auto far = pipe({2000, 0, 1000}, {2000, 0, 3000}, L"J2");
  ed::setVar(L"SHORTCUTMENU", 7);
  windowAnswers(2000, 0, 1);
  pick(valve);
  enter();
  CmdKivChangeElev();

  double z = 0;
  GetPointGjSpecial(primariesOn(L"阀门").front(), nullptr, &z, nullptr);
  EXPECT_EQ(z, 2000);
  std::wstring number;
  StringArray attrs;
  int moved = 0;
  for (cad::ObjectId r : primariesOn(L"给水管")) {
    double s = 0, e = 0;
    GetGjSpecial(r, nullptr, &s, &e);
    GetGjNumberAndAttrs(r, number, attrs);
    if (number == L"J1") {
      EXPECT_EQ(s, 2000);
      EXPECT_EQ(e, 3000);
      ++moved;
    }
  }
  EXPECT_EQ(moved, 1);
  double s = 0, e = 0;
  GetGjSpecial(far, nullptr, &s, &e);
  EXPECT_EQ(s, 1000) << "a riser 2000 away stays";
  EXPECT_EQ(ed::getVarInt(L"SHORTCUTMENU"), 7) << "the user's setting comes back";
}

TEST_F(ChangeElev, ASlopedRunTakesTheAccessoryOnItAlongItsSlope) {
  struct Case {
    double start, end, z;
    Vector3d rotation;
  } cases[] = {{2000, 3000, 2250, {4000, 0, 1000}}, {3000, 2000, 2750, {-4000, 0, 1000}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    const auto run = pipe({0, 0, 0}, {4000, 0, 1000});
    pointGj(L"阀门", L"F1", {1000, 0, 250});
    windowAnswers(c.start, c.end, 2);
    pick(run);
    enter();
    CmdKivChangeElev();
    const auto runs = primariesOn(L"给水管");
    ASSERT_EQ(runs.size(), 1u);
    double s = 0, e = 0;
    GetGjSpecial(runs[0], nullptr, &s, &e);
    EXPECT_EQ(s, c.start);
    EXPECT_EQ(e, c.end);
    double z = 0;
    Vector3d rot;
    GetPointGjSpecial(primariesOn(L"阀门").front(), nullptr, &z, &rot);
    EXPECT_EQ(z, c.z);
    EXPECT_LT((rot - c.rotation).length(), 1e-9) << rot.x << "," << rot.y << "," << rot.z;
    EraseLayerEntities(L"给水管,给水管名,给水管边线,阀门,阀门名");
  }
}

TEST_F(ChangeElev, EscapeACancelledWindowOrAMixedChoiceChangeNothing) {
  const auto valve = pointGj(L"阀门", L"F1", {0, 0, 1000});
  const auto run = pipe({500, 0, 1000}, {1500, 0, 1000});
  pick(valve);
  escape();
  CmdKivChangeElev();
  pick(valve);
  enter();  // no answer for the window: cancelled
  CmdKivChangeElev();
  windowAnswers(2000, 0, 1);
  pick(valve);
  pick(run);
  enter();
  CmdKivChangeElev();
  EXPECT_NE(transcript().find(L"已选择了点构件类型的构件，不支持选择斜管类型的构件同时进行修改！！！"), std::wstring::npos);
  double z = 0;
  GetPointGjSpecial(primariesOn(L"阀门").front(), nullptr, &z, nullptr);
  EXPECT_EQ(z, 2000) << "the valve alone changed";
  double s = 0, e = 0;
  GetGjSpecial(primariesOn(L"给水管").front(), nullptr, &s, &e);
  EXPECT_EQ(s, 1000);
  EXPECT_EQ(e, 1000);
}

TEST_F(ChangeElev, PickingAChosenComponentAgainDropsIt) {
  const auto a = pointGj(L"阀门", L"F1", {0, 0, 1000});
  const auto b = pointGj(L"阀门", L"F1", {1000, 0, 1000});
  windowAnswers(2000, 0, 1);
  pick(a);
  pick(b);
  pick(a);
  enter();
  CmdKivChangeElev();
  const auto valves = primariesOn(L"阀门");
  ASSERT_EQ(valves.size(), 2u);
  for (cad::ObjectId v : valves) {
    Point3d p;
    ASSERT_TRUE(IsPointGj(v, p));
    EXPECT_EQ(p.z, p.x == 0 ? 1000 : 2000);
  }
}

TEST_F(ChangeElev, ByNumberOrByComponentTheWholeGroupIsChosen) {
  struct Case {
    const wchar_t* keyword;
    double f1, f2;  // elevations of the F1 valves and the F2 valve afterwards
  } cases[] = {{L"S", 2000, 1000}, {L"B", 2000, 1000}, {L"G", 2000, 2000}, {L"A", 2000, 1000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.keyword[0], 1));
    const auto a = pointGj(L"阀门", L"F1", {0, 0, 1000});
    pointGj(L"阀门", L"F1", {1000, 0, 1000});
    pointGj(L"阀门", L"F2", {2000, 0, 1000});
    windowAnswers(2000, 0, 1);
    word(c.keyword);
    pick(a);
    enter();
    CmdKivChangeElev();
    int changed = 0;
    for (cad::ObjectId v : primariesOn(L"阀门")) {
      Point3d p;
      ASSERT_TRUE(IsPointGj(v, p));
      std::wstring number;
      StringArray attrs;
      GetGjNumberAndAttrs(v, number, attrs);
      const bool single = std::wstring(c.keyword) == L"S" || std::wstring(c.keyword) == L"A";
      const double expected = number == L"F2" ? c.f2 : (single && p.x != 0) ? 1000 : c.f1;
      EXPECT_EQ(p.z, expected) << p.x;
      changed += p.z == 2000;
    }
    EXPECT_GE(changed, 1);
    EraseLayerEntities(L"阀门,阀门名");
  }
}

}  // namespace
