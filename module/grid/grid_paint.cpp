// Painting: the background of the client area, the fixed and normal cells in
// their order, the raised or sunken look of the headings, the focus,
// selection and drop-target highlighting, the grid lines, and the redrawing
// of single cells after a change.
#include <algorithm>

#include "module/grid/grid_ctrl.h"
#include "module/grid/mem_dc.h"

namespace {
bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }
}  // namespace

// ---------------------------------------------------------------------------
// CMemDC
// ---------------------------------------------------------------------------

CMemDC::CMemDC(ui::DC* real) : real_(real) {
  if (real->IsPrinting()) return;
  real->GetClipBox(&rect_);
  if (rect_.IsRectEmpty()) return;
  if (!CreateCompatibleDC(real)) return;
  if (!bitmap_.CreateCompatibleBitmap(real, rect_.Width(), rect_.Height())) return;
  oldBitmap_ = SelectObject(&bitmap_);
  SetWindowOrg(rect_.left, rect_.top);
  isMemory_ = true;
}

CMemDC::~CMemDC() {
  if (!isMemory_) return;
  SetWindowOrg(0, 0);
  real_->BitBlt(rect_.left, rect_.top, rect_.Width(), rect_.Height(), this, 0, 0, ui::rop::SrcCopy);
  SelectObject(oldBitmap_);
}

// ---------------------------------------------------------------------------
// Paint messages
// ---------------------------------------------------------------------------

void CGridCtrl::OnPaint() {
  ui::PaintDC dc(this);
  if (bufferedPaint) {
    CMemDC mem(&dc);
    OnDraw(mem.target());
  } else {
    OnDraw(&dc);
  }
}

bool CGridCtrl::OnEraseBkgnd(ui::DC*) { return true; }

void CGridCtrl::OnDraw(ui::DC* dc) {
  ui::Rect clip;
  if (dc->GetClipBox(&clip) == ui::rgn::Error) return;

  CellRange range;
  ui::Rect edges;
  VisibleRange(&range, &edges);
  const int R = edges.right, B = edges.bottom;
  const int W = FixedColumnsWidth(), H = FixedRowsHeight();

  // Background.
  if (clip.left < W && clip.top < B) {
    ui::Rect r;
    if (r.IntersectRect(ui::Rect(clip.left, clip.top, W, B), clip)) dc->FillSolidRect(r, fixedBackColour);
  }
  if (clip.top < H && W < clip.right && clip.left < R) dc->FillSolidRect(ui::Rect(W - 1, clip.top, R, H), fixedBackColour);
  {
    ui::Rect r;
    if (r.IntersectRect(ui::Rect(0, 0, R, B), clip)) {
      r.top = std::max(r.top, H);
      r.left = std::max(r.left, W);
      if (!r.IsRectEmpty()) dc->FillSolidRect(r, cellBackColour);
    }
  }
  if (R < clip.right) dc->FillSolidRect(ui::Rect(R, clip.top, clip.right, clip.bottom), outerBackColour);
  if (B < clip.bottom && clip.left < R) dc->FillSolidRect(ui::Rect(clip.left, B, R, clip.bottom), outerBackColour);

  // The top-left corner.
  int y = 0;
  for (int r = 0; r < fixedRowCount; ++r) {
    const int h = GetRowHeight(r);
    int x = 0;
    for (int c = 0; c < fixedColumnCount; ++c) {
      const int w = GetColumnWidth(c);
      DrawFixedCell(dc, r, c, ui::Rect(x, y, x + w - 1, y + h - 1), false);
      x += w;
    }
    y += h;
  }

  // Walks the visible rows (or columns) from the fixed edge, skipping those
  // outside the clip box.
  auto forRows = [&](auto&& fn) {
    int top = H;
    for (int r = range.minRow; r >= 0 && r <= range.maxRow; ++r) {
      const int h = GetRowHeight(r);
      const int bottom = top + h - 1;
      if (top > clip.bottom) break;
      if (bottom >= clip.top) fn(r, top, bottom);
      top += h;
    }
  };
  auto forCols = [&](auto&& fn) {
    int left = W;
    for (int c = range.minCol; c >= 0 && c <= range.maxCol; ++c) {
      const int w = GetColumnWidth(c);
      const int right = left + w - 1;
      if (left > clip.right) break;
      if (right >= clip.left) fn(c, left, right);
      left += w;
    }
  };

  // Fixed columns of the visible rows.
  forRows([&](int r, int top, int bottom) {
    int x = 0;
    for (int c = 0; c < fixedColumnCount; ++c) {
      const int w = GetColumnWidth(c);
      DrawFixedCell(dc, r, c, ui::Rect(x, top, x + w - 1, bottom), false);
      x += w;
    }
  });
  // Fixed rows over the visible columns.
  forCols([&](int c, int left, int right) {
    int yy = 0;
    for (int r = 0; r < fixedRowCount; ++r) {
      const int h = GetRowHeight(r);
      DrawFixedCell(dc, r, c, ui::Rect(left, yy, right, yy + h - 1), false);
      yy += h;
    }
  });
  // The normal cells.
  forRows([&](int r, int top, int bottom) {
    forCols([&](int c, int left, int right) { DrawCell(dc, r, c, ui::Rect(left, top, right, bottom), false); });
  });

  // Grid lines over the normal cells; the headings draw their own edges.
  ui::Pen pen;
  if (pen.CreatePen(ui::ps::Solid, 0, lineColour)) {
    ui::Pen* old = dc->SelectObject(&pen);
    if (lineMode == GRID_LINES_VERT || lineMode == GRID_LINES_BOTH) {
      int x = W;
      for (int c = range.minCol; c >= 0 && c <= range.maxCol; ++c) {
        x += GetColumnWidth(c);
        dc->MoveTo(x - 1, H);
        dc->LineTo(x - 1, B);
      }
    }
    if (lineMode == GRID_LINES_HORZ || lineMode == GRID_LINES_BOTH) {
      int yy = H;
      for (int r = range.minRow; r >= 0 && r <= range.maxRow; ++r) {
        yy += GetRowHeight(r);
        dc->MoveTo(W, yy - 1);
        dc->LineTo(R, yy - 1);
      }
    }
    dc->SelectObject(old);
    dc->SelectStockObject(ui::stock::NullPen);
  }
}

