// Selection, focus, keyboard and mouse: the focus cell, the selection and its
// anchor, the mouse state machine (selecting, resizing rows and columns,
// pending edits and drags), automatic scrolling while a selection is dragged,
// keyboard navigation, header responses and sorting rows by a column.
#include <algorithm>

#include "module/grid/grid_ctrl.h"

namespace {
bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }
}  // namespace

bool CGridCtrl::isShiftDown() const { return ui::GetKeyState(ui::vk::Shift) < 0; }
bool CGridCtrl::isCtrlDown() const { return ui::GetKeyState(ui::vk::Control) < 0; }

// ---------------------------------------------------------------------------
// Focus and selection
// ---------------------------------------------------------------------------

void CGridCtrl::redrawFixedOf(int row, int col, bool rowChanged, bool colChanged) {
  if (colChanged && col >= 0) {
    for (int r = 0; r < fixedRowCount; ++r) RedrawCell(r, col);
  }
  if (rowChanged && row >= 0) {
    for (int c = 0; c < fixedColumnCount; ++c) RedrawCell(row, c);
  }
}

CCellID CGridCtrl::SetFocusCell(int row, int col) {
  const CCellID next(row, col);
  if (next == focusCell) return focusCell;
  const CCellID prev = focusCell;
  focusCell = next;
  const bool rowChanged = prev.row != row;
  const bool colChanged = prev.col != col;

  if (IsValidCell(prev)) {
    NotifyParent(prev.row, prev.col, GVN_ITEMCHANGING);
    SetItemState(prev.row, prev.col, GetItemState(prev.row, prev.col) & ~CELL_FOCUSED);
    RedrawCell(prev.row, prev.col);
    // The headings of the old row and column lose their sunken look.
    redrawFixedOf(prev.row, prev.col, rowChanged, colChanged);
  }
  if (IsValidCell(focusCell)) {
    SetItemState(row, col, GetItemState(row, col) | CELL_FOCUSED);
    RedrawCell(row, col);
    redrawFixedOf(row, col, rowChanged, colChanged);
    NotifyParent(row, col, GVN_ITEMCHANGED);
  }
  return prev;
}

void CGridCtrl::SetSelectedRange(int firstRow, int firstCol, int lastRow, int lastCol) {
  if (!selectionEnabled) return;
  const CellRange block(firstRow, firstCol, lastRow, lastCol);
  const bool blockValid = IsValidRange(block);

  const auto previous = selectedCells;
  for (const auto& [key, id] : previous) {
    if (!IsValidCell(id)) continue;
    SetItemState(id.row, id.col, GetItemState(id.row, id.col) & ~CELL_SELECTED);
    if (!blockValid || !block.InRange(id)) InvalidateCell(id);
  }
  if (!singleRowMode) {
    for (const auto& [key, id] : keptSelection) {
      if (!IsValidCell(id)) continue;
      SetItemState(id.row, id.col, GetItemState(id.row, id.col) | CELL_SELECTED);
      InvalidateCell(id);
    }
  }
  if (blockValid) {
    for (int r = firstRow; r <= lastRow; ++r) {
      for (int c = firstCol; c <= lastCol; ++c) {
        const unsigned state = GetItemState(r, c);
        if (state & CELL_SELECTED) continue;
        SetItemState(r, c, state | CELL_SELECTED);
        if (!previous.count(selectionKey(r, c))) InvalidateCell(CCellID(r, c));
      }
    }
  }
}

void CGridCtrl::SelectAllCells() {
  if (!selectionEnabled) return;
  SetSelectedRange(fixedRowCount, fixedColumnCount, rowCount - 1, columnCount - 1);
}

void CGridCtrl::SelectColumnsTo(CCellID cell) {
  if (!selectionEnabled || !IsValidCell(cell) || cell.col < fixedColumnCount) return;
  SetSelectedRange(fixedRowCount, std::min(anchorCell.col, cell.col), rowCount - 1,
                   std::max(anchorCell.col, cell.col));
}

void CGridCtrl::SelectRowsTo(CCellID cell) {
  if (!selectionEnabled || !IsValidCell(cell) || cell.row < fixedRowCount) return;
  if (wholeRowMode && singleRowMode) {
    SetSelectedRange(cell.row, fixedColumnCount, cell.row, columnCount - 1);
  } else {
    SetSelectedRange(std::min(anchorCell.row, cell.row), fixedColumnCount, std::max(anchorCell.row, cell.row),
                     columnCount - 1);
  }
}

