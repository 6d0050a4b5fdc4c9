// The small commands: the snap switches, the distance check, the line chain
// with Undo and Close, and the launchers.
#include "module/shell/small_commands.h"

#include <gtest/gtest.h>

#include "module/shell/command_table.h"
#include "module/conversion/conv_base.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/toolkit/offset_input.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/ui/dialog.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using geom::Point3d;
using ed::TokenKind;

class SmallCommands : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    ui::clearMessageBoxLog();
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"构件", L"给水管");
  }
  void TearDown() override {
    g_inputSnapPart = 1;
    ed::inputQueue().clear();
    ProjectSandbox::TearDown();
  }
  cad::Database& db() { return *ed::curDatabase(); }
  struct Seg {
    Point3d start, end;
    std::wstring layer;
  };
  std::vector<Seg> lines() {
    std::vector<Seg> out;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Line> l(id, cad::OpenMode::ForRead);
      if (l) out.push_back({l->start(), l->end(), l->layer()});
    }
    return out;
  }
  std::wstring pelkLog() {
    auto log = os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W");
    std::vector<wchar_t> buf(static_cast<std::size_t>(log(nullptr, 0)) + 1);
    log(buf.data(), static_cast<int>(buf.size()));
    return buf.data();
  }
  int openTransactions() { return ed::curDoc()->transactionManager()->numActiveTransactions(); }
};

TEST_F(SmallCommands, SnapSwitchesQueueTheirStringAndSetTheLimit) {
  ed::DocumentManager& dm = ed::docManager();
  const std::size_t before = dm.sentStrings().size();
  CmdKivInputSnapAll();
  EXPECT_EQ(g_inputSnapPart, 0);
  CmdKivInputSnapPart();
  EXPECT_EQ(g_inputSnapPart, 1);
  ASSERT_EQ(dm.sentStrings().size(), before + 2);
  EXPECT_EQ(dm.sentStrings()[before], L"'InputSnapAll\n");
  EXPECT_EQ(dm.sentStrings()[before + 1], L"'InputSnapPart\n");
}

TEST_F(SmallCommands, LineLenShowsTheDistanceOfEachPairUntilNoPoint) {
  point({0, 0, 0});
  point({3, 4, 12});
  point({1, 1, 1});
  point({1, 1, 3});
  point({5, 5, 5});
  push(TokenKind::Enter);  // no second point: the command ends
  CmdKivLineLen();
  const auto& boxes = ui::messageBoxLog();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, L"13.000000");
  EXPECT_EQ(boxes[1].text, L"2.000000");
  EXPECT_TRUE(ed::inputQueue().empty());
}

TEST_F(SmallCommands, PickupElevDrawsUndoesAndClosesTheChain) {
  struct Case {
    const char* what;
    std::vector<ed::InputToken> input;
    std::vector<std::pair<Point3d, Point3d>> expected;
  };
  auto pt = [](Point3d p) {
    ed::InputToken t;
    t.kind = TokenKind::Point;
    t.p1 = p;
    return t;
  };
  auto key = [](TokenKind k, const wchar_t* text = L"") {
    ed::InputToken t;
    t.kind = k;
    t.text = text;
    return t;
  };
  const Point3d a{0, 0, 0}, b{1000, 0, 100}, c{1000, 1000, 200}, d{0, 1000, 300}, e{500, 500, 0};
  const Case cases[] = {
      // Undo twice takes back the line and then the first point, so the
      // first point is asked again; Escape there ends the command.
      {"first, second, Undo, Undo", {pt(a), pt(b), key(TokenKind::Text, L"U"), key(TokenKind::Text, L"U"),
                                     key(TokenKind::Escape)}, {}},
      {"four points and Close", {pt(a), pt(b), pt(c), pt(d), key(TokenKind::Text, L"C")},
       {{a, b}, {b, c}, {c, d}, {d, a}}},
      // Undo after the third point takes back the newest line only; the
      // next point continues from the second.
      {"Undo in the middle", {pt(a), pt(b), pt(c), key(TokenKind::Text, L"U"), pt(e), key(TokenKind::Enter)},
       {{a, b}, {b, e}}},
      // Close is no keyword before the third point.
      {"Close too early", {pt(a), pt(b), key(TokenKind::Text, L"C"), key(TokenKind::Escape)}, {{a, b}}},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.what);
    ed::resetEditor();
    ed::docManager().curDocument();
    for (const auto& t : cs.input) ed::inputQueue().push(t);
    CmdKivPickupElev();
    const auto got = lines();
    ASSERT_EQ(got.size(), cs.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].start, cs.expected[i].first) << i;
      EXPECT_EQ(got[i].end, cs.expected[i].second) << i;
      EXPECT_EQ(got[i].layer, L"给水管");
    }
    EXPECT_EQ(openTransactions(), 0);
    EXPECT_EQ(db().numOpenObjects(), 0u);
    ed::inputQueue().clear();
  }
}

