// The take-off run on a small project: the rows of 构件算量.DB per floor, the
// run lengths against hand computations, floors that cannot be read, and a
// cancelled run that leaves the previous results in place.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {
namespace {

class TakeoffRun : public TakeoffProject {
 protected:
  void SetUp() override {
    TakeoffProject::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const std::string pipe = "给水管\t%s\t公称管径D_0(mm)=%s:15,20,25\\r\\n保温厚度(mm)=%s\t" + kPipeNorm + "\n";
    auto rowOf = [&](const char* no, const char* dn, const char* ins) {
      char buf[512];
      std::snprintf(buf, sizeof buf, pipe.c_str(), no, dn, ins);
      return std::string(buf);
    };
    makeFloorTable("F1", "给水管\t\t公称管径D_0(mm)=25\t\n" + rowOf("J1", "25", "0") + rowOf("J2", "32", "0") +
                             rowOf("J3", "40", "0") + rowOf("J4", "25", "20") + rowOf("J5", "25", "0") +
                             rowOf("J6", "50", "0") + rowOf("J9", "20", "0") +
                             "喷淋管\tP1\t公称管径D_0(mm)=25\t[001]\\r\\n类型=长度\n");
    makeFloors("F1\t\t3300\tC30\tM7.5\nF2\t2\t3000\tC30\tM7.5\n", L"F1");

    cad::Database* db = working();
    axis(db, {0, -1000, 0}, {0, 9000, 0}, L"1");
    axis(db, {-1000, 0, 0}, {9000, 0, 0}, L"A");
    ids_[L"J1"] = run(db, L"给水管", L"J1", L"斜管", {0, 0, 0}, {4000, 0, 0}, 0, 3000, 2000);
    ids_[L"J2"] = run(db, L"给水管", L"J2", L"斜管", {0, 1000, 0}, {2000, 1000, 0}, 1, 2800, 2800);
    cad::ObjectId riser;
    CreateLinearGjEntity(riser, L"给水管", L"J3", {5000, 5000, 0}, {5000, 5000, 3000}, 0, 1);
    ids_[L"J3"] = riser;
    ids_[L"J4"] = run(db, L"给水管", L"J4", L"斜管", {0, 2000, 0}, {4000, 2000, 0}, 0, 2000, 5000);
    ids_[L"J5"] = run(db, L"给水管", L"J5", L"斜管", {0, 3000, 0}, {1000, 3000, 0}, 0, 2800, 2800);
    ids_[L"J5b"] = run(db, L"给水管", L"J5", L"斜管", {1000, 3000, 0}, {3000, 3000, 0}, 0, 2800, 2800);
    ids_[L"J6"] = run(db, L"给水管", L"J6", L"贯通管", {6000, 0, 0}, {6000, 0, 0}, 0, -500, 3500);
    // A label of J1 (one attribute line): no measured run.
    cad::ObjectId label = run(db, L"给水管", L"J1", L"斜管", {0, 500, 0}, {500, 500, 0}, 0, 0, 0);
    StringArray attrs{GetHandleText(ids_[L"J1"])};
    ClearXdata(label, kXdataAttrs);
    SetXdataLines(label, kXdataAttrs, attrs, db);
    // A sprinkler pipe without special data is no run.
    GetOrCreateLayer(L"喷淋管", db);
    auto pl = std::make_unique<cad::Polyline>();
    pl->addVertexAt(0, geom::Point2d(0, 8000));
    pl->addVertexAt(1, geom::Point2d(3000, 8000));
    pl->setLayer(L"喷淋管");
    cad::ObjectId sprinkler;
    db->appendToModelSpace(std::move(pl), &sprinkler);
    StampGjPrimary(sprinkler, L"P1");

    makeFloorTable("F2", "给水管\tJ1\t公称管径D_0(mm)=25\t[001]\\r\\n类型=长度\n");
    cad::Database side(true);
    run(&side, L"给水管", L"J1", L"斜管", {0, 0, 0}, {3000, 0, 0}, 0, 3000, 3000);
    ASSERT_EQ(side.saveAs(project() / "F2.DWG"), cad::Status::Ok);
  }

  const Row* rowOf(const std::vector<Row>& rows, const std::wstring& number) {
    for (const Row& r : rows)
      if (r.number == number) return &r;
    return nullptr;
  }

