// Circuit rows: the rows of a drawn floor's circuits, their quantity items
// from the computation lines of 构件算量.DB, the merges per circuit and per box,
// and the levels of the detail and summary tables.
#include <gtest/gtest.h>

#include "module/takeoff/circuit_rows.h"
#include "module/takeoff/circuit_tables.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/vocabulary.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {

// A point component of the kind (a block reference whose 特殊 is 点构件 at the
// elevation z); the region tests place theirs with it too.
cad::ObjectId PlacePointGj(cad::Database* db, const std::wstring& kind, const std::wstring& number, double x,
                           double y, double z) {
  if (db->blockId(L"M").isNull()) {
    cad::ObjectPtr<cad::BlockTable> t(db->blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"M");
    EXPECT_EQ(t->add(std::move(rec)), cad::Status::Ok);
  }
  GetOrCreateLayer(kind, db);
  cad::ObjectId id =
      InsertBlockRef(L"M", geom::Point3d(x, y, 0), 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), kind, db);
  EXPECT_TRUE(SetPointGjSpecial(&number, id, &z, nullptr));
  return id;
}

namespace {

const std::wstring S = L"\uE02F";

std::wstring item(std::initializer_list<std::wstring> fields) { return JoinCircuitItem(StringArray(fields)); }

CircuitRow row(const std::wstring& floor, const std::wstring& layer, const std::wstring& number,
               const std::wstring& handle, const std::wstring& key, int ordinal) {
  return {floor, layer, number, handle, key, ordinal, {}};
}

// A component row of 构件算量.DB: norm lines, each followed by a floor header
// and the item lines of the given handles and values.
CircuitSourceRow component(const std::wstring& kind, const std::wstring& number,
                           std::initializer_list<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>>
                               norms) {
  StringArray lines;
  for (const auto& [norm, items] : norms) {
    lines.push_back(norm);
    lines.push_back(L"=//F1=1" + S + L"//F1=1" + S + L"0");
    for (const auto& [handle, value] : items) lines.push_back(kind + L":" + handle + L"=" + number + S + L"x" + S + value);
  }
  std::wstring text;
  JoinLines(lines, text);
  return {kind, L"", number, text};
}

const StringArray kRuns{L"照明导线", L"导管"};
const StringArray kDevices{L"点状灯具", L"配电箱"};
const std::wstring kKey = L"配电箱,AL1,B1";

TEST(CircuitRows, ItemsFromTheComputationLinesMergedPerCircuit) {
  const std::wstring wireNorm = L"定额=D2-1" + S + L"照明导线, BV 2.5" + S + L"6" + S + L"m";
  std::vector<CircuitSourceRow> table = {
      {L"■F1=1", L"楼层", L"", L""},
      component(L"照明导线", L"W1", {{wireNorm, {{L"H1", L"2.5"}, {L"H2", L"3.5"}}}}),
      // W2's handle has no line under the first norm, only under the second.
      component(L"照明导线", L"W2",
                {{L"定额=D2-1" + S + L"导线" + S + L"1" + S + L"m", {{L"H9", L"1"}}},
                 {L"定额=D2-2" + S + L"穿线" + S + L"4" + S + L"m", {{L"H3", L"4"}}}}),
      // A lamp kind under two norms, the last norm line last in its text.
      {L"点状灯具", L"", L"L1",
       L"定额=D4-1" + S + L"灯具" + S + L"3" + S + L"套\r\n=//F1=1" + S + L"//F1=1" + S + L"3\r\n定额=D4-9" + S +
           L"接线" + S + L"3" + S + L"个"},
  };
  std::vector<CircuitRow> rows = {row(L"F1", L"照明导线", L"W1", L"H1", kKey, 1),
                                  row(L"F1", L"点状灯具", L"L1", L"HL1", kKey, 1),
                                  row(L"F1", L"照明导线", L"W1", L"H2", kKey, 1),
                                  row(L"F1", L"点状灯具", L"L1", L"HL2", kKey, 1),
                                  row(L"F1", L"照明导线", L"W2", L"H3", kKey, 1),
                                  row(L"F1", L"点状灯具", L"L1", L"HL3", kKey, 1),
                                  // A floor 构件算量.DB does not hold: its row goes.
                                  row(L"F9", L"照明导线", L"W1", L"H1", kKey, 1)};
  std::vector<CircuitPairList> pairs;
  AttributeCircuitItems(table, kRuns, kDevices, rows, pairs);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].floor, L"F1");
  EXPECT_EQ(pairs[0].pairs, (StringArray{L"照明导线&W1", L"照明导线&W2", L"点状灯具&L1"}));
  EXPECT_EQ(rows[0].items, (StringArray{item({L"D2-1", L"照明导线, BV 2.5", L"2.5", L"m", L"定额"})}));
  EXPECT_EQ(rows[4].items, (StringArray{item({L"D2-2", L"穿线", L"4", L"m", L"定额"})}));

  MergeCircuitRowsByOrdinal(pairs, rows);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].handle, L"H1,H2");
  EXPECT_EQ(rows[0].items, (StringArray{item({L"D2-1", L"照明导线, BV 2.5", L"6.000000", L"m", L"定额"})}));
  EXPECT_EQ(rows[1].number, L"W2");
  EXPECT_EQ(rows[2].handle, L"HL1,HL2,HL3");
  EXPECT_EQ(rows[2].items, (StringArray{item({L"D4-1", L"灯具", L"3.000000", L"套", L"定额"}),
                                        item({L"D4-9", L"接线", L"3.000000", L"个", L"定额"})}));
}

