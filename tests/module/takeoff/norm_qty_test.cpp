// The norm and bill quantity table 001.DB: its sums against the component
// quantity table after a take-off, and the merging, naming, ordering and
// chapter rows of the writer run over small component tables.
#include <gtest/gtest.h>

#include "tests/module/takeoff/result_fixture.h"

namespace kivtest {
namespace {

using NormQty = ResultTables;

// A take-off of two floors, the second counted three times: every 001 row
// sums what the component rows of 构件算量.DB report for its norm, and each
// floor header line sums the item lines that follow it.
TEST_F(NormQty, TableSumsAgreeWithTheComponentRows) {
  const std::string norm =
      "[001]\\r\\n类型=长度\\r\\n编号=D11-011\\r\\n名称=给水管安装\\r\\n单位=100m\\r\\n"
      "[002]\\r\\n类型=保温\\r\\n编号=D11-011B\\r\\n名称=给水管保温\\r\\n单位=m3\\r\\n增减1=调整\uE02F1+1\uE02F2";
  makeFloorTable("F1", "给水管\tJ1\t公称管径D_0(mm)=25\\r\\n保温厚度(mm)=20\t" + norm + "\n给水管\tJ2\t公称管径D_0(mm)=32\\r\\n"
                       "保温厚度(mm)=0\t" + norm + "\n");
  makeFloorTable("F2", "给水管\tJ1\t公称管径D_0(mm)=25\\r\\n保温厚度(mm)=20\t" + norm + "\n");
  makeFloors("F1\t1\t3000\tC30\tM7.5\nF2\t3\t3000\tC30\tM7.5\n", L"F1");
  cad::Database* db = working();
  run(db, L"给水管", L"J1", L"斜管", {0, 0, 0}, {4000, 0, 0}, 0, 3000, 3000);
  run(db, L"给水管", L"J1", L"斜管", {0, 1000, 0}, {2500, 1000, 0}, 0, 3000, 3000);
  run(db, L"给水管", L"J2", L"斜管", {0, 2000, 0}, {1500, 2000, 0}, 0, 3000, 3000);
  cad::Database side(true);
  run(&side, L"给水管", L"J1", L"斜管", {0, 0, 0}, {2000, 0, 0}, 0, 3000, 3000);
  ASSERT_EQ(side.saveAs(project() / "F2.DWG"), cad::Status::Ok);
  CmdZebTotalAll();

  // The norm lines of the component rows, summed per code and name.
  std::map<std::wstring, double> fromComponents;
  {
    tablelib::Table t(os::windowsPath(quantityTable()));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      StringArray lines;
      SplitLines(tablelib::FieldAsString(t, L"算式工程量"), lines);
      for (const std::wstring& l : lines) {
        StringArray p;
        SplitString(l, kSep, p);
        if (p.size() == 4 && l.rfind(L"定额=", 0) == 0) fromComponents[p[0].substr(3) + L"|" + p[1]] += num(p[2]);
      }
    }
  }
  std::map<std::wstring, double> fromTable;
  int norms = 0;
  for (const NormRow& r : normRows()) {
    if (r.kind != L"定额") continue;
    ++norms;
    fromTable[r.code + L"|" + r.keep1] = r.standardQty;
    EXPECT_NEAR(r.quantity, r.standardQty / (r.unit == L"100m" ? 100 : 1), 1e-5);
    // Each floor header line sums the item lines after it.
    double items = 0, total = 0, header = -1;
    for (const std::wstring& l : r.lines) {
      StringArray p;
      SplitString(l, kSep, p);
      if (l.rfind(L"=//增减量", 0) == 0) {
        total += num(l.substr(l.rfind(L':') + 1));
        continue;
      }
      if (p.size() < 3 || l.rfind(L"调整", 0) == 0) continue;
      if (l[0] == L'=') {
        if (header >= 0) {
          EXPECT_NEAR(header, items, 1e-5);
        }
        header = num(p[2]);
        total += header;
        items = 0;
      } else {
        items += num(p[2]);
      }
    }
    if (header >= 0) {
      EXPECT_NEAR(header, items, 1e-5);
    }
    EXPECT_NEAR(total, r.standardQty, 1e-5) << os::toUtf8(r.keep1);
  }
  EXPECT_EQ(norms, 4);  // the lengths of DN25 and DN32, the insulations of 20 and 0
  ASSERT_EQ(fromTable.size(), fromComponents.size());
  for (const auto& [key, sum] : fromTable) EXPECT_NEAR(fromComponents[key], sum, 1e-5) << os::toUtf8(key);
  // F1: 4 + 2.5 m of J1; F2: 2 m three times.
  EXPECT_NEAR(fromTable[L"D11-011|给水管安装[25]"], 6.5 + 6, 1e-5);
}

TEST_F(NormQty, EqualNormsMergeAndParametersSplitThemUnlessTheSwitchIsSet) {
  const std::string norm = "[001]\\r\\n类型=长度\\r\\n编号=D1-1\\r\\n名称=安装\\r\\n单位=m";
  auto line = [](const char* handle, const char* param, const char* v) {
    return std::string(handle) + "=001=定额=长度=" + param + "=A~B=" + v + "给水管长=" + v;
  };
  writeQuantityTable(header("F1", 1) + row("给水管", "J1", norm, line("1A", "25", "2")) +
                row("给水管", "J2", norm, line("1B", "25", "3")) + row("给水管", "J3", norm, line("1C", "32", "4")) +
                "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  std::vector<NormRow> rows = normRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].keep1, L"安装[25]");
  EXPECT_DOUBLE_EQ(rows[0].standardQty, 5);
  // Two components: two floor header lines, each before its item line.
  ASSERT_EQ(rows[0].lines.size(), 4u);
  EXPECT_EQ(rows[0].lines[0], L"=//F1=1" + kSep + L"//F1=1" + kSep + PrecStr(2, 5));
  EXPECT_EQ(rows[0].lines[1], L"给水管:1A=J1:A~B" + kSep + L"2给水管长" + kSep + PrecStr(2, 5));
  EXPECT_EQ(rows[1].keep1, L"安装[32]");
  EXPECT_EQ(rows[2].kind, L"");

  setConversion("1");
  ASSERT_TRUE(WriteNormQtyTable());
  rows = normRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].keep1, L"安装");
  EXPECT_DOUBLE_EQ(rows[0].standardQty, 9);
}

