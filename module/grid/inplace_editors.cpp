// The in-place editors: their creation over a cell, the keys that end an edit
// (Return, Tab, Escape and the navigation keys), and the report of the final
// text to the grid.
#include "module/grid/inplace_editors.h"

#include <algorithm>

namespace {

bool isNavigationKey(unsigned key) {
  return key == ui::vk::Prior || key == ui::vk::Next || (key >= ui::vk::Left && key <= ui::vk::Down);
}

bool ctrlDown() { return ui::GetKeyState(ui::vk::Control) < 0; }

// Sends the end-of-edit record to the editor's owner (or parent, the grid).
void reportEnd(ui::Wnd* editor, int row, int col, const std::wstring& text, unsigned lastKey) {
  GridEditEnd rec;
  rec.hdr.hwndFrom = editor->GetSafeHwnd();
  rec.hdr.idFrom = unsigned(editor->GetDlgCtrlID());
  rec.hdr.code = GVN_ENDLABELEDIT;
  rec.item.row = row;
  rec.item.col = col;
  rec.item.mask = ITEM_TEXT | ITEM_DATA;
  rec.item.text = text;
  rec.item.itemData = ui::LParam(lastKey);
  ui::Wnd* target = editor->GetOwner() ? editor->GetOwner() : editor->GetParent();
  if (target && ui::IsWindow(target->GetSafeHwnd()))
    target->SendMessage(ui::wm::Notify, ui::WParam(editor->GetDlgCtrlID()), ui::ToLParam(&rec));
}

// Hands the keyboard focus back to the grid (which ends the edit).
void focusGrid(ui::Wnd* editor) {
  if (ui::Wnd* grid = editor->GetParent()) grid->SetFocus();
}

}  // namespace

// ---------------------------------------------------------------------------
// CInPlaceEdit
// ---------------------------------------------------------------------------

CInPlaceEdit::CInPlaceEdit(ui::Wnd* parent, const ui::Rect& rect, unsigned style, unsigned id, int row, int col,
                           const std::wstring& text, unsigned key)
    : row_(row), col_(col), initialText_(text), exitOnArrows_(key != ui::vk::LButton), rect_(rect) {
  const unsigned fullStyle = style | ui::ws::Child | ui::ws::Visible | ui::ws::Border | ui::es::AutoHScroll;
  if (!Create(fullStyle, rect, parent, id)) return;
  SetFont(parent->GetFont());
  SetWindowText(text);
  SetFocus();

  const int len = int(text.size());
  switch (key) {
    case ui::vk::LButton:
    case ui::vk::Return:
      SetSel(len, len);
      break;
    case ui::vk::Back:
      SetSel(len, len);
      SendMessage(ui::wm::Char, ui::vk::Back, 0);
      break;
    default:
      if (key == ui::vk::Tab || key == ui::vk::Space || (key >= ui::vk::Prior && key <= ui::vk::Down)) {
        SetSel(0, -1);
      } else {
        // A typed character replaces the text.
        SetSel(0, -1);
        SendMessage(ui::wm::Char, key, 0);
      }
      break;
  }
}

CInPlaceEdit::~CInPlaceEdit() = default;

void CInPlaceEdit::EndEdit() {
  if (ending_) return;
  ending_ = true;
  const std::wstring text = GetWindowText();
  reportEnd(this, row_, col_, text, lastKey_);
  PostMessage(ui::wm::Close);
}

bool CInPlaceEdit::PreTranslateMessage(ui::Msg* msg) {
  if (msg->message == ui::wm::SysChar) return true;
  return ui::Edit::PreTranslateMessage(msg);
}

void CInPlaceEdit::PostNcDestroy() { delete this; }

void CInPlaceEdit::onKeyDown(unsigned key) {
  lastKey_ = key;
  focusGrid(this);
}

