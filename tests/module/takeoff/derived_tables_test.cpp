// The tables derived from 构件算量.DB and 001.DB: component parameters,
// the flat quantity table, floor details, method summaries, and the sundry
// works that enter the component rows.
#include <gtest/gtest.h>

#include "tests/module/takeoff/result_fixture.h"

namespace kivtest {
namespace {

class Derived : public ResultTables {
 protected:
  void SetUp() override {
    ResultTables::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    makeTable(suiteSystem() / u8"定额楼层明细.DB",
              "序号:ftString:10\t编码:ftString:30\t名称\t单位:ftString:20\t工程量:ftString:30\t标志:ftString:20\n");
    makeTable(suiteSystem() / u8"构件做法汇总.DB",
              "编码:ftString:50\t名称\t工程量:ftString:30\t单位:ftString:20\t标志:ftString:20\n");
    setConversion("1");
  }

  static std::string norm(const char* code, const char* kind = "定额") {
    return std::string("[001]\\r\\n类型=长度\\r\\n标志=") + kind + "\\r\\n编号=" + code + "\\r\\n名称=N" + code +
           "\\r\\n单位=m";
  }
  static std::string item(const char* handle, const char* v) {
    return std::string(handle) + "=001=定额=长度===" + v + "=" + v;
  }
  static std::string separator() { return "\t\t\t\t\t\t\t\t\n"; }

