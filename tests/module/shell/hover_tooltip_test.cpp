// The component hover tooltip: finding the component under the cursor through
// any of its layers, selecting it, the hint and quantity text, and when the
// filter is installed and removed.
#include "module/shell/hover_tooltip.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/document.h"
#include "platform/editor/selection.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;
using Ids = std::vector<cad::ObjectId>;

TEST(HoverTipText, ComponentNameOfALayer) {
  const StringArray twin{L"1A", L"名称=给水管"};
  struct Case {
    const wchar_t* layer;
    const wchar_t* name;
  } cases[] = {
      {L"给水管", L"给水管"},       {L"给水管名", L"给水管"},   {L"给水管边线", L"给水管"},
      {L"给水管3D", L"给水管"},     {L"给水管3d", L"给水管"},   {L"Layer3d", L"给水管"},
      {L"LAYER3D", L"给水管"},      {L"轴网", L""},            {L"轴网标注", L""},
      {L"ppr管名", L"ppr管"},       // the name keeps its own case
  };
  for (const auto& c : cases)
    EXPECT_EQ(HoverGjNameOfLayer(c.layer, twin), c.name) << testing::PrintToString(std::wstring(c.layer));
}

TEST(HoverTipText, QuantityLinesShowPieces3_4_6_7_8) {
  const std::wstring text =
      L"1A=a=长度=DN25=b=m=12.5=12.50\r\n"       // 8 pieces
      L"1A=a=长度=DN25=b=m=12.5\r\n"             // 7: not shown
      L"1A=a=面积=保温=b=m2=3.1=3.10=extra\r\n"  // 9: the ninth is not shown
      L"1A==个数=====1";                         // empty pieces count too
  EXPECT_EQ(HoverQuantityLines(text),
            (StringArray{L"长度:DN25=m=12.5=12.50", L"面积:保温=m2=3.1=3.10", L"个数:===1"}));
  EXPECT_TRUE(HoverQuantityLines(L"").empty());
}

// A project with a component library, a floor table, a floor component table
// and a quantity table; a pipe with its edge line, label and 3D twin, a pipe
// copy without primary entity, an axis line.
class HoverTip : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB",
              "构件分类:ftString:50\t构件名称:ftString:50\t图层\n"
              "管道\t给水管\t给水管\\r\\n给水管边线\\r\\n给水管名\n");
    makeTable(project() / "007.DB", "楼层:ftString:50\t层高\t相同层\n1层\t3000\t1\n2层\t3000\t3\n");
    makeTable(project() / u8"1层.DB",
              "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t钢筋参数\n"
              "给水管\tJL-1\t管道\t材质=PP-R管:PP-R管,PE管\\r\\n管径=25\t■主筋\\r\\n直径=12:10,12\\r\\n根数=4\n");
    showFloor(L"1层");
    db_ = ed::docManager().curDocument()->database();
    pipe = add(0, 0, 1000, 0, L"给水管");
    stamp(pipe, L"JL-1", {handle(pipe), L"主键"});
    StringArray special{L"类型=斜管", L"起点标高=3000.0", L"终点标高=3000.0"};
    SetXdataLines(pipe, kXdataSpecial, special, nullptr);
    edge = add(0, 50, 1000, 50, L"给水管边线");
    stamp(edge, L"JL-1", {handle(pipe), L"边线"});
    label = add(400, 100, 600, 100, L"给水管名");
    stamp(label, L"JL-1", {handle(pipe)});
    twin = add(0, 0, 1000, 0, L"Layer3d");
    stamp(twin, L"JL-1", {handle(pipe), L"名称=给水管"});
    copyOnly = add(0, 500, 1000, 500, L"给水管");
    stamp(copyOnly, L"JL-1", {L"FFFF"});  // points at an entity that is gone
    axis = add(0, -500, 1000, -500, L"轴网");
    stamp(axis, L"A", {handle(axis), L"主键"});
    plain = add(0, 900, 1000, 900, L"给水管");
  }
  void TearDown() override {
    if (!IsSkipped()) {
      if (auto* m = &ed::docManager().curDocument()->inputPointManager(); m->currentPointFilter()) m->revokePointFilter();
      delete g_hoverTipFilter;
      g_hoverTipFilter = nullptr;
    }
    ProjectSandbox::TearDown();
  }

  cad::ObjectId add(double x1, double y1, double x2, double y2, const std::wstring& layer) {
    GetOrCreateLayerForTest(layer);
    auto l = std::make_unique<cad::Line>(geom::Point3d(x1, y1, 0), geom::Point3d(x2, y2, 0));
    l->setLayer(layer);
    cad::ObjectId id;
    EXPECT_EQ(db_->appendToModelSpace(std::move(l), &id), cad::Status::Ok);
    return id;
  }
  void GetOrCreateLayerForTest(const std::wstring& name) {
    if (!db_->layerId(name).isNull()) return;
    cad::ObjectPtr<cad::LayerTable> t(db_->layerTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::LayerRecord>();
    rec->setName(name);
    t->add(std::move(rec));
  }
  static std::wstring handle(cad::ObjectId id) { return id.handle().text(); }
  static void stamp(cad::ObjectId id, const std::wstring& number, StringArray attrs) {
    ASSERT_TRUE(SetGjXdataLines(id, number, attrs, nullptr));
  }
  void button(const wchar_t* key, bool on) {
    auto set = os::findFunction<KivPelk_SetButton_W_fn>(g_hostWindowLib, "KivPelk_SetButton_W");
    ASSERT_NE(set, nullptr);
    set(key, on ? 1 : 0);
  }
  // The tooltip's last mode and text.
  std::pair<int, std::wstring> tip() {
    auto get = os::findFunction<KivPelk_GetTooltip_W_fn>(g_hostWindowLib, "KivPelk_GetTooltip_W");
    std::wstring out(4096, L'\0');
    int mode = get ? get(out.data(), int(out.size())) : -1;
    out.resize(std::wcslen(out.c_str()));
    return {mode, out};
  }
  void quantities(const std::string& rows) {
    makeTable(project() / u8"构件算量.DB", "构件名称:ftString:50\t编号:ftString:50\t工程量\n" + rows);
  }
  std::string h(cad::ObjectId id) { return os::toUtf8(handle(id)); }

  cad::Database* db_ = nullptr;
  cad::ObjectId pipe, edge, label, twin, copyOnly, axis, plain;
};