void CGridCtrl::SelectCellsTo(CCellID cell) {
  if (!selectionEnabled || !IsValidCell(cell) || cell.row < fixedRowCount || cell.col < fixedColumnCount) return;
  SetSelectedRange(std::min(anchorCell.row, cell.row), std::min(anchorCell.col, cell.col),
                   std::max(anchorCell.row, cell.row), std::max(anchorCell.col, cell.col));
}

void CGridCtrl::ExtendSelection(CCellID cell) {
  if (!selectionEnabled) return;
  switch (mouseState) {
    case GridMouseState::SelectingAll: SelectAllCells(); break;
    case GridMouseState::SelectingColumns: SelectColumnsTo(cell); break;
    case GridMouseState::SelectingRows: SelectRowsTo(cell); break;
    case GridMouseState::SelectingCells: SelectCellsTo(cell); break;
    default: break;
  }
}

void CGridCtrl::ResetSelection() {
  SetSelectedRange(-1, -1, -1, -1);
  SetFocusCell(-1, -1);
}

CellRange CGridCtrl::SelectionBounds() const {
  if (selectedCells.empty()) return CellRange(rowCount, columnCount, -1, -1);
  CellRange b(rowCount, columnCount, -1, -1);
  for (const auto& [key, id] : selectedCells) {
    b.minRow = std::min(b.minRow, id.row);
    b.minCol = std::min(b.minCol, id.col);
    b.maxRow = std::max(b.maxRow, id.row);
    b.maxCol = std::max(b.maxCol, id.col);
  }
  return b;
}

std::vector<CCellID> CGridCtrl::SelectedCells() const {
  std::vector<CCellID> out;
  for (const auto& [key, id] : selectedCells) out.push_back(id);
  return out;
}

bool CGridCtrl::IsCellSelected(int row, int col) const { return (GetItemState(row, col) & CELL_SELECTED) != 0; }

// ---------------------------------------------------------------------------
// Headings and sorting
// ---------------------------------------------------------------------------

void CGridCtrl::OnFixedColumnClick(CCellID cell) {
  if (!IsValidCell(cell)) return;
  mouseState = cell.row < fixedRowCount ? GridMouseState::SelectingAll : GridMouseState::SelectingRows;
  ExtendSelection(cell);
}

void CGridCtrl::OnFixedRowClick(CCellID cell) {
  if (!IsValidCell(cell)) return;
  if (!wholeRowMode) {
    mouseState = cell.col < fixedColumnCount ? GridMouseState::SelectingAll : GridMouseState::SelectingColumns;
    ExtendSelection(cell);
  } else if (sortByHeader) {
    const unsigned previousCursor = ui::SetCursor(ui::LoadCursor(ui::idc::Wait));
    if (cell.col == sortColumn) {
      sortAscending = !sortAscending;
    } else {
      sortAscending = true;
      sortColumn = cell.col;
    }
    SortByColumn(sortColumn, sortAscending);
    Invalidate();
    ui::SetCursor(previousCursor);
  }
}

bool CGridCtrl::SortByColumn(int col, bool ascending) {
  ResetSelection();
  return SortRange(col, ascending, fixedRowCount, -1);
}

