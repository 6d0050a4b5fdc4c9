// In-place editing on the grid's side: when a cell may be edited, starting an
// editor over it, storing the text an editor reports, moving on to the next
// cell after Tab or a navigation key, and telling the owner which item a
// drop-down closed on.
#include <algorithm>

#include "module/grid/grid_ctrl.h"
#include "module/grid/inplace_editors.h"

namespace {

bool windowExists(const ui::Wnd* w) { return w->GetSafeHwnd() && ui::IsWindow(w->GetSafeHwnd()); }

bool continuesEditing(unsigned key) {
  switch (key) {
    case ui::vk::Tab:
    case ui::vk::Prior:
    case ui::vk::Next:
    case ui::vk::End:
    case ui::vk::Home:
    case ui::vk::Left:
    case ui::vk::Up:
    case ui::vk::Right:
    case ui::vk::Down:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool CGridCtrl::IsCellEditable(int row, int col) const {
  if (!editingEnabled) return false;
  return (GetItemState(row, col) & CELL_READONLY) == 0;
}

void CGridCtrl::OnChar(unsigned ch, unsigned repeat, unsigned flags) {
  if (!isCtrlDown() && mouseState == GridMouseState::Idle && !(ch == ui::vk::Tab && tabKeyInGrid)) {
    OnEditCell(focusCell.row, focusCell.col, ch);
  }
  Default();
}

void CGridCtrl::OnEditCell(int row, int col, unsigned key) {
  EnsureCellVisible(row, col);
  if (!IsValidCell(row, col) || !IsCellEditable(row, col) || !IsCellVisible(row, col)) return;
  ui::Rect rect;
  if (!CellRect(row, col, &rect)) return;

  NotifyParent(row, col, GVN_BEGINLABELEDIT);
  GridItem item;
  item.row = row;
  item.col = col;
  item.mask = ITEM_TEXT | ITEM_FORMAT;
  if (!GetItem(&item)) return;
  unsigned style = ui::es::Left;
  if (item.format & ui::dt::Right) {
    style = ui::es::Right;
  } else if (item.format & ui::dt::Center) {
    style = ui::es::Center;
  }
  CreateInPlaceEditor(rect, style, GRID_EDITOR_ID, row, col, item.text, key);
}

ui::Wnd* CGridCtrl::CreateInPlaceEditor(ui::Rect rect, unsigned style, unsigned id, int row, int col,
                                        const std::wstring& text, unsigned key) {
  // The editors delete themselves when their window goes.
  if (const auto* items = DropListItems(row, col)) {
    auto* list = new CInPlaceList(this, rect, unsigned(dropListStyle), id, row, col, *items, text, key);
    if (!list->GetSafeHwnd()) {
      delete list;
      return nullptr;
    }
    return list;
  }
  auto* edit = new CInPlaceEdit(this, rect, style, id, row, col, text, key);
  if (!edit->GetSafeHwnd()) {
    delete edit;
    return nullptr;
  }
  return edit;
}

ui::Wnd* CGridCtrl::ActiveEditor() const {
  ui::Wnd* w = GetDlgItem(int(GRID_EDITOR_ID));
  return w;
}

void CGridCtrl::OnEndEditCell(int row, int col, const std::wstring& text) {
  if (text == GetItemText(row, col)) return;
  // Only a text the cell accepted marks it modified: a list cell keeps its
  // item when it was given something else.
  if (SetItemText(row, col, text)) MarkModified(row, col);
}

bool CGridCtrl::OnNotify(ui::WParam wp, ui::LParam lp, ui::LResult* result) {
  const auto* hdr = reinterpret_cast<const ui::NotifyHeader*>(lp);
  if (hdr && hdr->idFrom == GRID_EDITOR_ID && hdr->code == GVN_ENDLABELEDIT) {
    const auto* end = reinterpret_cast<const GridEditEnd*>(lp);
    if (windowExists(this)) {
      const GridItem& item = end->item;
      OnEndEditCell(item.row, item.col, item.text);
      InvalidateCell(CCellID(item.row, item.col));
      NotifyParent(item.row, item.col, GVN_ENDLABELEDIT);
      const unsigned key = unsigned(item.itemData);
      if (continuesEditing(key)) {
        // Editing goes on in the next cell, its text selected.
        SendMessage(ui::wm::KeyDown, key, 0);
        OnEditCell(focusCell.row, focusCell.col, key);
      }
    }
    if (result) *result = 0;
    return true;
  }
  return ui::Wnd::OnNotify(wp, lp, result);
}
