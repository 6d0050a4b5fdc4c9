// Clipboard: copying a selection as tab-separated 8-bit text, pasting it
// back, cutting, and the keys and commands that do it.
#include "grid_test_support.h"
#include "platform/os/os.h"

namespace {

class GridClipboard : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 6, 5, 300, 200);
  }
  static std::string bytesOf(const ui::DataObject& d) {
    auto b = d.GetGlobalData(ui::cf::Text);
    return b ? *b : std::string("<none>");
  }
  static ui::DataObject textData(const std::wstring& text) {
    ui::DataObject d;
    std::string bytes = ui::toAnsi(text);
    bytes.push_back('\0');
    d.CacheGlobalData(ui::cf::Text, bytes);
    return d;
  }
  CGridCtrl g;
};

TEST_F(GridClipboard, CopyWritesTheSelectedBlockRowByRow) {
  g.SetItemText(1, 2, L"");
  g.SetSelectedRange(1, 1, 2, 3);
  auto d = g.CopySelectionToDataSource();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(bytesOf(*d), std::string("R1C1\t \tR1C3\nR2C1\tR2C2\tR2C3") + '\0');

  // Positions inside the block that are not selected stay empty.
  g.SetSelectedRange(-1, -1, -1, -1);
  for (int i = 0; i < 3; ++i) g.SetItemState(1 + i, 1 + i, CELL_SELECTED);
  d = g.CopySelectionToDataSource();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(bytesOf(*d), std::string("R1C1\t\t\n\tR2C2\t\n\t\tR3C3") + '\0');

  g.SetSelectedRange(-1, -1, -1, -1);
  EXPECT_EQ(g.CopySelectionToDataSource(), nullptr);
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_COPY));
}

TEST_F(GridClipboard, ChineseTextIsCopiedInTheSystemCodePage) {
  g.SetItemText(1, 1, L"给水管");
  g.SetSelectedRange(1, 1, 1, 1);
  auto d = g.CopySelectionToDataSource();
  ASSERT_NE(d, nullptr);
  const std::string expected = os::toCodePage(L"给水管");
  EXPECT_EQ(expected.size(), 6u) << "two bytes per character";
  EXPECT_EQ(bytesOf(*d), expected + '\0');
}

TEST_F(GridClipboard, CopyThenPasteRestoresTextsWithCommasAndEmptyCells) {
  g.SetItemText(1, 1, L"DN25, 镀锌");
  g.SetItemText(1, 2, L"");
  g.SetItemText(2, 1, L"a,b,c");
  g.SetSelectedRange(1, 1, 2, 2);
  g.SetFocusCell(1, 1);
  g.SendMessage(ui::wm::KeyDown, 'C', 0);  // without Ctrl: nothing
  EXPECT_FALSE(ui::IsClipboardFormatAvailable(ui::cf::Text));
  ui::setKeyDown(ui::vk::Control, true);
  g.SendMessage(ui::wm::KeyDown, 'C', 0);
  ui::setKeyDown(ui::vk::Control, false);
  ASSERT_TRUE(ui::IsClipboardFormatAvailable(ui::cf::Text));

  // Paste the block two columns to the right.
  g.SetFocusCell(1, 3);
  g.SetItemText(1, 4, L"old");
  ui::setKeyDown(ui::vk::Control, true);
  g.SendMessage(ui::wm::KeyDown, 'V', 0);
  ui::setKeyDown(ui::vk::Control, false);
  EXPECT_EQ(g.GetItemText(1, 3), L"DN25, 镀锌");
  EXPECT_EQ(g.GetItemText(1, 4), L"") << "an empty selected cell pastes as empty";
  EXPECT_EQ(g.GetItemText(2, 3), L"a,b,c");
  EXPECT_EQ(g.GetItemText(2, 4), L"R2C2");
  EXPECT_TRUE(g.GetItemState(2, 3) & CELL_MODIFIED);
}

TEST_F(GridClipboard, PasteFillsRowsAndColumnsFromTheStartCell) {
  const struct {
    const wchar_t* text;
    CCellID start;
    std::vector<std::pair<CCellID, const wchar_t*>> after;
  } cases[] = {
      // Tabs separate columns; surrounding white space goes.
      {L" x \t y\r\nz", {1, 1}, {{{1, 1}, L"x"}, {{1, 2}, L"y"}, {{2, 1}, L"z"}, {{2, 2}, L"R2C2"}}},
      // Only the rows that exist are filled.
      {L"p\nq\nr", {5, 1}, {{{5, 1}, L"p"}, {{4, 1}, L"R4C1"}}},
      // Texts past the last column are dropped.
      {L"1\t2\t3", {1, 3}, {{{1, 3}, L"1"}, {{1, 4}, L"2"}}},
      // An empty line between two line feeds empties its first cell.
      {L"u\n\nv", {1, 1}, {{{1, 1}, L"u"}, {{2, 1}, L""}, {{2, 2}, L"R2C2"}, {{3, 1}, L"v"}}},
      // An empty piece between tabs leaves its cell alone.
      {L"a\t\tc", {1, 1}, {{{1, 1}, L"a"}, {{1, 2}, L"R1C2"}, {{1, 3}, L"c"}}},
  };
  for (const auto& c : cases) {
    for (int r = 1; r < 6; ++r)
      for (int col = 1; col < 5; ++col) g.SetItemText(r, col, L"R" + std::to_wstring(r) + L"C" + std::to_wstring(col));
    auto d = textData(c.text);
    EXPECT_TRUE(g.PasteText(c.start.row, c.start.col, &d)) << c.text;
    for (const auto& [cell, text] : c.after)
      EXPECT_EQ(g.GetItemText(cell.row, cell.col), text) << c.text << " at " << cell.row << "," << cell.col;
  }
}