bool CGridCtrl::SortRange(int col, bool ascending, int low, int high) {
  if (col < 0 || col >= columnCount) return false;
  if (high == -1) high = rowCount - 1;
  if (low < 0 || high >= rowCount || low >= high) return false;

  // Texts compare code unit by code unit.
  auto before = [&](const std::wstring& a, const std::wstring& b) { return ascending ? a < b : a > b; };
  int lo = low, hi = high;
  const std::wstring pivot = GetItemText((low + high) / 2, col);
  while (lo <= hi) {
    while (lo < high && before(GetItemText(lo, col), pivot)) ++lo;
    while (hi > low && before(pivot, GetItemText(hi, col))) --hi;
    if (lo <= hi) {
      // Rows with equal texts are never swapped, so they keep their order.
      if (GetItemText(lo, col) != GetItemText(hi, col)) {
        std::swap(rows[lo], rows[hi]);
        std::swap(rowHeights[lo], rowHeights[hi]);
      }
      ++lo;
      --hi;
    }
  }
  if (low < hi) SortRange(col, ascending, low, hi);
  if (lo < high) SortRange(col, ascending, lo, high);
  return true;
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------

namespace {
void invertBand(ui::Wnd* w, const ui::Rect& r) {
  if (ui::DC* dc = w->GetDC()) {
    dc->InvertRect(r);
    w->ReleaseDC(dc);
  }
}
}  // namespace

void CGridCtrl::OnLButtonDown(unsigned flags, ui::Point p) {
  clickPoint = p;
  clickCell = CellFromPoint(p, true);
  if (!IsValidCell(clickCell)) return;

  const bool hadFocus = ui::Wnd::GetFocus() == this;
  anchorCell = (flags & ui::mk::Shift) ? focusCell : clickCell;
  takeFocus();

  if (clickCell == focusCell) {
    mouseState = GridMouseState::EditPending;
    return;
  }
  if (mouseState != GridMouseState::OverColumnBorder && mouseState != GridMouseState::OverRowBorder) {
    SetFocusCell(-1, -1);
    // A click on a heading only clears the focus.
    if (clickCell.row < fixedRowCount || clickCell.col < fixedColumnCount) return;
    SetFocusCell(clickCell);
    if (FindDropList(clickCell.row, clickCell.col) >= 0) OnEditCell(clickCell.row, clickCell.col, ui::vk::LButton);
  }
  if (dragDropEnabled && hadFocus && IsCellSelected(clickCell.row, clickCell.col)) {
    mouseState = GridMouseState::DragPending;
    return;
  }
  SetCapture();
  const ui::Rect client = clientRect();

  if (mouseState == GridMouseState::OverColumnBorder) {
    mouseState = GridMouseState::SizingColumn;
    ui::Point o;
    if (!CellOrigin(0, clickCell.col, &o)) return;
    invertBand(this, ui::Rect(p.x, client.top, p.x + 2, client.bottom));
    if (p.x - o.x <= borderGrip) {
      --clickCell.col;
      if (!CellOrigin(0, clickCell.col, &o)) return;
    }
    ui::Rect confine(o.x, client.top, client.right, client.bottom);
    ClientToScreen(&confine);
    ui::ClipCursor(&confine);
  } else if (mouseState == GridMouseState::OverRowBorder) {
    mouseState = GridMouseState::SizingRow;
    ui::Point o;
    if (!CellOrigin(clickCell.row, clickCell.col, &o)) return;
    invertBand(this, ui::Rect(client.left, p.y, client.right, p.y + 2));
    if (p.y - o.y <= borderGrip) {
      --clickCell.row;
      if (!CellOrigin(clickCell.row, 0, &o)) return;
    }
    ui::Rect confine(client.left, o.y, client.right, client.bottom);
    ClientToScreen(&confine);
    ui::ClipCursor(&confine);
  } else {
    keptSelection.clear();
    if (flags & ui::mk::Control) keptSelection = selectedCells;
    mouseState = wholeRowMode ? GridMouseState::SelectingRows : GridMouseState::SelectingCells;
    ExtendSelection(clickCell);
    scrollTimer = SetTimer(GRID_SCROLL_TIMER, unsigned(scrollTimerInterval));
  }
  lastMousePoint = p;
}

void CGridCtrl::OnMouseMove(unsigned flags, ui::Point p) {
  const ui::Rect client = clientRect();
  if (mouseState != GridMouseState::Dragging && !client.PtInRect(p)) return;

  if ((flags & ui::mk::LButton) && mouseState != GridMouseState::Idle) {
    if (!IsValidCell(clickCell)) {
      lastMousePoint = p;
      return;
    }
    switch (mouseState) {
      case GridMouseState::SelectingAll:
      case GridMouseState::SelectingColumns:
      case GridMouseState::SelectingRows:
      case GridMouseState::SelectingCells: {
        const CCellID cell = CellFromPoint(p, true);
        if (!IsValidCell(cell)) return;
        if (!(cell == focusCell)) {
          ExtendSelection(cell);
          if (cell.row >= fixedRowCount && cell.col >= fixedColumnCount) SetFocusCell(cell);
        }
        break;
      }
      case GridMouseState::SizingRow:
        invertBand(this, ui::Rect(client.left, lastMousePoint.y, client.right, lastMousePoint.y + 2));
        invertBand(this, ui::Rect(client.left, p.y, client.right, p.y + 2));
        break;
      case GridMouseState::SizingColumn:
        invertBand(this, ui::Rect(lastMousePoint.x, client.top, lastMousePoint.x + 2, client.bottom));
        invertBand(this, ui::Rect(p.x, client.top, p.x + 2, client.bottom));
        break;
      case GridMouseState::DragPending:
        startDrag();
        break;
      default:
        break;
    }
    lastMousePoint = p;
    return;
  }

  if (columnResizeEnabled && IsOverColumnBorder(p)) {
    if (mouseState != GridMouseState::OverColumnBorder) {
      ui::SetCursor(ui::LoadCursor(ui::idc::SizeWE));
      mouseState = GridMouseState::OverColumnBorder;
    }
  } else if (rowResizeEnabled && IsOverRowBorder(p)) {
    if (mouseState != GridMouseState::OverRowBorder) {
      ui::SetCursor(ui::LoadCursor(ui::idc::SizeNS));
      mouseState = GridMouseState::OverRowBorder;
    }
  } else if (mouseState != GridMouseState::Idle) {
    ui::SetCursor(ui::LoadCursor(ui::idc::Arrow));
    mouseState = GridMouseState::Idle;
  }
  if (mouseState != GridMouseState::Idle) {
    lastMousePoint = p;
    return;
  }

  if (titleTipsEnabled) {
    const CCellID cell = CellFromPoint(p, true);
    ui::Rect textRect, cellRect;
    if (TextRect(cell.row, cell.col, &textRect) && CellRect(cell.row, cell.col, &cellRect)) {
      titleTip.Show(textRect, GetItemText(cell.row, cell.col), GetItemFont(cell.row, cell.col), &cellRect);
    }
  }
  lastMousePoint = p;
}

void CGridCtrl::OnLButtonUp(unsigned flags, ui::Point p) {
  Default();
  ui::ClipCursor(nullptr);
  if (ui::Wnd::GetCapture() == this) {
    ui::ReleaseCapture();
    KillTimer(GRID_SCROLL_TIMER);
    scrollTimer = 0;
  }

  const ui::Rect client = clientRect();
  switch (mouseState) {
    case GridMouseState::EditPending:
      OnEditCell(focusCell.row, focusCell.col, ui::vk::LButton);
      break;
    case GridMouseState::DragPending:
      ResetSelection();
      break;
    case GridMouseState::SizingColumn: {
      invertBand(this, ui::Rect(lastMousePoint.x, client.top, lastMousePoint.x + 2, client.bottom));
      ui::Point o;
      if (!(p == clickPoint) && CellOrigin(clickCell.row, clickCell.col, &o)) {
        SetColumnWidth(clickCell.col, p.x - o.x);
        UpdateScrollBars();
        Invalidate();
      }
      break;
    }
    case GridMouseState::SizingRow: {
      invertBand(this, ui::Rect(client.left, lastMousePoint.y, client.right, lastMousePoint.y + 2));
      ui::Point o;
      if (!(p == clickPoint) && CellOrigin(clickCell.row, clickCell.col, &o)) {
        SetRowHeight(clickCell.row, p.y - o.y);
        UpdateScrollBars();
        Invalidate();
      }
      break;
    }
    default:
      break;
  }
  mouseState = GridMouseState::Idle;
  ui::SetCursor(ui::LoadCursor(ui::idc::Arrow));

  if (IsValidCell(clickCell)) {
    ui::Wnd* target = GetOwner() ? GetOwner() : GetParent();
    if (target && windowExists(target)) {
      target->PostMessage(ui::wm::Command, ui::MakeWParam(unsigned(GetDlgCtrlID()), 0), ui::ToLParam(GetSafeHwnd()));
    }
  }
}

void CGridCtrl::OnLButtonDblClk(unsigned flags, ui::Point p) {
  if (mouseState == GridMouseState::OverColumnBorder) {
    const CCellID cell = CellFromPoint(p, true);
    ui::Point o;
    if (!CellOrigin(0, cell.col, &o)) return;
    AutoSizeColumn(p.x - o.x <= borderGrip ? cell.col - 1 : cell.col);
    Invalidate();
  } else if (mouseState == GridMouseState::OverRowBorder) {
    const CCellID cell = CellFromPoint(p, true);
    ui::Point o;
    if (!CellOrigin(cell.row, 0, &o)) return;
    AutoSizeRow(p.y - o.y <= borderGrip ? cell.row - 1 : cell.row);
    Invalidate();
  } else if (mouseState == GridMouseState::Idle) {
    if (IsValidCell(clickCell) && clickCell.row >= fixedRowCount && clickCell.col >= fixedColumnCount) {
      OnEditCell(focusCell.row, focusCell.col, ui::vk::LButton);
    } else if (wholeRowMode) {
      const CCellID cell = CellFromPoint(p, true);
      if (IsValidCell(cell) && cell.row >= fixedRowCount && cell.col < fixedColumnCount)
        OnEditCell(cell.row, cell.col, ui::vk::LButton);
    }
  }
  Default();
}

void CGridCtrl::OnTimer(std::uintptr_t id) {
  if (id != GRID_SCROLL_TIMER) {
    Default();
    return;
  }
  ui::Point pt = ui::GetCursorPos();
  ScreenToClient(&pt);
  const ui::Rect r = clientRect();
  const int fixedH = FixedRowsHeight();
  const int fixedW = FixedColumnsWidth();

  if (pt.y > r.bottom) {
    SendMessage(ui::wm::KeyDown, ui::vk::Down, 0);
    const int x = std::clamp(pt.x, r.left, r.right);
    ExtendSelection(CellFromPoint(ui::Point(x, r.bottom), true));
  } else if (pt.y < fixedH) {
    SendMessage(ui::wm::KeyDown, ui::vk::Up, 0);
    const int x = std::clamp(pt.x, r.left, r.right);
    ExtendSelection(CellFromPoint(ui::Point(x, fixedH + 1), true));
  }

  int x2;
  if (pt.x > r.right) {
    SendMessage(ui::wm::KeyDown, ui::vk::Right, 0);
    x2 = r.right;
  } else if (pt.x < fixedW) {
    SendMessage(ui::wm::KeyDown, ui::vk::Left, 0);
    x2 = fixedW + 1;
  } else {
    return;
  }
  ExtendSelection(CellFromPoint(ui::Point(x2, std::clamp(pt.y, r.top, r.bottom)), true));
}

bool CGridCtrl::OnSetCursor(ui::Wnd* wnd, unsigned hitTest, unsigned message) {
  if (int(hitTest) != ui::ht::Client) return Default() != 0;
  switch (mouseState) {
    case GridMouseState::OverRowBorder: ui::SetCursor(ui::LoadCursor(ui::idc::SizeNS)); break;
    case GridMouseState::OverColumnBorder: ui::SetCursor(ui::LoadCursor(ui::idc::SizeWE)); break;
    case GridMouseState::Dragging: break;
    default: ui::SetCursor(ui::LoadCursor(ui::idc::Arrow)); break;
  }
  return true;
}

void CGridCtrl::OnCaptureChanged(ui::Wnd* wnd) {
  if (wnd == this) return;
  KillTimer(GRID_SCROLL_TIMER);
  scrollTimer = 0;
  if (mouseState == GridMouseState::Dragging) mouseState = GridMouseState::Idle;
}

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------

unsigned CGridCtrl::OnGetDlgCode() {
  unsigned code = ui::dlgc::WantArrows | ui::dlgc::WantChars;
  if (tabKeyInGrid && !isCtrlDown()) code |= ui::dlgc::WantTab;
  return code;
}

void CGridCtrl::OnKeyDown(unsigned key, unsigned repeat, unsigned flags) {
  if (!IsValidCell(focusCell)) {
    Default();
    return;
  }
  int r = focusCell.row, c = focusCell.col;
  const bool shift = isShiftDown();
  bool tabWrap = false;

  if (isCtrlDown()) {
    switch (key) {
      case 'A': SelectAllCells(); break;
      case 'C': CopyToClipboard(); break;
      case 'V': PasteFromClipboard(); break;
      case 'X': CutToClipboard(); break;
      default: break;
    }
    // The focus may have gone (a paste or cut can change it).
    if (!IsValidCell(focusCell)) return;
  }

  switch (key) {
    case ui::vk::Tab:
      if (shift) {
        if (c > fixedColumnCount) {
          --c;
        } else if (c == fixedColumnCount && r > fixedRowCount) {
          --r;
          c = columnCount - 1;
          tabWrap = true;
        } else {
          Default();
        }
      } else {
        if (c < columnCount - 1) {
          ++c;
        } else if (c == columnCount - 1 && r < rowCount - 1) {
          ++r;
          c = fixedColumnCount;
          tabWrap = true;
        } else {
          Default();
        }
      }
      break;
    case ui::vk::Prior: {
      const CCellID before = FirstVisibleCell();
      SendMessage(ui::wm::VScroll, ui::sb::PageUp, 0);
      const CCellID after = FirstVisibleCell();
      if (after.row != before.row) {
        r = std::max(fixedRowCount, r - (before.row - after.row));
      } else {
        r = fixedRowCount;
      }
      break;
    }
    case ui::vk::Next: {
      const CCellID before = FirstVisibleCell();
      SendMessage(ui::wm::VScroll, ui::sb::PageDown, 0);
      const CCellID after = FirstVisibleCell();
      if (after.row != before.row) {
        r = std::min(rowCount - 1, r + (after.row - before.row));
      } else {
        r = rowCount - 1;
      }
      break;
    }
    case ui::vk::End:
      SendMessage(ui::wm::VScroll, ui::sb::Bottom, 0);
      r = rowCount - 1;
      break;
    case ui::vk::Home:
      SendMessage(ui::wm::VScroll, ui::sb::Top, 0);
      r = fixedRowCount;
      break;
    case ui::vk::Left:
      if (c > fixedColumnCount) --c;
      break;
    case ui::vk::Up:
      if (r > fixedRowCount) --r;
      break;
    case ui::vk::Right:
      if (c < columnCount - 1) ++c;
      break;
    case ui::vk::Down:
      if (r < rowCount - 1) ++r;
      break;
    case ui::vk::Delete:
      if (IsCellEditable(r, c)) {
        NotifyParent(r, c, GVN_BEGINLABELEDIT);
        // A list cell refuses an empty text unless it is one of its items;
        // only a stored change marks the cell.
        if (SetItemText(r, c, L"")) MarkModified(r, c);
        NotifyParent(r, c, GVN_ENDLABELEDIT);
        RedrawCell(r, c);
      }
      break;
    default:
      Default();
      break;
  }

  if (CCellID(r, c) == focusCell) return;

  if (mouseState == GridMouseState::Idle) {
    keptSelection.clear();
    mouseState = wholeRowMode ? GridMouseState::SelectingRows : GridMouseState::SelectingCells;
    if (!shift || key == ui::vk::Tab) anchorCell = CCellID(r, c);
    ExtendSelection(CCellID(r, c));
    mouseState = GridMouseState::Idle;
  }

  SetFocusCell(r, c);
  if (IsCellVisible(r, c)) return;
  EnsureCellVisible(r, c);
  switch (key) {
    case ui::vk::Left: SendMessage(ui::wm::HScroll, ui::sb::LineLeft, 0); break;
    case ui::vk::Up: SendMessage(ui::wm::VScroll, ui::sb::LineUp, 0); break;
    case ui::vk::Right: SendMessage(ui::wm::HScroll, ui::sb::LineRight, 0); break;
    case ui::vk::Down: SendMessage(ui::wm::VScroll, ui::sb::LineDown, 0); break;
    case ui::vk::Tab:
      if (!tabWrap) {
        SendMessage(ui::wm::HScroll, shift ? ui::sb::LineLeft : ui::sb::LineRight, 0);
      } else if (shift) {
        SendMessage(ui::wm::VScroll, ui::sb::LineUp, 0);
        SetScrollPosition(horzScrollMax, ui::sb::Horz);
      } else {
        SendMessage(ui::wm::VScroll, ui::sb::LineDown, 0);
        SetScrollPosition(0, ui::sb::Horz);
      }
      break;
    default:
      break;
  }
  Invalidate();
}