TEST(CircuitRows, FloorNamesWithAnEqualsSignAndUnmatchedItems) {
  std::vector<CircuitSourceRow> table = {
      {L"■A=B=2", L"楼层", L"", L""},
      {L"点状灯具", L"", L"L1", L"定额=D4-1" + S + L"灯具" + S + L"1" + S + L"套"},
  };
  std::vector<CircuitRow> rows = {row(L"A=B", L"点状灯具", L"L1", L"H1", kKey, 1),
                                  row(L"A=B", L"点状灯具", L"L1", L"H2", kKey, 1)};
  std::vector<CircuitPairList> pairs;
  AttributeCircuitItems(table, kRuns, kDevices, rows, pairs);
  // The second lamp also carries an item the first lacks: it is kept.
  rows[1].items.push_back(item({L"D9", L"其它", L"2", L"个", L"项"}));
  MergeCircuitRowsByOrdinal(pairs, rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].items, (StringArray{item({L"D4-1", L"灯具", L"2.000000", L"套", L"定额"}),
                                        item({L"D9", L"其它", L"2", L"个", L"项"})}));
}

TEST(CircuitRows, KeyMergeJoinsTheCircuitsOfOneBox) {
  auto withItem = [](CircuitRow r, const wchar_t* q) {
    r.items.push_back(item({L"D4-1", L"灯具", q, L"套", L"定额"}));
    return r;
  };
  std::vector<CircuitRow> rows = {withItem(row(L"F1", L"点状灯具", L"L1", L"H1", kKey, 1), L"1"),
                                  withItem(row(L"F1", L"照明导线", L"W1", L"H2", kKey, 1), L"5"),
                                  withItem(row(L"F1", L"点状灯具", L"L1", L"H3", kKey, 2), L"1"),
                                  withItem(row(L"F1", L"点状灯具", L"L1", L"H4", L"配电箱,AL2,B2", 3), L"1")};
  MergeCircuitRowsByKey(rows);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].handle, L"H1,H3");
  EXPECT_EQ(rows[0].ordinal, 1);
  EXPECT_EQ(rows[0].items, (StringArray{item({L"D4-1", L"灯具", L"2.000000", L"套", L"定额"})}));
  EXPECT_EQ(rows[1].layer, L"照明导线");
  EXPECT_EQ(rows[2].circuitKey, L"配电箱,AL2,B2");
}

class CircuitFloor : public TakeoffProject {
 protected:
  void SetUp() override {
    TakeoffProject::SetUp();
    BuildGjCategoryTable();  // the run and device groups of the attribution
  }
  cad::ObjectId point(const std::wstring& kind, const std::wstring& number, double x, double y) {
    return PlacePointGj(working(), kind, number, x, y, 2800);
  }
  // Empty templates of the two circuit tables in the installation.
  void makeCircuitTemplates() {
    const std::string fields =
        "回路:ftString:100\t实体\t编码:ftString:50\t名称\t工程量:ftString:30\t单位:ftString:20\t标志:ftString:20\n";
    makeTable(suiteSystem() / u8"电气回路明细表.DB", fields);
    makeTable(suiteSystem() / u8"电气回路汇总表.DB", fields);
  }
  cad::ObjectId wire(const std::wstring& number, geom::Point3d a, geom::Point3d b) {
    return run(working(), L"照明导线", number, L"斜管", a, b, 0, 2800, 2800);
  }
  std::wstring handle(cad::ObjectId id) { return GetHandleText(id); }
  // The circuit rows of the drawing as the floor F1.
  std::vector<CircuitRow> floorRows() {
    GjBuckets buckets;
    SortFloorGjIntoBuckets(buckets);
    g_gjBuckets = &buckets;
    std::vector<CircuitRow> rows;
    circuits::BuildFloorCircuitRows(L"F1", rows);
    g_gjBuckets = nullptr;
    return rows;
  }
};