  // Three floors 1, 10 and 3 with norms 0302-1 (floors 1 and 10), 0308-1
  // (floor 10 only, two components) and A-0101 (floor 3).
  void threeFloors() {
    writeQuantityTable(header("1", 1) + row("开关", "K1", norm("0302-1"), item("1A", "2")) + separator() +
                       header("10", 2) + row("开关", "K1", norm("0302-1"), item("1B", "3")) +
                       row("给水管", "GS1", norm("0308-1"), item("1C", "1.25")) +
                       row("给水管", "GS2", norm("0308-1"), item("1D", "0.5")) + separator() + header("3", 1) +
                       row("给水管", "GS3", norm("A-0101"), item("1E", "4")) + separator());
    floors({L"1||1", L"10||2", L"3||1"});
    ASSERT_TRUE(WriteNormQtyTable());
  }
};

TEST_F(Derived, FloorRowsAddUpToTheirTotalRow) {
  threeFloors();
  ASSERT_TRUE(WriteFloorDetailTable(L"定额"));
  for (int d = 1; d <= 4; ++d) ASSERT_TRUE(WriteDisciplineFloorDetailTable(L"定额", d));
  const StringArray fields{L"序号", L"编码", L"名称", L"工程量", L"标志"};
  const std::vector<std::wstring> all = tableRows(u8"定额楼层明细.DB", fields);
  ASSERT_EQ(all.size(), 7u);
  // Each total row is followed by its floor rows, whose sum it is.
  double total = -1, floorsSum = 0;
  for (const std::wstring& line : all) {
    StringArray f;
    for (size_t a = 0;;) {
      size_t b = line.find(L'\t', a);
      f.push_back(line.substr(a, b == std::wstring::npos ? b : b - a));
      if (b == std::wstring::npos) break;
      a = b + 1;
    }
    ASSERT_EQ(f.size(), 5u);
    if (f[4] == L"楼层") {
      floorsSum += num(f[3]);
    } else {
      if (total >= 0) {
        EXPECT_NEAR(floorsSum, total, 1e-3);
      }
      total = num(f[3]);
      floorsSum = 0;
    }
  }
  EXPECT_NEAR(floorsSum, total, 1e-3);
  // A-0101 sorts first (by 0101). Floor 1 is not confused with floor 10: 2
  // on floor 1, 3 × 2 on floor 10.
  EXPECT_EQ(all[0], L"1\tA-0101\tNA-0101\t4\t定额");
  EXPECT_EQ(all[3], L"\t\t      1\t" + PrecStr(2, 3) + L"\t楼层");
  EXPECT_EQ(all[4], L"\t\t      10\t" + PrecStr(6, 3) + L"\t楼层");
  EXPECT_EQ(all[6], L"\t\t      10\t" + PrecStr(3.5, 3) + L"\t楼层");
  // The discipline tables take their prefix only; A-0101 is in none.
  EXPECT_EQ(tableRows(u8"定额楼层明细_电气.DB", {L"编码"}), (std::vector<std::wstring>{L"0302-1", L"", L""}));
  EXPECT_EQ(tableRows(u8"定额楼层明细_给排水.DB", {L"编码"}), (std::vector<std::wstring>{L"0308-1", L""}));
  EXPECT_TRUE(tableRows(u8"定额楼层明细_暖通.DB", {L"编码"}).empty());
}

TEST_F(Derived, BillTablesSurviveTheDisciplineWriters) {
  writeQuantityTable(header("1", 1) + row("开关", "K1", norm("0302-1", "项"), item("1A", "2")) + separator());
  floors({L"1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  ASSERT_TRUE(WriteFloorDetailTable(L"项"));
  ASSERT_TRUE(WriteMethodSummary(L"项"));
  for (int d = 1; d <= 4; ++d) {
    ASSERT_TRUE(WriteDisciplineFloorDetailTable(L"项", d));
    ASSERT_TRUE(WriteDisciplineMethodSummary(L"项", d));
  }
  EXPECT_EQ(tableRows(u8"清单楼层明细.DB", {L"编码"}).size(), 2u);
  EXPECT_EQ(tableRows(u8"清单构件做法汇总.DB", {L"编码"}).size(), 4u);
}

TEST_F(Derived, QuantityTableHasOneRowPerComputationLine) {
  threeFloors();
  ASSERT_TRUE(WriteQtyTable());
  const std::vector<std::wstring> rows = tableRows(u8"工程量表.DB", {L"编号", L"名称", L"标准工程量", L"标志"});
  size_t expected = 0;
  for (const NormRow& r : normRows()) expected += 1 + r.lines.size();  // no adjustments, no descriptions
  EXPECT_EQ(rows.size(), expected);
  // 0302-1 (after A-0101 and its two lines): its copy, then per floor the
  // floor line and the item line.
  EXPECT_EQ(rows[3].substr(0, 7), L"0302-1\t");
  EXPECT_EQ(rows[4], L"//1=1\t//1=1\t" + PrecStr(2, 5) + L"\t解释");
  EXPECT_EQ(rows[5], L"K1\t2\t" + PrecStr(2, 5) + L"\t开关:1A");
  EXPECT_EQ(rows[7], L"K1=2\t3\t" + PrecStr(6, 5) + L"\t开关:1B");
}

TEST_F(Derived, QuantityTableFollowsDescriptionsAndDropsTheAdjustmentHeader) {
  writeQuantityTable(header("1", 1) +
                     row("开关", "K1",
                         "[001]\\r\\n类型=长度\\r\\n编号=D1\\r\\n名称=甲\\\\r乙\\\\r丙\\r\\n单位=m\\r\\n增减1=调整\uE02F1+1\uE02F2",
                         item("1A", "2")) +
                     separator());
  floors({L"1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  ASSERT_TRUE(WriteQtyTable());
  EXPECT_EQ(tableRows(u8"工程量表.DB", {L"编号", L"名称", L"标准工程量", L"标志"}),
            (std::vector<std::wstring>{L"D1\t甲\t4\t定额", L"\t乙\t\t描述", L"\t丙\t\t描述",
                                       L"//1=1\t//1=1\t" + PrecStr(2, 5) + L"\t解释",
                                       L"K1\t2\t" + PrecStr(2, 5) + L"\t开关:1A", L"调整\t1+1\t2\t", L"\t\t\t"}));
}

TEST_F(Derived, ParameterChunksHoldAtMostSeventyCharacters) {
  const std::string a30(30, 'a'), b30(30, 'b'), c30(30, 'c'), long70(70, 'x');
  makeTable(project() / u8"构件算量.DB",
            "构件名称:ftString:50\t标志:ftString:20\t编号:ftString:50\t说明\t参数\t定额\t数量:ftInteger\t工程量\t算式工程量\n" +
                std::string("■F1=1\t楼层\t\t\t\t\t\t\t\n") + "给水管\t\tJ1\t说明\t" + a30.substr(2) + "=1:x\\r\\n" +
                b30.substr(2) + "=1\\r\\n" + c30.substr(2) + "=1\t\t1\t\t\n" + "给水管\t\tJ2\t\t\t\t1\t\t\n" +
                "给水管\t\tJ3\t\t" + long70 + "=1\t\t1\t\t\n" + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteGjParamTable());
  const std::wstring a = os::fromUtf8(a30.substr(2)) + L"=1", b = os::fromUtf8(b30.substr(2)) + L"=1",
                     c = os::fromUtf8(c30.substr(2)) + L"=1";
  EXPECT_EQ(tableRows(u8"构件参数.DB", {L"构件名称", L"标志", L"编号", L"参数"}),
            (std::vector<std::wstring>{L"■F1=1\t楼层\t\t", L"给水管\t\tJ1\t" + a + L";" + b + L";", L"\t\t\t" + c,
                                       L"给水管\t\tJ2\t", L"给水管\t\tJ3\t", L"\t\t\t" + os::fromUtf8(long70) + L"=1",
                                       L"\t\t\t"}));
}

TEST_F(Derived, MethodSummaryListsFloorsComponentsNumbersAndNorms) {
  writeQuantityTable(header("F1", 1) + row("给水管", "GS1", norm("0308-1"), item("1A", "2")) +
                     row("给水管", "GS2", norm("0302-1"), item("1B", "3")) + separator() +
                     header("X定额", 1) + row("给水管", "GS1", norm("0308-1"), item("1C", "1")) + separator());
  floors({L"F1||1", L"X定额||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  ASSERT_TRUE(WriteMethodSummary(L"定额"));
  ASSERT_TRUE(WriteDisciplineMethodSummary(L"定额", 3));
  const StringArray fields{L"编码", L"名称", L"工程量", L"标志"};
  EXPECT_EQ(tableRows(u8"定额构件做法汇总.DB", fields),
            (std::vector<std::wstring>{
                L"F1\t\t\t楼层", L"  给水管\t\t\t构件", L"    GS1\t\t\t编号",
                L"      0308-1\tN0308-1\t" + PrecStr(2, 5) + L"\t定额", L"    GS2\t\t\t编号",
                L"      0302-1\tN0302-1\t" + PrecStr(3, 5) + L"\t定额", L"X定额\t\t\t楼层", L"  给水管\t\t\t构件",
                L"    GS1\t\t\t编号", L"      0308-1\tN0308-1\t" + PrecStr(1, 5) + L"\t定额"}));
  EXPECT_EQ(tableRows(u8"定额构件做法汇总_给排水.DB", {L"编码"}),
            (std::vector<std::wstring>{L"F1", L"  给水管", L"    GS1", L"      0308-1", L"X定额", L"  给水管",
                                       L"    GS1", L"      0308-1"}));
}

TEST_F(Derived, SundryWorksBecomeComponentRowsThatReachTheNormTable) {
  makeFloorTable("F1", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n");
  makeFloors("F1\t1\t3000\tC30\tM7.5\nF2\t1\t3000\tC30\tM7.5\n", L"F1");
  makeFloorTable("F2", "给水管\tJ1\t\t[001]\\r\\n类型=长度\n");
  cad::Database side(true);
  ASSERT_EQ(side.saveAs(project() / "F2.DWG"), cad::Status::Ok);
  makeTable(project() / u8"F1_零星工程.DB",
            "构件名称:ftString:50\t构件编号:ftString:50\t定额\n"
            "零星给水\tLX1\t[001]\\r\\n标志=项\\r\\n类型=长度\\r\\n编号=Q1\\r\\n名称=清单一\\r\\n工程量=12.5\\r\\n"
            "[002]\\r\\n类型=长度\\r\\n编号=D1\\r\\n名称=定额一\\r\\n单位=m\\r\\n工程量=12.5\n"
            "\tLX2\t[001]\\r\\n类型=长度\n"
            "零星给水\tLX3\t\n");
  CmdZebTotalAll();
  std::wstring lx1, lx3;
  int sundryRows = 0;
  for (const Row& r : rows()) {
    if (r.number == L"LX1") lx1 = r.lines;
    if (r.number == L"LX3") lx3 = r.lines, ++sundryRows;
    if (r.number == L"LX1") ++sundryRows;
  }
  EXPECT_EQ(sundryRows, 2);  // a row without a name is left out; F2 has no sundry table
  EXPECT_EQ(lx1, L"零星工程=001=项=长度===12.5=12.5\r\n零星工程=002=定额=长度===12.5=12.5");
  EXPECT_EQ(lx3, L"");
  bool found = false;
  for (const NormRow& r : normRows())
    if (r.code == L"D1") found = r.standardQty == 12.5;
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kivtest
