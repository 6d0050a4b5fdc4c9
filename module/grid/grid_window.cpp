// The grid window: construction and defaults, creation or subclassing, the
// grid font and the sizes derived from it, the geometry that maps rows and
// columns to pixels, scroll bars and scrolling, the mouse wheel, sizing to
// content, notifications to the owner, and destruction.
#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "module/grid/grid_ctrl.h"
#include "platform/ui/dialog.h"

namespace {

bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }

// Re-entry guard of the size handler, shared by every grid.
bool g_inGridSize = false;

constexpr int kSysColourIndex[4] = {ui::color::WindowText, ui::color::Window, ui::color::BtnFace,
                                    ui::color::BtnShadow};

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------

bool CGridCtrl::RegisterWindowClass() {
  if (ui::GetClassInfo(kClassName)) return true;
  ui::WindowClass wc;
  wc.name = kClassName;
  wc.style = ui::cs::VRedraw | ui::cs::HRedraw | ui::cs::DblClks;
  wc.cursor = ui::idc::Arrow;
  wc.background = ui::color::BtnFace + 1;
  return ui::RegisterWindowClass(wc);
}

int CGridCtrl::ReadWheelLines() {
  auto text = ui::registryValue(ui::hkey::CurrentUser, L"Control Panel\\Desktop", L"WheelScrollLines");
  // The value is read as text of at most 256 bytes.
  if (!text || text->size() * sizeof(wchar_t) > 256 * sizeof(wchar_t) || text->size() >= 256) return 3;
  // Converted as an unsigned 32-bit number, so "-1" reads as -1: a page per notch.
  const unsigned long v = std::wcstoul(text->c_str(), nullptr, 10);
  return static_cast<int>(static_cast<std::uint32_t>(v));
}

CGridCtrl::CGridCtrl() {
  RegisterWindowClass();
  if (!ui::oleInitialized()) {
    if (ui::OleInitialize()) {
      oleStarted = true;
    } else {
      ui::AfxMessageBox(L"OLE initialization failed. Make sure that the OLE libraries are the correct version",
                        ui::mb::Ok);
    }
  }
  readSysColours();
  cellTextColour = ui::GetSysColor(ui::color::WindowText);
  cellBackColour = ui::GetSysColor(ui::color::Window);
  outerBackColour = ui::GetSysColor(ui::color::BtnShadow);
  fixedTextColour = ui::GetSysColor(ui::color::WindowText);
  fixedBackColour = ui::GetSysColor(ui::color::BtnFace);
  wheelLines = ReadWheelLines();
  defaultFont = ui::GetNonClientMetrics().lfMessageFont;
  SetRowCount(0);
  SetColumnCount(0);
  SetFixedRowCount(0);
  SetFixedColumnCount(0);
  selectedCells.clear();
  keptSelection.clear();
}

CGridCtrl::~CGridCtrl() {
  DeleteAllCells();
  if (dropTarget.registered()) dropTarget.Revoke();
  titleTip.DestroyWindow();
  if (windowExists(this)) DestroyWindow();
  gridFont.DeleteObject();
  if (oleStarted) ui::OleUninitialize();
  dropLists.clear();
}

void CGridCtrl::readSysColours() {
  for (int i = 0; i < 4; ++i) sysColours[i] = ui::GetSysColor(kSysColourIndex[i]);
}

bool CGridCtrl::Create(const ui::Rect& rect, ui::Wnd* parent) {
  const unsigned style = ui::ws::Child | ui::ws::Visible | ui::ws::Border | ui::ws::TabStop;
  if (!CreateEx(ui::ws_ex::ClientEdge, kClassName, L"", style, rect, parent, GRID_CONTROL_ID)) return false;
  // The window layer leaves this to the object for windows it creates.
  PreSubclassWindow();
  if (!dropTarget.registered()) dropTarget.Register(this);
  if (titleTipsEnabled) titleTip.Create(this);
  rowHeights.assign(rowCount, defaultRowHeight);
  columnWidths.assign(columnCount, defaultColumnWidth);
  UpdateScrollBars();
  return true;
}

