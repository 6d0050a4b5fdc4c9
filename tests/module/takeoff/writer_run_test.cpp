// The writers after the floor loop as the take-off runs them, sharing one
// reading of 构件算量.DB and writing 001.DB once: the same tables as each
// writer on its own; the order of the norm rows by code key; the joined
// computation lines of a norm row.
#include <gtest/gtest.h>

#include <algorithm>

#include "module/takeoff/qty_rows_cache.h"
#include "tests/module/takeoff/result_fixture.h"

namespace kivtest {
namespace {

class WriterRun : public ResultTables {
 protected:
  void SetUp() override {
    ResultTables::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The installation's templates of the detail tables and its norm and
    // bill libraries (sorted by code).
    const std::pair<const char8_t*, const char*> tables[] = {
        {u8"定额楼层明细.DB",
         "序号:ftString:10\t编码:ftString:30\t名称\t单位:ftString:20\t工程量:ftString:30\t标志:ftString:20\n"},
        {u8"构件做法汇总.DB", "编码:ftString:50\t名称\t工程量:ftString:30\t单位:ftString:20\t标志:ftString:20\n"},
        {u8"定额库.DB", "定额名称\t定额编号:ftString:30\n第1章 给水\tD01\n第2章 排水\tD02\n第3章 电气\tD03\n末\tD99\n"},
        {u8"项目库.DB", "项目名称\t项目编号:ftString:30\n给排水\t0308\n通风\t0309\n末\t0399\n"}};
    for (const auto& [name, fields] : tables) makeTable(suiteSystem() / name, fields);
  }

  // Every field of every row of a project table, tab-joined per row.
  std::vector<std::wstring> dump(const std::wstring& table) const {
    std::vector<std::wstring> out;
    tablelib::Table t(os::windowsPath(project()) + L"\\" + table);
    const int n = tablelib::FieldCount(t);
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      std::wstring line;
      for (int i = 0; i < n; ++i) line += (i ? L"\t" : L"") + tablelib::FieldAsString(t, tablelib::GetFieldName(t, i));
      out.push_back(line);
    }
    return out;
  }

  static const StringArray& resultTables() {
    static const StringArray names = [] {
      StringArray out{L"构件算量.DB", L"构件参数.DB", L"001.DB", L"工程量表.DB", L"清单楼层明细.DB",
                      L"清单构件做法汇总.DB"};
      for (const wchar_t* d : {L"", L"_电气", L"_消防", L"_给排水", L"_暖通"}) {
        out.push_back(std::wstring(L"定额楼层明细") + d + L".DB");
        out.push_back(std::wstring(L"定额构件做法汇总") + d + L".DB");
      }
      return out;
    }();
    return names;
  }

  // Two floors (the second counted 3 times) and a listed floor without rows:
  // water pipes with a bill item, norms with a two-line name, materials,
  // adjustments (one of them not counted) and parameters; conduits coded
  // for the electrical tables.
  void writeComponents() {
    const std::string pipe =
        "[001]\\r\\n标志=项\\r\\n类型=长度\\r\\n编号=030801001\\r\\n名称=给水管道\\r\\n单位=m\\r\\n"
        "[002]\\r\\n类型=长度\\r\\n编号=D01-011\\r\\n名称=给水管\\\\r第二行\\r\\n单位=10m\\r\\n材料1=PPR\\r\\n"
        "[003]\\r\\n类型=保温\\r\\n编号=D02-005\\r\\n名称=保温\\r\\n单位=m3\\r\\n增减1=调整\uE02F1+1\uE02F2\\r\\n增减2=坏";
    const std::string conduit =
        "[001]\\r\\n类型=长度\\r\\n编号=0302-1\\r\\n名称=导管\\r\\n单位=100m\\r\\n"
        "[002]\\r\\n标志=项\\r\\n类型=长度\\r\\n编号=030411001\\r\\n名称=配管\\r\\n单位=m";
    const std::string pipeLines =
        "1A=002=定额=长度=25=A,1~B,2=3000/1000=3\\r\\n1B=002=定额=长度=32==1.5=1.5\\r\\n"
        "1C=003=定额=保温=25==0.2*2=0.4\\r\\n1D=002=定额=长度=25==a=b=7\\r\\n1E=001=项=长度===4=4\\r\\n短=1";
    writeQuantityTable(header("F1", 1) + row("给水管", "J1", pipe, pipeLines) +
                       row("给水管", "J2", pipe, "2A=002=定额=长度=32==2=2") +
                       row("导管", "SC1", conduit, "3A=001=定额=长度===12=12\\r\\n3A=002=项=长度===12=12") +
                       row("导管", "SC2", conduit, "") + separator() + header("F2", 3) +
                       row("给水管", "J1", pipe, pipeLines) + row("导管", "SC1", conduit, "3B=001=定额=长度===5=5") +
                       separator());
    floors({L"F1||1", L"F9||1", L"F2||3"});
  }
  static std::string separator() { return "\t\t\t\t\t\t\t\t\n"; }

