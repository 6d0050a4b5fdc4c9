// Printing: the fixed rows as column headings on every page, the other rows
// split over as many pages as needed, a header with the application's and
// the dialog's titles and a footer with the page number and the date. Pages
// are laid out in the grid's own pixel units, mapped so that the grid's width
// plus a margin of four characters on either side fills the page width.
#include <algorithm>
#include <ctime>
#include <cwchar>

#include "module/grid/grid_ctrl.h"
#include "platform/os/os.h"
#include "platform/ui/resources.h"

namespace {

constexpr wchar_t kMeasureText[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ";
constexpr unsigned kAppTitleString = 57344;

std::wstring formatNow() {
  const os::LocalTime t = os::localTime();
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_wday = t.dayOfWeek;
  wchar_t buf[129];
  const size_t n = std::wcsftime(buf, 128, L"%c", &tm);
  return n ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

void CGridCtrl::BeginPrinting(ui::DC* dc, ui::PrintInfo* info) {
  printReady_ = false;
  printPageStarts_.clear();
  if (!dc || !info || rowCount == fixedRowCount) return;

  printFont.DeleteObject();
  printFont.CreateFont(-9, 0, 0, 0, ui::fw::Normal, false, false, false, ui::charset::Default,
                       ui::out_precis::Character, ui::clip_precis::Character, 0, 0, L"Times New Roman");
  ui::Font* old = dc->SelectObject(&printFont);
  const ui::Size measured = dc->GetTextExtent(kMeasureText);
  printCharSize = ui::Size(measured.cx / 52, measured.cy);

  printDeviceSize = ui::Size(dc->GetDeviceCaps(ui::caps::HorzRes), dc->GetDeviceCaps(ui::caps::VertRes));
  const int logicalWidth = TotalWidth() + 8 * printCharSize.cx;
  const int logicalHeight = ui::MulDiv(logicalWidth, printDeviceSize.cy, std::max(1, printDeviceSize.cx));
  printLogicalSize = ui::Size(logicalWidth, logicalHeight);
  printRowsHeight = logicalHeight - 6 * printCharSize.cy - FixedRowsHeight();

  // A page takes rows while their heights add up to no more than the room
  // for rows. A row taller than that room gets a page of its own (and is
  // printed cut off at the page's bottom) rather than an empty page.
  int sum = 0;
  printPageStarts_.push_back(fixedRowCount);
  for (int r = fixedRowCount; r < rowCount; ++r) {
    const int h = GetRowHeight(r);
    if (sum > 0 && sum + h > printRowsHeight) {
      printPageStarts_.push_back(r);
      sum = 0;
    }
    sum += h;
  }
  info->SetMaxPage(unsigned(printPageStarts_.size()));
  info->m_nCurPage = 1;
  dc->SelectObject(old);
  printReady_ = true;
}

void CGridCtrl::drawCellLines(ui::DC* dc, int row, int col, const ui::Rect& r, bool firstRowOfPage) {
  if (lineMode == GRID_LINES_HORZ || lineMode == GRID_LINES_BOTH) {
    dc->MoveTo(col > 0 ? r.left - 1 : r.left, r.bottom);
    dc->LineTo(r.right, r.bottom);
    if (row == 0) {
      dc->MoveTo(r.left, r.top);
      dc->LineTo(r.right, r.top);
    }
  }
  if (lineMode == GRID_LINES_VERT || lineMode == GRID_LINES_BOTH) {
    dc->MoveTo(r.right, firstRowOfPage ? r.top : r.top - 1);
    dc->LineTo(r.right, r.bottom);
    if (col == 0) {
      dc->MoveTo(r.left, r.top);
      dc->LineTo(r.left, r.bottom);
    }
  }
}

void CGridCtrl::PrintPage(ui::DC* dc, ui::PrintInfo* info) {
  // Nothing was laid out (no rows, or BeginPrinting was not called).
  if (!dc || !info || !printReady_) return;
  const int page = int(info->m_nCurPage);
  if (page < 1 || page > int(printPageStarts_.size())) return;

  ui::Font* oldFont = dc->SelectObject(&printFont);
  dc->SetMapMode(ui::mm::Anisotropic);
  dc->SetWindowExt(printLogicalSize.cx, printLogicalSize.cy);
  dc->SetViewportExt(printDeviceSize.cx, printDeviceSize.cy);
  dc->SetWindowOrg(-4 * printCharSize.cx, 0);

  info->m_rectDraw = ui::Rect(0, 0, printLogicalSize.cx - 8 * printCharSize.cx, 2 * printCharSize.cy);
  PrintHeader(dc, info);

  dc->OffsetWindowOrg(0, -3 * printCharSize.cy);
  info->m_rectDraw.bottom = FixedRowsHeight();
  PrintColumnHeadings(dc, info);
  dc->OffsetWindowOrg(0, -FixedRowsHeight());

  const int first = printPageStarts_[page - 1];
  const int end = page < int(printPageStarts_.size()) ? printPageStarts_[page] : rowCount;
  int top = 0;
  bool clipped = false;
  for (int r = first; r < end; ++r) {
    const int h = GetRowHeight(r);
    const int bottom = top + h - 1;
    if (bottom > printRowsHeight) {
      // Only a row that fills a page alone goes past the room for rows; it is
      // printed cut off at the page's bottom.
      if (r != first) break;
      dc->SaveDC();
      dc->IntersectClipRect(0, 0, TotalWidth() + 1, printRowsHeight + 1);
      clipped = true;
    }
    int left = 0;
    for (int c = 0; c < columnCount; ++c) {
      const int w = GetColumnWidth(c);
      const ui::Rect cell(left, top, left + w - 1, bottom);
      DrawCell(dc, r, c, cell, false);
      drawCellLines(dc, r, c, cell, r == first);
      left += w;
    }
    if (clipped) {
      dc->RestoreDC(-1);
      break;
    }
    top = bottom + 1;
  }

  info->m_rectDraw.bottom = 2 * printCharSize.cy;
  info->m_rectDraw.top = 0;
  dc->SetWindowOrg(-4 * printCharSize.cx, 2 * printCharSize.cy - printLogicalSize.cy);
  PrintFooter(dc, info);
  dc->SetWindowOrg(0, 0);
  dc->SelectObject(oldFont);
}

void CGridCtrl::EndPrinting(ui::DC*, ui::PrintInfo*) {
  printFont.DeleteObject();
  printReady_ = false;
}

void CGridCtrl::PrintColumnHeadings(ui::DC* dc, ui::PrintInfo*) {
  ui::Font* old = dc->SelectObject(&printFont);
  int top = 0;
  for (int r = 0; r < fixedRowCount; ++r) {
    const int h = GetRowHeight(r);
    int left = 0;
    for (int c = 0; c < columnCount; ++c) {
      const int w = GetColumnWidth(c);
      const ui::Rect cell(left, top, left + w - 1, top + h - 1);
      DrawFixedCell(dc, r, c, cell, false);
      drawCellLines(dc, r, c, cell, r == 0);
      left += w;
    }
    top += h;
  }
  dc->SelectObject(old);
}

void CGridCtrl::PrintHeader(ui::DC* dc, ui::PrintInfo* info) {
  ui::LogFont lf = printFont.logFont();
  lf.lfWeight = ui::fw::Bold;
  ui::Font bold;
  bold.CreateFontIndirect(&lf);
  ui::Font* old = dc->SelectObject(&bold);
  const int oldMode = dc->SetBkMode(ui::bkmode::Transparent);

  ui::Rect r = info->m_rectDraw;
  std::wstring appTitle;
  if (!ui::LoadString(kAppTitleString, appTitle)) appTitle.clear();
  dc->DrawText(appTitle, &r, ui::dt::Right | ui::dt::VCenter | ui::dt::SingleLine | ui::dt::NoPrefix);

  // The title of the dialog that holds the grid.
  std::wstring title;
  for (ui::Wnd* w = GetParent(); w; w = w->GetParent()) {
    title = w->GetWindowText();
    if (!title.empty()) break;
  }
  r = info->m_rectDraw;
  dc->DrawText(title, &r, ui::dt::Center | ui::dt::VCenter | ui::dt::SingleLine | ui::dt::NoPrefix);

  ui::Pen* oldPen = dc->SelectObject(static_cast<ui::Pen*>(ui::GetStockObject(ui::stock::BlackPen)));
  dc->MoveTo(info->m_rectDraw.left, info->m_rectDraw.bottom);
  dc->LineTo(info->m_rectDraw.right, info->m_rectDraw.bottom);
  dc->SelectObject(oldPen);

  dc->SetBkMode(oldMode);
  dc->SelectObject(old);
}

void CGridCtrl::PrintFooter(ui::DC* dc, ui::PrintInfo* info) {
  ui::LogFont lf = printFont.logFont();
  lf.lfWeight = ui::fw::Bold;
  ui::Font bold;
  bold.CreateFontIndirect(&lf);
  ui::Font* old = dc->SelectObject(&bold);
  const int oldMode = dc->SetBkMode(ui::bkmode::Transparent);

  ui::Rect r = info->m_rectDraw;
  dc->MoveTo(r.left, r.top);
  dc->LineTo(r.right, r.top);
  r.OffsetRect(0, printCharSize.cy / 2);

  wchar_t pageText[64];
  std::swprintf(pageText, 64, L"Page %d of %d", int(info->m_nCurPage), int(info->GetMaxPage()));
  const unsigned flags = ui::dt::VCenter | ui::dt::SingleLine | ui::dt::NoClip | ui::dt::NoPrefix;
  ui::Rect left = r;
  dc->DrawText(pageText, &left, ui::dt::Left | flags);
  ui::Rect right = r;
  dc->DrawText(formatNow(), &right, ui::dt::Right | flags);

  dc->SetBkMode(oldMode);
  dc->SelectObject(old);
}