TEST_F(NormQty, UnitsCountsDescriptionsAndCodeOrder) {
  const std::string a = "[001]\\r\\n类型=长度\\r\\n编号=A-0101\\r\\n名称=第一行\\\\r第二行\\r\\n单位=100m";
  const std::string b = "[001]\\r\\n类型=长度\\r\\n编号=0201\\r\\n名称=其二\\r\\n单位=m";
  setConversion("1");
  writeQuantityTable(header("F1", 3) + row("给水管", "J1", b, "1A=001=定额=长度===1=1") +
                row("给水管", "J2", a, "1B=001=定额=长度===250=250") + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||3"});
  ASSERT_TRUE(WriteNormQtyTable());
  std::vector<NormRow> rows = normRows();
  ASSERT_EQ(rows.size(), 4u);
  // A-0101 is compared by 0101 and comes first; its name's second line is a
  // description row.
  EXPECT_EQ(kindsAndCodes(rows),
            (std::vector<std::wstring>{L"定额:A-0101:第一行", L"描述::第二行", L"定额:0201:其二", L"::"}));
  EXPECT_EQ(rows[0].keep1, L"第一行\\r第二行");
  EXPECT_EQ(rows[0].standardUnit, L"m");
  EXPECT_DOUBLE_EQ(rows[0].standardQty, 750);
  EXPECT_DOUBLE_EQ(rows[0].quantity, 7.5);
  EXPECT_EQ(rows[0].lines[0], L"=//F1=3" + kSep + L"//F1=3" + kSep + PrecStr(750, 5));
  EXPECT_EQ(rows[0].lines[1], L"给水管:1B=J2=3" + kSep + L"250" + kSep + PrecStr(750, 5));
}

TEST_F(NormQty, BillRulesOrderNormsUnderTheirBillItems) {
  setRuleSet("清单");
  setConversion("1");
  auto sec = [](int n, const char* kind, const char* code) {
    return "[00" + std::to_string(n) + "]\\r\\n类型=长度\\r\\n标志=" + kind + "\\r\\n编号=" + code + "\\r\\n名称=" + code +
           "\\r\\n单位=m";
  };
  auto lines = [](int n) {
    std::string out;
    for (int i = 1; i <= n; ++i) out += (i > 1 ? "\\r\\n" : "") + std::string("1A=00") + std::to_string(i) + "=x=长度===1=1";
    return out;
  };
  writeQuantityTable(header("F1", 1) + row("给水管", "J1", sec(1, "项", "P") + "\\r\\n" + sec(2, "定额", "2-1") + "\\r\\n" + sec(3, "定额", "2-3"), lines(3)) +
                row("给水管", "J2", sec(1, "项", "Q") + "\\r\\n" + sec(2, "定额", "2-2"), lines(2)) + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  EXPECT_EQ(kindsAndCodes(normRows()),
            (std::vector<std::wstring>{L"项:P:P", L"定额:2-1:2-1", L"定额:2-3:2-3", L"项:Q:Q", L"定额:2-2:2-2", L"::"}));
}

TEST_F(NormQty, ANormWithoutBillItemIsNotCountedUnderThePreviousComponentsBillItem) {
  setRuleSet("清单");
  setConversion("1");
  const std::string bill = "[001]\\r\\n类型=长度\\r\\n标志=项\\r\\n编号=P\\r\\n名称=P\\r\\n单位=m";
  const std::string norm = "类型=长度\\r\\n编号=2-1\\r\\n名称=2-1\\r\\n单位=m";
  writeQuantityTable(header("F1", 1) +
                     row("给水管", "J1", bill + "\\r\\n[002]\\r\\n" + norm, "1A=001=x=长度===1=1\\r\\n1A=002=x=长度===2=2") +
                     row("给水管", "J2", "[001]\\r\\n" + norm, "1B=001=x=长度===5=5") + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  double underP = 0, alone = 0;
  for (const NormRow& r : normRows())
    if (r.code == L"2-1") (r.standardQty == 2 ? underP : alone) = r.standardQty;
  EXPECT_EQ(underP, 2);
  EXPECT_EQ(alone, 5);
}

TEST_F(NormQty, ChapterRowsStandBeforeTheFirstRowOfEachChapter) {
  makeTable(suiteSystem() / u8"定额库.DB",
            "定额名称\t定额编号:ftString:30\n第1章 给水\tD01\n第2章 排水\tD02\n第3章 电气\tD03\n末\tD99\n");
  setConversion("1");
  auto norm = [](const char* code) {
    return std::string("[001]\\r\\n类型=长度\\r\\n编号=") + code + "\\r\\n名称=" + code + "\\r\\n单位=m";
  };
  writeQuantityTable(header("F1", 1) + row("给水管", "J1", norm("D01-011"), "1A=001=定额=长度===1=1") +
                row("给水管", "J2", norm("D01-021"), "1A=001=定额=长度===1=1") +
                row("给水管", "J3", norm("D03-011"), "1A=001=定额=长度===1=1") + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  ASSERT_TRUE(AddChapterRows());
  EXPECT_EQ(kindsAndCodes(normRows()),
            (std::vector<std::wstring>{L"部::第1章 给水", L"定额:D01-011:D01-011", L"定额:D01-021:D01-021",
                                       L"部::第3章 电气", L"定额:D03-011:D03-011", L"::"}));
}

TEST_F(NormQty, CancelKeepsWhatWasWrittenAndAnswersFalse) {
  const std::string norm = "[001]\\r\\n类型=长度\\r\\n编号=D1-1\\r\\n名称=安装\\r\\n单位=m";
  writeQuantityTable(header("F1", 1) + row("给水管", "J1", norm, "1A=001=定额=长度===2=2") +
                row("给水管", "J2", norm, "1B=001=定额=长度===3=3") + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  // Updates: the writer's first message, then one per component row.
  auto cancelAt = os::findFunction<KivTolm_CancelProgressAt_fn>(g_hostBaseLib, "KivTolm_CancelProgressAt");
  ASSERT_NE(cancelAt, nullptr);
  cancelAt(3);
  EXPECT_FALSE(WriteNormQtyTable());
  std::vector<NormRow> rows = normRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_DOUBLE_EQ(rows[0].standardQty, 2);
}

}  // namespace
}  // namespace kivtest