ui::LResult CInPlaceEdit::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::KeyDown:
      if (isNavigationKey(unsigned(wp)) && (exitOnArrows_ || ctrlDown())) {
        onKeyDown(unsigned(wp));
        return 0;
      }
      break;
    case ui::wm::Char:
      onChar(unsigned(wp), wp, lp);
      return 0;
    case ui::wm::SysChar:
      return 0;
    case ui::wm::GetDlgCode:
      return ui::dlgc::WantAllKeys;
    case ui::wm::KillFocus: {
      const ui::LResult r = ui::Edit::WindowProc(msg, wp, lp);
      EndEdit();
      return r;
    }
    default:
      break;
  }
  return ui::Edit::WindowProc(msg, wp, lp);
}

void CInPlaceEdit::onChar(unsigned ch, ui::WParam wp, ui::LParam lp) {
  if (ch == ui::vk::Tab || ch == ui::vk::Return) {
    lastKey_ = ch;
    focusGrid(this);
    return;
  }
  if (ch == ui::vk::Escape) {
    SetWindowText(initialText_);
    lastKey_ = ch;
    focusGrid(this);
    return;
  }
  ui::Edit::WindowProc(ui::wm::Char, wp, lp);

  // The edit grows with its text, up to the grid's right edge.
  const std::wstring text = GetWindowText() + L"  ";
  const ui::Size extent = ui::TextExtent(effectiveFont(), text);
  ui::Rect r = windowRect();
  if (ui::Wnd* parent = GetParent()) parent->ScreenToClient(&r);
  if (extent.cx > r.Width()) {
    int right = r.left + extent.cx;
    if (ui::Wnd* parent = GetParent()) right = std::min(right, parent->clientRect().right);
    r.right = right;
    rect_ = r;
    MoveWindow(r);
  }
}

// ---------------------------------------------------------------------------
// CComboEdit
// ---------------------------------------------------------------------------

CInPlaceList* CComboEdit::combo() const { return dynamic_cast<CInPlaceList*>(GetParent()); }

bool CComboEdit::PreTranslateMessage(ui::Msg* msg) {
  // Keys are handled here at once, before any dialog navigation sees them.
  if (msg->message == ui::wm::KeyDown || msg->message == ui::wm::KeyUp) {
    SendMessage(msg->message, msg->wParam, msg->lParam);
    return true;
  }
  if (msg->message == ui::wm::SysChar) return true;
  return ui::Edit::PreTranslateMessage(msg);
}

ui::LResult CComboEdit::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::KeyDown:
      if (isNavigationKey(unsigned(wp)) && ctrlDown() && GetDlgCtrlID() == int(GRID_COMBO_EDIT_ID)) {
        if (CInPlaceList* c = combo()) return c->SendMessage(msg, wp, lp);
      }
      break;
    case ui::wm::KeyUp:
      if (wp == ui::vk::Tab || wp == ui::vk::Return || wp == ui::vk::Escape) {
        if (CInPlaceList* c = combo()) return c->SendMessage(msg, wp, lp);
      }
      break;
    case ui::wm::SysChar:
      return 0;
    case ui::wm::KillFocus: {
      const ui::LResult r = ui::Edit::WindowProc(msg, wp, lp);
      if (CInPlaceList* c = combo()) c->EndEdit();
      return r;
    }
    default:
      break;
  }
  return ui::Edit::WindowProc(msg, wp, lp);
}

void CComboEdit::PostNcDestroy() {}  // a member of its combo box

// ---------------------------------------------------------------------------
// CInPlaceList
// ---------------------------------------------------------------------------