// ---------------------------------------------------------------------------
// Cells
// ---------------------------------------------------------------------------

bool CGridCtrl::DrawFixedCell(ui::DC* dc, int row, int col, ui::Rect rect, bool erase) {
  if (!redrawEnabled) return false;
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ITEM_TEXT | ITEM_IMAGE | ITEM_FORMAT | ITEM_BKCOLOR | ITEM_FGCOLOR;
  if (!GetItem(&item)) return false;

  if (!dc->IsPrinting()) {
    const ui::Color bk = item.bkColour == GRID_DEFAULT_COLOUR ? fixedBackColour : item.bkColour;
    dc->FillSolidRect(rect, bk);
  }
  const ui::Color fg = item.fgColour == GRID_DEFAULT_COLOUR ? fixedTextColour : item.fgColour;
  dc->SetTextColor(fg);
  const int saved = dc->SaveDC();
  ui::Font font;
  font.CreateFontIndirect(GetItemFont(row, col));
  dc->SelectObject(&font);

  // Headings of the focus cell's row and column look pressed in.
  const bool headsFocus = IsValidCell(focusCell) && (focusCell.row == row || focusCell.col == col);
  if (!headsFocus) {
    ui::Pen light(ui::ps::Solid, 1, ui::GetSysColor(ui::color::BtnHighlight));
    ui::Pen dark(ui::ps::Solid, 1, ui::GetSysColor(ui::color::DkShadow3D));
    ui::Pen* old = dc->SelectObject(&light);
    dc->MoveTo(rect.right, rect.top);
    dc->LineTo(rect.left, rect.top);
    dc->LineTo(rect.left, rect.bottom);
    dc->SelectObject(&dark);
    dc->MoveTo(rect.right, rect.top);
    dc->LineTo(rect.right, rect.bottom);
    dc->LineTo(rect.left, rect.bottom);
    dc->SelectObject(old);
    rect.DeflateRect(1, 1);
  } else {
    ui::Rect edge = rect;
    edge.right += 1;
    edge.bottom += 1;
    dc->DrawEdge(&edge, ui::bdr::SunkenInner, ui::bf::Rect);
    rect.DeflateRect(1, 1);
  }

  dc->SetBkMode(ui::bkmode::Transparent);
  rect.left += cellMargin;
  rect.right -= cellMargin;
  if (imageList && item.image >= 0) {
    imageList->Draw(dc, item.image, rect.TopLeft(), ui::ild::Normal);
    rect.left += cellMargin + imageList->imageSize().cx + 1;
  }
  dc->DrawText(item.text, &rect, item.format);
  dc->RestoreDC(saved);
  return true;
}