  std::vector<std::vector<std::wstring>> writeAndDump(bool asRun, const std::string& rules) {
    for (const std::wstring& t : resultTables()) fs::remove(project() / os::toUtf8(t));
    writeComponents();
    ForgetNormQtyRows();
    if (asRun) {
      EXPECT_TRUE(RunResultWriters());
    } else {
      EXPECT_TRUE(WriteGjParamTable());
      EXPECT_TRUE(WriteNormQtyTable());
      EXPECT_TRUE(AddChapterRows());
      EXPECT_TRUE(WriteQtyTable());
      StringArray kinds{L"定额"};
      if (rules == "纯清单") kinds = {L"项"};
      if (rules == "清单") kinds = {L"项", L"定额"};
      for (const std::wstring& k : kinds) {
        EXPECT_TRUE(WriteFloorDetailTable(k));
        for (int d = 1; d <= 4; ++d) EXPECT_TRUE(WriteDisciplineFloorDetailTable(k, d));
        EXPECT_TRUE(WriteMethodSummary(k));
        for (int d = 1; d <= 4; ++d) EXPECT_TRUE(WriteDisciplineMethodSummary(k, d));
      }
    }
    std::vector<std::vector<std::wstring>> out;
    for (const std::wstring& t : resultTables()) out.push_back(dump(t));
    return out;
  }
};

TEST_F(WriterRun, SharedRowsGiveTheTablesOfTheWritersOnTheirOwn) {
  struct Case {
    const char* rules;
    const char* conversion;
  };
  for (const Case& c : {Case{"定额", ""}, Case{"定额", "1"}, Case{"清单", ""}, Case{"纯清单", "1"}}) {
    SCOPED_TRACE(std::string(c.rules) + " / " + c.conversion);
    setRuleSet(c.rules);
    setConversion(c.conversion);
    const auto alone = writeAndDump(false, c.rules);
    const auto asRun = writeAndDump(true, c.rules);
    ASSERT_EQ(alone.size(), asRun.size());
    for (size_t i = 0; i < alone.size(); ++i) EXPECT_EQ(alone[i], asRun[i]) << os::toUtf8(resultTables()[i]);
    // The tables hold what the fixture asks of them: the components'
    // computation lines, chapter rows and the norms of both floors.
    const std::vector<std::wstring>& norms = asRun[2];
    EXPECT_TRUE(std::any_of(norms.begin(), norms.end(), [](const std::wstring& l) { return l.find(L"部") != l.npos; }));
    EXPECT_GT(norms.size(), 6u);
    const std::vector<std::wstring>& components = asRun[0];
    EXPECT_TRUE(std::any_of(components.begin(), components.end(),
                            [](const std::wstring& l) { return l.find(L"//F2=3") != l.npos; }));
    EXPECT_GT(asRun[3].size(), norms.size());
  }
}

// Within a run the norm writer leaves 001.DB to the chapter writer; a run
// that ends before it still gets its rows when the writers' scope closes.
TEST_F(WriterRun, NormRowsLeftByTheNormWriterAreWrittenWhenTheRunEnds) {
  setConversion("1");
  writeComponents();
  ForgetNormQtyRows();
  {
    WriterRunScope run;
    EXPECT_TRUE(InWriterRun());
    ASSERT_TRUE(WriteNormQtyTable());
    EXPECT_TRUE(dump(L"001.DB").empty());
  }
  EXPECT_FALSE(InWriterRun());
  const std::vector<NormRow> rows = normRows();
  ASSERT_GT(rows.size(), 3u);
  EXPECT_EQ(rows.back().kind, L"");
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const NormRow& r) { return r.code == L"D01-011"; }));
}

