// The pipe-fitting generator and its four commands: which fitting stands at
// which junction, its arm data, number and cross bars, the links on the
// pipes, and what a second run, a partial pick and bad input leave.
#include "module/fittings/pipe_fittings.h"

#include <gtest/gtest.h>

#include "module/fittings/fittings_commands.h"
#include "tests/module/fittings/pipe_fixture.h"

namespace {

using kivtest::FittingSeen;
using kivtest::Point3d;

class PipeFittings : public kivtest::PipeSandbox {};

TEST_F(PipeFittings, FloorCommandPutsTeeElbowCrossAndCapsWithTheirArms) {
  // A T: a through run and a branch ending on it.
  const auto through = pipe({0, 0, 2800}, {2000, 0, 2800});
  const auto branch = pipe({1000, 0, 2800}, {1000, 1000, 2800}, L"J2");
  // An L far away, and a cross.
  pipe({5000, 0, 2800}, {6000, 0, 2800});
  pipe({6000, 0, 2800}, {6000, 800, 2800});
  pipe({8000, 0, 2800}, {10000, 0, 2800}, L"J3");
  pipe({9000, -1000, 2800}, {9000, 1000, 2800}, L"J3");
  CmdFloorPFittings();

  const auto all = fittings();
  const FittingSeen* tee = fittingAt(all, {1000, 0, 2800});
  ASSERT_NE(tee, nullptr);
  EXPECT_EQ(tee->type, L"管道三通");
  ASSERT_EQ(tee->arms.size(), 3u);
  EXPECT_EQ(tee->number, L"管道三通-32*32*25");
  EXPECT_EQ(tee->arms[0], L"-1.000000,0.000000,0.000000,32.000000");
  EXPECT_EQ(tee->arms[1], L"1.000000,0.000000,0.000000,32.000000");
  EXPECT_EQ(tee->arms[2], L"0.000000,1.000000,0.000000,25.000000");

  const FittingSeen* elbow = fittingAt(all, {6000, 0, 2800});
  ASSERT_NE(elbow, nullptr);
  EXPECT_EQ(elbow->type, L"管道弯头");
  EXPECT_EQ(elbow->arms.size(), 2u);

  const FittingSeen* cross = fittingAt(all, {9000, 0, 2800});
  ASSERT_NE(cross, nullptr);
  EXPECT_EQ(cross->number, L"管道四通-20*20*20*20");

  const FittingSeen* cap = fittingAt(all, {0, 0, 2800});
  ASSERT_NE(cap, nullptr);
  EXPECT_EQ(cap->number, L"管道堵头-32");
  ASSERT_EQ(cap->arms.size(), 1u);
  EXPECT_EQ(cap->arms[0], L"1.000000,0.000000,0.000000,32.000000");
  // Caps at the nine free ends, one tee, one elbow, one cross.
  EXPECT_EQ(all.size(), 12u);
  EXPECT_EQ(countOn(L"管道堵头边线"), 9u);
  EXPECT_EQ(countOn(L"管道三通边线"), 3u);
  EXPECT_EQ(countOn(L"管道四通边线"), 4u);

  // The tee's bar on the branch lies across it 50 from the junction.
  cad::ObjectIdArray bars;
  CollectIdsByLayerAndNumber(L"管道三通边线", L"", bars, nullptr);
  bool found = false;
  for (cad::ObjectId id : bars) {
    cad::ObjectPtr<cad::Line> line(id, cad::OpenMode::ForRead);
    ASSERT_TRUE(line);
    if (line->start().isEqualTo({975, 50, 2800}, 1e-9) && line->end().isEqualTo({1025, 50, 2800}, 1e-9)) found = true;
  }
  EXPECT_TRUE(found);

  // The pieces of the through run and the branch link their two fittings.
  cad::ObjectIdArray pipes;
  CollectIdsByLayerAndNumber(L"给水管", L"", pipes, nullptr);
  for (cad::ObjectId p : pipes) EXPECT_EQ(links(p).size(), 2u);
  EXPECT_EQ(links(branch).size(), 2u);
  Point3d s, e;
  EXPECT_FALSE(GetGjEndPoints3d(through, s, e)) << "the through run was cut";
  const StringArray branchLinks = links(branch);
  EXPECT_EQ(branchLinks[0], GetHandleText(tee->id));
  EXPECT_NE(transcript().find(L"生成管件12个"), std::wstring::npos);
}

TEST_F(PipeFittings, RunningTwiceLeavesTheSameFittingsAndBars) {
  pipe({0, 0, 2800}, {1000, 0, 2800});
  pipe({1000, 0, 2800}, {1000, 1000, 2800});
  pipe({0, 0, 2800}, {0, -600, 2800});
  for (int run = 0; run < 2; ++run) {
    CmdFloorPFittings();
    EXPECT_EQ(fittings().size(), 4u);
    EXPECT_EQ(countOn(L"管道弯头边线"), 4u);
    EXPECT_EQ(countOn(L"管道堵头边线"), 2u);
  }
  // The generator alone on the same pipes replaces its fittings and bars too.
  cad::ObjectIdArray pipes;
  CollectIdsByLayerAndNumber(L"给水管", L"", pipes, nullptr);
  EXPECT_EQ(GeneratePipeFittings(L"管道", pipes), 4);
  EXPECT_EQ(fittings().size(), 4u);
  EXPECT_EQ(countOn(L"管道弯头边线,管道堵头边线"), 6u);
  for (cad::ObjectId p : pipes) EXPECT_EQ(links(p).size(), 2u);
}

TEST_F(PipeFittings, EndsMeetWithinTenAndFiveArmsGetNoFitting) {
  pipe({0, 0, 2800}, {1000, 0, 2800});
  pipe({1010, 0, 2800}, {2000, 0, 2800});  // 10 apart: one elbow
  pipe({3000, 0, 2800}, {4000, 0, 2800});
  pipe({4010.5, 0, 2800}, {5000, 0, 2800});  // 10.5 apart: two caps
  const Point3d c(8000, 0, 2800);
  for (const Point3d& far : {Point3d(7000, 0, 2800), Point3d(9000, 0, 2800), Point3d(8000, 1000, 2800),
                             Point3d(8000, -1000, 2800), Point3d(7000, 1000, 2800)})
    pipe(c, far);
  cad::ObjectIdArray pipes;
  CollectIdsByLayerAndNumber(L"给水管", L"", pipes, nullptr);
  GeneratePipeFittings(L"管道", pipes);
  const auto all = fittings();
  ASSERT_NE(fittingAt(all, {1000, 0, 2800}), nullptr);
  EXPECT_EQ(fittingAt(all, {1000, 0, 2800})->type, L"管道弯头");
  EXPECT_EQ(fittingAt(all, {4000, 0, 2800})->type, L"管道堵头");
  EXPECT_EQ(fittingAt(all, {4010.5, 0, 2800})->type, L"管道堵头");
  EXPECT_EQ(fittingAt(all, c), nullptr);
}

TEST_F(PipeFittings, ATapAtAPipeEndMakesAnElbowWithTheTapArmFirst) {
  const auto p = pipe({0, 0, 1000}, {1000, 0, 1000});
  const auto tap = pointGj(L"普通水嘴", L"", {1005, 0, 1000}, 1.5707963267948966);
  GeneratePipeFittings(L"管道", {p});
  const auto all = fittings();
  const FittingSeen* elbow = fittingAt(all, {1000, 0, 1000});
  ASSERT_NE(elbow, nullptr);
  EXPECT_EQ(elbow->type, L"管道弯头");
  ASSERT_EQ(elbow->arms.size(), 2u);
  EXPECT_EQ(elbow->arms[0], L"-1.000000,0.000000,0.000000,32.000000");
  EXPECT_EQ(elbow->arms[1], L"-1.000000,0.000000,0.000000,32.000000");
  EXPECT_EQ(links(tap), StringArray{GetHandleText(elbow->id)});
  EXPECT_EQ(links(p).size(), 3u) << "the cap, and the elbow twice";
}

TEST_F(PipeFittings, APartialPickKeepsTheArmsOfUnpickedPipes) {
  pipe({0, 0, 2800}, {1000, 0, 2800});
  const auto other = pipe({1000, 0, 2800}, {1000, 1000, 2800});
  CmdFloorPFittings();
  const auto first = fittings();
  const FittingSeen* before = fittingAt(first, {1000, 0, 2800});
  ASSERT_NE(before, nullptr);
  const std::wstring oldHandle = GetHandleText(before->id);

  pickAt({500, 0, 0});
  enter();
  CmdLayPFittings();
  const auto all = fittings();
  EXPECT_EQ(all.size(), 3u);
  const FittingSeen* elbow = fittingAt(all, {1000, 0, 2800});
  ASSERT_NE(elbow, nullptr);
  EXPECT_EQ(elbow->type, L"管道弯头");
  const StringArray otherLinks = links(other);
  ASSERT_EQ(otherLinks.size(), 2u);
  EXPECT_EQ(std::count(otherLinks.begin(), otherLinks.end(), oldHandle), 0);
  EXPECT_EQ(std::count(otherLinks.begin(), otherLinks.end(), GetHandleText(elbow->id)), 1);
  EXPECT_EQ(countOn(L"管道弯头边线"), 2u);
}

TEST_F(PipeFittings, PickCommandsChangeNothingOnEscapeOrWithoutAPipe) {
  pipe({0, 0, 2800}, {1000, 0, 2800});
  pointGj(L"阀门", L"F1", {3000, 0, 2800});
  g_createGjCb = nullptr;
  escape();
  CmdLayPFittings();
  EXPECT_TRUE(fittings().empty());
  EXPECT_EQ(g_createGjCb, nullptr);

  pickAt({3000, 0, 0});  // the valve: no pipe, the pick asks again
  enter();
  CmdLayPFittings();
  EXPECT_TRUE(fittings().empty());
  EXPECT_NE(transcript().find(L"没有选中管道"), std::wstring::npos);
}

TEST_F(PipeFittings, TheFittingsGoIntoTheFloorTableAndTheCallbacksStay) {
  pipe({0, 0, 2800}, {1000, 0, 2800}, L"W1", L"冷供水管");
  pipe({1000, 0, 2800}, {1000, 900, 2800}, L"W1", L"冷供水管");
  CmdFloorWPFittings();
  EXPECT_EQ(g_createGjCb, &CreatePipeGj);
  EXPECT_EQ(g_decorateGjCb, &DecoratePipeGj);
  const auto all = fittings(L"水管");
  ASSERT_EQ(all.size(), 3u);
  const FittingSeen* elbow = fittingAt(all, {1000, 0, 2800});
  ASSERT_NE(elbow, nullptr);
  EXPECT_EQ(elbow->number, L"水管弯头-0*0") << "W1 has no row: diameter 0";
  EXPECT_NE(column(project() / u8"1层.DB", "编号").find("水管弯头-0*0"), std::string::npos);
}

TEST_F(PipeFittings, TheOrderOfThePipesChangesNoFittingNorItsNumber) {
  // A tee with a thinner branch and a reducing elbow, fitted with the pipes
  // in one order and then in another (as runs that keep their handles come
  // back in another collection order).
  const auto west = pipe({0, 0, 2800}, {1000, 0, 2800});
  const auto east = pipe({1000, 0, 2800}, {2000, 0, 2800});
  const auto branch = pipe({1000, 0, 2800}, {1000, 1000, 2800}, L"J2");
  const auto thick = pipe({5000, 0, 2800}, {6000, 0, 2800});
  const auto thin = pipe({6000, 0, 2800}, {6000, 800, 2800}, L"J3");
  const std::vector<cad::ObjectIdArray> orders = {{branch, thin, east, west, thick},
                                                  {west, east, branch, thick, thin},
                                                  {thin, thick, branch, west, east}};
  std::vector<std::pair<std::wstring, StringArray>> first;
  for (const auto& order : orders) {
    GeneratePipeFittings(L"管道", order);
    const auto all = fittings();
    ASSERT_EQ(all.size(), 7u);  // the tee, the elbow and five caps
    const FittingSeen* tee = fittingAt(all, {1000, 0, 2800});
    const FittingSeen* elbow = fittingAt(all, {6000, 0, 2800});
    ASSERT_NE(tee, nullptr);
    ASSERT_NE(elbow, nullptr);
    EXPECT_EQ(tee->number, L"管道三通-32*32*25");
    EXPECT_EQ(elbow->number, L"管道弯头-32*20");
    EXPECT_EQ(countOn(L"管道三通边线"), 3u) << "the bars of the earlier tee are gone";
    std::vector<std::pair<std::wstring, StringArray>> seen;
    for (const Point3d& p : {Point3d(1000, 0, 2800), Point3d(6000, 0, 2800), Point3d(0, 0, 2800)})
      seen.emplace_back(fittingAt(all, p)->number, fittingAt(all, p)->arms);
    if (first.empty())
      first = seen;
    else
      EXPECT_EQ(seen, first);
  }
}

TEST_F(PipeFittings, RowsOfNumbersNoFittingCarriesAreRemovedFromTheFloorTable) {
  pipe({0, 0, 2800}, {2000, 0, 2800});
  pipe({1000, 0, 2800}, {1000, 1000, 2800}, L"J2");
  CmdFloorPFittings();
  // A row left by an earlier run whose tee had its arms in another order.
  addNumber("1层", "管道三通", "管道三通-25*32*32");
  CmdFloorPFittings();
  const std::string numbers = column(project() / u8"1层.DB", "编号");
  EXPECT_EQ(numbers.find("管道三通-25*32*32"), std::string::npos) << numbers;
  const size_t at = numbers.find("管道三通-32*32*25\n");
  ASSERT_NE(at, std::string::npos) << numbers;
  EXPECT_EQ(numbers.find("管道三通-32*32*25\n", at + 1), std::string::npos) << "one row per number";
  EXPECT_NE(numbers.find("管道堵头-32\n"), std::string::npos);
}

}  // namespace
