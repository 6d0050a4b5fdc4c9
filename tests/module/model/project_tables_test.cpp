// The readers of the project tables on small tables made for each case.
#include "module/model/project_tables.h"

#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;

const char* const kFloorTable =
    "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n"
    "地下1层\t4200\t-3000\n"
    "1层\t-2900\t0\n"
    "2层\t3300 \t3900.5\n"
    "夹层\tabc\t\n";

// Component rows: 给水管 A1 twice (the second would be a duplicate number),
// B2 with empty fields, then another name, then a stray 给水管 row that is
// not adjacent to the others.
const char* const kGjTable =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n"
    "给水管\tA1\t管道\t材质=PP-R管:PP-R管,PE管\\r\\n管径=25:15:20\\r\\n连接方式\t0,0|100,0\n"
    "给水管\tA1\t管道\t材质=钢管\t\n"
    "给水管\tB2\t管道\t\tB2\n"
    "阀门\tF1\t管道附件\t型号=闸阀\t0,0\n"
    "给水管\tC3\t管道\t材质=铜管\t1,1\n";

class ProjectTables : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(project() / "007.DB", kFloorTable);
    makeTable(project() / u8"1层.DB", kGjTable);
  }
};

TEST_F(ProjectTables, FloorLevelsKeepTheBaseElevationsSign) {
  struct Case {
    const wchar_t* floor;
    double height, base;
  };
  const Case cases[] = {
      {L"地下1层", 4200, -3000},  // a basement lies below zero
      {L"1层", 2900, 0},          // a height has no sign
      {L"2层", 3300, 3900.5},
      {L"夹层", 0, 0},            // no number reads as 0
      {L"屋面层", 0, 0},          // no row
  };
  for (const auto& c : cases) {
    showFloor(c.floor);
    g_floorHeight = g_floorBaseElev = -1;
    LoadCurFloorLevels();
    if (std::wstring(c.floor) == L"屋面层") {
      // The combo refuses a floor the table lacks; ask the reader directly.
      LoadFloorLevels(c.floor, g_floorHeight, g_floorBaseElev);
    }
    EXPECT_EQ(g_floorHeight, c.height) << testing::PrintToString(std::wstring(c.floor));
    EXPECT_EQ(g_floorBaseElev, c.base) << testing::PrintToString(std::wstring(c.floor));
  }
}

TEST_F(ProjectTables, ParamsOfANameOrOfOneNumber) {
  StringArray out;
  ReadFloorGjParams(out, L"1层", L"给水管", L"A1", L"参数");
  // Only the first row with the number; values cut before their first colon.
  EXPECT_EQ(out, (StringArray{L"A1=材质=PP-R管\r\n管径=25\r\n连接方式"}));

  ReadFloorGjParams(out, L"1层", L"给水管,阀门", L"", L"参数,坐标");
  // Every adjacent row of the name in order; the stray later row is not seen.
  EXPECT_EQ(out, (StringArray{L"A1=材质=PP-R管\r\n管径=25\r\n连接方式\r\n0,0|100,0", L"A1=材质=钢管",
                              L"B2=B2", L"F1=型号=闸阀\r\n0,0"}));

  ReadFloorGjParams(out, L"1层", L"给水管", L"Z9", L"参数");
  EXPECT_TRUE(out.empty());
}

TEST_F(ProjectTables, SingleFieldListsNumbersAndSkipsEmptyValues) {
  StringArray out;
  ReadFloorGjField(out, L"1层", L"给水管", L"", L"编号");
  EXPECT_EQ(out, (StringArray{L"A1", L"A1", L"B2"}));
  ReadFloorGjField(out, L"1层", L"给水管", L"", L"坐标");
  // The row whose 坐标 is empty is left out; B2's value equals its number.
  EXPECT_EQ(out, (StringArray{L"A1=0,0|100,0", L"B2"}));
  ReadFloorGjField(out, L"1层", L"给水管", L"", L"没有的字段");
  EXPECT_TRUE(out.empty());
}

