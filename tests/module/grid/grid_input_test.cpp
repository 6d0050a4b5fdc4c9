// Selection, focus, keyboard and mouse, driven by window messages.
#include "grid_test_support.h"

namespace {

using GridInput = GridTest;

// A grid of 6 rows x 5 columns, one fixed row and column, rows 20 and
// columns 50 pixels, in a 300 x 200 client area (everything visible).
class GridInputSmall : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 6, 5, 300, 200);
  }
  CGridCtrl g;
};

TEST_F(GridInputSmall, ClickFocusesAndSelectsShiftExtendsCtrlAdds) {
  ui::sim::click(&g, centreOf(g, 2, 2));
  EXPECT_EQ(g.GetFocusCell(), CCellID(2, 2));
  EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{CCellID(2, 2)}));
  EXPECT_EQ(parent.codes(), (std::vector<int>{GVN_ITEMCHANGED}));
  EXPECT_EQ(g.GetItemState(2, 2) & (CELL_FOCUSED | CELL_SELECTED), CELL_FOCUSED | CELL_SELECTED);
  ui::pumpMessages();
  EXPECT_EQ(parent.clickCommands, 1);

  ui::sim::click(&g, centreOf(g, 3, 4), ui::mk::Shift);
  EXPECT_EQ(g.SelectionBounds(), CellRange(2, 2, 3, 4));
  EXPECT_EQ(g.SelectedCells().size(), 6u);
  EXPECT_EQ(g.GetItemState(2, 2) & CELL_FOCUSED, 0u);

  ui::sim::click(&g, centreOf(g, 5, 1), ui::mk::Control);
  EXPECT_EQ(g.SelectedCells().size(), 7u);
  EXPECT_TRUE(g.IsCellSelected(5, 1));
  EXPECT_TRUE(g.IsCellSelected(2, 3));

  // A plain click starts over.
  parent.notes.clear();
  ui::sim::click(&g, centreOf(g, 1, 1));
  EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{CCellID(1, 1)}));
  EXPECT_EQ(parent.notes, (std::vector<RecordingParent::Note>{{GVN_ITEMCHANGING, 5, 1}, {GVN_ITEMCHANGED, 1, 1}}));
}

TEST_F(GridInputSmall, ClickOnAHeadingOnlyClearsTheFocus) {
  ui::sim::click(&g, centreOf(g, 2, 2));
  const std::wstring before = g.GetItemText(2, 1);
  ui::sim::click(&g, centreOf(g, 0, 1));
  EXPECT_EQ(g.GetFocusCell(), CCellID(-1, -1));
  EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{CCellID(2, 2)})) << "the selection is left alone";
  ui::sim::click(&g, centreOf(g, 3, 0));
  EXPECT_EQ(g.GetItemText(2, 1), before) << "headings do not sort";
}

TEST_F(GridInputSmall, DraggingAcrossCellsSelectsABlock) {
  ui::sim::lButtonDown(&g, centreOf(g, 1, 1));
  ui::sim::mouseMove(&g, centreOf(g, 3, 2), ui::mk::LButton);
  EXPECT_EQ(g.GetMouseState(), GridMouseState::SelectingCells);
  ui::sim::lButtonUp(&g, centreOf(g, 3, 2));
  EXPECT_EQ(g.SelectionBounds(), CellRange(1, 1, 3, 2));
  EXPECT_EQ(g.GetFocusCell(), CCellID(3, 2));
  EXPECT_EQ(g.GetMouseState(), GridMouseState::Idle);
}

TEST_F(GridInputSmall, KeysMoveTheFocusAndTabWraps) {
  const struct {
    CCellID from;
    unsigned key;
    bool shift;
    CCellID to;
  } cases[] = {
      {{2, 2}, ui::vk::Right, false, {2, 3}}, {{2, 4}, ui::vk::Right, false, {2, 4}},
      {{2, 1}, ui::vk::Left, false, {2, 1}},  {{1, 2}, ui::vk::Up, false, {1, 2}},
      {{5, 2}, ui::vk::Down, false, {5, 2}},  {{2, 4}, ui::vk::Tab, false, {3, 1}},
      {{5, 4}, ui::vk::Tab, false, {5, 4}},   {{3, 1}, ui::vk::Tab, true, {2, 4}},
      {{1, 1}, ui::vk::Tab, true, {1, 1}},    {{3, 3}, ui::vk::End, false, {5, 3}},
      {{3, 3}, ui::vk::Home, false, {1, 3}},  {{2, 3}, ui::vk::Next, false, {5, 3}},
      {{4, 3}, ui::vk::Prior, false, {1, 3}},
  };
  for (const auto& c : cases) {
    g.ResetSelection();
    g.SetFocusCell(c.from);
    ui::setKeyDown(ui::vk::Shift, c.shift);
    g.SendMessage(ui::wm::KeyDown, c.key, 0);
    ui::setKeyDown(ui::vk::Shift, false);
    EXPECT_EQ(g.GetFocusCell(), c.to) << c.from.row << "," << c.from.col << " key " << c.key;
    if (!(c.to == c.from)) {
      EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{c.to}));
    }
  }
  // Shift+arrow extends the block from the anchor.
  g.ResetSelection();
  g.SetFocusCell(2, 2);
  g.SendMessage(ui::wm::KeyDown, ui::vk::Right, 0);
  ui::setKeyDown(ui::vk::Shift, true);
  g.SendMessage(ui::wm::KeyDown, ui::vk::Down, 0);
  ui::setKeyDown(ui::vk::Shift, false);
  EXPECT_EQ(g.SelectionBounds(), CellRange(2, 3, 3, 3));
}

