// Clipboard and drag and drop: the selection as tab-separated text in the
// system code page, pasting such text at a cell, clearing the selection,
// the edit commands, the drag of a selection and the drop target.
#include <algorithm>
#include <cwctype>

#include "module/grid/grid_ctrl.h"
#include "platform/ui/controls.h"

namespace {

bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }

std::wstring trimmed(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::iswspace(s[b])) ++b;
  while (e > b && std::iswspace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Splits at every occurrence of sep; n separators give n + 1 pieces.
std::vector<std::wstring> splitAt(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> out;
  size_t start = 0;
  for (;;) {
    const size_t pos = s.find(sep, start);
    if (pos == std::wstring::npos) {
      out.push_back(s.substr(start));
      return out;
    }
    out.push_back(s.substr(start, pos - start));
    start = pos + 1;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Copy, paste, clear
// ---------------------------------------------------------------------------

std::unique_ptr<ui::DataObject> CGridCtrl::CopySelectionToDataSource() {
  const CellRange b = SelectionBounds();
  if (!IsValidRange(b)) return nullptr;
  std::string bytes;
  for (int r = b.minRow; r <= b.maxRow; ++r) {
    std::wstring line;
    for (int c = b.minCol; c <= b.maxCol; ++c) {
      if (IsCellSelected(r, c)) {
        const std::wstring text = GetItemText(r, c);
        // An empty selected cell is written as one space, so that it is told
        // apart from a position outside the selection.
        line += text.empty() ? std::wstring(L" ") : text;
      }
      if (c < b.maxCol) line += L'\t';
    }
    if (r < b.maxRow) line += L'\n';
    bytes += ui::toAnsi(line);
  }
  bytes.push_back('\0');
  auto data = std::make_unique<ui::DataObject>();
  data->CacheGlobalData(ui::cf::Text, std::move(bytes));
  return data;
}

bool CGridCtrl::PasteText(int row, int col, ui::DataObject* data) {
  if (!IsValidCell(row, col) || !IsCellEditable(row, col) || !data || !data->IsDataAvailable(ui::cf::Text))
    return false;
  auto bytes = data->GetGlobalData(ui::cf::Text);
  if (!bytes) return false;
  std::string raw = *bytes;
  if (const size_t z = raw.find('\0'); z != std::string::npos) raw.resize(z);
  const std::wstring text = ui::fromAnsi(raw);

  // Line i goes to row + i. Within a line each tab moves one column on, so
  // texts holding commas or spaces come back unchanged and the columns of a
  // copied block keep their places; an empty piece (a position that was not
  // selected when copied) leaves its cell alone.
  std::vector<std::wstring> lines = splitAt(text, L'\n');
  for (int i = 0; i < int(lines.size()); ++i) {
    std::wstring line = lines[i];
    const bool followedByLineFeed = i + 1 < int(lines.size());
    if (line.empty()) {
      if (!followedByLineFeed) continue;
      line = L" ";  // an empty line between two line feeds empties its first cell
    }
    const int r = row + i;
    if (r >= rowCount) break;
    const std::vector<std::wstring> tokens = splitAt(line, L'\t');
    for (int j = 0; j < int(tokens.size()); ++j) {
      const int c = col + j;
      if (c >= columnCount) break;
      if (tokens[j].empty()) continue;
      // Every target is checked: a read-only cell keeps its text.
      if (!IsCellEditable(r, c)) continue;
      const std::wstring value = trimmed(tokens[j]);
      // A list cell refuses a text that is not one of its items; such a cell
      // is left as it was, unmarked and without notifications.
      if (r >= fixedRowCount) {
        if (const auto* items = DropListItems(r, c)) {
          if (std::find(items->begin(), items->end(), value) == items->end()) continue;
        }
      }
      NotifyParent(r, c, GVN_BEGINLABELEDIT);
      if (SetItemText(r, c, value)) MarkModified(r, c);
      NotifyParent(r, c, GVN_ENDLABELEDIT);
      SetItemState(r, c, GetItemState(r, c) & ~CELL_SELECTED);
    }
  }
  Invalidate();
  return true;
}

void CGridCtrl::ClearSelectedCells() {
  if (!editingEnabled) return;
  const auto cells = selectedCells;
  for (const auto& [key, id] : cells) {
    if (!IsValidCell(id)) continue;
    if (GetItemState(id.row, id.col) & CELL_READONLY) continue;
    NotifyParent(id.row, id.col, GVN_BEGINLABELEDIT);
    EmptyCell(GetCell(id.row, id.col), id.row, id.col);
    MarkModified(id.row, id.col);
    NotifyParent(id.row, id.col, GVN_ENDLABELEDIT);
  }
  Invalidate();
}

void CGridCtrl::CutToClipboard() {
  if (!editingEnabled) return;
  auto data = CopySelectionToDataSource();
  if (!data) return;
  data->SetClipboard();
  ClearSelectedCells();
}

void CGridCtrl::CopyToClipboard() {
  if (auto data = CopySelectionToDataSource()) data->SetClipboard();
}

void CGridCtrl::PasteFromClipboard() {
  if (!editingEnabled) return;
  const CCellID cell = IsValidCell(focusCell) ? focusCell : FirstVisibleCell();
  if (!IsValidCell(cell)) return;
  ui::DataObject data;
  if (!data.AttachClipboard()) return;
  PasteText(cell.row, cell.col, &data);
}

bool CGridCtrl::IsCommandEnabled(unsigned commandId) const {
  switch (commandId) {
    case ID_EDIT_COPY: return IsValidRange(SelectionBounds());
    case ID_EDIT_CUT: return editingEnabled && IsValidRange(SelectionBounds());
    case ID_EDIT_PASTE:
      return IsValidCell(focusCell) && IsCellEditable(focusCell.row, focusCell.col) &&
             ui::IsClipboardFormatAvailable(ui::cf::Text);
    case ID_EDIT_SELECT_ALL: return selectionEnabled;
    default: return false;
  }
}

bool CGridCtrl::OnCommand(ui::WParam wp, ui::LParam lp) {
  const unsigned id = ui::LoWord(wp);
  const unsigned code = ui::HiWord(wp);
  if (id == GRID_EDITOR_ID && code == ui::cbn::CloseUp) {
    // Tells the owner which item the drop-down closed on; the edit goes on.
    if (windowExists(this)) {
      std::wstring chosen;
      if (auto* combo = dynamic_cast<ui::ComboBox*>(ui::Wnd::FromHandle(ui::HwndFromParam(lp)))) {
        const int sel = combo->GetCurSel();
        if (sel >= 0) chosen = combo->GetLBText(sel);
      }
      GridNotify n;
      n.hdr.hwndFrom = GetSafeHwnd();
      n.hdr.idFrom = unsigned(GetDlgCtrlID());
      n.hdr.code = int(WM_GRID_LISTCLOSED);
      n.row = focusCell.row;
      n.col = focusCell.col;
      ui::Wnd* target = GetOwner() ? GetOwner() : GetParent();
      if (target && windowExists(target))
        target->SendMessage(WM_GRID_LISTCLOSED, ui::ToWParam(&chosen), ui::ToLParam(&n));
    }
    return true;
  }
  if (lp == 0 && code == 0) {
    switch (id) {
      case ID_EDIT_COPY:
      case ID_EDIT_CUT:
      case ID_EDIT_PASTE:
      case ID_EDIT_SELECT_ALL:
        if (IsCommandEnabled(id)) {
          if (id == ID_EDIT_COPY) CopyToClipboard();
          if (id == ID_EDIT_CUT) CutToClipboard();
          if (id == ID_EDIT_PASTE) PasteFromClipboard();
          if (id == ID_EDIT_SELECT_ALL) SelectAllCells();
        }
        return true;
      default:
        break;
    }
  }
  return ui::Wnd::OnCommand(wp, lp);
}

// ---------------------------------------------------------------------------
// Dragging a selection
// ---------------------------------------------------------------------------

void CGridCtrl::startDrag() {
  if (!dragDropEnabled) return;
  auto data = CopySelectionToDataSource();
  if (!data) return;
  const CellRange b = SelectionBounds();
  NotifyParent(b.minRow, b.minCol, GVN_BEGINDRAG);
  mouseState = GridMouseState::Dragging;
  const unsigned effect = ui::DoDragDrop(*data, ui::dropeffect::Copy | ui::dropeffect::Move, this);
  if (effect & ui::dropeffect::Move) ClearSelectedCells();
  // The drag loop took the button's release.
  if (mouseState == GridMouseState::Dragging) mouseState = GridMouseState::Idle;
}

std::unique_ptr<ui::ImageList> CGridCtrl::CreateDragImage(ui::Point* outSize) {
  if (!windowExists(this)) return nullptr;
  ui::Rect rect;
  if (!CellRect(focusCell.row, focusCell.col, &rect)) return nullptr;
  ui::DC* dc = GetDC();
  if (!dc) return nullptr;
  const int cx = rect.right - rect.left, cy = rect.bottom - rect.top;
  if (outSize) *outSize = ui::Point(cx, cy);
  auto list = std::make_unique<ui::ImageList>();
  if (!list->Create(cx, cy, ui::ilc::Mask)) {
    ReleaseDC(dc);
    return nullptr;
  }
  ui::DC mem;
  mem.CreateCompatibleDC(dc);
  ui::Bitmap bitmap;
  bitmap.CreateCompatibleBitmap(dc, cx, cy);
  ui::Bitmap* old = mem.SelectObject(&bitmap);
  DrawCell(&mem, focusCell.row, focusCell.col, ui::Rect(0, 0, cx, cy), true);
  mem.SelectObject(old);
  list->Add(&bitmap, cellBackColour);
  ReleaseDC(dc);
  return list;
}

// ---------------------------------------------------------------------------
// Dropping onto the grid
// ---------------------------------------------------------------------------

namespace {
unsigned copyOrMove(unsigned keyState) {
  return (keyState & ui::mk::Control) ? ui::dropeffect::Copy : ui::dropeffect::Move;
}
}  // namespace

unsigned CGridCtrl::OnDragEnter(ui::DataObject* data, unsigned keyState, ui::Point p) {
  if (!dragDropEnabled || !data || !data->IsDataAvailable(ui::cf::Text)) return ui::dropeffect::None;
  dragOverCell = CellFromPoint(p, false);
  if (!IsValidCell(dragOverCell) || !IsCellEditable(dragOverCell.row, dragOverCell.col))
    return ui::dropeffect::None;
  SetItemState(dragOverCell.row, dragOverCell.col, GetItemState(dragOverCell.row, dragOverCell.col) | CELL_DROPTARGET);
  RedrawCell(dragOverCell);
  return copyOrMove(keyState);
}

unsigned CGridCtrl::OnDragOver(ui::DataObject* data, unsigned keyState, ui::Point p) {
  if (!dragDropEnabled || !editingEnabled || !data || !data->IsDataAvailable(ui::cf::Text))
    return ui::dropeffect::None;
  const CCellID cell = CellFromPoint(p, false);
  if (IsValidCell(cell)) {
    if (!IsCellEditable(cell.row, cell.col)) return ui::dropeffect::None;
    if (!(cell == dragOverCell)) {
      if (IsValidCell(dragOverCell)) {
        SetItemState(dragOverCell.row, dragOverCell.col,
                     GetItemState(dragOverCell.row, dragOverCell.col) & ~CELL_DROPTARGET);
        RedrawCell(dragOverCell);
      }
      dragOverCell = cell;
      SetItemState(cell.row, cell.col, GetItemState(cell.row, cell.col) | CELL_DROPTARGET);
      RedrawCell(cell);
    }
    return copyOrMove(keyState);
  }
  OnDragLeave();
  dragOverCell = CCellID();
  return ui::dropeffect::None;
}

void CGridCtrl::OnDragLeave() {
  if (IsValidCell(dragOverCell)) {
    SetItemState(dragOverCell.row, dragOverCell.col,
                 GetItemState(dragOverCell.row, dragOverCell.col) & ~CELL_DROPTARGET);
    RedrawCell(dragOverCell);
  }
}

bool CGridCtrl::OnDrop(ui::DataObject* data, unsigned effect, ui::Point p) {
  if (!dragDropEnabled) return false;
  if (!IsValidCell(dragOverCell) || !IsCellEditable(dragOverCell.row, dragOverCell.col)) return false;
  mouseState = GridMouseState::Idle;
  OnDragLeave();
  return PasteText(dragOverCell.row, dragOverCell.col, data);
}

CGridDropTarget::~CGridDropTarget() {
  if (registered_) Revoke();
}

bool CGridDropTarget::Register(CGridCtrl* grid) {
  grid_ = grid;
  registered_ = ui::DropTarget::Register(grid);
  return registered_;
}

void CGridDropTarget::Revoke() {
  registered_ = false;
  ui::DropTarget::Revoke();
}

unsigned CGridDropTarget::OnDragEnter(ui::Wnd* wnd, ui::DataObject* data, unsigned keyState, ui::Point p) {
  if (!grid_ || wnd != grid_) return ui::dropeffect::None;
  return grid_->OnDragEnter(data, keyState, p);
}

unsigned CGridDropTarget::OnDragOver(ui::Wnd* wnd, ui::DataObject* data, unsigned keyState, ui::Point p) {
  if (!grid_ || wnd != grid_) return ui::dropeffect::None;
  return grid_->OnDragOver(data, keyState, p);
}

void CGridDropTarget::OnDragLeave(ui::Wnd* wnd) {
  if (grid_ && wnd == grid_) grid_->OnDragLeave();
}

bool CGridDropTarget::OnDrop(ui::Wnd* wnd, ui::DataObject* data, unsigned effect, ui::Point p) {
  if (!grid_ || wnd != grid_) return false;
  return grid_->OnDrop(data, effect, p);
}

unsigned CGridDropTarget::OnDragScroll(ui::Wnd* wnd, unsigned keyState, ui::Point p) {
  return copyOrMove(keyState);
}