CInPlaceList::CInPlaceList(ui::Wnd* parent, ui::Rect rect, unsigned style, unsigned id, int row, int col,
                           const std::vector<std::wstring>& items, const std::wstring& text, unsigned key)
    : initialText_(text), row_(row), col_(col) {
  // Room for the selection field, four items and a horizontal scroll bar.
  const int h = rect.Height();
  rect.bottom += ui::GetSystemMetrics(ui::sm::CyHScroll) + dropDownItems_ * h;
  const unsigned fullStyle =
      style | ui::ws::Child | ui::ws::Visible | ui::ws::Border | ui::ws::VScroll | ui::cbs::AutoHScroll;
  if (!Create(fullStyle, rect, parent, id)) return;
  for (const auto& item : items) AddString(item);

  // As wide as the widest item with a space on either side and a scroll bar.
  ui::LogFont lf = parent->effectiveFont();
  if (ui::Font* f = parent->GetFont()) lf = f->logFont();
  int widest = 0;
  for (const auto& item : items) widest = std::max(widest, int(ui::TextExtent(lf, item).cx));
  const int w = widest + 2 * int(ui::TextExtent(lf, L" ").cx) + ui::GetSystemMetrics(ui::sm::CxVScroll);
  if (rect.Width() < w) rect.right = rect.left + w;
  MoveWindow(rect);

  SetFont(parent->GetFont());
  SetItemHeight(-1, unsigned(std::max(0, h)));
  SetDroppedWidth(unsigned(w));
  SetHorizontalExtent(0);

  // The cell's own item is selected; a text that merely begins an item is not
  // replaced by it, so opening and leaving the cell never changes it.
  int match = -1;
  for (int i = 0; i < int(items.size()); ++i) {
    if (items[i] == text) {
      match = i;
      break;
    }
  }
  if (match >= 0) {
    SetCurSel(match);
  } else if ((style & ui::cbs::TypeMask) != ui::cbs::DropDownList) {
    SetWindowText(text);
  }

  if ((style & ui::cbs::TypeMask) == ui::cbs::DropDownList) {
    SetFocus();
    return;
  }
  ui::Edit* field = editField();
  if (field && edit_.SubclassWindow(field->GetSafeHwnd())) {
    edit_.SetFocus();
    const int len = int(edit_.GetWindowText().size());
    switch (key) {
      case ui::vk::LButton:
      case ui::vk::Return:
        edit_.SetSel(len, len);
        break;
      case ui::vk::Back:
        edit_.SetSel(len, len);
        edit_.SendMessage(ui::wm::Char, ui::vk::Back, 0);
        break;
      default:
        edit_.SetSel(0, -1);
        if (!(key >= ui::vk::Prior && key <= ui::vk::Down)) edit_.SendMessage(ui::wm::Char, key, 0);
        break;
    }
  } else {
    SetFocus();
  }
}

CInPlaceList::~CInPlaceList() = default;

void CInPlaceList::endWithKey(unsigned key) {
  lastKey_ = key;
  focusGrid(this);
}

void CInPlaceList::EndEdit() {
  if (ending_) return;
  ending_ = true;
  const std::wstring text = currentText();
  reportEnd(this, row_, col_, text, lastKey_);
  PostMessage(ui::wm::Close);
}

ui::LResult CInPlaceList::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::KeyDown:
      if (isNavigationKey(unsigned(wp)) && ctrlDown()) {
        endWithKey(unsigned(wp));
        return 0;
      }
      break;
    case ui::wm::KeyUp:
      if (wp == ui::vk::Escape) {
        // The text the cell had comes back.
        int match = -1;
        for (int i = 0; i < GetCount(); ++i) {
          if (GetLBText(i) == initialText_) {
            match = i;
            break;
          }
        }
        if (match >= 0) {
          SetCurSel(match);
        } else {
          SetCurSel(-1);
          if (typeOf() != ui::cbs::DropDownList) SetWindowText(initialText_);
        }
      }
      if (wp == ui::vk::Escape || wp == ui::vk::Tab || wp == ui::vk::Return) {
        endWithKey(unsigned(wp));
        return 0;
      }
      break;
    case ui::wm::KillFocus: {
      const ui::LResult r = ui::ComboBox::WindowProc(msg, wp, lp);
      const ui::Hwnd to = ui::HwndFromParam(std::intptr_t(wp));
      if (typeOf() == ui::cbs::DropDownList && to != GetSafeHwnd()) EndEdit();
      return r;
    }
    default:
      break;
  }
  return ui::ComboBox::WindowProc(msg, wp, lp);
}

void CInPlaceList::PostNcDestroy() { delete this; }
