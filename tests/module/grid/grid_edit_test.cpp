// In-place editing: typing into a cell, the keys that end an edit, and the
// drop-down editor of list cells.
#include "grid_test_support.h"
#include "module/grid/inplace_editors.h"

namespace {

class GridEdit : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 6, 5, 300, 200);
    g.SetFocus();
  }
  CInPlaceEdit* edit() const { return dynamic_cast<CInPlaceEdit*>(g.ActiveEditor()); }
  CInPlaceList* list() const { return dynamic_cast<CInPlaceList*>(g.ActiveEditor()); }
  // Lets posted messages (the editors' closing) run.
  static void settle() {
    for (int i = 0; i < 5 && ui::pumpMessages() > 0; ++i) {
    }
  }
  CGridCtrl g;
};

TEST_F(GridEdit, TypingStartsAnEditThatEscapeUndoesAndReturnStores) {
  g.SetItemText(2, 2, L"12");
  g.SetFocusCell(2, 2);
  parent.notes.clear();

  g.SendMessage(ui::wm::Char, L'7', 0);
  ASSERT_NE(edit(), nullptr);
  EXPECT_EQ(edit()->GetWindowText(), L"7");
  EXPECT_EQ(ui::Wnd::GetFocus(), edit());
  edit()->SendMessage(ui::wm::Char, ui::vk::Escape, 0);
  settle();
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  EXPECT_EQ(g.GetItemText(2, 2), L"12");
  EXPECT_EQ(g.GetItemState(2, 2) & CELL_MODIFIED, 0u);
  EXPECT_EQ(parent.codes(), (std::vector<int>{GVN_BEGINLABELEDIT, GVN_ENDLABELEDIT}));

  parent.notes.clear();
  g.SendMessage(ui::wm::Char, L'7', 0);
  edit()->SendMessage(ui::wm::Char, ui::vk::Return, 0);
  settle();
  EXPECT_EQ(g.GetItemText(2, 2), L"7");
  EXPECT_TRUE(g.GetItemState(2, 2) & CELL_MODIFIED);
  EXPECT_EQ(parent.codes(), (std::vector<int>{GVN_BEGINLABELEDIT, GVN_ENDLABELEDIT}));
  EXPECT_EQ(g.GetFocusCell(), CCellID(2, 2));
}

TEST_F(GridEdit, TheStartingKeyDecidesTheEditorsText) {
  const struct {
    unsigned key;
    const wchar_t* shown;
    int selStart, selEnd;
  } cases[] = {
      {ui::vk::Back, L"1", 1, 1},       // the last character goes
      {ui::vk::LButton, L"12", 2, 2},   // caret at the end
      {ui::vk::Return, L"12", 2, 2},
      {ui::vk::Right, L"12", 0, 2},     // all selected
      {L'x', L"x", 1, 1},               // replaces the text
  };
  for (const auto& c : cases) {
    g.SetItemText(2, 2, L"12");
    g.SetFocusCell(2, 2);
    g.OnEditCell(2, 2, c.key);
    ASSERT_NE(edit(), nullptr) << c.key;
    EXPECT_EQ(edit()->GetWindowText(), c.shown) << c.key;
    int s = -1, e = -1;
    edit()->GetSel(s, e);
    EXPECT_EQ(s, c.selStart) << c.key;
    EXPECT_EQ(e, c.selEnd) << c.key;
    edit()->SendMessage(ui::wm::Char, ui::vk::Escape, 0);
    settle();
  }
}

TEST_F(GridEdit, TabStoresAndGoesOnEditingTheNextCell) {
  g.SetFocusCell(2, 2);
  g.SendMessage(ui::wm::Char, L'5', 0);
  ASSERT_NE(edit(), nullptr);
  edit()->SendMessage(ui::wm::Char, ui::vk::Tab, 0);
  settle();
  EXPECT_EQ(g.GetItemText(2, 2), L"5");
  EXPECT_EQ(g.GetFocusCell(), CCellID(2, 3));
  ASSERT_NE(edit(), nullptr);
  EXPECT_EQ(edit()->row(), 2);
  EXPECT_EQ(edit()->col(), 3);
  int s = -1, e = -1;
  edit()->GetSel(s, e);
  EXPECT_EQ(std::make_pair(s, e), std::make_pair(0, 4)) << "the next cell's text is selected";
  EXPECT_EQ(ui::Wnd::GetFocus(), edit());
}

TEST_F(GridEdit, ArrowsEndATypedEditButMoveTheCaretInAClickedOne) {
  g.SetFocusCell(2, 2);
  g.SendMessage(ui::wm::Char, L'9', 0);
  edit()->SendMessage(ui::wm::KeyDown, ui::vk::Down, 0);
  settle();
  EXPECT_EQ(g.GetItemText(2, 2), L"9");
  EXPECT_EQ(g.GetFocusCell(), CCellID(3, 2));

  // A second click on the focus cell opens the editor on release.
  ui::sim::click(&g, centreOf(g, 3, 2));
  settle();
  ASSERT_NE(edit(), nullptr);
  edit()->SendMessage(ui::wm::KeyDown, ui::vk::Left, 0);
  EXPECT_NE(g.ActiveEditor(), nullptr) << "the edit stays open";
}

TEST_F(GridEdit, AlignmentFollowsTheCellFormat) {
  const struct {
    unsigned format;
    unsigned style;
  } cases[] = {{ui::dt::Right, ui::es::Right}, {0x8025, ui::es::Center}, {0, ui::es::Left}};
  for (const auto& c : cases) {
    GridItem item;
    item.row = 1;
    item.col = 1;
    item.mask = ITEM_FORMAT;
    item.format = c.format;
    g.SetItem(&item);
    g.OnEditCell(1, 1, ui::vk::LButton);
    ASSERT_NE(edit(), nullptr);
    EXPECT_EQ(edit()->GetStyle() & (ui::es::Right | ui::es::Center), c.style) << c.format;
    g.SetFocus();
    settle();
  }
}

