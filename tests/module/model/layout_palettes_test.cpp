// The layout palettes: opening at a place with a caption and values, reading
// back what the user typed (with the platform's validation), closing, the
// modes each runner accepts, and taking the elevation from a component picked
// in the drawing.
#include "module/model/layout_palettes.h"

#include <gtest/gtest.h>

#include <numbers>

#include "module/model/special_data.h"
#include "platform/ui/ui.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using namespace palette_ids;
using ed::TokenKind;

class PaletteTest : public tktest::DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    ui::init();
    ui::clearMessageBoxLog();
  }
  void TearDown() override {
    RunDlgLine(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
    RunDlgRect(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    RunDlgFan(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ed::inputQueue().clear();
    DrawingTest::TearDown();
  }
  // The user types into an edit of the active palette (the host's `.set`).
  static void userTypes(int id, const std::wstring& text) {
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = L".set";
    t.args = {std::to_wstring(id), text};
    std::wstring error;
    ASSERT_TRUE(ui::applyAnswer(t, error)) << testing::PrintToString(error);
  }
  static void typeInto(ui::Dialog* dlg, int id, const std::wstring& text) {
    ASSERT_NE(dlg->GetDlgItem(id), nullptr) << id;
    dlg->SetDlgItemText(id, text);
  }
  // A component entity with linear or point special data.
  cad::ObjectId linearGj(double y, const wchar_t* kind, double start, double end) {
    cad::ObjectId id = line(0, y, 1000, y, L"给水管");
    const std::wstring number = L"1", k = kind;
    EXPECT_TRUE(SetGjSpecial(&number, &k, id, &start, &end));
    return id;
  }
  cad::ObjectId pointGj(double y, double elev) {
    cad::ObjectId id = line(0, y, 10, y, L"灯具");
    const std::wstring number = L"D-1";
    EXPECT_TRUE(SetPointGjSpecial(&number, id, &elev, nullptr));
    return id;
  }
};

TEST_F(PaletteTest, OpenPlacesThePaletteWithTheCallersCaptionAndValues) {
  int count = 3;
  double edge = 250, elev = 2800, angle = std::numbers::pi / 2;
  ASSERT_TRUE(RunDlgLine(kPaletteModeOpen, 100, 200, &count, &edge, &elev, &angle, L"沿线布置灯具"));
  int rows = 7;
  double vmargin = 300;  // columns, horizontal margin and elevation absent: zeros
  ASSERT_TRUE(RunDlgRect(kPaletteModeOpen, 300, 40, &rows, nullptr, nullptr, &vmargin, nullptr, L"矩形布置灯具"));
  int first = 8, less = 2;
  double fanElev = -150;
  ASSERT_TRUE(RunDlgFan(kPaletteModeOpen, 5, 6, nullptr, &first, &less, &fanElev, L"扇形布置喷头"));

  struct Case {
    ui::Dialog* dlg;
    const wchar_t* caption;
    ui::Point at;
    std::vector<std::pair<int, std::wstring>> edits;
  } cases[] = {
      {g_dlgLine, L"沿线布置灯具", {100, 200},
       {{kLineCount, L"3"}, {kLineAngle, L"90"}, {kLineEdge, L"250"}, {kLineElevation, L"2800"}}},
      {g_dlgRect, L"矩形布置灯具", {300, 40},
       {{kRectRows, L"7"}, {kRectColumns, L"0"}, {kRectHorizontalMargin, L"0"}, {kRectVerticalMargin, L"300"},
        {kRectElevation, L"0"}}},
      {g_dlgFan, L"扇形布置喷头", {5, 6},
       {{kFanRows, L"0"}, {kFanFirstRowCount, L"8"}, {kFanDecrease, L"2"}, {kFanElevation, L"-150"}}},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.dlg, nullptr);
    SCOPED_TRACE(c.dlg->templateId());
    EXPECT_TRUE(c.dlg->IsWindowVisible());
    EXPECT_EQ(c.dlg->GetWindowText(), c.caption);  // never the template's title
    ui::Rect r;
    c.dlg->GetWindowRect(&r);
    EXPECT_EQ(r.left, c.at.x);
    EXPECT_EQ(r.top, c.at.y);
    for (const auto& [id, text] : c.edits) EXPECT_EQ(c.dlg->GetDlgItemText(id), text) << id;
    auto* button = dynamic_cast<CPaletteButton*>(c.dlg->GetDlgItem(kPickButton));
    ASSERT_NE(button, nullptr);
    EXPECT_NE(button->GetBitmap(), nullptr);
  }
  // Each palette keeps its own template size (dialog units at 9 points).
  ui::Rect lineRect(0, 0, 120, 130);
  g_dlgLine->MapDialogRect(&lineRect);
  ui::Rect client;
  g_dlgLine->GetClientRect(&client);
  EXPECT_EQ(client.Width(), lineRect.Width());
  EXPECT_EQ(client.Height(), lineRect.Height());
}

TEST_F(PaletteTest, ReadBackGivesWhatTheUserTyped) {
  int rows = 2, columns = 2;
  double h = 0, v = 0, elev = 0;
  RunDlgRect(kPaletteModeOpen, 0, 0, &rows, &columns, &h, &v, &elev, L"矩形布置");
  EXPECT_EQ(ui::activeDialog(), g_dlgRect);
  userTypes(kRectRows, L"7");
  userTypes(kRectColumns, L"4");
  typeInto(g_dlgRect, kRectHorizontalMargin, L" 150.5 ");
  typeInto(g_dlgRect, kRectElevation, L"2600");
  ASSERT_TRUE(RunDlgRect(kPaletteModeRead, 0, 0, &rows, &columns, &h, &v, &elev));
  EXPECT_EQ(rows, 7);
  EXPECT_EQ(columns, 4);
  EXPECT_DOUBLE_EQ(h, 150.5);
  EXPECT_DOUBLE_EQ(v, 0);
  EXPECT_DOUBLE_EQ(elev, 2600);

  // Absent arguments are simply not written.
  int onlyRows = 0;
  ASSERT_TRUE(RunDlgRect(kPaletteModeRead, 0, 0, &onlyRows, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(onlyRows, 7);

  // The angle is typed in degrees and handed back in radians.
  int count = 1;
  double edge = 0, lineElev = 0, angle = 0;
  RunDlgLine(kPaletteModeOpen, 0, 0, &count, &edge, &lineElev, &angle, L"沿线布置");
  typeInto(g_dlgLine, kLineAngle, L"45");
  typeInto(g_dlgLine, kLineCount, L"5");
  ASSERT_TRUE(RunDlgLine(kPaletteModeRead, 0, 0, &count, &edge, &lineElev, &angle));
  EXPECT_EQ(count, 5);
  EXPECT_NEAR(angle, std::numbers::pi / 4, 1e-12);
}

TEST_F(PaletteTest, RejectedEntryKeepsThePreviousValueAndSaysWhy) {
  int rows = 3, first = 6, less = 1;
  double elev = 1200;
  RunDlgFan(kPaletteModeOpen, 0, 0, &rows, &first, &less, &elev, L"扇形布置");
  typeInto(g_dlgFan, kFanRows, L"5");
  typeInto(g_dlgFan, kFanFirstRowCount, L"十");
  ASSERT_TRUE(RunDlgFan(kPaletteModeRead, 0, 0, &rows, &first, &less, &elev));
  EXPECT_EQ(rows, 5);    // exchanged before the bad entry
  EXPECT_EQ(first, 6);   // rejected: the field's previous value
  EXPECT_EQ(less, 1);
  EXPECT_DOUBLE_EQ(elev, 1200);
  ASSERT_FALSE(ui::messageBoxLog().empty());
  EXPECT_EQ(ui::messageBoxLog().back().text, ui::kMsgEnterInteger);

  // The same with a number field of the line palette.
  int count = 2;
  double edge = 100, lineElev = 0, angle = 0;
  RunDlgLine(kPaletteModeOpen, 0, 0, &count, &edge, &lineElev, &angle, L"沿线布置");
  typeInto(g_dlgLine, kLineAngle, L"abc");
  ASSERT_TRUE(RunDlgLine(kPaletteModeRead, 0, 0, &count, &edge, &lineElev, &angle));
  EXPECT_DOUBLE_EQ(angle, 0);
  EXPECT_EQ(ui::messageBoxLog().back().text, ui::kMsgEnterNumber);
}

TEST_F(PaletteTest, ModesWithoutAPaletteAndClosing) {
  int a = 11, b = 12, c = 13;
  double d = 14, e = 15, f = 16;
  // Reading back with nothing open: rectangle and fan say so; the line
  // runner answers true. Nothing is written either way.
  EXPECT_FALSE(RunDlgRect(kPaletteModeRead, 0, 0, &a, &b, &d, &e, &f));
  EXPECT_FALSE(RunDlgFan(kPaletteModeRead, 0, 0, &a, &b, &c, &d));
  EXPECT_TRUE(RunDlgLine(kPaletteModeRead, 0, 0, &a, &d, &e, &f));
  EXPECT_EQ(std::tie(a, b, c), std::make_tuple(11, 12, 13));
  EXPECT_EQ(std::tie(d, e, f), std::make_tuple(14.0, 15.0, 16.0));

  // Unknown modes: rectangle and fan do nothing; the line runner closes.
  RunDlgRect(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"R");
  RunDlgFan(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, L"F");
  RunDlgLine(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, L"L");
  EXPECT_FALSE(RunDlgRect(3, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(RunDlgFan(0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_NE(g_dlgRect, nullptr);
  EXPECT_NE(g_dlgFan, nullptr);
  EXPECT_TRUE(RunDlgLine(3, 0, 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(g_dlgLine, nullptr);

  ui::Hwnd rect = g_dlgRect->GetSafeHwnd();
  EXPECT_TRUE(RunDlgRect(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_TRUE(RunDlgFan(kPaletteModeClose, 0, 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(g_dlgRect, nullptr);
  EXPECT_EQ(g_dlgFan, nullptr);
  EXPECT_FALSE(ui::IsWindow(rect));
  EXPECT_TRUE(ui::openDialogs().empty());
}

TEST_F(PaletteTest, OpeningAgainReplacesTheOpenPalette) {
  RunDlgRect(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"第一");
  ui::Hwnd first = g_dlgRect->GetSafeHwnd();
  int rows = 9;
  RunDlgRect(kPaletteModeOpen, 0, 0, &rows, nullptr, nullptr, nullptr, nullptr, L"第二");
  EXPECT_FALSE(ui::IsWindow(first));  // not left behind without an owner
  EXPECT_EQ(g_dlgRect->GetWindowText(), L"第二");
  EXPECT_EQ(ui::openDialogs().size(), 1u);
}

TEST_F(PaletteTest, PickTakesTheElevationOfALevelRunOrAPointComponent) {
  const cad::ObjectId level = linearGj(0, kGjKindSloped, 3000, 3000);
  const cad::ObjectId sloped = linearGj(500, kGjKindSloped, 3000, 2500);
  const cad::ObjectId riser = linearGj(1000, kGjKindRiser, 1800, 1800);
  const cad::ObjectId lamp = pointGj(1500, 2600);
  const cad::ObjectId other = linearGj(2000, L"其它", 900, 900);
  const cad::ObjectId plain = line(0, 2500, 1000, 2500, L"给水管");

  struct Case {
    const char* what;
    std::vector<ed::InputToken> input;
    std::wstring shown;  // the elevation edit afterwards
  } cases[] = {
      {"a level pipe", {pickHandle(level)}, L"3000"},
      {"a sloped pipe asks again, then a lamp", {pickHandle(sloped), pickHandle(lamp)}, L"2600"},
      {"a riser", {pickHandle(riser)}, L"1800"},
      {"other kinds and plain entities ask again; Escape keeps it",
       {pickHandle(other), pickHandle(plain), token(TokenKind::Escape)}, L"1234"},
      {"a sloped pipe, then Enter", {pickHandle(sloped), token(TokenKind::Enter)}, L"1234"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int rows = 1;
    double elev = 1234;
    RunDlgRect(kPaletteModeOpen, 0, 0, &rows, nullptr, nullptr, nullptr, &elev, L"矩形布置");
    typeInto(g_dlgRect, kRectRows, L"6");  // typed, not yet read back
    feed(c.input);
    ASSERT_TRUE(g_dlgRect->pickButton().userClick());
    EXPECT_TRUE(ed::inputQueue().empty());
    EXPECT_EQ(g_dlgRect->GetDlgItemText(kRectElevation), c.shown);
    EXPECT_EQ(g_dlgRect->GetDlgItemText(kRectRows), L"6");
    EXPECT_TRUE(g_dlgRect->IsWindowVisible());
    EXPECT_FALSE(g_dlgRect->inEditorCommand());
    RunDlgRect(kPaletteModeRead, 0, 0, &rows, nullptr, nullptr, nullptr, &elev);
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(elev, std::stod(c.shown));
    ed::inputQueue().clear();
  }
}

TEST_F(PaletteTest, EveryPaletteHasThePickButton) {
  const cad::ObjectId lamp = pointGj(0, 2750);
  RunDlgLine(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, L"L");
  RunDlgFan(kPaletteModeOpen, 0, 0, nullptr, nullptr, nullptr, nullptr, L"F");
  struct Case {
    CLayoutPalette* dlg;
    int edit;
  } cases[] = {{g_dlgLine, kLineElevation}, {g_dlgFan, kFanElevation}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dlg->templateId());
    // Escape first: the palette shows again unchanged.
    feed({token(TokenKind::Escape)});
    ASSERT_TRUE(c.dlg->pickButton().userClick());
    EXPECT_EQ(c.dlg->GetDlgItemText(c.edit), L"0");
    EXPECT_TRUE(c.dlg->IsWindowVisible());
    EXPECT_FALSE(c.dlg->inEditorCommand());
    feed({pickHandle(lamp)});
    ASSERT_TRUE(c.dlg->pickButton().userClick());
    EXPECT_EQ(c.dlg->GetDlgItemText(c.edit), L"2750");
    EXPECT_TRUE(c.dlg->IsWindowVisible());
  }
  // The palettes keep the keyboard focus when the host asks.
  EXPECT_EQ(g_dlgFan->SendMessage(ui::wm::KeepFocus, 0, 0), 1);
}

}  // namespace
