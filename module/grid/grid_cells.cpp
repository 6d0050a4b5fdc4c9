// The grid's cell model: counts, fixed parts, row heights and column widths,
// the cells themselves, item reads and writes, and the per-position drop-down
// item lists that restrict what a cell may hold.
#include <algorithm>

#include "module/grid/grid_ctrl.h"

namespace {
bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }
}  // namespace

// ---------------------------------------------------------------------------
// Counts
// ---------------------------------------------------------------------------

bool CGridCtrl::SetRowCount(int count) {
  // A negative count would leave the arrays and the count disagreeing.
  if (count < 0) return false;
  if (count == rowCount) return true;
  if (count < fixedRowCount) fixedRowCount = count;
  if (focusCell.row >= count) SetFocusCell(-1, -1);

  for (int r = count; r < rowCount; ++r) {
    GridRow& row = rows[r];
    for (int c = 0; c < int(row.size()); ++c) {
      if (row[c]) EmptyCell(row[c].get(), r, c);
      row[c].reset();
    }
  }
  const int oldCount = rowCount;
  rowCount = count;
  rows.resize(count);
  rowHeights.resize(count, defaultRowHeight);
  for (int r = oldCount; r < count; ++r) {
    rowHeights[r] = defaultRowHeight;
    rows[r].resize(columnCount);
    for (int c = 0; c < columnCount; ++c) rows[r][c] = CreateCell(r, c);
  }
  if (windowExists(this) && redrawEnabled) {
    UpdateScrollBars();
    Invalidate();
  }
  return true;
}

bool CGridCtrl::SetColumnCount(int count) {
  if (count < 0) return false;
  if (count == columnCount) return true;
  if (count < fixedColumnCount) fixedColumnCount = count;
  if (focusCell.col >= count) SetFocusCell(-1, -1);

  for (int r = 0; r < rowCount; ++r) {
    GridRow& row = rows[r];
    for (int c = count; c < int(row.size()); ++c) {
      if (row[c]) EmptyCell(row[c].get(), r, c);
      row[c].reset();
    }
  }
  const int oldCount = columnCount;
  columnCount = count;
  columnWidths.resize(count, defaultColumnWidth);
  for (int r = 0; r < rowCount; ++r) {
    rows[r].resize(count);
    for (int c = oldCount; c < count; ++c) rows[r][c] = CreateCell(r, c);
  }
  if (windowExists(this) && redrawEnabled) {
    UpdateScrollBars();
    Invalidate();
  }
  return true;
}

bool CGridCtrl::SetFixedRowCount(int count) {
  if (count < 0) return false;
  if (count > rowCount && !SetRowCount(count)) return false;
  if (focusCell.row < count) SetFocusCell(-1, -1);
  fixedRowCount = count;
  if (windowExists(this) && redrawEnabled) Invalidate();
  return true;
}

bool CGridCtrl::SetFixedColumnCount(int count) {
  if (count < 0) return false;
  if (count > columnCount && !SetColumnCount(count)) return false;
  if (focusCell.col < count) SetFocusCell(-1, -1);
  fixedColumnCount = count;
  if (windowExists(this) && redrawEnabled) Invalidate();
  return true;
}

int CGridCtrl::AppendRow() {
  SetSelectedRange(-1, -1, -1, -1);
  SetFocusCell(-1, -1);
  if (columnCount <= 0) SetColumnCount(1);

  const int r = rowCount;
  rowHeights.push_back(0);
  rows.emplace_back();
  ++rowCount;
  rows[r].resize(columnCount);
  for (int c = 0; c < columnCount; ++c) rows[r][c] = CreateCell(r, c);
  SetItemText(r, 0, L"");
  rowHeights[r] = textHeightOfEmpty();
  UpdateScrollBars();
  return r;
}

int CGridCtrl::textHeightOfEmpty() {
  ui::LogFont lf = defaultFont;
  lf.lfWeight = ui::fw::SemiBold;
  ui::Font font;
  if (!font.CreateFontIndirect(&lf)) return 0;
  int height = 0;
  if (windowExists(this)) {
    ui::DC* dc = GetDC();
    if (!dc) return 0;
    ui::Font* old = dc->SelectObject(&font);
    height = dc->GetTextExtent(L"").cy;
    dc->SelectObject(old);
    ReleaseDC(dc);
  } else {
    ui::WindowDC dc(nullptr);
    ui::Font* old = dc.SelectObject(&font);
    height = dc.GetTextExtent(L"").cy;
    dc.SelectObject(old);
  }
  return height + 2 * cellMargin;
}

