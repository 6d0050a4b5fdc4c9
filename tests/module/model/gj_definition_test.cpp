// Component types and the host combos, and the current component
// definitions loaded from the combos, the floor tables and the library.
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/toolkit/globals.h"
#include "platform/editor/document.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
    "管道\t给水管\t给水管\t给水管=255\\r\\n给水管名=65280\n"
    "管道\t热给水管\t热给水管\t\n"
    "管道\t污水管\t污水管\t污水管=abc\n"
    "风管\t送风管\t送风管\\r\\n送风管边线\t\n";

const char* const kFloors =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "1层\t3000\t0\n"
    "2层\t3300\t3000\n";

// 给水管 on 1层: two numbers, one with a coordinate formula.
const char* const kFloor1 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "给水管\tJL-1\t管道\t管径=25:15,20\\r\\n底标高=层高-100\t0,0|管径,0\n"
    "给水管\tJL-2\t管道\t管径=32\t\n"
    "热给水管\tRJ-1\t管道\t管径=20\t\n";

const char* const kFloor2 =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "给水管\tJL-9\t管道\t管径=50\t\n";

class GjDefinition : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(project() / "007.DB", kFloors);
    makeTable(project() / u8"1层.DB", kFloor1);
    makeTable(project() / u8"2层.DB", kFloor2);
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
  }

  // Puts the combos into a state without the window library's own
  // following (category first, then type, then number), and forgets the
  // calls logged so far.
  void showCombos(const std::wstring& floor, const std::wstring& category, const std::wstring& type,
                  const std::wstring& number) {
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"楼层", floor.c_str());
    set(L"分类", category.c_str());
    set(L"构件", type.c_str());
    set(L"编号", number.c_str());
    clearLog();
  }
  std::wstring combo(const std::wstring& name) {
    wchar_t buf[256] = {};
    os::findFunction<KivPelk_GetCombo_W_fn>(g_hostWindowLib, "KivPelk_GetCombo_W")(name.c_str(), buf, 256);
    return buf;
  }
  // The combo setters called since the last clearLog, one line each.
  std::wstring setterLog() {
    std::vector<wchar_t> buf(65536, L'\0');
    os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W")(buf.data(), int(buf.size()));
    StringArray lines, setters;
    SplitLines(buf.data(), lines);
    for (size_t i = logStart_; i < lines.size(); ++i)
      if (lines[i].rfind(L"WinDll_CmbGj", 0) == 0) setters.push_back(lines[i]);
    std::wstring out;
    JoinArray(setters, L";", out);
    return out;
  }
  void clearLog() {
    std::vector<wchar_t> buf(65536, L'\0');
    os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W")(buf.data(), int(buf.size()));
    StringArray lines;
    SplitLines(buf.data(), lines);
    logStart_ = lines.size();
  }

  size_t logStart_ = 0;
};

const wchar_t* const kLayPipeTypes = L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,其它管道";
const wchar_t* const kSwitchToSupply =
    L"WinDll_CmbGjType_W(管道);WinDll_CmbGjName_W(给水管);WinDll_CmbGjBh_W(JL-1)";

