// Drag and drop of a selection inside the grid, scripted through the input
// queue the drag loop reads (".dragto ID X,Y", ".drop").
#include <algorithm>

#include "grid_test_support.h"

namespace {

class GridDrag : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 6, 5, 300, 200);
    g.dragDropEnabled = true;
    g.SetFocus();
    // Select (1, 1)-(1, 2) with the mouse.
    ui::sim::click(&g, centreOf(g, 1, 1));
    ui::sim::click(&g, centreOf(g, 1, 2), ui::mk::Shift);
    parent.notes.clear();
  }
  void queueDragTo(CCellID cell, bool drop = true) {
    const ui::Point p = centreOf(g, cell.row, cell.col);
    ed::InputToken move;
    move.kind = ed::TokenKind::Directive;
    move.text = L".dragto";
    move.args = {std::to_wstring(GRID_CONTROL_ID), std::to_wstring(p.x) + L"," + std::to_wstring(p.y)};
    ed::inputQueue().push(move);
    ed::InputToken end;
    end.kind = drop ? ed::TokenKind::Directive : ed::TokenKind::Escape;
    end.text = drop ? L".drop" : L"";
    ed::inputQueue().push(end);
  }
  // Presses on a selected cell and moves: the drag starts and runs the loop.
  void drag(unsigned keys = 0) {
    ui::sim::lButtonDown(&g, centreOf(g, 1, 1), keys);
    ASSERT_EQ(g.GetMouseState(), GridMouseState::DragPending);
    ui::sim::mouseMove(&g, centreOf(g, 1, 1) + ui::Point(4, 0), ui::mk::LButton | keys);
  }
  CGridCtrl g;
};

TEST_F(GridDrag, AMovingDragPastesAtTheDropCellAndEmptiesTheSource) {
  queueDragTo({3, 2});
  drag();
  EXPECT_EQ(g.GetItemText(3, 2), L"R1C1");
  EXPECT_EQ(g.GetItemText(3, 3), L"R1C2");
  EXPECT_EQ(g.GetItemText(1, 1), L"");
  EXPECT_EQ(g.GetItemText(1, 2), L"");
  EXPECT_EQ(g.GetItemState(3, 2) & CELL_DROPTARGET, 0u) << "the drop mark goes";
  const auto codes = parent.codes();
  const auto begin = std::find(codes.begin(), codes.end(), GVN_BEGINDRAG);
  ASSERT_NE(begin, codes.end());
  EXPECT_EQ(parent.notes[size_t(begin - codes.begin())], (RecordingParent::Note{GVN_BEGINDRAG, 1, 1}));
  EXPECT_EQ(g.GetMouseState(), GridMouseState::Idle);
}

TEST_F(GridDrag, ACopyingDragKeepsTheSource) {
  queueDragTo({4, 3});
  ui::setKeyDown(ui::vk::Control, true);
  drag(ui::mk::Control);
  ui::setKeyDown(ui::vk::Control, false);
  EXPECT_EQ(g.GetItemText(4, 3), L"R1C1");
  EXPECT_EQ(g.GetItemText(4, 4), L"R1C2");
  EXPECT_EQ(g.GetItemText(1, 1), L"R1C1");
}

TEST_F(GridDrag, NothingChangesOverAReadOnlyCellOrWhenCancelled) {
  g.SetItemState(3, 2, CELL_READONLY);
  queueDragTo({3, 2});
  drag();
  EXPECT_EQ(g.GetItemText(3, 2), L"R3C2");
  EXPECT_EQ(g.GetItemText(1, 1), L"R1C1");

  g.SetSelectedRange(1, 1, 1, 2);
  g.SetFocusCell(1, 2);
  queueDragTo({4, 2}, false);
  drag();
  EXPECT_EQ(g.GetItemText(4, 2), L"R4C2");
  EXPECT_EQ(g.GetItemText(1, 1), L"R1C1");
  EXPECT_EQ(g.GetItemState(4, 2) & CELL_DROPTARGET, 0u);
}

TEST_F(GridDrag, AReleaseWithoutMovingClearsTheSelection) {
  ui::sim::lButtonDown(&g, centreOf(g, 1, 1));
  ASSERT_EQ(g.GetMouseState(), GridMouseState::DragPending);
  ui::sim::lButtonUp(&g, centreOf(g, 1, 1));
  EXPECT_TRUE(g.SelectedCells().empty());
  EXPECT_EQ(g.GetFocusCell(), CCellID(-1, -1));
}

}  // namespace