TEST_F(GridInputSmall, WholeRowModeSelectsRowsAndSortsByHeading) {
  g.wholeRowMode = true;
  ui::sim::click(&g, centreOf(g, 2, 2));
  EXPECT_EQ(g.SelectionBounds(), CellRange(2, 1, 2, 4));
  ui::sim::click(&g, centreOf(g, 4, 3), ui::mk::Shift);
  EXPECT_EQ(g.SelectionBounds(), CellRange(2, 1, 4, 4));
  g.singleRowMode = true;
  ui::sim::click(&g, centreOf(g, 5, 3), ui::mk::Shift);
  EXPECT_EQ(g.SelectionBounds(), CellRange(5, 1, 5, 4));

  // A heading click, as a caller passes it on, sorts by that column and
  // toggles the direction on the next click.
  const wchar_t* texts[] = {L"c", L"a", L"e", L"b", L"d"};
  for (int r = 1; r < 6; ++r) g.SetItemText(r, 2, texts[r - 1]);
  g.OnFixedRowClick(CCellID(0, 2));
  EXPECT_EQ(g.GetItemText(1, 2), L"a");
  EXPECT_EQ(g.GetItemText(5, 2), L"e");
  EXPECT_TRUE(g.SelectedCells().empty());
  g.OnFixedRowClick(CCellID(0, 2));
  EXPECT_EQ(g.GetItemText(1, 2), L"e");
  // Outside whole-row mode a heading click selects the column.
  g.wholeRowMode = false;
  g.OnFixedRowClick(CCellID(0, 3));
  EXPECT_EQ(g.SelectionBounds(), CellRange(1, 3, 5, 3));
}

TEST_F(GridInputSmall, DialogCodeAsksForTabsUnlessCtrlIsHeld) {
  const unsigned base = ui::dlgc::WantArrows | ui::dlgc::WantChars;
  EXPECT_EQ(unsigned(g.SendMessage(ui::wm::GetDlgCode)), base | ui::dlgc::WantTab);
  ui::setKeyDown(ui::vk::Control, true);
  EXPECT_EQ(unsigned(g.SendMessage(ui::wm::GetDlgCode)), base);
  ui::setKeyDown(ui::vk::Control, false);
  g.tabKeyInGrid = false;
  EXPECT_EQ(unsigned(g.SendMessage(ui::wm::GetDlgCode)), base);
}

TEST_F(GridInputSmall, DeleteEmptiesOnlyAnEditableFocusCell) {
  g.SetItemState(2, 2, CELL_READONLY);
  g.SetFocusCell(2, 2);
  parent.notes.clear();
  g.SendMessage(ui::wm::KeyDown, ui::vk::Delete, 0);
  EXPECT_EQ(g.GetItemText(2, 2), L"R2C2");
  EXPECT_TRUE(parent.notes.empty());

  g.SetFocusCell(2, 3);
  g.SetSelectedRange(2, 3, 3, 3);
  parent.notes.clear();
  g.SendMessage(ui::wm::KeyDown, ui::vk::Delete, 0);
  EXPECT_EQ(g.GetItemText(2, 3), L"");
  EXPECT_EQ(g.GetItemText(3, 3), L"R3C3");
  EXPECT_TRUE(g.GetItemState(2, 3) & CELL_MODIFIED);
  EXPECT_EQ(parent.notes, (std::vector<RecordingParent::Note>{{GVN_BEGINLABELEDIT, 2, 3}, {GVN_ENDLABELEDIT, 2, 3}}));

  // A list cell keeps its item: the empty text is not one of them, and the
  // cell is not marked.
  g.SetItemComboList(4, 2, {L"甲", L"乙"});
  g.SetItemText(4, 2, L"乙");
  g.SetFocusCell(4, 2);
  g.SendMessage(ui::wm::KeyDown, ui::vk::Delete, 0);
  EXPECT_EQ(g.GetItemText(4, 2), L"乙");
  EXPECT_EQ(g.GetItemState(4, 2) & CELL_MODIFIED, 0u);
}