TEST_F(GjDefinition, CombosSwitchToTheDefaultTypeOnlyWhenNeeded) {
  struct Case {
    const char* what;
    std::wstring shownCategory, shownType, shownNumber;
    std::wstring typeList, defaultType;
    std::wstring setters;  // the setters called, in order
    std::wstring category, type, number;  // the combos afterwards
  };
  const Case cases[] = {
      {"the type is in the list: nothing changes, whatever else shows", L"风管", L"热给水管", L"X9",
       kLayPipeTypes, L"给水管", L"", L"风管", L"热给水管", L"X9"},
      {"a trailing blank is another type", L"管道", L"给水管 ", L"", kLayPipeTypes, L"给水管", kSwitchToSupply,
       L"管道", L"给水管", L"JL-1"},
      {"another discipline's type", L"风管", L"送风管", L"S-1", kLayPipeTypes, L"给水管", kSwitchToSupply,
       L"管道", L"给水管", L"JL-1"},
      {"an empty combo matches an empty piece", L"", L"", L"", L"给水管,,污水管", L"给水管", L"", L"", L"",
       L""},
      {"an empty combo matches a trailing empty piece", L"", L"", L"", L"给水管,污水管,", L"给水管", L"", L"",
       L"", L""},
      {"an empty combo without an empty piece switches", L"", L"", L"", kLayPipeTypes, L"给水管",
       kSwitchToSupply, L"管道", L"给水管", L"JL-1"},
      {"a default type the library lacks changes nothing", L"风管", L"送风管", L"S-1", kLayPipeTypes,
       L"其它管道", L"", L"风管", L"送风管", L"S-1"},
      {"no row on the floor: the number is set empty", L"风管", L"送风管", L"S-1", kLayPipeTypes, L"污水管",
       L"WinDll_CmbGjType_W(管道);WinDll_CmbGjName_W(污水管);WinDll_CmbGjBh_W()", L"管道", L"污水管", L""},
  };
  for (const auto& c : cases) {
    showCombos(L"1层", c.shownCategory, c.shownType, c.shownNumber);
    PrepareGjCombos(c.typeList, c.defaultType);
    EXPECT_EQ(setterLog(), c.setters) << c.what;
    EXPECT_EQ(combo(L"分类"), c.category) << c.what;
    EXPECT_EQ(combo(L"构件"), c.type) << c.what;
    EXPECT_EQ(combo(L"编号"), c.number) << c.what;
  }
}

TEST_F(GjDefinition, CategoriesExpandIntoTheirTypesInOrder) {
  const StringArray savedCategories = g_gjCategories, savedTypes = g_gjCategoryTypes;
  g_gjCategories = {L"管道", L"风管", L"管道附件"};
  g_gjCategoryTypes = {L"给水管,污水管", L"送风管,回风管", L"阀门"};
  struct Case {
    std::wstring categories;
    StringArray types;
  };
  const Case cases[] = {
      {L"管道,风管", {L"给水管", L"污水管", L"送风管", L"回风管"}},
      {L"配件", {}},
      {L"风管,配件,风管", {L"送风管", L"回风管", L"送风管", L"回风管"}},
      {L"", {}},
  };
  for (const auto& c : cases) {
    StringArray out{L"stale"};
    ExpandGjCategories(c.categories, out);
    EXPECT_EQ(out, c.types) << testing::PrintToString(c.categories);
  }
  g_gjCategories = savedCategories;
  g_gjCategoryTypes = savedTypes;
}

TEST_F(GjDefinition, LayersOfTypesFromTheLibrary) {
  EXPECT_EQ(GetGjLayersOfTypes(L"送风管", L"图层"), L"送风管,送风管边线");
  EXPECT_EQ(GetGjLayersOfTypes(L"给水管,没有,送风管", L"图层"), L"给水管,送风管,送风管边线");
  EXPECT_EQ(GetGjLayersOfTypes(L"", L"图层"), L"");
  EXPECT_EQ(GetGjLayersOfTypes(L"没有", L"图层"), L"");
}

TEST_F(GjDefinition, CurrentComponentFromTheCombos) {
  showCombos(L"1层", L"管道", L"给水管", L"JL-2");
  ASSERT_TRUE(LoadCurGjDefine());
  EXPECT_EQ(g_curLineGj.name, L"给水管");
  EXPECT_EQ(g_curLineGj.number, L"JL-2");
  EXPECT_EQ(g_curLineGj.params, (StringArray{L"JL-1=管径=25\r\n底标高=层高-100", L"JL-2=管径=32"}));
  EXPECT_EQ(g_curLineGj.coordFormulas, (StringArray{L"JL-1=0,0|管径,0"}));
  EXPECT_EQ(g_curLineGj.coords, (StringArray{L"JL-1=0,0|25,0"}));
  EXPECT_EQ(g_curLineGj.colour, 255u);
  EXPECT_EQ(g_curLineGj.labelColour, 65280u);
  EXPECT_EQ(GetGjParamLines(g_curLineGj, L"JL-1"), (StringArray{L"管径=25", L"底标高=层高-100"}));
  EXPECT_EQ(GetGjCoordLines(g_curLineGj, L"JL-1"), (StringArray{L"0,0|25,0"}));
  EXPECT_TRUE(GetGjCoordLines(g_curLineGj, L"JL-2").empty());
  EXPECT_EQ(g_curPointGj.name, L"") << "the point definition is left alone";
  EXPECT_TRUE(ed::docManager().sentStrings().empty());
}

