// The multi-line engine: rows offset from the guide run, steps one point
// behind, undo, failed offsets, arcs and the prompt's endings.
#include "module/model/multi_line.h"

#include <cmath>

#include "tests/module/model/run_fixture.h"

namespace {

using namespace runtest;

class MultiLine : public RunSandbox {
 protected:
  void expectRunClosed() {
    EXPECT_EQ(openTransactions(), 0);
    EXPECT_EQ(g_kivMlineMonitor, nullptr);
    EXPECT_EQ(g_kivPointFilter, nullptr);
    EXPECT_FALSE(g_linearRun.active);
    EXPECT_EQ(ed::getVarInt(L"CMDECHO").value_or(-1), 0);
  }
};

TEST_F(MultiLine, EveryRowGetsItsOffsetSegmentBehindTheNewestPoint) {
  const StringArray rows = {L"给水管,JL-1,0,0.5", L"给水管,JL-1,0,0",  L"给水管,JL-1,0,-300",
                            L"给水管,JL-2,0,300", L"排水管,PL-1,200,0", L"给水管,JL-1,0"};
  double s = 2800, e = 2800;
  winlib::LayLinearGj(winlib::kPaletteOpen, 0, 0, s, e);
  typeElevations(2800, 2800);
  points({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayMultiLinearGj(rows));
  winlib::LayLinearGj(winlib::kPaletteClose, 0, 0, s, e);

  // Only P0-P1 is made; the short row makes nothing.
  ASSERT_EQ(made().size(), 5u);
  struct Expect {
    const wchar_t* name;
    const wchar_t* number;
    Point3d start, end;
  } expect[] = {
      {L"给水管", L"JL-1", {0, 0, 2800}, {1000, 0, 2800}},
      {L"给水管", L"JL-1", {0, 0, 2800}, {1000, 0, 2800}},
      {L"给水管", L"JL-1", {0, 0, 2800}, {1000, 0, 2800}},
      // 300 to the right of travel; the corner is extended to meet the next offset side.
      {L"给水管", L"JL-2", {0, -300, 2800}, {1300, -300, 2800}},
      {L"排水管", L"PL-1", {0, 0, 3000}, {1000, 0, 3000}},
  };
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(made()[i].name, expect[i].name);
    EXPECT_EQ(made()[i].number, expect[i].number);
    EXPECT_TRUE(made()[i].start.isEqualTo(expect[i].start, 1e-6)) << made()[i].start.x << "," << made()[i].start.y;
    EXPECT_TRUE(made()[i].end.isEqualTo(expect[i].end, 1e-6)) << made()[i].end.x << "," << made()[i].end.y;
    EXPECT_EQ(made()[i].vertical, 0);
  }
  EXPECT_EQ(count(L"给水管"), 4);
  EXPECT_EQ(count(L"排水管"), 1);
  EXPECT_EQ(count(L"排水管边线"), 1);
  EXPECT_EQ(g_multiLineRows, rows);  // kept after the run
  expectRunClosed();
}

TEST_F(MultiLine, EveryStepGoesOnAtTheHeightTheStepBeforeEnded) {
  const StringArray rows = {L"给水管,JL-1,0,0", L"排水管,PL-1,200,0"};
  OpenLayWindow(0, 0, 2800);
  points({{0, 0, 0}, {1000, 0, 0}, {2000, 0, 0}, {3000, 0, 0}, {4000, 0, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayMultiLinearGj(rows));
  CloseLayWindow();
  ASSERT_EQ(made().size(), 6u);  // three steps of two rows
  for (size_t i = 0; i < made().size(); ++i) {
    SCOPED_TRACE(i);
    const double z = made()[i].name == L"排水管" ? 3000 : 2800;
    EXPECT_EQ(made()[i].start.z, z);
    EXPECT_EQ(made()[i].end.z, z);
  }
  expectRunClosed();
}

TEST_F(MultiLine, UndoRightAfterTheThirdPointTakesBackTheFirstSegments) {
  const StringArray rows = {L"给水管,JL-1,0,0", L"给水管,JL-1,0,300"};
  points({{0, 0, 0}, {1000, 0, 0}, {2000, 0, 0}});
  word(L"u");
  push(TokenKind::Enter);
  EXPECT_TRUE(LayMultiLinearGj(rows));
  ASSERT_EQ(made().size(), 2u);
  for (const auto& m : made()) EXPECT_TRUE(m.id.isErased());
  EXPECT_EQ(count(L"给水管"), 0);
  EXPECT_EQ(count(L"给水管边线"), 0);
  ASSERT_EQ(g_linearRun.points.size(), 2u);
  EXPECT_EQ(g_linearRun.points.back(), Point3d(1000, 0, 0));
  expectRunClosed();
}

TEST_F(MultiLine, AnOffsetThatCannotBeMadeDropsThePointAndKeepsNothing) {
  // A clockwise arc of radius 500 cannot be offset 1000 to its inner side.
  const StringArray rows = {L"给水管,JL-1,0,0", L"给水管,JL-1,0,1000"};
  points({{0, 0, 0}, {1000, 0, 0}});
  word(L"A");
  points({{1500, -500, 0}, {1000, -1000, 0}});
  push(TokenKind::Enter);
  const size_t mark = ed::transcriptMark();
  EXPECT_TRUE(LayMultiLinearGj(rows));
  EXPECT_NE(ed::transcriptSince(mark).find(kMultiLineStepFailed), std::wstring::npos) << "it says why";
  EXPECT_EQ(count(L"给水管"), 0);  // the guide row's segment was erased again
  EXPECT_EQ(g_linearRun.points.size(), 2u);
  EXPECT_EQ(g_linearRun.bulges, (std::vector<double>{0, 0}));
  expectRunClosed();
}

TEST_F(MultiLine, AnArcCarriesItsBulgeIntoTheStepAfterIt) {
  const StringArray rows = {L"给水管,JL-1,0,0"};
  points({{0, 0, 0}, {1000, 0, 0}});
  word(L"A");
  push(TokenKind::Escape);  // leaves the arc, the run unchanged
  word(L"A");
  points({{1500, 500, 0}});
  push(TokenKind::Escape);  // at the second end as well
  word(L"A");
  points({{1000, 0, 0}});   // the current point is not a middle point: asked again
  points({{1500, 500, 0}, {1000, 1000, 0}, {0, 1000, 0}});
  push(TokenKind::Enter);
  EXPECT_TRUE(LayMultiLinearGj(rows));
  ASSERT_EQ(made().size(), 2u);
  EXPECT_EQ(made()[0].bulge, 0.0);
  EXPECT_TRUE(made()[1].start.isEqualTo(Point3d(1000, 0, 0), 1e-6));
  EXPECT_TRUE(made()[1].end.isEqualTo(Point3d(1000, 1000, 0), 1e-6));
  EXPECT_NEAR(made()[1].bulge, 1.0, 1e-9);  // a counter-clockwise half circle
  expectRunClosed();
}

TEST_F(MultiLine, PromptEndingsAndEscapeInsideTheRun) {
  struct Case {
    std::vector<TokenKind> input;
  } starts[] = {{{TokenKind::Escape}}, {{TokenKind::Enter}}, {{}}};
  for (auto& c : starts) {
    for (auto k : c.input) push(k);
    EXPECT_FALSE(LayMultiLinearGj({L"给水管,JL-1,0,0"}));
    expectRunClosed();
  }
  EXPECT_FALSE(LayMultiLinearGj({}));  // no rows: nothing asked

  // Escape and an unknown word inside a run only ask again; Enter ends it with true.
  points({{0, 0, 0}});
  push(TokenKind::Escape);
  word(L"X");
  points({{1000, 0, 0}, {2000, 0, 0}});
  push(TokenKind::Enter);
  const size_t mark = ed::transcriptMark();
  EXPECT_TRUE(LayMultiLinearGj({L"给水管,JL-1,0,0"}));
  const std::wstring text = ed::transcriptSince(mark);
  size_t n = 0;
  for (size_t at = text.find(L"需要二维角点或选项关键字"); at != std::wstring::npos;
       at = text.find(L"需要二维角点或选项关键字", at + 1))
    ++n;
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(made().size(), 1u);
  EXPECT_FALSE(made()[0].id.isErased());
  expectRunClosed();
}

}  // namespace