TEST_F(GridClipboard, PasteLeavesReadOnlyAndRefusingCellsAloneAndUnmarked) {
  g.SetItemState(1, 2, CELL_READONLY);
  g.SetItemComboList(1, 3, {L"甲", L"乙"});
  g.SetItemText(1, 3, L"甲");
  auto d = textData(L"p\tq\tr\t乙");
  parent.notes.clear();
  ASSERT_TRUE(g.PasteText(1, 1, &d));
  EXPECT_EQ(g.GetItemText(1, 1), L"p");
  EXPECT_EQ(g.GetItemText(1, 2), L"R1C2") << "read-only";
  EXPECT_EQ(g.GetItemState(1, 2), CELL_READONLY);
  EXPECT_EQ(g.GetItemText(1, 3), L"甲") << "not an item";
  EXPECT_EQ(g.GetItemState(1, 3) & CELL_MODIFIED, 0u);
  EXPECT_EQ(g.GetItemText(1, 4), L"乙");
  EXPECT_EQ(parent.notes, (std::vector<RecordingParent::Note>{{GVN_BEGINLABELEDIT, 1, 1},
                                                              {GVN_ENDLABELEDIT, 1, 1},
                                                              {GVN_BEGINLABELEDIT, 1, 4},
                                                              {GVN_ENDLABELEDIT, 1, 4}}));

  // A read-only start cell, no text, or no cell: nothing at all.
  auto one = textData(L"z");
  EXPECT_FALSE(g.PasteText(1, 2, &one));
  ui::DataObject empty;
  EXPECT_FALSE(g.PasteText(1, 1, &empty));
  EXPECT_FALSE(g.PasteText(9, 9, &one));
  EXPECT_EQ(g.GetItemText(1, 2), L"R1C2");
}

TEST_F(GridClipboard, CutEmptiesTheSelectionButNotReadOnlyCells) {
  g.SetItemState(2, 2, CELL_READONLY);
  g.SetSelectedRange(1, 1, 2, 2);
  g.SetFocusCell(1, 1);
  parent.notes.clear();
  g.SendMessage(ui::wm::Command, ID_EDIT_CUT, 0);
  ui::DataObject onClipboard;
  ASSERT_TRUE(onClipboard.AttachClipboard());
  EXPECT_EQ(bytesOf(onClipboard), std::string("R1C1\tR1C2\nR2C1\tR2C2") + '\0');
  EXPECT_EQ(g.GetItemText(1, 1), L"");
  EXPECT_EQ(g.GetItemText(2, 1), L"");
  EXPECT_EQ(g.GetItemText(2, 2), L"R2C2");
  EXPECT_TRUE(g.IsCellSelected(2, 2));
  EXPECT_FALSE(g.IsCellSelected(1, 1));
  EXPECT_EQ(parent.notes.size(), 6u);

  // With editing off, cut copies nothing and clears nothing.
  g.editingEnabled = false;
  ui::clearClipboard();
  g.SetSelectedRange(3, 1, 3, 1);
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_CUT));
  g.CutToClipboard();
  EXPECT_EQ(g.GetItemText(3, 1), L"R3C1");
  EXPECT_FALSE(ui::IsClipboardFormatAvailable(ui::cf::Text));
}

TEST_F(GridClipboard, CommandsAreEnabledByTheStateOfTheGrid) {
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_PASTE));
  ui::setClipboardText(L"x");
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_PASTE)) << "no focus cell";
  g.SetFocusCell(1, 1);
  EXPECT_TRUE(g.IsCommandEnabled(ID_EDIT_PASTE));
  g.SetItemState(1, 1, g.GetItemState(1, 1) | CELL_READONLY);
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_PASTE));
  EXPECT_TRUE(g.IsCommandEnabled(ID_EDIT_SELECT_ALL));
  g.SendMessage(ui::wm::Command, ID_EDIT_SELECT_ALL, 0);
  EXPECT_EQ(g.SelectionBounds(), CellRange(1, 1, 5, 4));
  g.selectionEnabled = false;
  EXPECT_FALSE(g.IsCommandEnabled(ID_EDIT_SELECT_ALL));
}

}  // namespace
