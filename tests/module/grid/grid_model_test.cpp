// The cell model: counts and fixed parts, item reads and writes, drop-down
// lists, sizes and sorting. None of these needs the grid's window.
#include <gtest/gtest.h>

#include "module/grid/grid_ctrl.h"
#include "platform/ui/ui.h"

namespace {

class GridModel : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::init();
    ui::resetWindowSystem();
  }
};

TEST_F(GridModel, FixedCountsGrowAndShrinkTheTable) {
  CGridCtrl g;
  // A fixed row on an empty grid makes a row without cells...
  ASSERT_TRUE(g.SetFixedRowCount(1));
  EXPECT_EQ(g.GetRowCount(), 1);
  EXPECT_EQ(g.GetCell(0, 0), nullptr);
  // ...which gets its cells with the columns.
  ASSERT_TRUE(g.SetColumnCount(4));
  for (int c = 0; c < 4; ++c) EXPECT_NE(g.GetCell(0, c), nullptr) << c;
  EXPECT_EQ(g.GetCell(0, 4), nullptr);

  ASSERT_TRUE(g.SetFixedColumnCount(3));
  ASSERT_TRUE(g.SetColumnCount(2));
  EXPECT_EQ(g.GetFixedColumnCount(), 2);
  ASSERT_TRUE(g.SetRowCount(0));
  EXPECT_EQ(g.GetFixedRowCount(), 0);
}

TEST_F(GridModel, NegativeCountsAreRefusedAndChangeNothing) {
  CGridCtrl g;
  g.SetColumnCount(3);
  g.SetRowCount(2);
  g.SetItemText(1, 1, L"kept");
  EXPECT_FALSE(g.SetRowCount(-1));
  EXPECT_FALSE(g.SetColumnCount(-5));
  EXPECT_FALSE(g.SetFixedRowCount(-1));
  EXPECT_FALSE(g.SetFixedColumnCount(-1));
  EXPECT_EQ(g.GetRowCount(), 2);
  EXPECT_EQ(g.GetColumnCount(), 3);
  EXPECT_EQ(g.GetItemText(1, 1), L"kept");
  EXPECT_EQ(g.GetRowHeight(1), g.GetDefaultRowHeight());
}

TEST_F(GridModel, ListCellsHoldOnlyTheirItemsOutsideTheHeadings) {
  CGridCtrl g;
  g.SetColumnCount(4);
  g.SetRowCount(3);
  g.SetFixedRowCount(1);
  ASSERT_TRUE(g.SetItemComboList(1, 2, {L"A", L"B"}));
  ASSERT_TRUE(g.SetItemComboList(2, 2, {}));

  struct Case {
    int row, col;
    const wchar_t* text;
    bool stored;
  } cases[] = {
      {1, 2, L"Z", false},  // not an item
      {1, 2, L"B", true},
      {1, 2, L"b", false},  // case matters
      {0, 2, L"Z", true},   // headings are free
      {2, 2, L"", false},   // an empty list refuses everything
      {2, 2, L"A", false},
      {1, 3, L"Z", true},   // no list there
  };
  for (const auto& c : cases) {
    const std::wstring before = g.GetItemText(c.row, c.col);
    EXPECT_EQ(g.SetItemText(c.row, c.col, c.text), c.stored) << c.row << "," << c.col << " " << c.text;
    EXPECT_EQ(g.GetItemText(c.row, c.col), c.stored ? std::wstring(c.text) : before);
  }
  EXPECT_EQ(g.GetItemText(1, 2), L"B");

  // SetItem applies the same rule and then stores nothing else of the record.
  GridItem item;
  item.row = 1;
  item.col = 2;
  item.mask = ITEM_TEXT | ITEM_DATA;
  item.text = L"Q";
  item.itemData = 77;
  EXPECT_FALSE(g.SetItem(&item));
  EXPECT_EQ(g.GetItemData(1, 2), 0);
}

TEST_F(GridModel, ListsAreKeyedByPositionAndSurviveDeleteAllCells) {
  CGridCtrl g;
  g.SetFixedColumnCount(1);
  g.SetColumnCount(3);
  // Fixed columns never get lists.
  EXPECT_FALSE(g.SetItemComboList(3, 0, {L"A"}));
  EXPECT_EQ(g.FindDropList(3, 0), -1);
  // A list may come before its row; setting it again replaces it in place.
  ASSERT_TRUE(g.SetItemComboList(5, 1, {L"A"}));
  ASSERT_TRUE(g.SetItemComboList(6, 2, {L"X"}));
  ASSERT_TRUE(g.SetItemComboList(5, 1, {L"C", L"D"}));
  EXPECT_EQ(g.FindDropList(5, 1), 0);
  EXPECT_EQ(g.FindDropList(6, 2), 1);
  EXPECT_EQ(*g.DropListItems(5, 1), (std::vector<std::wstring>{L"C", L"D"}));

  g.DeleteAllCells();
  EXPECT_EQ(g.GetRowCount() + g.GetColumnCount() + g.GetFixedRowCount() + g.GetFixedColumnCount(), 0);
  g.SetColumnCount(3);
  g.SetRowCount(5);
  const int r = g.AppendRow();
  ASSERT_EQ(r, 5);
  EXPECT_FALSE(g.SetItemText(5, 1, L"A"));
  EXPECT_TRUE(g.SetItemText(5, 1, L"D"));
}

