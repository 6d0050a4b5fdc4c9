// Writing the drawing's components into the floor's component table: which
// row an entity lands in, what a new row is filled with, what an existing
// row takes over, and that a second run changes nothing.
#include "module/model/floor_table_writer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "module/toolkit/table_lib.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/progress.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using Rows = std::vector<std::vector<std::wstring>>;

const char* const kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t图层\t参数\t定额\t清单\t纯清单\n"
    "管道\t给水管\t给水管\t材质=PP-R管:PP-R管,PE管\\r\\n管径=25\\r\\n图形=圆形\t"
    "定额=数量==构件给水管||D01=米\\r\\n两段=x\\r\\n定额=长度==||D02=米\t清单=长度==构件||Q01=米\t\n"
    "管道附件\t阀门\t阀门\t型号=闸阀\\r\\n图形=阀门:阀门,蝶阀\t定额=个数==构件阀门||D05=个\t\t项=数量==构件||Q05=个\n"
    "轴网\t轴网\t轴网\t间距=3000\t定额=a=b=c||d\t\t\n"
    "其它\t末件\t末件\t末参数=1\t定额=a=b=c||d\t\t\n";

const char* const kGraph =
    "名称:ftString:100\t参数\t坐标\t三维坐标\t图形宽:ftString:20\t图形高:ftString:20\t标注\n"
    "◆阀门\t\t\t\t\t\t\n"
    "阀门:阀门,蝶阀\t口径=50\t-150,-100|150,100\t3D\t300\t200\t编号\n";

const char* const kFloor =
    "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t定额\t坐标\t三维坐标\t标注\t"
    "图形宽:ftString:20\t图形高:ftString:20\t网格\n"
    "给水管\t\t管道\t材质=钢管\tKEEP\t\t\t\t\t\t\n"
    "给水管\tJ1\t管道\t材质=铜管\\r\\n管径=20\t旧\t\t\t\t\t\t\n"
    "阀门\tF1\t管道附件\t型号=蝶阀\t\t\t\t\t\t\t\n"
    "阀门\tF2\t管道附件\t型号=球阀\t\t\t\t\t\t\t\n";

class FloorTableWriter : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeTable(suiteSystem() / u8"图形库.DB", kGraph);
    makeTable(project() / u8"1层.DB", kFloor);
    writeMode("定额");
    showFloor(L"1层");
  }
  void writeMode(const std::string& mode) {
    std::ofstream f(project() / "000.GC", std::ios::binary);
    f << "[工程档案]\n工程名称=P\n工程量规则=" << mode << "\n";
  }
  cad::ObjectId component(const std::wstring& type, const std::wstring& number, StringArray extra,
                          double y) {
    cad::ObjectId id = AddLine(Point3d(0, y, 0), Point3d(100, y, 0), type, nullptr);
    StringArray attrs{id.handle().text(), L"主键"};
    attrs.insert(attrs.end(), extra.begin(), extra.end());
    EXPECT_TRUE(SetGjXdataLines(id, number, attrs, nullptr));
    return id;
  }
  StringArray attrsOf(cad::ObjectId id) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    return attrs;
  }
  Rows rows(const std::vector<std::wstring>& fields) {
    Rows out;
    tablelib::Table t(g_projectRoot + L"\\P\\1层.DB");
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      std::vector<std::wstring> row;
      for (const auto& f : fields) row.push_back(tablelib::FieldAsString(t, f));
      out.push_back(std::move(row));
    }
    return out;
  }
  std::vector<std::wstring> row(const std::wstring& name, const std::wstring& number,
                                const std::vector<std::wstring>& fields) {
    std::vector<std::wstring> all{L"构件名称", L"编号"};
    all.insert(all.end(), fields.begin(), fields.end());
    for (auto& r : rows(all))
      if (r[0] == name && r[1] == number) return std::vector<std::wstring>(r.begin() + 2, r.end());
    return {};
  }
};

