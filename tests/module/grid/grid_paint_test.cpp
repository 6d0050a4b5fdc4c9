// Painting, checked on the recorded drawing calls, and a rendered picture of
// a small grid for a person to look at.
#include <filesystem>

#include "grid_test_support.h"
#include "module/grid/inplace_editors.h"

namespace {

class GridPaint : public GridTest {
 protected:
  // 5 rows x 4 columns of 20 x 50 (one fixed row and column) in a client
  // area of 300 x 150: cells end at x = 200 and y = 100.
  void SetUp() override {
    GridTest::SetUp();
    makeGrid(g, 5, 4, 300, 150);
    g.bufferedPaint = false;
  }
  const ui::Recording& paint() {
    g.Invalidate();
    g.UpdateWindow();
    return g.paintRecording();
  }
  // Lines drawn with a pen of the given colour, split into horizontal and
  // vertical ones.
  static std::pair<int, int> lines(const ui::Recording& rec, ui::Color c) {
    int h = 0, v = 0;
    for (const ui::DrawCall* call : rec.of(ui::DrawOp::Line)) {
      if (call->pen.color != c || call->points.size() < 2) continue;
      if (call->points[0].y == call->points[1].y) ++h;
      if (call->points[0].x == call->points[1].x) ++v;
    }
    return {h, v};
  }
  static const ui::DrawCall* fillAt(const ui::Recording& rec, ui::Rect r, ui::Color c) {
    for (const ui::DrawCall* call : rec.of(ui::DrawOp::FillRect))
      if (call->rect == r && call->brush.color == c) return call;
    return nullptr;
  }
  CGridCtrl g;
};

TEST_F(GridPaint, LineModesDrawOnlyTheirLines) {
  const struct {
    int mode;
    bool horizontal, vertical;
  } cases[] = {{GRID_LINES_BOTH, true, true},
               {GRID_LINES_HORZ, true, false},
               {GRID_LINES_VERT, false, true},
               {GRID_LINES_NONE, false, false}};
  g.lineColour = ui::RGB(1, 2, 3);
  for (const auto& c : cases) {
    g.lineMode = c.mode;
    const auto [h, v] = lines(paint(), g.lineColour);
    EXPECT_EQ(h, c.horizontal ? 4 : 0) << c.mode;
    EXPECT_EQ(v, c.vertical ? 3 : 0) << c.mode;
    // The headings keep their raised edges in every mode.
    EXPECT_GT(lines(g.paintRecording(), ui::GetSysColor(ui::color::DkShadow3D)).second, 0) << c.mode;
  }
}

TEST_F(GridPaint, HeadingsOfTheFocusCellLookSunken) {
  EXPECT_EQ(paint().count(ui::DrawOp::Edge), 0u) << "no focus: all raised";
  g.SetFocusCell(2, 2);
  const ui::Recording& rec = paint();
  const auto edges = rec.of(ui::DrawOp::Edge);
  ASSERT_EQ(edges.size(), 2u);
  // The heading of column 2 (x = 100..149 in row 0) and of row 2 (y = 40..59).
  std::vector<ui::Rect> rects{edges[0]->rect, edges[1]->rect};
  EXPECT_NE(std::find(rects.begin(), rects.end(), ui::Rect(0, 40, 50, 60)), rects.end());
  EXPECT_NE(std::find(rects.begin(), rects.end(), ui::Rect(100, 0, 150, 20)), rects.end());
}

TEST_F(GridPaint, FocusAndSelectionHighlights) {
  g.SetFocusCell(1, 1);
  g.SetSelectedRange(1, 1, 1, 2);
  const ui::Recording& rec = paint();
  const ui::Color hl = ui::GetSysColor(ui::color::Highlight);
  // Cell (1, 1) covers 50..99 x 20..39: the focus fill lies one pixel inside.
  EXPECT_NE(fillAt(rec, ui::Rect(51, 21, 98, 38), hl), nullptr);
  // Cell (1, 2) is selected: filled up to and including its grid-line pixels.
  EXPECT_NE(fillAt(rec, ui::Rect(100, 20, 150, 40), hl), nullptr);
  const ui::DrawCall* text = rec.findText(L"R1C2");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->textColor, ui::GetSysColor(ui::color::HighlightText));
  EXPECT_EQ(rec.findText(L"R2C2")->textColor, g.cellTextColour);
}