TEST_F(GridEdit, ReadOnlyCellsAndDisabledEditingOpenNoEditor) {
  g.SetItemState(2, 2, CELL_READONLY);
  g.OnEditCell(2, 2, ui::vk::LButton);
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  g.editingEnabled = false;
  g.OnEditCell(3, 3, ui::vk::LButton);
  g.SetFocusCell(3, 3);
  g.SendMessage(ui::wm::Char, L'1', 0);
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  EXPECT_EQ(g.GetItemText(3, 3), L"R3C3");
}

class GridDropDown : public GridEdit {
 protected:
  void SetUp() override {
    GridEdit::SetUp();
    g.SetItemComboList(2, 2, {L"整个图形", L"选择当前"});
    g.SetItemText(2, 2, L"整个图形");
  }
};

TEST_F(GridDropDown, AClickOpensTheListChoosingTellsTheOwnerLeavingStores) {
  ui::sim::click(&g, centreOf(g, 2, 2));
  ASSERT_NE(list(), nullptr);
  CInPlaceList* combo = list();
  EXPECT_EQ(combo->GetCount(), 2);
  EXPECT_EQ(combo->GetCurSel(), 0);

  // Wide enough for the widest item, two spaces and a scroll bar.
  const ui::LogFont lf = *g.GetItemFont(2, 2);
  const int wanted = ui::TextExtent(lf, L"整个图形").cx + 2 * ui::TextExtent(lf, L" ").cx +
                     ui::GetSystemMetrics(ui::sm::CxVScroll);
  EXPECT_GE(combo->windowRect().Width(), wanted);
  EXPECT_EQ(combo->GetDroppedWidth(), wanted);

  ASSERT_TRUE(combo->userSelect(1));
  ASSERT_EQ(parent.listClosed.size(), 1u);
  EXPECT_EQ(parent.listClosed[0].first, L"选择当前");
  EXPECT_EQ(parent.listClosed[0].second, CCellID(2, 2));
  EXPECT_EQ(g.GetItemText(2, 2), L"整个图形") << "the edit goes on";

  g.SetFocus();
  settle();
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  EXPECT_EQ(g.GetItemText(2, 2), L"选择当前");
  EXPECT_TRUE(g.GetItemState(2, 2) & CELL_MODIFIED);
}

TEST_F(GridDropDown, ATypedTextThatIsNoItemIsDroppedAndLeavesTheCellUnmarked) {
  ui::sim::click(&g, centreOf(g, 2, 2));
  ASSERT_NE(list(), nullptr);
  ASSERT_NE(list()->editField(), nullptr);
  list()->editField()->SetWindowText(L"别的");
  parent.notes.clear();
  g.SetFocus();
  settle();
  EXPECT_EQ(g.GetItemText(2, 2), L"整个图形");
  EXPECT_EQ(g.GetItemState(2, 2) & CELL_MODIFIED, 0u);
  EXPECT_EQ(parent.codes(), (std::vector<int>{GVN_ENDLABELEDIT}));
}

TEST_F(GridDropDown, EscapePutsTheCellsItemBack) {
  ui::sim::click(&g, centreOf(g, 2, 2));
  ASSERT_NE(list(), nullptr);
  list()->editField()->SetWindowText(L"选择当前");
  ui::sim::key(ui::vk::Escape);
  settle();
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  EXPECT_EQ(g.GetItemText(2, 2), L"整个图形");
  EXPECT_EQ(g.GetItemState(2, 2) & CELL_MODIFIED, 0u);
  EXPECT_EQ(ui::Wnd::GetFocus(), &g);
}

TEST_F(GridEdit, ADoubleClickOpensTheEditor) {
  ui::sim::doubleClick(&g, centreOf(g, 3, 3));
  settle();
  ASSERT_NE(edit(), nullptr);
  EXPECT_EQ(edit()->row(), 3);
  EXPECT_EQ(edit()->GetWindowText(), L"R3C3");
}

TEST_F(GridDropDown, OpeningAndLeavingNeverChangesTheCell) {
  // Texts that merely begin an item (or an empty cell) stay as they are.
  g.SetItemComboList(3, 2, {L"AB", L"A"});
  g.SetItemComboList(4, 2, {L"AB"});
  g.SetItemText(3, 2, L"A");
  // Row 4 column 2 holds "R4C2", which no item matches; make it empty
  // through a clear, as a user would.
  g.SetSelectedRange(4, 2, 4, 2);
  g.ClearSelectedCells();
  for (int row : {3, 4}) {
    for (int style : {2, 3}) {
      g.dropListStyle = style;
      const std::wstring before = g.GetItemText(row, 2);
      g.OnEditCell(row, 2, ui::vk::LButton);
      ASSERT_NE(list(), nullptr);
      g.SetFocus();
      settle();
      EXPECT_EQ(g.GetItemText(row, 2), before) << row << " style " << style;
    }
  }
}

TEST_F(GridDropDown, ADropDownListTakesNoTypedText) {
  g.dropListStyle = 3;
  g.SetFocusCell(2, 2);
  g.SendMessage(ui::wm::Char, L'x', 0);
  ASSERT_NE(list(), nullptr);
  EXPECT_EQ(list()->editField(), nullptr);
  EXPECT_EQ(list()->GetCurSel(), 0);
  list()->SendMessage(ui::wm::KeyUp, ui::vk::Return, 0);
  settle();
  EXPECT_EQ(g.ActiveEditor(), nullptr);
  EXPECT_EQ(g.GetItemText(2, 2), L"整个图形");
}

}  // namespace
