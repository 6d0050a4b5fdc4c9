// The grid window: creation, font-derived sizes, geometry and hit testing,
// scroll bars, scrolling by messages and the wheel, system colours.
#include "grid_test_support.h"

namespace {

// Records the scroll codes the grid receives.
class ScrollRecordingGrid : public CGridCtrl {
 public:
  std::vector<unsigned> vcodes;
  void OnVScroll(unsigned code, unsigned pos, ui::ScrollBar* bar) override {
    vcodes.push_back(code);
    CGridCtrl::OnVScroll(code, pos, bar);
  }
};

using GridWindow = GridTest;

TEST_F(GridWindow, CreateGivesEveryRowAndColumnTheFontSizes) {
  CGridCtrl g;
  g.SetColumnCount(3);
  g.SetRowCount(4);
  g.SetRowHeight(2, 77);
  g.SetColumnWidth(1, 5);
  ASSERT_TRUE(g.Create(ui::Rect(0, 0, 300, 200), &parent));
  EXPECT_EQ(g.GetDlgCtrlID(), int(GRID_CONTROL_ID));
  EXPECT_EQ(g.GetClassName(), L"KivGridCtrl");

  // The margin is one space of the grid font; the sizes follow from it.
  const ui::LogFont& lf = g.GetDefaultFont();
  const ui::TextMetric tm = ui::MetricsOf(lf);
  const int space = ui::TextExtent(lf, L" ").cx;
  EXPECT_EQ(g.GetCellMargin(), space);
  EXPECT_EQ(g.GetDefaultRowHeight(), tm.tmHeight + tm.tmExternalLeading + 2 * space);
  EXPECT_EQ(g.GetDefaultColumnWidth(), 12 * tm.tmAveCharWidth + 2 * space);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(g.GetRowHeight(r), g.GetDefaultRowHeight());
  for (int c = 0; c < 3; ++c) EXPECT_EQ(g.GetColumnWidth(c), g.GetDefaultColumnWidth());

  // A new font reaches every cell and answers WM_GETFONT.
  ui::Font big;
  ui::LogFont blf = lf;
  blf.lfHeight = -20;
  big.CreateFontIndirect(&blf);
  g.SetFont(&big);
  EXPECT_EQ(g.GetItemFont(2, 2)->lfHeight, -20);
  const ui::TextMetric btm = ui::MetricsOf(blf);
  EXPECT_EQ(g.GetDefaultRowHeight(), btm.tmHeight + btm.tmExternalLeading + 2 * ui::TextExtent(blf, L" ").cx);
  auto* answered = reinterpret_cast<ui::Font*>(g.SendMessage(ui::wm::GetFont));
  ASSERT_NE(answered, nullptr);
  EXPECT_EQ(answered->logFont().lfHeight, -20);
}

TEST_F(GridWindow, SubclassedDialogControlBecomesAGrid) {
  ASSERT_TRUE(CGridCtrl::RegisterWindowClass());
  ui::Hwnd h = ui::CreateWindowEx(0, CGridCtrl::kClassName, L"", ui::ws::Child | ui::ws::Visible,
                                  ui::Rect(0, 0, 200, 100), parent.GetSafeHwnd(), GRID_CONTROL_ID);
  ASSERT_NE(h, nullptr);
  CGridCtrl g;
  ASSERT_TRUE(g.SubclassDlgItem(GRID_CONTROL_ID, &parent));
  EXPECT_GT(g.GetCellMargin(), 0);
  EXPECT_FALSE(g.GetDropTarget().registered());
  EXPECT_EQ(g.GetTitleTip().GetSafeHwnd(), nullptr);
}

TEST_F(GridWindow, ScrollingHidesWholeColumns) {
  CGridCtrl g;
  makeGrid(g, 3, 12, 200, 100, 20, 30);
  ASSERT_GT(g.GetHorzScrollMax(), 30);
  const struct {
    int pos, firstCol;
  } cases[] = {{0, 1}, {1, 2}, {10, 2}, {30, 2}, {31, 3}};
  for (const auto& c : cases) {
    g.SetScrollPosition(c.pos, ui::sb::Horz);
    EXPECT_EQ(g.FirstVisibleCell().col, c.firstCol) << c.pos;
  }
  // Origins follow: column 2 starts right of the fixed column.
  g.SetScrollPosition(10, ui::sb::Horz);
  ui::Point o;
  ASSERT_TRUE(g.CellOrigin(1, 2, &o));
  EXPECT_EQ(o, ui::Point(30, 20));
  EXPECT_FALSE(g.CellOrigin(1, 1, &o)) << "scrolled-off columns have no origin";
  ASSERT_TRUE(g.CellOrigin(0, 0, &o));
  EXPECT_EQ(o, ui::Point(0, 0));
}

TEST_F(GridWindow, VerticalRangeStartsWhenTheRowsNoLongerFit) {
  CGridCtrl g;
  // Five rows of 20 fill 100 pixels exactly.
  makeGrid(g, 5, 3, 150, 100);
  EXPECT_EQ(g.GetVertScrollMax(), 0);
  g.SetRowHeight(4, 21);  // one pixel too tall
  g.UpdateScrollBars();
  EXPECT_EQ(g.GetVertScrollMax(), g.TotalHeight() - g.FixedRowsHeight() - 1);
}

TEST_F(GridWindow, HitTestingAndBorders) {
  CGridCtrl g;
  makeGrid(g, 6, 6, 300, 140, 20, 40);
  struct {
    ui::Point p;
    bool allowFixed;
    CCellID cell;
  } cases[] = {
      {{5, 5}, true, CCellID(0, 0)},     {{5, 5}, false, CCellID(-1, -1)},
      {{45, 25}, true, CCellID(1, 1)},   {{45, 5}, false, CCellID(-1, 1)},
      {{5, 45}, false, CCellID(2, -1)},  {{-1, 25}, true, CCellID(1, -1)},
      {{299, 139}, true, CCellID(-1, -1)},  // beyond the last row and column
  };
  for (const auto& c : cases) EXPECT_EQ(g.CellFromPoint(c.p, c.allowFixed), c.cell) << c.p.x << "," << c.p.y;
  // Column 3 starts at x = 120: 2 pixels right of that grabs its left edge.
  EXPECT_TRUE(g.IsOverColumnBorder({122, 5}));
  EXPECT_TRUE(g.IsOverColumnBorder({118, 5}));  // right edge of column 2
  EXPECT_FALSE(g.IsOverColumnBorder({100, 5}));
  EXPECT_FALSE(g.IsOverColumnBorder({122, 25})) << "only in the fixed rows";
  EXPECT_FALSE(g.IsOverColumnBorder({1, 5})) << "column 0 has no left edge to grab";
  EXPECT_TRUE(g.IsOverRowBorder({5, 41}));
  EXPECT_FALSE(g.IsOverRowBorder({45, 41}));
}

TEST_F(GridWindow, WheelPostsLinesOrPagesPerNotch) {
  const struct {
    int lines;
    int delta;
    std::vector<unsigned> codes;
  } cases[] = {
      {3, 120, {ui::sb::LineUp, ui::sb::LineUp, ui::sb::LineUp}},
      {3, -240, std::vector<unsigned>(6, ui::sb::LineDown)},
      {-1, 240, {ui::sb::PageUp, ui::sb::PageUp}},
  };
  for (const auto& c : cases) {
    ScrollRecordingGrid g;
    makeGrid(g, 40, 3, 150, 100);
    g.wheelLines = c.lines;
    g.SendMessage(ui::wm::MouseWheel, ui::MakeWParam(0, unsigned(c.delta) & 0xFFFF), 0);
    EXPECT_TRUE(g.vcodes.empty()) << "posted, not sent";
    ui::pumpMessages();
    EXPECT_EQ(g.vcodes, c.codes) << c.lines << " " << c.delta;
    g.DestroyWindow();
  }
}

TEST_F(GridWindow, WheelLinesComeFromTheRegistry) {
  const struct {
    const wchar_t* value;  // null: absent
    int lines;
  } cases[] = {{nullptr, 3}, {L"5", 5}, {L"-1", -1}};
  for (const auto& c : cases) {
    ui::clearRegistry();
    if (c.value) ui::setRegistryValue(ui::hkey::CurrentUser, L"Control Panel\\Desktop", L"WheelScrollLines", c.value);
    CGridCtrl g;
    EXPECT_EQ(g.wheelLines, c.lines) << (c.value ? c.value : L"absent");
  }
}

TEST_F(GridWindow, LineAndPageScrollingMoveTheFirstVisibleRow) {
  CGridCtrl g;
  makeGrid(g, 30, 3, 150, 100);  // 4 non-fixed rows fit below the heading
  g.SendMessage(ui::wm::VScroll, ui::sb::LineDown, 0);
  EXPECT_EQ(g.FirstVisibleCell().row, 2);
  g.SendMessage(ui::wm::VScroll, ui::sb::PageDown, 0);
  EXPECT_EQ(g.FirstVisibleCell().row, 6);
  g.SendMessage(ui::wm::VScroll, ui::sb::LineUp, 0);
  EXPECT_EQ(g.FirstVisibleCell().row, 5);
  g.SendMessage(ui::wm::VScroll, ui::sb::Bottom, 0);
  CellRange visible;
  g.VisibleRange(&visible);
  EXPECT_EQ(visible.maxRow, 29);
  g.SendMessage(ui::wm::VScroll, ui::sb::Top, 0);
  EXPECT_EQ(g.FirstVisibleCell().row, 1);
  // EnsureCellVisible scrolls a far row into view.
  g.EnsureCellVisible(20, 1);
  EXPECT_TRUE(g.IsCellVisible(20, 1));
  EXPECT_FALSE(g.IsCellVisible(1, 1));
}

TEST_F(GridWindow, SystemColourChangeKeepsColoursTheCallerChose) {
  CGridCtrl g;
  makeGrid(g, 3, 3, 150, 100);
  g.cellBackColour = ui::RGB(1, 2, 3);
  ui::setSysColor(ui::color::Window, ui::RGB(10, 10, 10));
  ui::setSysColor(ui::color::WindowText, ui::RGB(20, 20, 20));
  g.SendMessage(ui::wm::SysColorChange);
  EXPECT_EQ(g.cellBackColour, ui::RGB(1, 2, 3));
  EXPECT_EQ(g.cellTextColour, ui::RGB(20, 20, 20));
  EXPECT_EQ(g.fixedTextColour, ui::RGB(20, 20, 20));
}

TEST_F(GridWindow, AutoSizeFitsTheWidestTextAndBoldHeadings) {
  CGridCtrl g;
  makeGrid(g, 3, 3, 300, 100);
  g.SetItemText(2, 2, L"a much longer text");
  g.AutoSize();
  const int margin = g.GetCellMargin();
  const ui::LogFont& lf = g.GetDefaultFont();
  EXPECT_EQ(g.GetColumnWidth(2), ui::TextExtent(lf, L"a much longer text").cx + 4 * margin);
  EXPECT_EQ(g.GetRowHeight(1), ui::FontPixelHeight(lf) + 2 * margin);
  EXPECT_FALSE(g.AutoSizeColumn(3));
}

}  // namespace