void CGridCtrl::PreSubclassWindow() {
  ui::Wnd::PreSubclassWindow();
  ui::Font temp;
  temp.CreateFontIndirect(&defaultFont);
  SendMessage(ui::wm::SetFont, ui::ToWParam(&temp), 0);
  temp.DeleteObject();
  UpdateScrollBars();
}

// The font of the grid: every cell takes it, and the margin and default sizes
// follow from its metrics.
void CGridCtrl::applyFont(const ui::LogFont& lf) {
  defaultFont = lf;
  for (auto& row : rows) {
    for (auto& cell : row) {
      if (cell) cell->font = lf;
    }
  }
  gridFont.DeleteObject();
  gridFont.CreateFontIndirect(&defaultFont);
  if (ui::DC* dc = GetDC()) {
    ui::Font* old = dc->SelectObject(&gridFont);
    ui::TextMetric tm;
    dc->GetTextMetrics(&tm);
    cellMargin = dc->GetTextExtent(L" ").cx;
    dc->SelectObject(old);
    ReleaseDC(dc);
    defaultRowHeight = tm.tmHeight + tm.tmExternalLeading + 2 * cellMargin;
    defaultColumnWidth = 12 * tm.tmAveCharWidth + 2 * cellMargin;
  }
  if (windowExists(this)) Invalidate();
}

// ---------------------------------------------------------------------------
// Notifications
// ---------------------------------------------------------------------------

ui::LResult CGridCtrl::NotifyParent(int row, int col, int code) {
  if (!windowExists(this)) return 0;
  ui::Wnd* target = GetOwner();
  if (!target) target = GetParent();
  if (!target || !windowExists(target)) return 0;
  GridNotify n;
  n.hdr.hwndFrom = GetSafeHwnd();
  n.hdr.idFrom = unsigned(GetDlgCtrlID());
  n.hdr.code = code;
  n.row = row;
  n.col = col;
  return target->SendMessage(ui::wm::Notify, ui::WParam(GetDlgCtrlID()), ui::ToLParam(&n));
}

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

int CGridCtrl::GetScrollPosition(int bar) const {
  if (!windowExists(this)) return 0;
  return GetScrollPos(bar);
}

CCellID CGridCtrl::FirstVisibleCell() const {
  CCellID id(fixedRowCount, fixedColumnCount);
  // Any position inside a row or column hides it whole: the grid scrolls in
  // whole rows and columns.
  const int hp = GetScrollPosition(ui::sb::Horz);
  if (hp > 0) {
    int sum = 0;
    while (id.col < columnCount - 1 && sum < hp) sum += GetColumnWidth(id.col++);
  }
  const int vp = GetScrollPosition(ui::sb::Vert);
  if (vp > 0) {
    int sum = 0;
    while (id.row < rowCount - 1 && sum < vp) sum += GetRowHeight(id.row++);
  }
  return id;
}

CCellID CGridCtrl::CellFromPoint(ui::Point p, bool allowFixed) const {
  CCellID id;
  const CCellID first = FirstVisibleCell();
  const int fixedW = FixedColumnsWidth();
  const int fixedH = FixedRowsHeight();

  if (p.x < 0) {
    id.col = -1;
  } else if (p.x < fixedW) {
    id.col = -1;
    if (allowFixed) {
      int x = 0;
      for (int c = 0; c < fixedColumnCount; ++c) {
        x += GetColumnWidth(c);
        if (x > p.x) { id.col = c; break; }
      }
    }
  } else {
    int x = fixedW;
    int c = first.col;
    for (; c < columnCount; ++c) {
      x += GetColumnWidth(c);
      if (x > p.x) break;
    }
    id.col = c < columnCount ? c : -1;
  }

  if (p.y < 0) {
    id.row = -1;
  } else if (p.y < fixedH) {
    id.row = -1;
    if (allowFixed) {
      int y = 0;
      for (int r = 0; r < fixedRowCount; ++r) {
        y += GetRowHeight(r);
        if (y > p.y) { id.row = r; break; }
      }
    }
  } else {
    int y = fixedH;
    int r = first.row;
    for (; r < rowCount; ++r) {
      y += GetRowHeight(r);
      if (y > p.y) break;
    }
    id.row = r < rowCount ? r : -1;
  }
  return id;
}