bool CGridCtrl::DrawCell(ui::DC* dc, int row, int col, ui::Rect rect, bool erase) {
  if (!redrawEnabled) return false;
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ITEM_TEXT | ITEM_IMAGE | ITEM_STATE | ITEM_FORMAT | ITEM_BKCOLOR | ITEM_FGCOLOR;
  if (!GetItem(&item)) return false;

  const ui::Color bk = item.bkColour == GRID_DEFAULT_COLOUR ? cellBackColour : item.bkColour;
  ui::Color fg = item.fgColour == GRID_DEFAULT_COLOUR ? cellTextColour : item.fgColour;
  const int saved = dc->SaveDC();
  dc->SetBkMode(ui::bkmode::Transparent);
  const bool printing = dc->IsPrinting();

  if ((item.state & CELL_FOCUSED) && !printing) {
    rect.DeflateRect(1, 1);
    dc->FillSolidRect(rect, ui::GetSysColor(ui::color::Highlight));
    fg = ui::GetSysColor(ui::color::HighlightText);
  } else if ((item.state & CELL_SELECTED) && !printing) {
    ui::Rect fill = rect;
    fill.right += 1;
    fill.bottom += 1;
    dc->FillSolidRect(fill, ui::GetSysColor(ui::color::Highlight));
    fg = ui::GetSysColor(ui::color::HighlightText);
  } else {
    ui::Rect fill = rect;
    fill.right += 1;
    fill.bottom += 1;
    dc->FillSolidRect(fill, bk);
  }
  dc->SetTextColor(fg);

  if ((item.state & CELL_DROPTARGET) && !printing) {
    ui::Pen* oldPen = dc->SelectObject(static_cast<ui::Pen*>(ui::GetStockObject(ui::stock::BlackPen)));
    ui::Brush* oldBrush = dc->SelectObject(static_cast<ui::Brush*>(ui::GetStockObject(ui::stock::NullBrush)));
    dc->Rectangle(rect);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
  }

  ui::Font font;
  font.CreateFontIndirect(GetItemFont(row, col));
  dc->SelectObject(&font);
  rect.left += cellMargin;
  rect.right -= cellMargin;
  if (imageList && item.image >= 0) {
    imageList->Draw(dc, item.image, rect.TopLeft(), ui::ild::Normal);
    rect.left += cellMargin + imageList->imageSize().cx + 1;
  }
  dc->DrawText(item.text, &rect, item.format);
  dc->RestoreDC(saved);
  return true;
}

bool CGridCtrl::RedrawCell(int row, int col, ui::DC* dc) {
  if (!redrawEnabled || !IsCellVisible(row, col)) return false;
  ui::Rect rect;
  if (!CellRect(row, col, &rect)) return false;

  bool own = false;
  if (!dc) {
    dc = GetDC();
    if (!dc) {
      ui::Rect inv(rect.left, rect.top, rect.right + 1, rect.bottom + 1);
      InvalidateRect(&inv, true);
      return true;
    }
    own = true;
  }
  bool result;
  if (isFixed(row, col)) {
    result = DrawFixedCell(dc, row, col, rect, true);
  } else {
    result = DrawCell(dc, row, col, rect, true);
    ui::Pen pen(ui::ps::Solid, 0, lineColour);
    ui::Pen* old = dc->SelectObject(&pen);
    if (lineMode == GRID_LINES_HORZ || lineMode == GRID_LINES_BOTH) {
      dc->MoveTo(rect.left, rect.bottom);
      dc->LineTo(rect.right + 1, rect.bottom);
    }
    if (lineMode == GRID_LINES_VERT || lineMode == GRID_LINES_BOTH) {
      dc->MoveTo(rect.right, rect.top);
      dc->LineTo(rect.right, rect.bottom + 1);
    }
    dc->SelectObject(old);
  }
  if (own) ReleaseDC(dc);
  return result;
}

bool CGridCtrl::InvalidateCell(CCellID c) {
  if (!windowExists(this) || !redrawEnabled || !IsCellVisible(c.row, c.col)) return false;
  ui::Rect rect;
  if (!CellRect(c.row, c.col, &rect)) return false;
  rect.right += 1;
  rect.bottom += 1;
  InvalidateRect(&rect, true);
  return true;
}