TEST_F(HoverTip, AnyEntityOfAComponentSelectsItAndShowsItsHint) {
  button(L"BtnGjHint", true);
  const Ids whole{pipe, edge, label, twin};
  const std::wstring hint = L"编号=JL-1\r\n材质=PP-R管\r\n管径=25\r\n类型=\r\n起点标高=\r\n终点标高=";
  struct Case {
    const char* what;
    Ids aperture;
  } cases[] = {
      {"the pipe", {pipe}},
      {"its edge line", {edge}},
      {"its label", {label}},
      {"its 3D twin", {twin}},
      {"an axis line and a plain entity first", {axis, plain, label}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    winlib::Tooltip(winlib::kTipBlank, nullptr);
    TooltipInputPointFilter::ShowHoverTip(c.aperture);
    const Ids selected = ed::pickfirstIds();
    EXPECT_EQ(selected.size(), whole.size());
    EXPECT_TRUE(std::is_permutation(selected.begin(), selected.end(), whole.begin(), whole.end()));
    EXPECT_EQ(tip(), std::make_pair(winlib::kTipShow, hint));
  }

  // The entity's own "构件" lines replace the table's parameters.
  StringArray own{L"材质=铜管", L"管径=20"};
  SetXdataLines(pipe, kXdataExternalGj, own, nullptr);
  TooltipInputPointFilter::ShowHoverTip({edge});
  EXPECT_EQ(tip().second, L"编号=JL-1\r\n材质=铜管\r\n管径=20\r\n类型=\r\n起点标高=\r\n终点标高=");
}

TEST_F(HoverTip, NothingToShowLeavesTheTooltipOrBlanksIt) {
  button(L"BtnGjHint", true);
  struct Case {
    const char* what;
    Ids aperture;
    std::pair<int, std::wstring> after;
  } cases[] = {
      {"an axis line", {axis}, {winlib::kTipShow, L"旧"}},
      {"a copy without its primary entity", {copyOnly}, {winlib::kTipShow, L"旧"}},
      {"an entity without component data", {plain}, {winlib::kTipShow, L"旧"}},
      {"an empty pick box", {}, {winlib::kTipBlank, L""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    winlib::Tooltip(winlib::kTipShow, L"旧");
    ed::ssSetFirst(0);
    TooltipInputPointFilter::ShowHoverTip({pipe});  // something selected before
    winlib::Tooltip(winlib::kTipShow, L"旧");
    TooltipInputPointFilter::ShowHoverTip(c.aperture);
    EXPECT_EQ(tip(), c.after);
    EXPECT_TRUE(ed::pickfirstIds().empty());  // every step clears the selection
  }
}

TEST_F(HoverTip, QuantitiesOfTheFloorFollowTheHint) {
  const std::string p = h(pipe);
  quantities("■1层=1\t\t\n"
             "阀门\tJL-1\t" + p + "=x=错=误=x=x=x=x\n"
             "给水管\tJL-1\t" + p + "=a=长度=DN25=b=m=12.5=12.50\\r\\n" + p +
             "=a=短=7=b=m=1\\r\\n9A=a=长度=DN32=b=m=1=1.00\n"
             "■2层=3\t\t\n"
             "给水管\tJL-2\t" + p + "=a=长度=DN50=b=m=8=8.00\n");
  button(L"BtnZebHint", true);
  TooltipInputPointFilter::ShowHoverTip({label});
  EXPECT_EQ(tip(), std::make_pair(winlib::kTipShow, std::wstring(L"长度:DN25=m=12.5=12.50")));

  // Both buttons: the hint, a dashed line as long as the first quantity
  // line, the quantities.
  button(L"BtnGjHint", true);
  TooltipInputPointFilter::ShowHoverTip({label});
  EXPECT_EQ(tip().second, L"编号=JL-1\r\n材质=PP-R管\r\n管径=25\r\n类型=\r\n起点标高=\r\n终点标高=\r\n"
                          L"--------------------\r\n长度:DN25=m=12.5=12.50");
}

TEST_F(HoverTip, QuantityRowsAreLookedUpOnTheFloorOnly) {
  const std::string p = h(pipe);
  // The component's row is under another floor only; then a redirect.
  quantities("■1层=1\t\t\n"
             "给水管\tJL-9\tx\n"
             "■2层=3\t\t\n"
             "给水管\tJL-1\t" + p + "=a=长度=DN50=b=m=8=8.00\n");
  button(L"BtnZebHint", true);
  winlib::Tooltip(winlib::kTipShow, L"旧");
  TooltipInputPointFilter::ShowHoverTip({pipe});
  EXPECT_EQ(tip().second, L"旧");
  EXPECT_TRUE(ReadHoverQuantities(L"1层", L"给水管", L"JL-1", handle(pipe)).empty());
  // The 2层 marker carries its number of identical floors (3).
  EXPECT_EQ(ReadHoverQuantities(L"2层", L"给水管", L"JL-1", handle(pipe)), (StringArray{L"长度:DN50=m=8=8.00"}));

  quantities("■1层=1\t\t\n"
             "给水管\tJL-1\t" + p + "=[Q1,Q3]\\r\\nQ1=a=长度=DN25=b=m=2=2.00\\r\\nQ2=a=长度=DN20=b=m=3=3.00\\r\\n"
             "Q3=a=面积=刷油=b=m2=0.5=0.50\n");
  EXPECT_EQ(ReadHoverQuantities(L"1层", L"给水管", L"JL-1", handle(pipe)),
            (StringArray{L"长度:DN25=m=2=2.00", L"面积:刷油=m2=0.5=0.50"}));
  // No quantity table: nothing.
  std::filesystem::remove(project() / u8"构件算量.DB");
  EXPECT_TRUE(ReadHoverQuantities(L"1层", L"给水管", L"JL-1", handle(pipe)).empty());
}

TEST_F(HoverTip, ReinforcementInstallationShowsTheRebarLines) {
  g_baseDir += L"钢筋";
  StringArray own{L"根数=6"};
  SetXdataLines(pipe, L"钢筋", own, nullptr);
  TooltipInputPointFilter::ShowHoverTip({pipe});  // no button down: the rebar alone
  EXPECT_EQ(tip().second, L"■主筋\r\n直径=12\r\n根数=6");
}

TEST_F(HoverTip, InstallAndRemove) {
  ed::InputPointManager& m = ed::docManager().curDocument()->inputPointManager();
  // Both buttons up: nothing installed.
  InstallHoverTip();
  EXPECT_EQ(m.currentPointFilter(), nullptr);

  button(L"BtnZebHint", true);
  InstallHoverTip();
  ASSERT_NE(g_hoverTipFilter, nullptr);
  EXPECT_EQ(m.currentPointFilter(), g_hoverTipFilter);
  EXPECT_EQ(tip().first, winlib::kTipCreate);
  // Installing again while a filter is in the slot changes nothing.
  TooltipInputPointFilter* first = g_hoverTipFilter;
  InstallHoverTip();
  EXPECT_EQ(g_hoverTipFilter, first);

  // The filter sees a hover and never moves the point.
  quantities("■1层=1\t\t\n给水管\tJL-1\t" + h(pipe) + "=a=长度=DN25=b=m=12.5=12.50\n");
  ed::InputPointContext ctx;
  ctx.rawPoint = ctx.computedPoint = geom::Point3d(5, 0, 0);
  ctx.apertureEntities = {pipe};
  EXPECT_EQ(m.process(ctx), geom::Point3d(5, 0, 0));
  EXPECT_EQ(tip().second, L"长度:DN25=m=12.5=12.50");

  RemoveHoverTip();
  EXPECT_EQ(m.currentPointFilter(), nullptr);
  EXPECT_EQ(g_hoverTipFilter, nullptr);
  EXPECT_EQ(tip().first, winlib::kTipClose);

  // A filter some command registered is left in its slot.
  struct Other : ed::InputPointFilter {
    int processInputPoint(const ed::InputPointContext&, bool&, geom::Point3d&, bool&, std::wstring&) override {
      return 0;
    }
  } other;
  ASSERT_TRUE(m.registerPointFilter(&other));
  InstallHoverTip();
  EXPECT_EQ(g_hoverTipFilter, nullptr);
  RemoveHoverTip();
  EXPECT_EQ(m.currentPointFilter(), &other);
  m.revokePointFilter();

  // No project open: nothing is installed.
  g_projectName.clear();
  InstallHoverTip();
  EXPECT_EQ(m.currentPointFilter(), nullptr);
}

}  // namespace
