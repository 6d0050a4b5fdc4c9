// Placing point components one at a time: the elevation the window opens
// with, placements and their undo, the end of the run, and the ghost.
#include "module/model/point_layout.h"

#include <gtest/gtest.h>

#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using ed::TokenKind;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "电气\t灯具\t灯具\t\n";
const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "灯具\tD1\t电气\t图形=方灯\\r\\n底标高=层高\t-100,-100|100,-100|100,100\n"
    "灯具\tD2\t电气\t图形=圆灯\\r\\n底标高=2500\t0,-50:1|0,50\n"
    "灯具\tD3\t电气\t图形=圆灯\t0,0|10,0\n";

class PointLayout : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(project() / "007.DB", kFloors);
    makeTable(project() / u8"1层.DB", kFloor1);
    g_curPointGj = CurrentGj{};
    savedCheck_ = g_checkGjOverlap;
    g_checkGjOverlap = 1;
    show(L"D1");
    // The host has the project open on floor 1层: its levels are current.
    savedFloorHeight_ = g_floorHeight;
    savedFloorBaseElev_ = g_floorBaseElev;
    LoadCurFloorLevels();
  }
  void TearDown() override {
    g_checkGjOverlap = savedCheck_;
    g_floorHeight = savedFloorHeight_;
    g_floorBaseElev = savedFloorBaseElev_;
    g_curPointGj = CurrentGj{};
    ProjectSandbox::TearDown();
  }
  void show(const std::wstring& number) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"楼层", L"1层");
    set(L"分类", L"电气");
    set(L"构件", L"灯具");
    set(L"编号", number.c_str());
  }
  // Live block references on the component's layer.
  std::vector<cad::ObjectId> placed() {
    std::vector<cad::ObjectId> out;
    for (cad::ObjectId id : ed::curDatabase()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
      if (r && r->layer() == L"灯具") out.push_back(id);
    }
    return out;
  }
  void expectFinished() {
    EXPECT_EQ(ed::curDoc()->transactionManager()->numActiveTransactions(), 0);
    EXPECT_EQ(g_gjInputMonitor, nullptr);
    EXPECT_TRUE(ed::curDoc()->inputPointManager().monitors().empty());
  }
  int savedCheck_ = 1;
  double savedFloorHeight_ = 0;
  double savedFloorBaseElev_ = 0;
};

TEST_F(PointLayout, InitialElevationFromTheNumbersParameters) {
  ASSERT_TRUE(LoadCurPointGj());
  g_floorHeight = 3000;
  struct Case {
    const wchar_t* number;
    double elevation;
  } cases[] = {{L"D1", 3000}, {L"D2", 2500}, {L"D3", 0}, {L"none", 0}};
  for (const Case& c : cases) EXPECT_EQ(InitialPointGjElevation(c.number), c.elevation) << c.number;
}

TEST_F(PointLayout, PlacementsStayAndUndoTakesBackOnlyTheNewest) {
  push(TokenKind::Point, Point3d(0, 0, 0));
  push(TokenKind::Point, Point3d(5000, 0, 0));
  push(TokenKind::Text, {}, L"u");  // lower case undoes like "U"
  push(TokenKind::Point, Point3d(0, 5000, 0));
  push(TokenKind::Enter);
  LayPointGj();
  expectFinished();
  const auto ids = placed();
  ASSERT_EQ(ids.size(), 2u);
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::BlockReference> r(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(r);
    EXPECT_NE(r->position().x, 5000.0) << "the undone component is gone";
    r.close();
    std::wstring number;
    double elev = -1;
    GetPointGjSpecial(id, nullptr, &elev, nullptr);
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    EXPECT_EQ(number, L"D1");
    EXPECT_EQ(elev, 3000.0);  // 底标高=层高 of the first floor
  }
}

TEST_F(PointLayout, UndoBeyondThePlacementsDoesNothing) {
  push(TokenKind::Point, Point3d(0, 0, 0));
  push(TokenKind::Point, Point3d(5000, 0, 0));
  for (int i = 0; i < 3; ++i) push(TokenKind::Text, {}, L"U");
  push(TokenKind::Text, {}, L"X");  // unknown: prompts again
  push(TokenKind::Escape);
  // A transaction of the caller stays untouched.
  ed::curDoc()->transactionManager()->startTransaction();
  LayPointGj();
  EXPECT_EQ(ed::curDoc()->transactionManager()->numActiveTransactions(), 1);
  ed::curDoc()->transactionManager()->endTransaction();
  expectFinished();
  EXPECT_TRUE(placed().empty());
}

TEST_F(PointLayout, NoNumberOpensNothing) {
  show(L"");
  auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
  set(L"编号", L"");
  push(TokenKind::Point, Point3d(0, 0, 0));
  LayPointGj();
  expectFinished();
  EXPECT_TRUE(placed().empty());
}

TEST_F(PointLayout, GhostFollowsTheComboNumberAndTheAngle) {
  ASSERT_TRUE(LoadCurPointGj());
  CGjInputPointMonitor monitor;
  ed::InputPointContext ctx;
  ctx.computedPoint = Point3d(1000, 2000, 0);
  bool append = false;
  std::wstring tip;
  ed::ViewportDraw draw;
  // State 0 (as after SetLayers): nothing drawn.
  monitor.SetLayers(L"轴网,辅助轴网,墙", 1.0);
  EXPECT_EQ(monitor.monitorInputPoint(ctx, draw, append, tip), 0);
  EXPECT_TRUE(draw.calls().empty());

  monitor.setState(1);
  monitor.monitorInputPoint(ctx, draw, append, tip);
  ASSERT_EQ(draw.calls().size(), 1u);
  EXPECT_EQ(draw.calls()[0].pts.size(), 3u);
  EXPECT_EQ(draw.calls()[0].pts[0], Point3d(900, 1900, 0));

  // Another number in the combo, turned a quarter: (0,-50) goes to (1050,2000).
  show(L"D2");
  monitor.setAngle(1.5707963267948966);
  draw.clear();
  monitor.monitorInputPoint(ctx, draw, append, tip);
  ASSERT_EQ(draw.calls().size(), 1u);
  ASSERT_EQ(draw.calls()[0].pts.size(), 2u);
  EXPECT_NEAR(draw.calls()[0].pts[0].x, 1050, 1e-9);
  EXPECT_NEAR(draw.calls()[0].pts[0].y, 2000, 1e-9);
  EXPECT_EQ(draw.calls()[0].bulges, (std::vector<double>{1, 0})) << "a half circle stays an arc";

  // No computed point: nothing.
  ctx.pointComputed = false;
  draw.clear();
  monitor.monitorInputPoint(ctx, draw, append, tip);
  EXPECT_TRUE(draw.calls().empty());
}

}  // namespace