bool CGridCtrl::CellOrigin(int row, int col, ui::Point* out) const {
  if (!IsValidCell(row, col)) return false;
  const CCellID first = FirstVisibleCell();
  if (col >= fixedColumnCount && col < first.col) return false;
  if (row >= fixedRowCount && row < first.row) return false;
  ui::Point p;
  if (col < fixedColumnCount) {
    for (int c = 0; c < col; ++c) p.x += GetColumnWidth(c);
  } else {
    p.x = FixedColumnsWidth();
    for (int c = first.col; c < col; ++c) p.x += GetColumnWidth(c);
  }
  if (row < fixedRowCount) {
    for (int r = 0; r < row; ++r) p.y += GetRowHeight(r);
  } else {
    p.y = FixedRowsHeight();
    for (int r = first.row; r < row; ++r) p.y += GetRowHeight(r);
  }
  if (out) *out = p;
  return true;
}

bool CGridCtrl::CellRect(int row, int col, ui::Rect* out) const {
  ui::Point o;
  if (!CellOrigin(row, col, &o)) return false;
  if (out) *out = ui::Rect(o.x, o.y, o.x + GetColumnWidth(col) - 1, o.y + GetRowHeight(row) - 1);
  return true;
}

bool CGridCtrl::TextRect(int row, int col, ui::Rect* out) const {
  ui::Rect r;
  if (!CellRect(row, col, &r)) return false;
  const CGridCell* cell = GetCell(row, col);
  if (cell && cell->image >= 0 && imageList) r.left += cellMargin + imageList->imageSize().cx + 1;
  if (out) *out = r;
  return true;
}

void CGridCtrl::VisibleRange(CellRange* out, ui::Rect* outEdges) const {
  const ui::Rect client = clientRect();
  const CCellID first = FirstVisibleCell();

  int bottom = FixedRowsHeight();
  int r = first.row;
  for (; r < rowCount; ++r) {
    bottom += GetRowHeight(r);
    if (bottom >= client.bottom) break;
  }
  const int lastRow = std::min(r, rowCount - 1);

  int right = FixedColumnsWidth();
  int c = first.col;
  for (; c < columnCount; ++c) {
    right += GetColumnWidth(c);
    if (right >= client.right) break;
  }
  const int lastCol = std::min(c, columnCount - 1);

  if (out) *out = CellRange(first.row, first.col, lastRow, lastCol);
  if (outEdges) *outEdges = ui::Rect(0, 0, std::min(right, client.right), std::min(bottom, client.bottom));
}

void CGridCtrl::FullyVisibleRange(CellRange* out) const {
  CellRange range;
  VisibleRange(&range);
  const ui::Rect client = clientRect();
  ui::Rect cell;
  if (range.maxRow > 0 && CellRect(range.maxRow, range.minCol < 0 ? 0 : range.minCol, &cell) &&
      cell.bottom > client.bottom)
    --range.maxRow;
  if (range.maxCol > 0 && CellRect(range.minRow < 0 ? 0 : range.minRow, range.maxCol, &cell) &&
      cell.right > client.right)
    --range.maxCol;
  if (out) *out = range;
}

bool CGridCtrl::IsCellVisible(int row, int col) const {
  if (!windowExists(this)) return false;
  const CCellID first = FirstVisibleCell();
  if (row >= fixedRowCount && row < first.row) return false;
  if (col >= fixedColumnCount && col < first.col) return false;
  ui::Point o;
  if (!CellOrigin(row, col, &o)) return false;
  const ui::Rect client = clientRect();
  return o.x < client.right && o.y < client.bottom;
}