bool CGridCtrl::DeleteAllCells() {
  SetSelectedRange(-1, -1, -1, -1);
  SetFocusCell(-1, -1);
  columnWidths.clear();
  rowHeights.clear();
  for (int r = 0; r < int(rows.size()); ++r) {
    for (int c = 0; c < int(rows[r].size()); ++c) {
      if (rows[r][c]) EmptyCell(rows[r][c].get(), r, c);
      rows[r][c].reset();
    }
  }
  rows.clear();
  selectedCells.clear();
  focusCell = CCellID();
  rowCount = fixedRowCount = columnCount = fixedColumnCount = 0;
  UpdateScrollBars();
  return true;
}

// ---------------------------------------------------------------------------
// Cells
// ---------------------------------------------------------------------------

CGridCell* CGridCtrl::GetCell(int row, int col) const {
  if (row < 0 || row >= rowCount || col < 0 || col >= columnCount) return nullptr;
  if (row >= int(rows.size()) || col >= int(rows[row].size())) return nullptr;
  return rows[row][col].get();
}

std::unique_ptr<CGridCell> CGridCtrl::CreateCell(int row, int col) {
  auto cell = std::make_unique<CGridCell>();
  // A new row takes the formats of the row above it, so rows appended under a
  // centred heading are centred too.
  if (row > 0) {
    if (const CGridCell* above = GetCell(row - 1, col)) cell->format = above->format;
  }
  cell->font = defaultFont;
  return cell;
}

void CGridCtrl::EmptyCell(CGridCell* cell, int row, int col) {
  SetItemState(row, col, 0);
  if (cell) cell->text.clear();
}

bool CGridCtrl::SetItem(const GridItem* item) {
  if (!item) return false;
  CGridCell* cell = GetCell(item->row, item->col);
  if (!cell) return false;
  if (item->mask & ITEM_TEXT) {
    if (FindDropList(item->row, item->col) != -1 && item->row >= fixedRowCount) {
      const auto* items = DropListItems(item->row, item->col);
      if (!items || std::find(items->begin(), items->end(), item->text) == items->end()) return false;
    }
    cell->text = item->text;
  }
  if (item->mask & ITEM_DATA) cell->itemData = item->itemData;
  if (item->mask & ITEM_IMAGE) cell->image = item->image;
  // The state goes through SetItemState so that the selection map always
  // agrees with the cells' selected bits.
  if (item->mask & ITEM_STATE) SetItemState(item->row, item->col, item->state);
  if (item->mask & ITEM_FORMAT) cell->format = item->format;
  if (item->mask & ITEM_BKCOLOR) cell->bkColour = item->bkColour;
  if (item->mask & ITEM_FGCOLOR) cell->fgColour = item->fgColour;
  if (item->mask & ITEM_FONT) cell->font = item->font;
  return true;
}

bool CGridCtrl::GetItem(GridItem* item) const {
  if (!item) return false;
  const CGridCell* cell = GetCell(item->row, item->col);
  if (!cell) return false;
  if (item->mask & ITEM_TEXT) item->text = GetItemText(item->row, item->col);
  if (item->mask & ITEM_DATA) item->itemData = cell->itemData;
  if (item->mask & ITEM_IMAGE) item->image = cell->image;
  if (item->mask & ITEM_STATE) item->state = cell->state;
  if (item->mask & ITEM_FORMAT) item->format = cell->format;
  if (item->mask & ITEM_BKCOLOR) item->bkColour = cell->bkColour;
  if (item->mask & ITEM_FGCOLOR) item->fgColour = cell->fgColour;
  if (item->mask & ITEM_FONT) item->font = cell->font;
  return true;
}

bool CGridCtrl::SetItemText(int row, int col, const std::wstring& text) {
  // A list cell outside the heading rows holds only one of its items.
  if (row >= fixedRowCount) {
    if (const auto* items = DropListItems(row, col)) {
      if (std::find(items->begin(), items->end(), text) == items->end()) return false;
    }
  }
  CGridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->text = text;
  return true;
}

std::wstring CGridCtrl::GetItemText(int row, int col) const {
  const CGridCell* cell = GetCell(row, col);
  return cell ? cell->text : std::wstring();
}

bool CGridCtrl::SetItemData(int row, int col, ui::LParam data) {
  CGridCell* cell = GetCell(row, col);
  if (!cell) return false;
  cell->itemData = data;
  return true;
}

ui::LParam CGridCtrl::GetItemData(int row, int col) const {
  const CGridCell* cell = GetCell(row, col);
  return cell ? cell->itemData : 0;
}