TEST_F(FloorTableWriter, WholeDrawingRowsAndPrimaryMarking) {
  cad::ObjectId j1 = component(L"给水管", L"J1", {L"管径=32", L"新名=1"}, 0);
  cad::ObjectId j2 = component(L"给水管", L"J2", {L"材质=PE管", L"颜色=红"}, 10);
  StringArray coords{L"0,0|100,0"};
  ASSERT_TRUE(SetXdataLines(j2, L"坐标", coords, nullptr));
  cad::ObjectId v3 = component(L"阀门", L"V3", {L"型号=蝶阀"}, 20);
  cad::ObjectId rain = component(L"雨水管", L"R1", {L"管径=100"}, 30);
  cad::ObjectId axis = component(L"轴网", L"A", {L"间距=6000"}, 40);
  cad::ObjectId axisName = component(L"轴网名", L"A", {L"x=1"}, 50);
  cad::ObjectId unnumbered = component(L"给水管", L"", {L"管径=40"}, 60);

  WriteAllGjToFloorTables();
  EXPECT_FALSE(ed::progressState().shown);

  // The number's own row wins over the template row before it; new names
  // and numbers keep the rows of a name together.
  const Rows order = rows({L"构件名称", L"编号", L"构件分类"});
  EXPECT_EQ(order, (Rows{{L"给水管", L"J2", L"管道"},
                         {L"给水管", L"J1", L"管道"},
                         {L"阀门", L"F1", L"管道附件"},
                         {L"阀门", L"F2", L"管道附件"},
                         {L"阀门", L"V3", L"管道附件"},
                         {L"雨水管", L"R1", L""},
                         {L"轴网", L"A", L"轴网"}}));

  // Existing row: known names take the entity's values, others are dropped.
  EXPECT_EQ(row(L"给水管", L"J1", {L"参数", L"定额"}),
            (std::vector<std::wstring>{L"材质=铜管\r\n管径=32", L"旧"}));
  // Template row: library parameters with the entity's values (choices kept),
  // its own rule text kept, the entity's figure data.
  EXPECT_EQ(row(L"给水管", L"J2", {L"参数", L"定额", L"坐标", L"网格", L"图形宽", L"图形高"}),
            (std::vector<std::wstring>{L"材质=PE管:PP-R管,PE管\r\n管径=25\r\n图形=圆形\r\n颜色=红", L"KEEP",
                                       L"0,0|100,0", L"[COORD 0]", L"300", L"300"}));
  StringArray left;
  GetXdataLines(j2, L"坐标", left);
  EXPECT_TRUE(left.empty());
  // New row: figure from the graph library (the name with its choices) and
  // rule items with their numbers, names and units.
  EXPECT_EQ(row(L"阀门", L"V3", {L"参数", L"定额", L"坐标", L"三维坐标", L"图形宽", L"图形高", L"标注"}),
            (std::vector<std::wstring>{L"型号=蝶阀\r\n图形=阀门:阀门,蝶阀\r\n口径=50",
                                       L"[001]\r\n标志=定额\r\n类型=个数\r\n编号=D05\r\n名称=构件阀门\r\n单位=个",
                                       L"-150,-100|150,100", L"3D",
                                       L"300", L"200", L"编号"}));
  // A type the library lacks takes nothing of another component.
  EXPECT_EQ(row(L"雨水管", L"R1", {L"参数", L"定额"}), (std::vector<std::wstring>{L"管径=100", L""}));
  // The grid row holds its names only; the entity keeps its data.
  EXPECT_EQ(row(L"轴网", L"A", {L"参数", L"定额"}), (std::vector<std::wstring>{L"", L""}));
  EXPECT_EQ(attrsOf(axis).size(), 3u);

  for (cad::ObjectId id : {j1, j2, v3, rain})
    EXPECT_EQ(attrsOf(id), (StringArray{id.handle().text(), L"主键"}));
  EXPECT_EQ(attrsOf(axisName), (StringArray{axisName.handle().text(), L"主键", L"x=1"}));
  EXPECT_EQ(attrsOf(unnumbered).size(), 3u);

  // A second run finds every row and changes nothing but the grid entity.
  const std::vector<std::wstring> all{L"构件名称", L"编号", L"构件分类", L"参数", L"定额", L"坐标",
                                      L"三维坐标", L"标注", L"图形宽", L"图形高", L"网格"};
  const Rows first = rows(all);
  WriteAllGjToFloorTables();
  EXPECT_EQ(rows(all), first);
  EXPECT_EQ(attrsOf(axis), (StringArray{axis.handle().text(), L"主键"}));
}