TEST_F(SmallCommands, PickupElevPromptsFollowTheNumberOfPoints) {
  point({0, 0, 0});
  point({100, 0, 0});
  point({100, 100, 0});
  push(TokenKind::Enter);
  const std::size_t mark = ed::transcriptMark();
  CmdKivPickupElev();
  const std::wstring out = ed::transcriptSince(mark);
  const std::size_t first = out.find(L"\n指定第一点: ");
  const std::size_t next = out.find(L"\n指定下一点或[撤销U]:");
  const std::size_t close = out.find(L"\n指定下一点或[闭合C/撤销U]:");
  ASSERT_NE(first, std::wstring::npos) << os::toUtf8(out);
  ASSERT_NE(next, std::wstring::npos);
  ASSERT_NE(close, std::wstring::npos);
  EXPECT_LT(first, next);
  EXPECT_LT(next, close);
  EXPECT_EQ(db().clayer(), db().layerId(L"给水管"));
}

TEST_F(SmallCommands, LaunchersCallTheirWindowsAndBalanceTheResources) {
  const int balance = ed::docManager().resourceBalance();
  CmdKivTotalRule();
  CmdKivPiece();
  CmdKivPieceLoad();
  const std::wstring log = pelkLog();
  const std::size_t rule = log.find(L"WinDll_TotalRule_W()");
  const std::size_t piece = log.find(L"WinDll_PieceMain_W(1)");
  const std::size_t load = log.find(L"WinDll_PieceLoad_W()");
  ASSERT_NE(rule, std::wstring::npos) << os::toUtf8(log);
  ASSERT_NE(piece, std::wstring::npos);
  ASSERT_NE(load, std::wstring::npos);
  EXPECT_LT(rule, piece);
  EXPECT_LT(piece, load);

  const std::size_t entities = db().modelSpaceEntities().size();
  CDeviceConv* const device = g_deviceConvDlg;
  CConvArea* const area = g_convArea;
  CmdTableConv();  // shows nothing and changes nothing
  EXPECT_EQ(g_deviceConvDlg, device);
  EXPECT_EQ(g_convArea, area);
  EXPECT_EQ(db().modelSpaceEntities().size(), entities);
  EXPECT_TRUE(ui::messageBoxLog().empty());

  ConvAreaObject()->saved = 1;  // an area saved earlier: the dialogs open at once
  CmdDeviceConv();
  CmdPipeConv();
  CmdPipeLineConv();
  CmdAirDuctConv();
  CmdWaterPipeConv();
  EXPECT_NE(g_deviceConvDlg, nullptr);
  EXPECT_NE(g_pipeConvDlg, nullptr);
  EXPECT_NE(g_pipeLineSelDlg, nullptr);  // the circuit conversion opens at its first step
  EXPECT_NE(g_airDuctConvDlg, nullptr);
  EXPECT_NE(g_waterPipeConvDlg, nullptr);
  EXPECT_EQ(ed::docManager().resourceBalance(), balance);
  DestroyAllConvDialogs();
}

}  // namespace