TEST_F(GridInputSmall, DraggingAColumnEdgeSetsItsWidth) {
  // Column 2 spans x = 100..149 in the fixed row.
  const ui::Point edge(149, 10);
  ui::sim::mouseMove(&g, edge);
  EXPECT_EQ(g.GetMouseState(), GridMouseState::OverColumnBorder);
  ui::sim::lButtonDown(&g, edge);
  EXPECT_EQ(g.GetMouseState(), GridMouseState::SizingColumn);
  ui::sim::lButtonUp(&g, edge);
  EXPECT_EQ(g.GetColumnWidth(2), 50) << "released where pressed";

  ui::sim::mouseMove(&g, edge);
  ui::sim::lButtonDown(&g, edge);
  ui::sim::mouseMove(&g, {140, 10}, ui::mk::LButton);
  ui::sim::lButtonUp(&g, {140, 10});
  EXPECT_EQ(g.GetColumnWidth(2), 40);

  // Grabbing the left edge of column 3 sizes column 2 as well.
  ui::sim::mouseMove(&g, {142, 10});
  ui::sim::lButtonDown(&g, {141, 10});
  ui::sim::lButtonUp(&g, {160, 10});
  EXPECT_EQ(g.GetColumnWidth(2), 60);
}

TEST_F(GridInputSmall, DoubleClickOnARowEdgeAutoSizesThatRow) {
  g.SetItemText(4, 0, L"tall");
  g.SetItemText(5, 0, L"tall");
  const int fitted = ui::FontPixelHeight(g.GetDefaultFont()) + 2 * g.GetCellMargin();
  // Row 5 spans y = 100..119: its lower edge at 119, its upper edge at 100.
  for (const auto& [y, row] : {std::pair{118, 5}, std::pair{101, 4}}) {
    for (int r = 1; r < 6; ++r) g.SetRowHeight(r, 20);
    ui::sim::mouseMove(&g, {10, y});
    ASSERT_EQ(g.GetMouseState(), GridMouseState::OverRowBorder) << y;
    g.SendMessage(ui::wm::LButtonDblClk, 0, ui::LParamFromPoint({10, y}));
    EXPECT_EQ(g.GetRowHeight(row), fitted) << y;
    EXPECT_EQ(g.GetRowHeight(row == 5 ? 4 : 5), 20) << y;
  }
}

TEST(GridAutoScroll, DraggingBelowTheWindowGrowsTheSelectionEveryTick) {
  ui::init();
  ui::resetWindowSystem();
  RecordingParent parent;
  ASSERT_TRUE(parent.CreateEx(0, L"Wnd", L"", ui::ws::Overlapped | ui::ws::Visible, ui::Rect(0, 0, 800, 600), nullptr, 0));
  CGridCtrl g;
  ASSERT_TRUE(g.Create(ui::Rect(0, 0, 206, 106), &parent));
  g.SetColumnCount(3);
  g.SetRowCount(30);
  g.SetFixedRowCount(1);
  g.SetFixedColumnCount(1);
  for (int r = 0; r < 30; ++r) g.SetRowHeight(r, 20);
  g.UpdateScrollBars();

  ui::Rect cell;
  ASSERT_TRUE(g.CellRect(2, 1, &cell));
  ui::sim::lButtonDown(&g, {cell.left + 5, cell.top + 5});
  // The pointer goes below the grid with the button held.
  ui::Point below(cell.left + 5, 130);
  ui::sim::mouseMove(&g, below, ui::mk::LButton);
  ui::Point screen = below;
  g.ClientToScreen(&screen);
  ui::SetCursorPos(screen);
  ui::advanceClock(25);
  const int afterOne = g.GetFocusCell().row;
  EXPECT_EQ(afterOne, 3);
  ui::advanceClock(25);
  EXPECT_EQ(g.GetFocusCell().row, afterOne + 1);
  const int grownTo = g.SelectionBounds().maxRow;
  EXPECT_GE(grownTo, afterOne + 1);
  ui::advanceClock(50);
  EXPECT_EQ(g.GetFocusCell().row, afterOne + 3);
  EXPECT_EQ(g.SelectionBounds().minRow, 2);
  EXPECT_GT(g.SelectionBounds().maxRow, grownTo);
  ui::sim::lButtonUp(&g, below);
  const int stopped = g.GetFocusCell().row;
  ui::advanceClock(100);
  EXPECT_EQ(g.GetFocusCell().row, stopped) << "the timer stops with the release";
}

}  // namespace