void CGridCtrl::EnsureCellVisible(int row, int col) {
  if (!IsValidCell(row, col)) return;
  CellRange range;
  VisibleRange(&range);
  const ui::WParam lineRight = ui::sb::LineRight, lineLeft = ui::sb::LineLeft;
  const ui::WParam lineDown = ui::sb::LineDown, lineUp = ui::sb::LineUp;
  if (col >= fixedColumnCount) {
    for (int c = range.maxCol; c < col; ++c) SendMessage(ui::wm::HScroll, lineRight, 0);
    for (int c = range.minCol; c > col; --c) SendMessage(ui::wm::HScroll, lineLeft, 0);
  }
  if (row >= fixedRowCount) {
    for (int r = range.maxRow; r < row; ++r) SendMessage(ui::wm::VScroll, lineDown, 0);
    for (int r = range.minRow; r > row; --r) SendMessage(ui::wm::VScroll, lineUp, 0);
  }
  ui::Rect cell;
  const ui::Rect client = clientRect();
  if (CellRect(row, col, &cell)) {
    if (cell.right > client.right) SendMessage(ui::wm::HScroll, lineRight, 0);
    if (cell.bottom > client.bottom) SendMessage(ui::wm::VScroll, lineDown, 0);
  }
}

bool CGridCtrl::IsOverColumnBorder(ui::Point p) const {
  if (p.y >= FixedRowsHeight()) return false;
  const CCellID id = CellFromPoint(p, true);
  ui::Point o;
  if (!CellOrigin(id.row, id.col, &o)) return false;
  if (p.x - o.x <= borderGrip && id.col != 0) return true;
  return o.x + GetColumnWidth(id.col) - p.x <= borderGrip;
}

bool CGridCtrl::IsOverRowBorder(ui::Point p) const {
  if (p.x >= FixedColumnsWidth()) return false;
  const CCellID id = CellFromPoint(p, true);
  ui::Point o;
  if (!CellOrigin(id.row, id.col, &o)) return false;
  if (p.y - o.y <= borderGrip && id.row != 0) return true;
  return o.y + GetRowHeight(id.row) - p.y <= borderGrip;
}

// ---------------------------------------------------------------------------
// Scroll bars and scrolling
// ---------------------------------------------------------------------------

void CGridCtrl::SetScrollPosition(int position, int bar) {
  if (!windowExists(this)) return;
  SetScrollPos(bar, position, true);
}

void CGridCtrl::UpdateScrollBars() {
  if (!redrawEnabled || !windowExists(this)) return;
  ui::Rect client = clientRect();
  const int fixedW = FixedColumnsWidth();
  const int fixedH = FixedRowsHeight();
  ui::Rect area(fixedW, fixedH, client.right, client.bottom);
  if (area.IsRectEmpty()) return;
  CellRange visible;
  FullyVisibleRange(&visible);
  if (!IsValidRange(visible)) return;

  ui::ScrollInfo si;
  si.fMask = ui::sif::Page;
  si.nPage = unsigned(std::max(0, client.Width() - fixedW));
  SetScrollInfo(ui::sb::Horz, &si, false);
  si.nPage = unsigned(std::max(0, client.Height() - fixedH));
  SetScrollInfo(ui::sb::Vert, &si, false);

  const int movableH = TotalHeight() - fixedH;
  const int movableW = TotalWidth() - fixedW;
  vertScrollMax = client.Height() - fixedH < movableH ? movableH - 1 : 0;
  horzScrollMax = client.Width() - fixedW < movableW ? movableW - 1 : 0;
  SetScrollRange(ui::sb::Vert, 0, vertScrollMax, true);
  SetScrollRange(ui::sb::Horz, 0, horzScrollMax, true);
}

void CGridCtrl::hideTitleTip() {
  if (titleTip.GetSafeHwnd()) titleTip.Hide();
}

void CGridCtrl::takeFocus() {
  if (ui::Wnd::GetFocus() != this) SetFocus();
}

void CGridCtrl::OnHScroll(unsigned code, unsigned pos, ui::ScrollBar*) { handleScroll(true, code, pos); }

void CGridCtrl::OnVScroll(unsigned code, unsigned pos, ui::ScrollBar*) { handleScroll(false, code, pos); }