// Outside the bill rules the norm rows stand in the order of their code keys
// (codes with equal keys in the order first met) and each distinct code and
// name is one row that sums its contributions.
TEST_F(WriterRun, NormRowsStandInKeyOrderAndMergeEqualNorms) {
  setConversion("1");
  const char* const codes[] = {"D01-02", "A-0101", "2-1", "B-0101", "10-1", "0101", "AB", "C", "D01-02", "2-10"};
  const char* const names[] = {"甲", "乙"};
  std::string rows = header("F1", 1);
  std::vector<std::pair<std::wstring, std::wstring>> seen;
  std::map<std::pair<std::wstring, std::wstring>, double> sums;
  for (int i = 0; i < 60; ++i) {
    const std::string code = codes[(i * 7) % 10], name = names[(i / 3) % 2];
    const int q = 1 + i % 5;
    rows += row("给水管", "J" + std::to_string(i),
                "[001]\\r\\n类型=长度\\r\\n编号=" + code + "\\r\\n名称=" + name + "\\r\\n单位=m",
                "1A=001=定额=长度===" + std::to_string(q) + "=" + std::to_string(q));
    const auto key = std::make_pair(os::fromUtf8(code), os::fromUtf8(name));
    if (!sums.count(key)) seen.push_back(key);
    sums[key] += q;
  }
  writeQuantityTable(rows + "\t\t\t\t\t\t\t\t\n");
  floors({L"F1||1"});
  ASSERT_TRUE(WriteNormQtyTable());
  std::stable_sort(seen.begin(), seen.end(),
                   [](const auto& a, const auto& b) { return CodeKey(a.first) < CodeKey(b.first); });
  std::vector<NormRow> got = normRows();
  ASSERT_EQ(got.size(), seen.size() + 1);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(got[i].code + L":" + got[i].name, seen[i].first + L":" + seen[i].second) << i;
    EXPECT_DOUBLE_EQ(got[i].standardQty, sums[seen[i]]) << i;
  }
}

// Under the bill rules each bill item stands in code order with its norms
// after it, whichever component comes first.
TEST_F(WriterRun, BillItemsStandInCodeOrderWhateverComesFirst) {
  setRuleSet("清单");
  setConversion("1");
  auto norms = [](const char* bill, const char* norm) {
    return std::string("[001]\\r\\n标志=项\\r\\n类型=长度\\r\\n编号=") + bill + "\\r\\n名称=B" + bill +
           "\\r\\n单位=m\\r\\n[002]\\r\\n类型=长度\\r\\n编号=" + norm + "\\r\\n名称=N" + norm + "\\r\\n单位=m";
  };
  const std::string p = row("给水管", "J1", norms("030801", "2-1"), "1A=001=项=长度===1=1\\r\\n1A=002=定额=长度===2=2");
  const std::string q = row("给水管", "J2", norms("030902", "2-2"), "1B=001=项=长度===3=3\\r\\n1B=002=定额=长度===4=4");
  for (const std::string& rows : {p + q, q + p}) {
    writeQuantityTable(header("F1", 1) + rows + "\t\t\t\t\t\t\t\t\n");
    floors({L"F1||1"});
    ForgetNormQtyRows();
    ASSERT_TRUE(WriteNormQtyTable());
    EXPECT_EQ(kindsAndCodes(normRows()), (std::vector<std::wstring>{L"项:030801:B030801", L"定额:2-1:N2-1",
                                                                     L"项:030902:B030902", L"定额:2-2:N2-2", L"::"}));
  }
}

TEST(JoinedLinesTest, HoldsTheLinesAsJoinLinesJoinsThem) {
  const std::vector<StringArray> cases = {
      {}, {L""}, {L"", L""}, {L"a"}, {L"a", L"", L"bc"}, {L"x\r\ny", L"z"}, {std::wstring(5000, L'长'), L"尾"}};
  for (const StringArray& lines : cases) {
    JoinedLines j;
    for (const std::wstring& l : lines) j.push_back(l);
    std::wstring joined;
    JoinLines(lines, joined);
    const JoinedLines copy = j;
    JoinedLines moved = std::move(j);
    for (const JoinedLines* k : {&copy, static_cast<const JoinedLines*>(&moved)}) {
      EXPECT_EQ(std::wstring(k->text()), joined);
      EXPECT_EQ(std::wstring(k->c_str()), joined);
      ASSERT_EQ(k->size(), lines.size());
      EXPECT_EQ(k->empty(), lines.empty());
      for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(std::wstring((*k)[i]), lines[i]);
    }
    EXPECT_TRUE(j.empty());
    EXPECT_EQ(std::wstring(j.text()), L"");
  }
}

}  // namespace
}  // namespace kivtest
