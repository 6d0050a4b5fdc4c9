// Connecting components with a run: risers at each node up or down to the
// window's elevation, the run between them, fixtures stopping 15 short,
// risers not made twice, undo of a leg, and Escape at a node's point.
#include "module/model/connect_gj.h"

#include "module/model/draw_engine.h"
#include "module/model/point_steps.h"
#include "module/toolkit/layers.h"
#include "tests/module/model/point_engine_fixture.h"

namespace {

using namespace pointtest;

cad::ObjectId CreateReal(const std::wstring& name, const std::wstring& number, const Point3d& s, const Point3d& e,
                         double bulge, int vertical) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, s, e, bulge, vertical);
  return id;
}

class Connect : public PointEngines {
 protected:
  void SetUp() override {
    PointEngines::SetUp();
    if (IsSkipped()) return;
    g_createGjCb = &CreateReal;
    g_decorateGjCb = nullptr;
  }
  void TearDown() override {
    g_createGjCb = nullptr;
    PointEngines::TearDown();
  }
  // A point component at the plan point with the elevation, on the layer.
  cad::ObjectId basin(const Point3d& at, double elevation, const wchar_t* name = L"阀门",
                      const wchar_t* number = L"F1") {
    show(name, number);
    EXPECT_TRUE(LoadCurPointGj());
    PreparePointGjLayers(name);
    return PlacePointGjAt(name, number, at, 0, elevation, geom::Vector3d(0, 0, 0));
  }
  void pipeCombo() { show(L"给水管", L"JL-1"); }
  struct Seg {
    std::wstring kind;
    Point3d s, e;
  };
  std::vector<Seg> segments() {
    std::vector<Seg> out;
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent || ent->layer() != L"给水管") continue;
      ent.close();
      Seg s;
      GetGjSpecial(id, &s.kind, nullptr, nullptr);
      if (!GetGjEndPoints3d(id, s.s, s.e)) continue;
      out.push_back(s);
    }
    return out;
  }
};

TEST_F(Connect, TwoBasinsGetRisersAndARunAtTheWindowsElevation) {
  const cad::ObjectId b1 = basin({0, 0, 0}, 900), b2 = basin({4000, 0, 0}, 900);
  pipeCombo();
  typeInWindow(3000, 1, 2);
  pick(b1);
  pick(b2);
  push(TokenKind::Escape);  // ends the run
  push(TokenKind::Escape);  // ends the command
  ConnectGjByPipe(L"阀门");
  const auto segs = segments();
  ASSERT_EQ(segs.size(), 3u);
  EXPECT_EQ(segs[0].kind, kGjKindRiser);
  EXPECT_EQ(segs[0].s, Point3d(0, 0, 900));
  EXPECT_EQ(segs[0].e, Point3d(0, 0, 3000));
  EXPECT_EQ(segs[1].kind, kGjKindSloped);
  EXPECT_EQ(segs[1].s, Point3d(0, 0, 3000));
  EXPECT_EQ(segs[1].e, Point3d(4000, 0, 3000));
  EXPECT_EQ(segs[2].s, Point3d(4000, 0, 3000));
  EXPECT_EQ(segs[2].e, Point3d(4000, 0, 900));
  EXPECT_EQ(openTransactions(), 0);
  EXPECT_FALSE(suiteWindowOpen());

  // A second connection through the first basin: its riser is not made again.
  const cad::ObjectId b3 = basin({0, 4000, 0}, 900);
  pipeCombo();
  typeInWindow(3000, 1, 2);
  pick(b1);
  pick(b3);
  ConnectGjByPipe(L"阀门");
  EXPECT_EQ(segments().size(), 5u);
}

TEST_F(Connect, SwitchOffMakesOnlyTheRunAndFixturesStopShort) {
  const cad::ObjectId lamp = basin({0, 0, 0}, 2800, L"灯具", L"D1");
  const cad::ObjectId sw = basin({0, 3000, 0}, 1300, L"开关", L"K1");  // on a fixture layer
  pipeCombo();
  typeInWindow(2800, 0, 2);
  pick(lamp);
  pick(sw);
  ConnectGjByPipe(L"灯具,开关");
  const auto segs = segments();
  ASSERT_EQ(segs.size(), 1u) << testing::PrintToString(ed::transcript());
  EXPECT_EQ(segs[0].s, Point3d(0, 0, 2800));
  EXPECT_EQ(segs[0].e, Point3d(0, 2985, 2800));
}

TEST_F(Connect, UndoTakesBackTheNewestLegAndEscapeAtAPointGoesBack) {
  const cad::ObjectId b1 = basin({0, 0, 0}, 900), b2 = basin({4000, 0, 0}, 900), b3 = basin({8000, 0, 0}, 900);
  pipeCombo();
  typeInWindow(3000, 1, 2);
  pick(b1);
  pick(b2);
  pick(b3);
  word(L"U");
  // "P" and then Escape at the point: back at the node prompt, no leg.
  word(L"P");
  push(TokenKind::Escape);
  push(TokenKind::Escape);
  push(TokenKind::Escape);
  ConnectGjByPipe(L"阀门");
  const auto segs = segments();
  ASSERT_EQ(segs.size(), 3u) << "the first leg stays; the second is gone";
  EXPECT_EQ(segs[1].e, Point3d(4000, 0, 3000));
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(Connect, OtherSystemsRisersAreNeitherSkippedNorErased) {
  const cad::ObjectId b1 = basin({0, 0, 0}, 900), b2 = basin({4000, 0, 0}, 900);
  // A riser of JL-2 standing where JL-1's riser goes, shorter.
  cad::ObjectId other;
  CreateLinearGjEntity(other, L"给水管", L"JL-2", {0, 0, 1000}, {0, 0, 2000}, 0, 1);
  ASSERT_FALSE(other.isNull());
  pipeCombo();
  typeInWindow(3000, 1, 2);
  pick(b1);
  pick(b2);
  ConnectGjByPipe(L"阀门");
  cad::ObjectPtr<cad::Entity> still(other, cad::OpenMode::ForRead);
  EXPECT_TRUE(still);
  still.close();
  EXPECT_EQ(segments().size(), 4u);
}

}  // namespace