bool CGridCtrl::handleScroll(bool horizontal, unsigned code, unsigned pos) {
  if (!windowExists(this)) return false;
  // Scrolling takes the focus (which ends an in-place edit) and hides the tip.
  takeFocus();
  hideTitleTip();

  const int bar = horizontal ? ui::sb::Horz : ui::sb::Vert;
  const int p = GetScrollPos(bar);
  const int scrollMax = horizontal ? horzScrollMax : vertScrollMax;
  const ui::Rect client = clientRect();
  const int fixedExtent = horizontal ? FixedColumnsWidth() : FixedRowsHeight();
  const int clientExtent = horizontal ? client.right : client.bottom;
  const CCellID first = FirstVisibleCell();
  const int firstIndex = horizontal ? first.col : first.row;
  const int fixedCount = horizontal ? fixedColumnCount : fixedRowCount;
  auto sizeOf = [&](int i) { return horizontal ? GetColumnWidth(i) : GetRowHeight(i); };
  // The movable area (right of the fixed columns / below the fixed rows).
  ui::Rect movable = horizontal ? ui::Rect(fixedExtent, 0, client.right, client.bottom)
                                : ui::Rect(0, fixedExtent, client.right, client.bottom);

  switch (code) {
    case ui::sb::LineUp: {  // also LineLeft
      if (p > 0 && firstIndex > fixedCount) {
        const int w = sizeOf(firstIndex - 1);
        SetScrollPos(bar, std::max(0, p - w));
        if (horizontal) {
          ScrollWindow(w, 0, &movable);
          ui::Rect strip(fixedExtent, 0, fixedExtent + w, client.bottom);
          InvalidateRect(&strip);
        } else {
          ScrollWindow(0, w, &movable);
          ui::Rect strip(0, fixedExtent, client.right, fixedExtent + w);
          InvalidateRect(&strip);
        }
      }
      break;
    }
    case ui::sb::LineDown: {  // also LineRight
      if (p < scrollMax) {
        const int w = sizeOf(firstIndex);
        SetScrollPos(bar, p + w);
        if (GetScrollPos(bar) != p) {
          if (horizontal) {
            ui::Rect area(fixedExtent + w, 0, client.right, client.bottom);
            ScrollWindow(-w, 0, &area);
            ui::Rect strip(client.right - w, 0, client.right, client.bottom);
            InvalidateRect(&strip);
          } else {
            ui::Rect area(0, fixedExtent + w, client.right, client.bottom);
            ScrollWindow(0, -w, &area);
            ui::Rect strip(0, client.bottom - w, client.right, client.bottom);
            InvalidateRect(&strip);
          }
        }
      }
      break;
    }
    case ui::sb::PageUp:
      if (p > 0) {
        SetScrollPos(bar, std::max(0, p - (clientExtent - fixedExtent)));
        InvalidateRect(&movable);
      }
      break;
    case ui::sb::PageDown:
      if (p < scrollMax) {
        SetScrollPos(bar, std::min(scrollMax, p + clientExtent - fixedExtent));
        InvalidateRect(&movable);
      }
      break;
    case ui::sb::ThumbPosition:
    case ui::sb::ThumbTrack: {
      SetScrollPos(bar, int(pos));
      if (!(FirstVisibleCell() == first)) InvalidateRect(&movable);
      break;
    }
    case ui::sb::Top:
      if (p > 0) {
        SetScrollPos(bar, 0);
        Invalidate();
      }
      break;
    case ui::sb::Bottom:
      if (p < scrollMax) {
        SetScrollPos(bar, scrollMax);
        Invalidate();
      }
      break;
    default:
      break;
  }
  return true;
}

bool CGridCtrl::OnMouseWheel(unsigned flags, int delta, ui::Point screenPoint) {
  if (wheelLines == -1) {
    const int n = delta / 120;
    for (int i = 0; i < n; ++i) PostMessage(ui::wm::VScroll, ui::sb::PageUp, 0);
    for (int i = 0; i < -n; ++i) PostMessage(ui::wm::VScroll, ui::sb::PageDown, 0);
  } else {
    const int n = wheelLines * delta / 120;
    for (int i = 0; i < n; ++i) PostMessage(ui::wm::VScroll, ui::sb::LineUp, 0);
    for (int i = 0; i < -n; ++i) PostMessage(ui::wm::VScroll, ui::sb::LineDown, 0);
  }
  Default();
  return true;
}

void CGridCtrl::OnSize(unsigned type, int cx, int cy) {
  if (g_inGridSize) return;
  g_inGridSize = true;
  if (windowExists(this)) {
    takeFocus();
    Default();
    UpdateScrollBars();
  }
  g_inGridSize = false;
}