TEST_F(GjDefinition, NoNumberLoadsTheRestAndAsksForOne) {
  for (bool point : {false, true}) {
    showCombos(L"1层", L"管道", L"给水管", L"");
    const size_t before = ed::docManager().sentStrings().size();
    CurrentGj& gj = point ? g_curPointGj : g_curLineGj;
    gj = CurrentGj{};
    gj.number = L"old";
    EXPECT_FALSE(point ? LoadCurPointGj() : LoadCurGjDefine());
    const auto& sent = ed::docManager().sentStrings();
    EXPECT_EQ(std::count(sent.begin() + before, sent.end(), L"GjType\n"), 1);
    EXPECT_EQ(gj.name, L"给水管");
    EXPECT_EQ(gj.number, L"");
    EXPECT_EQ(gj.params.size(), 2u);
    EXPECT_EQ(gj.coords, (StringArray{L"JL-1=0,0|25,0"}));
    EXPECT_EQ(gj.colour, 255u);
    EXPECT_EQ(gj.labelColour, 65280u);
  }
}

TEST_F(GjDefinition, ColoursTheLibraryLacksReadZero) {
  struct Case {
    const wchar_t* name;
    std::uint32_t colour, label;
  };
  const Case cases[] = {{L"热给水管", 0, 0}, {L"污水管", 0, 0}, {L"没有的构件", 0, 0}, {L"给水管", 255, 65280}};
  showCombos(L"1层", L"管道", L"给水管", L"JL-1");
  for (const auto& c : cases) {
    LoadGjDefineByName(c.name, true);
    EXPECT_EQ(g_curLineGj.colour, c.colour) << c.name;
    EXPECT_EQ(g_curLineGj.labelColour, c.label) << c.name;
  }
  LoadGjDefineByName(L"没有的构件", true);
  EXPECT_TRUE(g_curLineGj.params.empty());
  EXPECT_TRUE(g_curLineGj.coords.empty());
}

TEST_F(GjDefinition, ByNameTheNameIsTheCacheKeyUnlessForced) {
  showCombos(L"1层", L"管道", L"给水管", L"JL-1");
  g_curLineGj.number = L"kept";
  LoadGjDefineByName(L"给水管", false);
  EXPECT_EQ(g_curLineGj.params.size(), 2u);
  EXPECT_EQ(g_curLineGj.number, L"kept") << "the by-name loader leaves the number";

  // Another floor in the combo: the same name without force keeps 1层's data.
  showCombos(L"2层", L"管道", L"给水管", L"JL-9");
  LoadGjDefineByName(L"给水管", false);
  EXPECT_EQ(g_curLineGj.params, (StringArray{L"JL-1=管径=25\r\n底标高=层高-100", L"JL-2=管径=32"}));
  LoadGjDefineByName(L"给水管", true);
  EXPECT_EQ(g_curLineGj.params, (StringArray{L"JL-9=管径=50"}));

  // Changed tables are read again only when forced.
  makeTable(project() / u8"2层.DB",
            "构件名称:ftString:50\t编号:ftString:50\t参数\t坐标\n"
            "给水管\tJL-9\t管径=65\t\n");
  LoadGjDefineByName(L"给水管", false);
  EXPECT_EQ(g_curLineGj.params, (StringArray{L"JL-9=管径=50"}));
  LoadGjDefineByName(L"给水管", true);
  EXPECT_EQ(g_curLineGj.params, (StringArray{L"JL-9=管径=65"}));
}

TEST_F(GjDefinition, PointDefinitionOfAnotherFloor) {
  showCombos(L"1层", L"管道", L"给水管", L"JL-1");
  LoadPointGjByName(L"给水管", L"2层", false);
  EXPECT_EQ(g_curPointGj.params, (StringArray{L"JL-9=管径=50"}));
  LoadPointGjByName(L"给水管", L"", true);
  EXPECT_EQ(g_curPointGj.params.size(), 2u) << "an empty floor is the combo's";
  EXPECT_EQ(g_curLineGj.name, L"") << "the linear definition is left alone";
}

}  // namespace
