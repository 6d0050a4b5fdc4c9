// Risers: the vertical layout engine with its two-elevation window, risers
// asked for in the middle of a run, and taking an elevation from a component.
#include "module/model/vertical_gj.h"

#include "module/model/multi_line.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "tests/module/model/run_fixture.h"

namespace {

using namespace runtest;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层:ftString:255\t颜色:ftString:255\n"
    "管道\t给水管\t给水管\t\n"
    "照明\t灯具\t灯具\t\n";
const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n";
const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "给水管\tJL-1\t管道\t管径=25\\r\\n底标高=层高\t\n"
    "给水管\tJL-2\t管道\t底标高=500\t\n";

// A riser request at the next prompt of a run: ".riser WHERE".
const wchar_t* const kRiserDirective = L".riser";

class Vertical : public RunSandbox {
 protected:
  void SetUp() override {
    RunSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(project() / "007.DB", kFloors);
    makeTable(project() / u8"1层.DB", kFloor1);
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    set(L"楼层", L"1层");
    set(L"分类", L"管道");
    savedFloorHeight_ = g_floorHeight;
    g_floorHeight = 3000;
    ed::registerDirective(kRiserDirective, [](const ed::InputToken& t, std::wstring&) {
      CreateVerticalGj(t.args.empty() ? 0 : std::stoi(t.args[0]));
      return true;
    });
  }
  void TearDown() override {
    ed::unregisterDirective(kRiserDirective);
    g_floorHeight = savedFloorHeight_;
    RunSandbox::TearDown();
  }
  // The user types elevations into the lay window, then asks for a riser.
  static void typedRiser(double start, double end, int where) {
    ed::InputToken typed;
    typed.kind = TokenKind::Directive;
    typed.text = L".palette";
    typed.args = {num(start), num(end)};
    ed::inputQueue().push(typed);
    riser(where);
  }
  static std::wstring num(double v) { return std::to_wstring(static_cast<long long>(v)); }
  static void riser(int where) {
    ed::InputToken t;
    t.kind = TokenKind::Directive;
    t.text = kRiserDirective;
    t.args = {std::to_wstring(where)};
    ed::inputQueue().push(t);
  }
  std::wstring windowLog() {
    std::vector<wchar_t> buf(65536, L'\0');
    os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W")(buf.data(), int(buf.size()));
    return buf.data();
  }
  void layWindow(int mode, double s, double e) { winlib::LayLinearGj(mode, 0, 0, s, e); }
  double savedFloorHeight_ = 0;
};

TEST_F(Vertical, LayVerticalGjUsesTheWindowsElevationsAndSkipsEqualOnes) {
  auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
  set(L"构件", L"给水管");
  set(L"编号", L"JL-1");
  // No new values: the risers reach between the values the window opened
  // with, for every base point.
  points({{100, 200, 0}});
  push(TokenKind::Point, {300, 400, 0});
  ed::InputToken typed;
  typed.kind = TokenKind::Directive;
  typed.text = L".palette";
  typed.args = {L"1000", L"1000"};
  // Equal elevations: an alert and nothing made; then 0/3000.
  ed::inputQueue().push(typed);
  points({{500, 600, 0}});
  typed.args = {L"0", L"3000"};
  ed::inputQueue().push(typed);
  points({{700, 800, 0}});
  push(TokenKind::Escape);
  const size_t alerts = ed::alerts().size();
  LayVerticalGj();

  // 底标高 "层高" opens the window with 0 and the floor height.
  const std::wstring log = windowLog();
  EXPECT_NE(log.find(L"WinDll_InputTwoElev_W(1,"), std::wstring::npos) << log;
  EXPECT_NE(log.find(L",0,3000)"), std::wstring::npos) << log;
  EXPECT_NE(log.find(L"WinDll_InputTwoElev_W(4,0,0,0,0)"), std::wstring::npos) << log;

  ASSERT_EQ(made().size(), 3u);
  EXPECT_EQ(made()[0].start, Point3d(100, 200, 0));
  EXPECT_EQ(made()[0].end, Point3d(100, 200, 3000));
  EXPECT_EQ(made()[1].start, Point3d(300, 400, 0));
  EXPECT_EQ(made()[1].end, Point3d(300, 400, 3000)) << "the second riser is made too";
  EXPECT_EQ(made()[2].start, Point3d(700, 800, 0));
  EXPECT_EQ(made()[2].end, Point3d(700, 800, 3000));
  for (const auto& m : made()) {
    EXPECT_EQ(m.vertical, 1);
    EXPECT_EQ(m.number, L"JL-1");
    EXPECT_EQ(m.bulge, 0.0);
  }
  ASSERT_EQ(ed::alerts().size(), alerts + 1);
  EXPECT_EQ(ed::alerts().back(), L"起点与终点标高相等不能生成垂直构件!");
  EXPECT_EQ(ed::getVarInt(L"CMDECHO").value_or(-1), 0);
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(Vertical, NoNumberMakesNothing) {
  auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
  set(L"构件", L"给水管");
  set(L"编号", L"");
  points({{100, 200, 0}});
  LayVerticalGj();
  EXPECT_TRUE(made().empty());
  EXPECT_EQ(windowLog().find(L"WinDll_InputTwoElev_W(1,"), std::wstring::npos);
  EXPECT_EQ(ed::getVarInt(L"CMDECHO").value_or(-1), 0);
}

TEST_F(Vertical, RisersInASingleLineRunBelongToTheRun) {
  struct Case {
    int where;
    Point3d at;
  } cases[] = {{1, {0, 0, 0}}, {0, {1000, 0, 0}}, {2, {1000, 0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    made().clear();
    layWindow(winlib::kPaletteOpen, 0, 0);
    points({{0, 0, 0}});
    push(TokenKind::Point, {1000, 0, 0});
    typedRiser(0, 3000, c.where);
    word(L"U");  // takes back the riser only
    typedRiser(0, 3000, c.where);
    points({{1000, 1000, 0}});
    push(TokenKind::Enter);
    EXPECT_TRUE(LayLinearGjByPoints());
    layWindow(winlib::kPaletteClose, 0, 0);
    ASSERT_EQ(made().size(), 4u);  // segment, riser (undone), riser, segment
    EXPECT_EQ(made()[1].start, Point3d(c.at.x, c.at.y, 0));
    EXPECT_EQ(made()[1].end, Point3d(c.at.x, c.at.y, 3000));
    EXPECT_EQ(made()[1].vertical, 1);
    EXPECT_TRUE(made()[1].id.isErased());
    EXPECT_FALSE(made()[2].id.isErased());
    // The current point stayed: the next segment starts at P1.
    EXPECT_EQ(made()[3].start.x, 1000);
    EXPECT_EQ(made()[3].start.y, 0);
    EXPECT_EQ(openTransactions(), 0);
  }
}

TEST_F(Vertical, EqualLayWindowElevationsRefuseTheRiser) {
  layWindow(winlib::kPaletteOpen, 0, 0);
  points({{0, 0, 0}, {1000, 0, 0}});
  typedRiser(3000, 3000, 0);
  push(TokenKind::Enter);
  const size_t alerts = ed::alerts().size();
  EXPECT_TRUE(LayLinearGjByPoints());
  layWindow(winlib::kPaletteClose, 0, 0);
  ASSERT_EQ(ed::alerts().size(), alerts + 1);
  EXPECT_EQ(ed::alerts().back(), L"两标高相等，无法生成垂直管线");
  ASSERT_EQ(made().size(), 1u);  // the segment only
  EXPECT_EQ(g_linearRun.points.size(), 2u);
}

TEST_F(Vertical, NoRunInProgressTakesNoRiser) {
  g_linearRun.points = {{0, 0, 0}, {1000, 0, 0}};
  g_linearRun.active = false;
  typeElevations(0, 3000);
  CreateVerticalGj(0);
  EXPECT_TRUE(made().empty());
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(Vertical, RisersInAMultiLineRunStandAtEveryRowsSegmentEnd) {
  const StringArray rows = {L"给水管,JL-1,0,0", L"给水管,JL-2,100,300"};
  layWindow(winlib::kPaletteOpen, 0, 0);
  points({{0, 0, 0}, {1000, 0, 0}});
  typedRiser(0, 3000, 1);  // two points: at the start of the only segment
  points({{2000, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayMultiLinearGj(rows));
  layWindow(winlib::kPaletteClose, 0, 0);
  ASSERT_GE(made().size(), 2u);
  EXPECT_EQ(made()[0].start, Point3d(0, 0, 0));
  EXPECT_EQ(made()[0].end.z, 3000);  // a riser stands at its first end
  EXPECT_EQ(made()[0].vertical, 1);
  EXPECT_EQ(made()[1].number, L"JL-2");
  EXPECT_TRUE(made()[1].start.isEqualTo(Point3d(0, -300, 100), 1e-6));
  EXPECT_EQ(made()[1].end.z, 3100);
  EXPECT_FALSE(made()[0].id.isErased());
  EXPECT_EQ(openTransactions(), 0);
}

TEST_F(Vertical, PickupElevTakesLevelRunsAndPointComponents) {
  auto make = [&](const wchar_t* layer, Point3d a, Point3d b) {
    auto* line = new cad::Line(a, b);
    cad::ObjectId id = AppendToModelSpace(line, layer, nullptr);
    line->close();
    return id;
  };
  const std::wstring number = L"JL-1", pipe = L"斜管";
  cad::ObjectId level = make(L"给水管", {0, 0, 0}, {1000, 0, 0});
  double z1 = 2800, z2 = 2800;
  ASSERT_TRUE(SetGjSpecial(&number, &pipe, level, &z1, &z2));
  cad::ObjectId sloped = make(L"给水管", {0, 1000, 0}, {1000, 1000, 0});
  z2 = 3000;
  ASSERT_TRUE(SetGjSpecial(&number, &pipe, sloped, &z1, &z2));
  cad::ObjectId lamp = make(L"灯具", {0, 2000, 0}, {10, 2000, 0});
  const std::wstring lampNo = L"D-1";
  double lampZ = 2500;
  ASSERT_TRUE(SetPointGjSpecial(&lampNo, lamp, &lampZ, nullptr));

  auto pick = [](cad::ObjectId id) {
    ed::InputToken t;
    t.kind = TokenKind::Pick;
    t.text = id.handle().text();
    ed::inputQueue().push(t);
  };
  struct Case {
    std::vector<cad::ObjectId> picks;
    bool found;
    double elev;
  } cases[] = {
      {{level}, true, 2800},
      {{sloped, lamp}, true, 2500},  // the sloped run is passed over
      {{sloped}, false, -1},         // then Escape (the input ran out)
  };
  for (const auto& c : cases) {
    for (auto id : c.picks) pick(id);
    if (!c.found) push(TokenKind::Escape);
    double elev = -1;
    EXPECT_EQ(PickupElev(elev), c.found);
    EXPECT_EQ(elev, c.elev);
  }
}

TEST_F(Vertical, PickupElevSwitchesTheRunPreviewOffAndOnAgain) {
  g_multiLineInput = true;
  InstallLinearInputHooks();
  ASSERT_NE(g_kivMlineMonitor, nullptr);
  int seenActive = -1;
  ed::registerDirective(L".seen", [&](const ed::InputToken&, std::wstring&) {
    seenActive = g_kivMlineMonitor->active;
    return true;
  });
  ed::InputToken t;
  t.kind = TokenKind::Directive;
  t.text = L".seen";
  ed::inputQueue().push(t);
  push(TokenKind::Escape);
  double elev = 0;
  EXPECT_FALSE(PickupElev(elev));
  ed::unregisterDirective(L".seen");
  EXPECT_EQ(seenActive, 0);
  EXPECT_EQ(g_kivMlineMonitor->active, 1);
  RemoveLinearInputHooks(ed::kNormal);
  g_multiLineInput = false;
}

}  // namespace