bool CGridCtrl::SetItemState(int row, int col, unsigned state) {
  CGridCell* cell = GetCell(row, col);
  if (!cell) return false;
  const std::uint64_t key = selectionKey(row, col);
  const bool was = (cell->state & CELL_SELECTED) != 0;
  const bool now = (state & CELL_SELECTED) != 0;
  if (was && !now) selectedCells.erase(key);
  if (now) selectedCells[key] = CCellID(row, col);
  cell->state = state;
  return true;
}

unsigned CGridCtrl::GetItemState(int row, int col) const {
  const CGridCell* cell = GetCell(row, col);
  return cell ? cell->state : 0;
}

unsigned CGridCtrl::GetItemFormat(int row, int col) const {
  const CGridCell* cell = GetCell(row, col);
  return cell ? cell->format : 0;
}

const ui::LogFont* CGridCtrl::GetItemFont(int row, int col) const {
  const CGridCell* cell = GetCell(row, col);
  return cell ? &cell->font : &defaultFont;
}

// ---------------------------------------------------------------------------
// Drop-down lists
// ---------------------------------------------------------------------------

bool CGridCtrl::SetItemComboList(int row, int col, const std::vector<std::wstring>& items) {
  if (col < fixedColumnCount) return false;
  // Lists are keyed by position and may be set before the row exists.
  const int i = FindDropList(row, col);
  if (i != -1) {
    dropLists[i].items = items;
  } else {
    dropLists.push_back(_comboitem{row, col, items});
  }
  return true;
}

int CGridCtrl::FindDropList(int row, int col) const {
  for (int i = 0; i < int(dropLists.size()); ++i) {
    if (dropLists[i].row == row && dropLists[i].col == col) return i;
  }
  return -1;
}

const std::vector<std::wstring>* CGridCtrl::DropListItems(int row, int col) const {
  const int i = FindDropList(row, col);
  return i == -1 ? nullptr : &dropLists[i].items;
}

void CGridCtrl::MarkModified(int row, int col) {
  if (row > 0 && col > 0) {
    if (CGridCell* cell = GetCell(row, col)) cell->state |= CELL_MODIFIED;
  }
}

// ---------------------------------------------------------------------------
// Sizes
// ---------------------------------------------------------------------------

int CGridCtrl::GetRowHeight(int row) const {
  if (row < 0 || row >= rowCount || row >= int(rowHeights.size())) return -1;
  return rowHeights[row];
}

int CGridCtrl::GetColumnWidth(int col) const {
  if (col < 0 || col >= columnCount || col >= int(columnWidths.size())) return -1;
  return columnWidths[col];
}

bool CGridCtrl::SetRowHeight(int row, int height) {
  if (row < 0 || row >= rowCount || row >= int(rowHeights.size()) || height < 0) return false;
  rowHeights[row] = height;
  return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= columnCount || col >= int(columnWidths.size()) || width < 0) return false;
  columnWidths[col] = width;
  return true;
}

int CGridCtrl::FixedRowsHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRowCount && r < int(rowHeights.size()); ++r) h += rowHeights[r];
  return h;
}

int CGridCtrl::FixedColumnsWidth() const {
  int w = 0;
  for (int c = 0; c < fixedColumnCount && c < int(columnWidths.size()); ++c) w += columnWidths[c];
  return w;
}

int CGridCtrl::TotalHeight() const {
  int h = 0;
  for (int v : rowHeights) h += v;
  return h;
}

int CGridCtrl::TotalWidth() const {
  int w = 0;
  for (int v : columnWidths) w += v;
  return w;
}

bool CGridCtrl::IsValidCell(CCellID c) const {
  return c.row >= 0 && c.row < rowCount && c.col >= 0 && c.col < columnCount;
}

bool CGridCtrl::IsValidRange(const CellRange& r) const {
  return r.minRow >= 0 && r.minCol >= 0 && r.maxRow >= 0 && r.maxCol >= 0 && r.maxRow < rowCount &&
         r.maxCol < columnCount && r.minRow <= r.maxRow && r.minCol <= r.maxCol;
}

void SetGridHeadings(CGridCtrl& grid, std::initializer_list<const wchar_t*> headings) {
  int c = 0;
  for (const wchar_t* text : headings) {
    GridItem item;
    item.row = 0;
    item.col = c++;
    item.mask = ITEM_TEXT | ITEM_FORMAT;
    item.format = 0x8025;  // DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS
    item.text = text;
    grid.SetItem(&item);
  }
}