// The items carry their codes, names and units, so that the fittings written
// here are priced.
TEST_F(FloorTableWriter, TypesOfTheCallerWithTheRuleMode) {
  writeMode("纯清单");
  component(L"阀门", L"F2", {L"型号=止回阀"}, 0);
  component(L"阀门", L"V9", {}, 10);
  component(L"给水管", L"J9", {}, 20);
  WriteGjToFloorTable(L"阀门");
  EXPECT_EQ(row(L"阀门", L"F2", {L"参数", L"定额"}), (std::vector<std::wstring>{L"型号=止回阀", L""}));
  EXPECT_EQ(row(L"阀门", L"V9", {L"定额"}),
            (std::vector<std::wstring>{L"[001]\r\n标志=项\r\n类型=数量\r\n编号=Q05\r\n名称=构件\r\n单位=个"}));
  EXPECT_TRUE(row(L"给水管", L"J9", {L"定额"}).empty());
  EXPECT_EQ(rows({L"构件名称"}).size(), 5u);

  // Any other mode, or none, means 定额.
  writeMode("其它");
  component(L"阀门", L"V10", {}, 30);
  WriteGjToFloorTable(L"阀门");
  EXPECT_EQ(row(L"阀门", L"V10", {L"定额"}),
            (std::vector<std::wstring>{L"[001]\r\n标志=定额\r\n类型=个数\r\n编号=D05\r\n名称=构件阀门\r\n单位=个"}));
}

TEST_F(FloorTableWriter, AFloorWithoutTableChangesNothing) {
  cad::ObjectId j1 = component(L"给水管", L"J1", {L"管径=32"}, 0);
  for (const wchar_t* floor : {L"无此层", L""}) {
    showFloor(floor);
    WriteAllGjToFloorTables();
    WriteGjToFloorTable(L"给水管");
  }
  EXPECT_EQ(attrsOf(j1).size(), 3u);
  EXPECT_EQ(row(L"给水管", L"J1", {L"参数"}), (std::vector<std::wstring>{L"材质=铜管\r\n管径=20"}));
  EXPECT_FALSE(ed::progressState().shown);
}

TEST(FloorTableRuleItems, PartsAndNumbers) {
  struct Case {
    const char* what;
    StringArray lines;
    bool withNumbers;
    std::wstring want;
  } cases[] = {
      {"number after ||", {L"定额=数量==构件||D01=米"}, true, L"[001]\r\n标志=定额\r\n类型=数量\r\n编号=D01"},
      {"no numbers asked", {L"定额=数量==构件||D01=米"}, false, L"[001]\r\n标志=定额\r\n类型=数量"},
      {"|| first", {L"定额=数量==||D01"}, true, L"[001]\r\n标志=定额\r\n类型=数量"},
      {"two ||", {L"a=b=c=x||y||z"}, true, L"[001]\r\n标志=a\r\n类型=b"},
      {"short lines skipped, index counts items",
       {L"a=b", L"a=b=c", L"", L"no parts", L" p=q=r=s ", L"t=u=v=w||n"},
       true,
       L"[001]\r\n标志=p\r\n类型=q\r\n[002]\r\n标志=t\r\n类型=u\r\n编号=n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BuildRuleItems(c.lines, c.withNumbers), c.want);
  }
}

TEST(FloorTableTypes, TheFixedListOfTheWholeDrawingWriter) {
  const StringArray& types = FloorTableGjTypes();
  ASSERT_EQ(types.size(), 141u);
  EXPECT_EQ(types.front(), L"给水管");
  EXPECT_EQ(types.back(), L"洞");
  for (const wchar_t* fitting : {L"管道配件", L"风管配件", L"水管配件"})
    EXPECT_EQ(std::find(types.begin(), types.end(), fitting), types.end());
}

}  // namespace