TEST_F(GridPaint, OuterAreaAndCellColours) {
  g.outerBackColour = ui::RGB(9, 9, 9);
  GridItem item;
  item.row = 2;
  item.col = 3;
  item.mask = ITEM_BKCOLOR | ITEM_FGCOLOR;
  item.bkColour = ui::RGB(200, 0, 0);
  item.fgColour = GRID_DEFAULT_COLOUR;
  g.SetItem(&item);
  const ui::Recording& rec = paint();
  EXPECT_NE(fillAt(rec, ui::Rect(200, 0, 300, 150), g.outerBackColour), nullptr) << "right of the cells";
  EXPECT_NE(fillAt(rec, ui::Rect(0, 100, 200, 150), g.outerBackColour), nullptr) << "below the cells";
  EXPECT_NE(fillAt(rec, ui::Rect(150, 40, 200, 60), ui::RGB(200, 0, 0)), nullptr);
  EXPECT_EQ(rec.findText(L"R2C3")->textColor, g.cellTextColour);
}

TEST_F(GridPaint, BufferedPaintCopiesOneBitmapOfTheClipBox) {
  g.bufferedPaint = true;
  const ui::Recording& rec = paint();
  const auto blits = rec.of(ui::DrawOp::Blit);
  ASSERT_EQ(blits.size(), 1u);
  EXPECT_EQ(blits[0]->rect, ui::Rect(0, 0, 300, 150));
  ASSERT_NE(blits[0]->source, nullptr);
  EXPECT_NE(blits[0]->source->findText(L"R3C2"), nullptr);
}

TEST_F(GridPaint, RedrawingOneCellDrawsOnlyThatCell) {
  paint();
  g.paintRecording().clear();
  g.SetItemText(3, 2, L"new");
  ASSERT_TRUE(g.RedrawCell(3, 2));
  const auto texts = g.paintRecording().texts();
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"new"}));
  g.redrawEnabled = false;
  EXPECT_FALSE(g.RedrawCell(3, 2));
}

TEST_F(GridPaint, TheDragImageShowsTheFocusCell) {
  ui::Point size;
  EXPECT_EQ(g.CreateDragImage(&size), nullptr) << "no focus cell";
  g.SetFocusCell(2, 3);
  auto image = g.CreateDragImage(&size);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(size, ui::Point(49, 19));
  EXPECT_EQ(image->GetImageCount(), 1);
  EXPECT_EQ(image->imageSize(), ui::Size(49, 19));
}

// Renders a small grid with headings, a selection and an open drop-down cell
// into the build folder (grid_demo.png) for a person to look at.
TEST_F(GridPaint, RendersAPictureOfASmallGrid) {
  CGridCtrl demo;
  ASSERT_TRUE(demo.Create(ui::Rect(320, 10, 320 + 420, 10 + 200), &parent));
  const wchar_t* headings[] = {L"序号", L"管道", L"支架类型", L"范围"};
  demo.SetFixedRowCount(1);
  demo.SetFixedColumnCount(1);
  demo.SetColumnCount(4);
  for (int c = 0; c < 4; ++c) {
    GridItem h;
    h.row = 0;
    h.col = c;
    h.mask = ITEM_TEXT | ITEM_FORMAT;
    h.text = headings[c];
    h.format = 0x8025;
    demo.SetItem(&h);
  }
  demo.AutoSize();
  for (int c = 0; c < 4; ++c) demo.SetColumnWidth(c, c == 0 ? 50 : 110);
  const wchar_t* pipes[] = {L"给水管 DN25", L"热给水管 DN20", L"排水管 DN100", L"消防管 DN65"};
  for (int i = 0; i < 4; ++i) {
    const int r = demo.AppendRow();
    demo.SetItemComboList(r, 3, {L"整个图形", L"选择当前"});
    demo.SetItemText(r, 0, std::to_wstring(r));
    demo.SetItemText(r, 1, pipes[i]);
    demo.SetItemText(r, 2, i % 2 ? L"吊架" : L"托架");
    demo.SetItemText(r, 3, L"整个图形");
  }
  demo.SetSelectedRange(1, 1, 2, 2);
  demo.SetFocus();
  ui::sim::click(&demo, centreOf(demo, 3, 3));
  ASSERT_NE(dynamic_cast<CInPlaceList*>(demo.ActiveEditor()), nullptr);
  dynamic_cast<CInPlaceList*>(demo.ActiveEditor())->ShowDropDown(true);
  demo.SetSelectedRange(1, 1, 2, 2);

  const std::filesystem::path file = std::filesystem::path(KIV_BINARY_DIR) / "grid_demo.png";
  std::filesystem::remove(file);
  std::wstring error;
  ASSERT_TRUE(ui::renderWindowToPng(&parent, file, &error)) << std::string(error.begin(), error.end());
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_GT(std::filesystem::file_size(file), 1000u);
}

}  // namespace