  bool fileIs(const std::string& bytes) const {
    std::ifstream f(quantityTable(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()) == bytes;
  }

  std::map<std::wstring, cad::ObjectId> ids_;
};

StringArray results(const std::wstring& lines) { return QuantityResults(lines); }

TEST_F(TakeoffRun, LengthsMatchTheHandComputation) {
  CmdZebTotalAll();
  std::vector<Row> all = rows();
  struct Case {
    const wchar_t* number;
    const wchar_t* count;
    std::vector<double> metres;  // hand computed, one per run
  } cases[] = {
      {L"J1", L"1", {std::sqrt(1000.0 * 1000 + 4000.0 * 4000) / 1000}},  // sloped: 4.123
      {L"J2", L"1", {3.14159265 * 1000 / 1000}},                           // half circle on a 2000 chord
      {L"J3", L"1", {3.0}},                                                // riser 0 -> 3000
      {L"J4", L"1", {5.0}},  // crosses the 3300 band: 3-4-5, measured whole
      {L"J5", L"2", {1.0, 2.0}},                                           // two runs of one number
      {L"J6", L"1", {4.0}},                                                // through pipe -500 -> 3500
      {L"J9", L"0", {}},                                                   // no run carries it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const Row* r = rowOf(all, c.number);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->count, c.count);
    StringArray got = results(r->lines);
    // Per run: the length item, then the insulation item.
    ASSERT_EQ(got.size(), 2 * c.metres.size()) << r->lines;
    for (size_t i = 0; i < c.metres.size(); ++i) EXPECT_EQ(got[2 * i], PrecStr(RoundTo(c.metres[i], 3), 5));
  }
  // Insulation 20 mm on J4: 20 * 5 / 1000.
  EXPECT_EQ(results(rowOf(all, L"J4")->lines)[1], PrecStr(0.1, 5));
  EXPECT_EQ(results(rowOf(all, L"J1")->lines)[1], L"0");
}

TEST_F(TakeoffRun, QuantityLinesCarryHandleItemParameterAndGridLocation) {
  CmdZebTotalAll();
  const std::vector<Row> all = rows();
  const Row* j1 = rowOf(all, L"J1");
  ASSERT_NE(j1, nullptr);
  const std::wstring h = GetHandleText(ids_[L"J1"]);
  EXPECT_EQ(j1->lines, h + L"=001=定额=长度=25=1,A~A=4.123给水管长=4.123\r\n" + h +
                           L"=002=定额=保温=0=1,A~A==0");
}

TEST_F(TakeoffRun, RowsFollowFloorsKindsAndRecords) {
  CmdZebTotalAll();
  StringArray seq;
  for (const Row& r : rows()) seq.push_back(r.name + L"|" + r.flag + L"|" + r.number);
  StringArray want{L"■F1=1|楼层|"};
  for (const wchar_t* no : {L"J1", L"J2", L"J3", L"J4", L"J5", L"J6", L"J9"})
    want.push_back(std::wstring(L"给水管||") + no);
  // The sprinkler pipe has no run with special data: no rows for its kind.
  want.insert(want.end(), {L"||", L"■F2=2|楼层|", L"给水管||J1", L"||"});
  EXPECT_EQ(seq, want);
  // An empty identical-floor count is taken as one floor, and said so.
  EXPECT_NE(commandLine().find(L"[F1]的相同层数[]无效，按1层计算"), std::wstring::npos);
}

TEST_F(TakeoffRun, CurrentFloorModeComputesOnlyTheCurrentFloor) {
  CmdZebTotalCur();
  std::vector<Row> all = rows();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.front().name, L"■F1=1");
  EXPECT_EQ(all.back().name, L"");
  for (const Row& r : all) EXPECT_NE(r.name, L"■F2=2");
}

TEST_F(TakeoffRun, MissingFloorsAreSkippedAndAnUnreadableDrawingStopsTheRun) {
  makeFloors("F1\t1\t3300\tC30\tM7.5\nF2\t2\t3000\tC30\tM7.5\nF3\t1\t3000\t\t\nF5\t1\t3000\t\t\n", L"F1");
  makeFloorTable("F3", "给水管\tJ1\t\t\n");
  CmdZebTotalAll();
  StringArray headers;
  for (const Row& r : rows())
    if (r.flag == L"楼层") headers.push_back(r.name);
  EXPECT_EQ(headers, (StringArray{L"■F1=1", L"■F2=2"}));
  std::wstring text = commandLine();
  EXPECT_NE(text.find(L"[F3]没有楼层图形，此楼层未计算。"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"[F5]没有构件表，此楼层未计算。"), std::wstring::npos) << text;

  // A drawing that is there but cannot be read: the run stops, named, and
  // the results of the run before stay.
  std::ifstream before(quantityTable(), std::ios::binary);
  const std::string previous((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
  makeFloors("F1\t1\t3300\tC30\tM7.5\nF2\t2\t3000\tC30\tM7.5\nF4\t1\t3000\t\t\n", L"F1");
  makeFloorTable("F4", "给水管\tJ1\t\t\n");
  std::ofstream(project() / "F4.DWG") << "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n";
  CmdZebTotalAll();
  EXPECT_TRUE(fileIs(previous));
  text = commandLine();
  EXPECT_NE(text.find(L"[F4]的楼层图形"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"无法读取("), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"工程量计算未能完成，原有的计算结果未改动。"), std::wstring::npos) << text;
}

TEST_F(TakeoffRun, EveryFloorIsComputedFromItsOwnDrawing) {
  // Floors before and after the working drawing, one without a table between
  // them: each drawing is read (ahead of its floor or not) for its own floor.
  makeFloors("F0\t1\t3000\t\t\nF1\t1\t3300\tC30\tM7.5\nF2\t2\t3000\t\t\nF5\t1\t3000\t\t\n"
             "F3\t1\t3000\t\t\nF6\t1\t3000\t\t\n",
             L"F1");
  for (const char* f : {"F0", "F3", "F6"}) makeFloorTable(f, "给水管\tJ1\t公称管径D_0(mm)=25\t[001]\\r\\n类型=长度\n");
  // Runs of 1 m (F0), 4 m (F3), 5 m (F5, whose floor has no table) and 6 m (F6); F2 has its 3 m run.
  for (auto [floor, metres] : {std::pair{"F0", 1000.0}, {"F3", 4000.0}, {"F5", 5000.0}, {"F6", 6000.0}}) {
    cad::Database side(true);
    run(&side, L"给水管", L"J1", L"斜管", {0, 0, 0}, {metres, 0, 0}, 0, 3000, 3000);
    ASSERT_EQ(side.saveAs(project() / (std::string(floor) + ".DWG")), cad::Status::Ok);
  }
  CmdZebTotalAll();
  StringArray seq;
  std::wstring header;
  for (const Row& r : rows()) {
    if (r.flag == L"楼层") header = r.name;
    if (r.number != L"J1") continue;
    std::wstring got;
    JoinArray(results(r.lines), L",", got);
    seq.push_back(header + L"|" + got);
  }
  EXPECT_EQ(seq, (StringArray{L"■F0=1|1", L"■F1=1|4.123,0", L"■F2=2|3", L"■F3=1|4", L"■F6=1|6"}));
  EXPECT_NE(commandLine().find(L"[F5]没有构件表，此楼层未计算。"), std::wstring::npos);
}

TEST_F(TakeoffRun, EscapeAtTheProgressWindowKeepsThePreviousResults) {
  CmdZebTotalAll();
  std::ifstream before(quantityTable(), std::ios::binary);
  const std::string previous((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(previous.empty());
  // The drawing changes, then the user cancels the next run in its second floor.
  run(working(), L"给水管", L"J9", L"斜管", {0, 6000, 0}, {1000, 6000, 0}, 0, 0, 0);
  auto cancelAt = os::findFunction<KivTolm_CancelProgressAt_fn>(g_hostBaseLib, "KivTolm_CancelProgressAt");
  ASSERT_NE(cancelAt, nullptr);
  cancelAt(8);
  CmdZebTotalAll();
  EXPECT_TRUE(fileIs(previous));
  EXPECT_NE(commandLine().find(L"工程量计算已取消，原有的计算结果未改动。"), std::wstring::npos);
  EXPECT_FALSE(fs::exists(project() / "~takeoff"));
  // An Escape waiting in the input is the user's cancel too.
  push(ed::TokenKind::Escape);
  CmdZebTotalAll();
  EXPECT_TRUE(fileIs(previous));
}

TEST_F(TakeoffRun, MissingTemplateLeavesEverythingAsItWas) {
  CmdZebTotalAll();
  const auto stamp = fs::last_write_time(quantityTable());
  fs::remove(root_ / "suite" / "GZK.ZIP");
  CmdZebTotalAll();
  EXPECT_EQ(fs::last_write_time(quantityTable()), stamp);
  EXPECT_NE(commandLine().find(L"GZK.ZIP取出构件算量.DB的模板"), std::wstring::npos);
  EXPECT_NE(commandLine().find(L"工程量计算未能完成，原有的计算结果未改动。"), std::wstring::npos);
}

TEST_F(TakeoffRun, NoProjectDoesNothing) {
  g_projectName.clear();
  CmdZebTotalAll();
  EXPECT_FALSE(fs::exists(quantityTable()));
}

}  // namespace
}  // namespace kivtest

namespace kivtest {
namespace {

class Takeoff3d : public TakeoffProject {
 protected:
  void SetUp() override {
    TakeoffProject::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    makeFloorTable("F1", "给水管\tJ1\t公称管径D_0(mm)=25\\r\\n保温厚度(mm)=20\t" + kPipeNorm + "\n");
    makeFloors("F1\t1\t3300\tC30\tM7.5\n", L"F1");
    run(working(), L"给水管", L"J1", L"斜管", {0, 0, 0}, {3000, 0, 0}, 0, 2800, 2800);
    showCategory(L"管道");
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    set(L"构件", L"给水管");
  }
  std::wstring callLog() {
    auto log = os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W");
    std::wstring text(65536, L'\0');
    text.resize(std::min<int>(log(text.data(), static_cast<int>(text.size())), 65535));
    return text;
  }
  void answer(int a) { os::findFunction<KivPelk_SetDialogAnswer_fn>(g_hostWindowLib, "KivPelk_SetDialogAnswer")(a); }
};

TEST_F(Takeoff3d, WindowDeclinesShowsTheComponentAndTakesNothingOff) {
  answer(0);
  CmdZebTotal3d();
  EXPECT_FALSE(fs::exists(quantityTable()));
  EXPECT_NE(callLog().find(L"WinDll_TotalShow_W(1,F1,给水管,J1)"), std::wstring::npos) << callLog();
}

TEST_F(Takeoff3d, WindowFilterKeepsOnlyItsItems) {
  struct Case {
    const wchar_t* filter;
    StringArray results;
  } cases[] = {
      {L"002", {PrecStr(0.06, 5)}},             // the insulation item only
      {L"", {L"3", PrecStr(0.06, 5)}},         // every item holds ":"
      {L"009", {}},                            // no item: the row stays, without lines
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    // The user confirms the window with the filter typed in it.
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = L".dialog";
    t.args = {L"1"};
    if (*c.filter) t.args.push_back(c.filter);
    ed::inputQueue().push(t);
    CmdZebTotal3d();
    std::vector<Row> all = rows();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].number, L"J1");
    EXPECT_EQ(all[1].count, L"1");
    EXPECT_EQ(QuantityResults(all[1].lines), c.results);
  }
  EXPECT_NE(callLog().find(L"WinDll_TotalShow_W(2,)"), std::wstring::npos) << callLog();
}

TEST_F(Takeoff3d, CurrentComponentModeComputesOnlyThatKind) {
  makeFloorTable("F1", "给水管\tJ1\t公称管径D_0(mm)=25\t" + kPipeNorm + "\n喷淋管\tP1\t\t[001]\\r\\n类型=长度\n");
  run(working(), L"喷淋管", L"P1", L"斜管", {0, 500, 0}, {1000, 500, 0}, 0, 2800, 2800);
  CmdZebTotalGj();
  StringArray numbers;
  for (const Row& r : rows()) numbers.push_back(r.number);
  EXPECT_EQ(numbers, (StringArray{L"", L"J1", L""}));
  CmdZebTotalCur();
  numbers.clear();
  for (const Row& r : rows()) numbers.push_back(r.number);
  EXPECT_EQ(numbers, (StringArray{L"", L"J1", L"P1", L""}));
}

}  // namespace
}  // namespace kivtest