TEST_F(CircuitFloor, RowsOfABoxWithTwoCircuitsAndALooseChain) {
  cad::ObjectId box = point(L"配电箱", L"AL1", 0, 0);
  // Circuit of two wires and a lamp; a single wire from the box to a lamp;
  // a chain that reaches no box, with its own lamp.
  cad::ObjectId w1 = wire(L"WL1", {10, 0, 0}, {1000, 0, 0});
  cad::ObjectId w2 = wire(L"WL1", {1000, 0, 0}, {2000, 0, 0});
  cad::ObjectId l1 = point(L"点状灯具", L"D1", 2010, 0);
  cad::ObjectId w3 = wire(L"WL2", {0, 10, 0}, {0, 1500, 0});
  cad::ObjectId l2 = point(L"点状灯具", L"D1", 0, 1510);
  wire(L"WL3", {5000, 5000, 0}, {6000, 5000, 0});
  point(L"点状灯具", L"D2", 6010, 5000);

  std::vector<CircuitRow> rows = floorRows();

  const std::wstring key = L"配电箱,AL1," + handle(box);
  struct Want {
    std::wstring layer, number, handle;
    int ordinal;
  } want[] = {{L"照明导线", L"WL1", handle(w2), 1}, {L"点状灯具", L"D1", handle(l1), 1},
              {L"照明导线", L"WL1", handle(w1), 1}, {L"照明导线", L"WL2", handle(w3), 2},
              {L"点状灯具", L"D1", handle(l2), 2}};
  ASSERT_EQ(rows.size(), std::size(want));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].floor, L"F1");
    EXPECT_EQ(rows[i].layer, want[i].layer);
    EXPECT_EQ(rows[i].number, want[i].number);
    EXPECT_EQ(rows[i].handle, want[i].handle);
    EXPECT_EQ(rows[i].circuitKey, key);
    EXPECT_EQ(rows[i].ordinal, want[i].ordinal);
  }
}

TEST_F(CircuitFloor, TheFloorsCircuitsGetTheirQuantitiesInBothTables) {
  makeCircuitTemplates();
  cad::ObjectId box = point(L"配电箱", L"AL1", 0, 0);
  cad::ObjectId w1 = wire(L"WL1", {10, 0, 0}, {1000, 0, 0});
  cad::ObjectId w2 = wire(L"WL1", {1000, 0, 0}, {2000, 0, 0});
  cad::ObjectId l1 = point(L"点状灯具", L"D1", 2010, 0);
  cad::ObjectId w3 = wire(L"WL2", {0, 10, 0}, {0, 1500, 0});  // a single wire from the box
  cad::ObjectId l2 = point(L"点状灯具", L"D1", 0, 1510);
  std::vector<CircuitRow> rows = floorRows();

  // 构件算量.DB as the norm writer leaves it: per component row its norm
  // lines, each followed by the floor header and one line per entity.
  const std::string sep = "\xEE\x80\xAF", nl = "\\r\\n";
  auto h = [](cad::ObjectId id) { return os::toUtf8(GetHandleText(id)); };
  auto wireLine = [&](const std::string& no, cad::ObjectId id, const char* v) {
    return nl + "照明导线:" + h(id) + "=" + no + sep + "x" + sep + v;
  };
  makeTable(quantityTable(),
            "构件名称:ftString:50\t标志:ftString:20\t编号:ftString:50\t算式工程量\n"
            "■F1=1\t楼层\t\t\n" +
                std::string("照明导线\t\tWL1\t定额=D2-1") + sep + "照明线路" + sep + "2" + sep + "m" + nl + "=//F1=1" +
                sep + "//F1=1" + sep + "2" + wireLine("WL1", w1, "1.2") + wireLine("WL1", w2, "0.8") + "\n" +
                "照明导线\t\tWL2\t定额=D2-1" + sep + "照明线路" + sep + "1.5" + sep + "m" + nl + "=//F1=1" + sep +
                "//F1=1" + sep + "1.5" + wireLine("WL2", w3, "1.5") + "\n" +
                "点状灯具\t\tD1\t定额=D4-1" + sep + "吸顶灯" + sep + "2" + sep + "套" + nl + "=//F1=1" + sep +
                "//F1=1" + sep + "2\n");
  circuits::WriteCircuitTables(rows);

  auto table = [&](const char8_t* name) {
    fs::path db = project() / (std::u8string(name) + u8".DB");
    return column(db, "标志") + "|" + column(db, "编码") + "|" + column(db, "工程量");
  };
  // Detail: circuit 1 (WL1 two wires merged, the lamp), circuit 2 (WL2, the lamp).
  EXPECT_EQ(table(u8"电气回路明细表"),
            "楼层\n配电箱\n回路\n构件\n编号\n定额\n构件\n编号\n定额\n回路\n构件\n编号\n定额\n构件\n编号\n定额\n|"
            "\n\n\n照明导线\n  WL1\n    D2-1\n点状灯具\n  D1\n    D4-1\n\n照明导线\n  WL2\n    D2-1\n点状灯具\n  D1\n"
            "    D4-1\n|\n\n\n\n\n2.000000\n\n\n1\n\n\n\n1.5\n\n\n1\n");
  // Summary: the box's components merged over both circuits.
  EXPECT_EQ(table(u8"电气回路汇总表"),
            "楼层\n配电箱\n构件\n编号\n定额\n构件\n编号\n定额\n构件\n编号\n定额\n|"
            "\n\n照明导线\n  WL1\n    D2-1\n点状灯具\n  D1\n    D4-1\n照明导线\n  WL2\n    D2-1\n|"
            "\n\n\n\n2.000000\n\n\n2.000000\n\n\n1.5\n");
  (void)box;
  (void)l1;
  (void)l2;
}

