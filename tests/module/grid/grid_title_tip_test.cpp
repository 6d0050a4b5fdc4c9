// Title tips: shown over cells whose text does not fit, hidden by leaving
// the cell, a click or a key, which then reach the grid.
#include "grid_test_support.h"

namespace {

class GridTitleTip : public GridTest {
 protected:
  // Cells are 30 pixels wide. " abc " in the 12-pixel default font is 30
  // pixels: one pixel too wide for a text area that ends at x + 29.
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 4, 4, 300, 200, 20, 30);
    g.SetItemText(1, 1, L"abc");
    g.SetItemText(1, 2, L"ab");
    g.SetItemText(2, 2, L"abcd");
    ASSERT_EQ(ui::TextExtent(*g.GetItemFont(1, 1), L" abc ").cx, 30);
  }
  bool shown() { return g.GetTitleTip().IsWindowVisible(); }
  // The application loses the focus: the window that had it goes away.
  static void clearFocus() {
    ui::Hwnd h = ui::CreateWindowEx(0, L"Wnd", L"", ui::ws::Popup, ui::Rect(0, 0, 1, 1), nullptr, 0);
    ui::Wnd::FromHandle(h)->SetFocus();
    ui::DestroyWindow(h);
    ASSERT_EQ(ui::Wnd::GetFocus(), nullptr);
  }
  CGridCtrl g;
};

TEST_F(GridTitleTip, OnlyTextsThatDoNotFitGetATip) {
  clearFocus();
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  EXPECT_FALSE(shown()) << "no window has the focus";
  g.SetFocus();
  ui::sim::mouseMove(&g, centreOf(g, 1, 2));
  EXPECT_FALSE(shown()) << "fits";
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  ASSERT_TRUE(shown());
  EXPECT_EQ(g.GetTitleTip().shownText(), L" abc ");
  EXPECT_EQ(ui::Wnd::GetCapture(), &g.GetTitleTip());
  // Laid over the cell's text, as wide as the text.
  ui::Rect tip = g.GetTitleTip().windowRect();
  ui::Rect cell;
  g.CellRect(1, 1, &cell);
  g.ClientToScreen(&cell);
  EXPECT_EQ(tip.left, cell.left);
  EXPECT_EQ(tip.top, cell.top);
  EXPECT_EQ(tip.Width(), 30);
}

TEST_F(GridTitleTip, MovingWithinTheCellKeepsItLeavingHidesIt) {
  g.SetFocus();
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  ASSERT_TRUE(shown());
  ui::sim::mouseMove(&g, centreOf(g, 1, 1) + ui::Point(3, 2));
  EXPECT_TRUE(shown());
  // Into a cell whose text fits: hidden, and no new tip.
  ui::sim::mouseMove(&g, centreOf(g, 1, 2));
  EXPECT_FALSE(shown());
  EXPECT_EQ(ui::Wnd::GetCapture(), nullptr);
  // Back to a cut-off cell, then straight into the next one: the move that
  // hides the tip reaches the grid, which offers the new cell's text.
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  ASSERT_TRUE(shown());
  ui::sim::mouseMove(&g, centreOf(g, 2, 2));
  EXPECT_TRUE(shown());
  EXPECT_EQ(g.GetTitleTip().shownText(), L" abcd ");
  ui::Rect cell;
  g.CellRect(2, 2, &cell);
  g.ClientToScreen(&cell);
  EXPECT_EQ(g.GetTitleTip().windowRect().TopLeft(), cell.TopLeft());
}

TEST_F(GridTitleTip, AClickOnTheTipReachesTheGrid) {
  g.SetFocus();
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  ASSERT_TRUE(shown());
  ui::sim::lButtonDown(&g, centreOf(g, 1, 1));
  EXPECT_FALSE(shown());
  ui::pumpMessages();
  EXPECT_EQ(g.GetFocusCell(), CCellID(1, 1));
}

TEST_F(GridTitleTip, AKeyHidesTheTipAndReachesTheGrid) {
  g.SetFocus();
  g.SetFocusCell(1, 1);
  ui::sim::mouseMove(&g, centreOf(g, 1, 1));
  ASSERT_TRUE(shown());
  ui::sim::keyDown(ui::vk::Down, &g.GetTitleTip());
  EXPECT_FALSE(shown());
  ui::pumpMessages();
  EXPECT_EQ(g.GetFocusCell(), CCellID(2, 1));
}

}  // namespace
