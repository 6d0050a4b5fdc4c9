// Printing on the printer device context: page breaks, headings on every
// page, header and footer texts.
#include <algorithm>

#include "grid_test_support.h"
#include "platform/os/os.h"

namespace {

class GridPrint : public GridTest {
 protected:
  // Four columns of 42 (total 168) and rows of 20 under one fixed row. The
  // print font's characters are 4 x 9, so a page is 168 + 8 x 4 = 200 units
  // wide; a printer page of 400 x 348 makes it 174 high, which leaves
  // 174 - 6 x 9 - 20 = 100 units for rows.
  void SetUp() override {
    GridTest::SetUp();
    os::setFixedLocalTime(os::LocalTime{2026, 3, 1, 9, 30, 0, 0, 0});
    makeGrid(g, 12, 4, 300, 300, 20, 42, 1, 0);
  }
  void TearDown() override {
    os::setFixedLocalTime(std::nullopt);
    GridTest::TearDown();
  }

  // Prints every page the grid lays out; answers the texts of each page.
  std::vector<std::vector<std::wstring>> printAll() {
    ui::PrinterDC printer(ui::Size(400, 348));
    ui::PrintInfo info;
    printer.StartDoc(L"grid");
    g.BeginPrinting(&printer, &info);
    const unsigned pages = info.GetMaxPage();
    for (unsigned p = 1; p <= pages && pages != 0xFFFF; ++p) {
      info.m_nCurPage = p;
      printer.StartPage();
      g.PrintPage(&printer, &info);
      printer.EndPage();
    }
    g.EndPrinting(&printer, &info);
    printer.EndDoc();
    std::vector<std::vector<std::wstring>> out;
    for (const auto& page : printer.pages()) out.push_back(page->texts());
    lastPages = printer.pages();
    return out;
  }
  static bool has(const std::vector<std::wstring>& texts, const std::wstring& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  }
  // The rows whose first cell text appears on a page.
  static std::vector<int> rowsOn(const std::vector<std::wstring>& texts) {
    std::vector<int> rows;
    for (int r = 1; r < 20; ++r)
      if (has(texts, L"R" + std::to_wstring(r) + L"C0")) rows.push_back(r);
    return rows;
  }

  CGridCtrl g;
  std::vector<std::shared_ptr<ui::Recording>> lastPages;
};

TEST_F(GridPrint, RowsAreSplitOverPagesWithHeadingsHeaderAndFooter) {
  ui::PrinterDC probe(ui::Size(400, 348));
  ui::PrintInfo info;
  g.BeginPrinting(&probe, &info);
  ASSERT_EQ(g.GetPrintRowsHeight(), 100);
  EXPECT_EQ(info.GetMaxPage(), 3u);  // 11 rows of 20: 5 + 5 + 1
  g.EndPrinting(&probe, &info);

  const auto pages = printAll();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(rowsOn(pages[0]), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(rowsOn(pages[1]), (std::vector<int>{6, 7, 8, 9, 10}));
  EXPECT_EQ(rowsOn(pages[2]), (std::vector<int>{11}));
  for (int p = 0; p < 3; ++p) {
    EXPECT_TRUE(has(pages[p], L"R0C3")) << "headings on page " << p + 1;
    EXPECT_TRUE(has(pages[p], L"材料表")) << "the dialog's title";
    EXPECT_TRUE(has(pages[p], L"Page " + std::to_wstring(p + 1) + L" of 3"));
  }
  // The rows sit below the header and the headings, scaled onto the page.
  const ui::DrawCall* first = lastPages[0]->findText(L"R1C0");
  const ui::DrawCall* heading = lastPages[0]->findText(L"R0C0");
  ASSERT_TRUE(first && heading);
  EXPECT_GT(first->rect.top, heading->rect.top);
  EXPECT_EQ(heading->rect.top / 2, 3 * 9 + 1) << "three character lines down, two device units per unit";
}

TEST_F(GridPrint, ARowTallerThanAPageIsPrintedOnAPageOfItsOwn) {
  g.SetRowHeight(3, 150);
  const auto pages = printAll();
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(rowsOn(pages[0]), (std::vector<int>{1, 2}));
  EXPECT_EQ(rowsOn(pages[1]), (std::vector<int>{3}));
  EXPECT_EQ(rowsOn(pages[2]), (std::vector<int>{4, 5, 6, 7, 8}));
  EXPECT_EQ(rowsOn(pages[3]), (std::vector<int>{9, 10, 11}));
  // The tall row is cut off at the bottom of the room for rows.
  const ui::DrawCall* tall = lastPages[1]->findText(L"R3C0");
  ASSERT_NE(tall, nullptr);
  ASSERT_TRUE(tall->clip.has_value());
  EXPECT_LT(tall->clip->bottom, tall->rect.bottom);

  // The first row tall: no empty page before it.
  g.SetRowHeight(3, 20);
  g.SetRowHeight(1, 130);
  const auto again = printAll();
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(rowsOn(again[0]), (std::vector<int>{1}));
}

TEST_F(GridPrint, AGridOfHeadingsOnlyPrintsNothing) {
  g.SetRowCount(1);
  ui::PrinterDC printer(ui::Size(400, 348));
  ui::PrintInfo info;
  g.BeginPrinting(&printer, &info);
  EXPECT_EQ(info.GetMaxPage(), 0xFFFFu) << "left as it was";
  printer.StartDoc(L"grid");
  printer.StartPage();
  g.PrintPage(&printer, &info);
  printer.EndPage();
  printer.EndDoc();
  ASSERT_EQ(printer.pages().size(), 1u);
  EXPECT_TRUE(printer.pages()[0]->texts().empty());
}

TEST_F(GridPrint, NoHighlightIsPrinted) {
  g.SetFocusCell(2, 1);
  g.SetSelectedRange(2, 1, 3, 2);
  const auto pages = printAll();
  ASSERT_FALSE(lastPages.empty());
  const ui::Color highlight = ui::GetSysColor(ui::color::Highlight);
  for (const ui::DrawCall* c : lastPages[0]->of(ui::DrawOp::FillRect))
    EXPECT_NE(c->brush.color, highlight) << "a highlight fill at " << c->rect.left << "," << c->rect.top;
}

}  // namespace