TEST_F(CircuitFloor, TableLevelsOfDetailAndSummary) {
  makeCircuitTemplates();
  auto withItem = [](CircuitRow r, const wchar_t* q) {
    r.items.push_back(item({L"D4-1", L"灯具", q, L"套", L"定额"}));
    r.items.push_back(L"bad,item");
    return r;
  };
  // Two circuits of one box ending and starting with the same type, then a
  // second floor whose box has the same key text.
  std::vector<CircuitRow> rows = {withItem(row(L"F1", L"点状灯具", L"L1", L"H1", kKey, 1), L"1"),
                                  withItem(row(L"F1", L"点状灯具", L"L1", L"H2", kKey, 2), L"1"),
                                  withItem(row(L"F2", L"点状灯具", L"L1", L"H3", kKey, 1), L"1")};
  circuits::WriteCircuitDetailTable(rows);
  circuits::WriteCircuitSummaryTable(rows);
  auto levels = [&](const char8_t* table) {
    fs::path db = project() / (std::u8string(table) + u8".DB");
    return column(db, "标志") + "|" + column(db, "回路") + "|" + column(db, "编码") + "|" + column(db, "实体");
  };
  EXPECT_EQ(levels(u8"电气回路明细表"),
            "楼层\n配电箱\n回路\n构件\n编号\n定额\n回路\n构件\n编号\n定额\n楼层\n配电箱\n回路\n构件\n编号\n定额\n|"
            "F1\n  配电箱:AL1\n    回路\n\n\n\n    回路\n\n\n\nF2\n  配电箱:AL1\n    回路\n\n\n\n|"
            "\n\n\n点状灯具\n  L1\n    D4-1\n\n点状灯具\n  L1\n    D4-1\n\n\n\n点状灯具\n  L1\n    D4-1\n|"
            "\n点状灯具:H1\r\n点状灯具:H2\r\n配电箱:B1\n点状灯具:H1\n点状灯具:H1\n点状灯具:H1\n\n点状灯具:H2\n"
            "点状灯具:H2\n点状灯具:H2\n\n\n点状灯具:H3\r\n配电箱:B1\n点状灯具:H3\n点状灯具:H3\n点状灯具:H3\n\n");
  EXPECT_EQ(levels(u8"电气回路汇总表"),
            "楼层\n配电箱\n构件\n编号\n定额\n楼层\n配电箱\n构件\n编号\n定额\n|"
            "F1\n  配电箱:AL1\n\n\n\nF2\n  配电箱:AL1\n\n\n\n|"
            "\n\n点状灯具\n  L1\n    D4-1\n\n\n点状灯具\n  L1\n    D4-1\n|"
            "\n点状灯具:H1,H2\r\n配电箱:B1\n点状灯具:H1,H2\n点状灯具:H1,H2\n\n\n点状灯具:H3\r\n配电箱:B1\n点状灯具:H3\n"
            "点状灯具:H3\n\n");
}

TEST_F(CircuitFloor, EmptyRowsGiveEmptyTablesAndAMissingTemplateIsNamed) {
  for (const char8_t* t : {u8"电气回路明细表.DB", u8"电气回路明细表.MB", u8"电气回路汇总表.DB", u8"电气回路汇总表.MB"})
    fs::remove(suiteSystem() / t);
  std::vector<CircuitRow> none;
  circuits::WriteCircuitDetailTable(none);  // no template yet
  EXPECT_FALSE(fs::exists(project() / u8"电气回路明细表.DB"));
  EXPECT_NE(commandLine().find(L"[电气回路明细表]表，此表未写入"), std::wstring::npos) << commandLine();
  makeCircuitTemplates();
  circuits::WriteCircuitTables(none);
  for (const char8_t* t : {u8"电气回路明细表.DB", u8"电气回路汇总表.DB"}) {
    ASSERT_TRUE(fs::exists(project() / t));
    EXPECT_EQ(column(project() / t, "标志"), "");
  }
}

}  // namespace
}  // namespace kivtest