void CGridCtrl::OnSysColorChange() {
  Default();
  // Colours still taken from the system follow it; colours the caller chose stay.
  const ui::Color oldText = sysColours[0], oldWindow = sysColours[1], oldFace = sysColours[2],
                  oldShadow = sysColours[3];
  if (cellTextColour == oldText) cellTextColour = ui::GetSysColor(ui::color::WindowText);
  if (cellBackColour == oldWindow) cellBackColour = ui::GetSysColor(ui::color::Window);
  if (outerBackColour == oldShadow) outerBackColour = ui::GetSysColor(ui::color::BtnShadow);
  if (fixedTextColour == oldText) fixedTextColour = ui::GetSysColor(ui::color::WindowText);
  if (fixedBackColour == oldFace) fixedBackColour = ui::GetSysColor(ui::color::BtnFace);
  readSysColours();
}

// ---------------------------------------------------------------------------
// Sizing to content
// ---------------------------------------------------------------------------

ui::Size CGridCtrl::GetCellExtent(int row, int col, ui::DC* dc) {
  ui::LogFont lf = *GetItemFont(row, col);
  if (isFixed(row, col)) lf.lfWeight = ui::fw::SemiBold;
  ui::Font font;
  font.CreateFontIndirect(&lf);
  ui::Font* old = dc->SelectObject(&font);
  ui::Size size = dc->GetTextExtent(GetItemText(row, col));
  dc->SelectObject(old);
  size.cx += 4 * cellMargin;
  size.cy += 2 * cellMargin;
  const CGridCell* cell = GetCell(row, col);
  if (imageList && cell && cell->image >= 0) {
    const ui::Size img = imageList->imageSize();
    size.cx += img.cx;
    size.cy = std::max(size.cy, img.cy);
  }
  return size;
}

bool CGridCtrl::AutoSizeColumn(int col) {
  if (col < 0 || col >= columnCount) return false;
  ui::DC* dc = GetDC();
  if (!dc) return false;
  int width = 0;
  for (int r = 0; r < rowCount; ++r) width = std::max(width, int(GetCellExtent(r, col, dc).cx));
  ReleaseDC(dc);
  columnWidths[col] = width;
  UpdateScrollBars();
  return true;
}

bool CGridCtrl::AutoSizeRow(int row) {
  if (row < 0 || row >= rowCount) return false;
  ui::DC* dc = GetDC();
  if (!dc) return false;
  int height = 0;
  for (int c = 0; c < columnCount; ++c) height = std::max(height, int(GetCellExtent(row, c, dc).cy));
  ReleaseDC(dc);
  rowHeights[row] = height;
  UpdateScrollBars();
  return true;
}

void CGridCtrl::AutoSize() {
  ui::DC* dc = GetDC();
  if (!dc) return;
  std::fill(columnWidths.begin(), columnWidths.end(), 0);
  std::fill(rowHeights.begin(), rowHeights.end(), 0);
  for (int r = 0; r < rowCount; ++r) {
    for (int c = 0; c < columnCount; ++c) {
      const ui::Size s = GetCellExtent(r, c, dc);
      columnWidths[c] = std::max(columnWidths[c], int(s.cx));
      rowHeights[r] = std::max(rowHeights[r], int(s.cy));
    }
  }
  ReleaseDC(dc);
  if (redrawEnabled) {
    UpdateScrollBars();
    Invalidate();
  }
}

// ---------------------------------------------------------------------------
// Messages without a handler of their own in the window layer
// ---------------------------------------------------------------------------

ui::LResult CGridCtrl::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::SetFont: {
      // The grid keeps its own copy of the font: a caller's font object may
      // be gone after this message.
      const auto* font = reinterpret_cast<const ui::Font*>(wp);
      if (!font || !font->IsValid()) return ui::Wnd::WindowProc(msg, wp, lp);
      applyFont(font->logFont());
      return DefWindowProc(ui::wm::SetFont, ui::ToWParam(&gridFont), 0);
    }
    case ui::wm::GetFont:
      return reinterpret_cast<ui::LResult>(&gridFont);
    default:
      break;
  }
  return ui::Wnd::WindowProc(msg, wp, lp);
}