TEST_F(ProjectTables, LibraryFieldLinesInTheOrderOfTheNames) {
  makeTable(suiteSystem() / u8"构件库.DB",
            "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n"
            "管道\t给水管\t给水管\\r\\n给水管名\t给水管=65280\\r\\n给水管名=16777215\n"
            "管道附件\t阀门\t阀门\t阀门=255\n");
  StringArray out;
  ReadGjLibraryField(out, L"阀门,没有,给水管", L"图层");
  EXPECT_EQ(out, (StringArray{L"阀门", L"给水管", L"给水管名"}));
}

TEST_F(ProjectTables, AMissingTableOrLibraryReadsAsEmpty) {
  StringArray out{L"stale"};
  ReadFloorGjParams(out, L"没有的楼层", L"给水管", L"", L"参数");
  EXPECT_TRUE(out.empty());
  // Without the table library at all: no handle, an empty result, levels 0.
  os::freeLibrary(g_hostTableLib);
  g_hostTableLib = nullptr;
  out = {L"stale"};
  ReadFloorGjField(out, L"1层", L"给水管", L"", L"编号");
  EXPECT_TRUE(out.empty());
  double h = -1, b = -1;
  LoadFloorLevels(L"1层", h, b);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(b, 0);
}

TEST_F(ProjectTables, SectionLookupInTheGraphLibrary) {
  const auto graph = suiteSystem() / u8"图形库.DB";
  makeTable(graph,
            "名称:ftString:100\t参数\n"
            "◆其它风管\t\n"
            "矩形\t其它风管的矩形\n"
            "◆阀门附件\t\n"
            "闸阀\t附件里的闸阀\n"
            "  ◆ 阀门 \t\n"
            "闸阀\t\n"
            "  蝶阀\t\n"
            "◆风口\t\n"
            "百叶\t\n"
            "闸阀\t风口里的闸阀\n");
  tablelib::Table t(GraphLibraryPath());
  ASSERT_GT(t.handle(), 0);
  struct Case {
    const wchar_t* section;
    const wchar_t* item;
    bool found;
    const wchar_t* cursorOn;  // 名称 of the row the cursor stands on after
  };
  const Case cases[] = {
      {L"风口", L"百叶", true, L"百叶"},
      {L"阀门", L"蝶阀", true, L"  蝶阀"},          // leading blanks of rows ignored
      {L"阀门", L"闸阀", true, L"闸阀"},
      {L"阀门", L"百叶", false, L"◆风口"},          // stops at the next header
      {L"风口", L"闸阀", true, L"闸阀"},
      // With no header of the name itself, one that contains it stands in.
      {L"风管", L"矩形", true, L"矩形"},
      {L"没有", L"矩形", false, L"◆其它风管"},      // back on the first row
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LocateRuleItem(t, c.section, c.item), c.found)
        << testing::PrintToString(std::wstring(c.section) + L"/" + c.item);
    EXPECT_EQ(tablelib::FieldAsString(t, L"名称"), c.cursorOn)
        << testing::PrintToString(std::wstring(c.section) + L"/" + c.item);
  }
  EXPECT_EQ(tablelib::FieldAsString(t, L"参数"), L"");
  ASSERT_TRUE(LocateRuleItem(t, L"阀门", L"闸阀"));
  EXPECT_EQ(tablelib::FieldAsString(t, L"参数"), L"") << "the section's own header wins over one containing it";
  ASSERT_TRUE(LocateRuleItem(t, L"风口", L"闸阀"));
  EXPECT_EQ(tablelib::FieldAsString(t, L"参数"), L"风口里的闸阀");
}

TEST(TrimAttrValues, CutAtTheFirstColonOfTheValue) {
  StringArray items{L"a=1:2:3", L"b=x", L"无等号:1", L"c=", L"d=:y", L"e:f=1:2"};
  TrimAttrValuesAtColon(items);
  EXPECT_EQ(items, (StringArray{L"a=1", L"b=x", L"无等号:1", L"c=", L"d=", L"e:f=1"}));
}

}  // namespace