TEST_F(GridModel, AppendedRowsTakeTheFormatOfTheRowAbove) {
  CGridCtrl g;
  g.SetFixedRowCount(1);
  g.SetColumnCount(4);
  for (int c = 0; c < 4; ++c) {
    GridItem h;
    h.row = 0;
    h.col = c;
    h.mask = ITEM_TEXT | ITEM_FORMAT;
    h.text = L"Heading";
    h.format = 0x8025;
    ASSERT_TRUE(g.SetItem(&h));
  }
  const int r1 = g.AppendRow();
  const int r2 = g.AppendRow();
  EXPECT_EQ(g.GetItemFormat(r1, 3), 0x8025u);
  EXPECT_EQ(g.GetItemFormat(r2, 0), 0x8025u);
  EXPECT_EQ(g.GetItemText(r1, 0), L"");
  // Height: an empty text in the semi-bold default font plus two margins.
  EXPECT_EQ(g.GetRowHeight(r1), ui::FontPixelHeight(g.GetDefaultFont()) + 2 * g.GetCellMargin());
}

TEST_F(GridModel, MarkModifiedSkipsRowZeroAndColumnZero) {
  CGridCtrl g;
  g.SetColumnCount(6);
  g.SetRowCount(6);
  const struct {
    int row, col;
    unsigned state;
  } cases[] = {{0, 5, 0}, {5, 0, 0}, {1, 1, CELL_MODIFIED}, {5, 5, CELL_MODIFIED}};
  for (const auto& c : cases) {
    g.MarkModified(c.row, c.col);
    EXPECT_EQ(g.GetItemState(c.row, c.col), c.state) << c.row << "," << c.col;
  }
}

TEST_F(GridModel, SizesOutOfRangeAnswerFailure) {
  CGridCtrl g;
  g.SetColumnCount(3);
  g.SetRowCount(2);
  EXPECT_EQ(g.GetRowHeight(-1), -1);
  EXPECT_EQ(g.GetRowHeight(2), -1);
  EXPECT_EQ(g.GetColumnWidth(3), -1);
  EXPECT_FALSE(g.SetColumnWidth(-1, 10));
  EXPECT_FALSE(g.SetRowHeight(0, -1));
  EXPECT_TRUE(g.SetColumnWidth(2, 0));
  EXPECT_EQ(g.GetColumnWidth(2), 0);
  EXPECT_EQ(g.GetItemText(9, 9), L"");
  EXPECT_EQ(g.GetItemState(-1, 0), 0u);
  EXPECT_EQ(g.GetItemFont(9, 9), &g.GetDefaultFont());
  EXPECT_FALSE(g.SetItemData(2, 0, 1));
  EXPECT_FALSE(g.GetItem(nullptr));
}

TEST_F(GridModel, SelectedStateAlwaysAgreesWithTheSelection) {
  CGridCtrl g;
  g.SetColumnCount(3);
  g.SetRowCount(3);
  // Selecting through SetItem puts the cell into the selection...
  GridItem item;
  item.row = 1;
  item.col = 1;
  item.mask = ITEM_STATE;
  item.state = CELL_SELECTED;
  ASSERT_TRUE(g.SetItem(&item));
  EXPECT_EQ(g.SelectionBounds(), CellRange(1, 1, 1, 1));
  // ...so a new selection takes it away again.
  g.SetSelectedRange(2, 2, 2, 2);
  EXPECT_EQ(g.GetItemState(1, 1) & CELL_SELECTED, 0u);
  EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{CCellID(2, 2)}));
  // Removing the row of a selected cell takes it out of the selection.
  g.SetRowCount(2);
  EXPECT_TRUE(g.SelectedCells().empty());
  EXPECT_EQ(g.SelectionBounds(), CellRange(2, 3, -1, -1));
}

TEST_F(GridModel, SelectionTellsApartCellsFarApart) {
  CGridCtrl g;
  g.SetColumnCount(2);
  g.SetRowCount(65537);
  g.SetItemState(0, 1, CELL_SELECTED);
  g.SetItemState(65536, 1, CELL_SELECTED);
  EXPECT_EQ(g.SelectedCells(), (std::vector<CCellID>{CCellID(0, 1), CCellID(65536, 1)}));
  EXPECT_EQ(g.SelectionBounds(), CellRange(0, 1, 65536, 1));
}

TEST_F(GridModel, SortMovesWholeRowsAndNeverSwapsEqualTexts) {
  CGridCtrl g;
  g.SetColumnCount(2);
  g.SetRowCount(4);
  g.SetFixedRowCount(1);
  // B, A, B ascending gives A, B, B with the two B rows in their order.
  const wchar_t* texts[] = {L"B", L"A", L"B"};
  for (int i = 0; i < 3; ++i) {
    g.SetItemText(i + 1, 0, texts[i]);
    g.SetItemData(i + 1, 1, i + 1);  // identity of the original row
    g.SetRowHeight(i + 1, 10 + i);
  }
  g.SetItemState(2, 0, CELL_READONLY);
  ASSERT_TRUE(g.SortByColumn(0, true));
  const std::pair<const wchar_t*, ui::LParam> expected[] = {{L"A", 2}, {L"B", 1}, {L"B", 3}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(g.GetItemText(i + 1, 0), expected[i].first) << i;
    EXPECT_EQ(g.GetItemData(i + 1, 1), expected[i].second) << i;
    EXPECT_EQ(g.GetRowHeight(i + 1), 10 + int(expected[i].second) - 1) << "heights move with rows";
  }
  EXPECT_EQ(g.GetItemState(1, 0), CELL_READONLY) << "states move with rows";
  EXPECT_EQ(g.GetItemText(0, 0), L"") << "the heading stays";

  ASSERT_TRUE(g.SortByColumn(0, false));
  EXPECT_EQ(g.GetItemText(1, 0), L"B");
  EXPECT_EQ(g.GetItemText(3, 0), L"A");
  EXPECT_FALSE(g.SortRange(2, true, 1, -1));  // column out of range
  EXPECT_FALSE(g.SortRange(0, true, 3, 3));   // empty span
}

}  // namespace
