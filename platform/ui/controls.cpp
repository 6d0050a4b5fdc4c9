// Static, edit, button, combo box, list box, header, tab, progress and
// scroll-bar controls, and the registration of the built-in classes.
#include "platform/ui/keep_alive.h"
#include "platform/ui/controls.h"

#include <algorithm>
#include <cwctype>

#include "platform/ui/detail.h"
#include "platform/ui/ole.h"

namespace ui {

namespace {

void sendCommand(Wnd* ctl, unsigned code) {
  if (!ctl || !ctl->m_hWnd) return;
  KeepAlive keep(ctl);
  if (!(ctl->GetStyle() & ws::Child)) return;
  Wnd* parent = ctl->GetParent();
  if (!parent) return;
  parent->SendMessage(wm::Command, MakeWParam(unsigned(ctl->GetDlgCtrlID()), code), ToLParam(ctl->m_hWnd));
}

// Asks the parent for the colours and brush of a control's background.
Brush* ctlColor(Wnd* ctl, DC& dc, MsgId kind) {
  Wnd* parent = ctl->GetParent();
  LResult r = parent ? parent->SendMessage(kind, ToWParam(&dc), ToLParam(ctl->m_hWnd))
                     : ui::DefWindowProc(ctl->m_hWnd, kind, ToWParam(&dc), ToLParam(ctl->m_hWnd));
  return reinterpret_cast<Brush*>(r);
}

void frame(DC& dc, const Rect& r, Color c) {
  Brush b(c);
  dc.FrameRect(r, &b);
}

// The string a message carries in its LParam ("" for none).
std::wstring_view lpText(LParam lp) { return std::wstring_view(lp ? reinterpret_cast<const wchar_t*>(lp) : L""); }

int findIn(const std::vector<ListEntry>& items, int after, std::wstring_view text, bool exact) {
  int n = int(items.size());
  if (n == 0) return -1;
  int start = (after < -1 || after >= n) ? 0 : after + 1;
  for (int k = 0; k < n; ++k) {
    int i = (start + k) % n;
    const auto& t = items[size_t(i)].text;
    if (exact ? detail::iequalsW(t, text) : detail::istartsWith(t, text)) return i;
  }
  return -1;
}

int sortedPlace(const std::vector<ListEntry>& items, std::wstring_view text) {
  std::wstring key = detail::lowerW(text);
  int i = 0;
  for (; i < int(items.size()); ++i)
    if (detail::lowerW(items[size_t(i)].text) > key) break;
  return i;
}

template <class T>
Wnd* makeControl() {
  return new T;
}

}  // namespace

void registerControlClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  auto reg = [](const std::wstring& name, std::function<Wnd*()> f, unsigned style = 0) {
    WindowClass wc;
    wc.name = name;
    wc.factory = std::move(f);
    wc.style = style;
    RegisterWindowClass(wc);
  };
  reg(class_name::Static, makeControl<Static>);
  reg(class_name::Edit, makeControl<Edit>, cs::DblClks);
  reg(class_name::Button, makeControl<Button>, cs::DblClks);
  reg(class_name::ComboBox, makeControl<ComboBox>, cs::DblClks);
  reg(class_name::ListBox, makeControl<ListBox>, cs::DblClks);
  reg(class_name::ListView, makeControl<ListCtrl>, cs::DblClks);
  reg(class_name::TreeView, makeControl<TreeCtrl>, cs::DblClks);
  reg(class_name::TabControl, makeControl<TabCtrl>);
  reg(class_name::Progress, makeControl<ProgressCtrl>);
  reg(class_name::ScrollBar, makeControl<ScrollBar>);
  reg(class_name::Header, makeControl<HeaderCtrl>);
  WindowClass dlg;
  dlg.name = class_name::Dialog;
  dlg.background = color::BtnFace + 1;
  RegisterWindowClass(dlg);
}

// ---------------------------------------------------------------------------
// Static
// ---------------------------------------------------------------------------
bool Static::Create(const std::wstring& text, unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::Static, text, style, r, parent, id);
}

Bitmap* Static::SetBitmap(Bitmap* bmp) {
  Bitmap* old = bitmap_;
  bitmap_ = bmp;
  if (bmp) imagePath_ = bmp->path();
  Invalidate();
  return old;
}

void Static::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<Static*>(&previous)) {
    bitmap_ = p->bitmap_;
    imagePath_ = p->imagePath_;
  }
}

void Static::paintStatic(DC& dc) {
  Rect c = clientRect();
  Brush* bg = ctlColor(this, dc, wm::CtlColorStatic);
  unsigned type = GetStyle() & ss::TypeMask;
  switch (type) {
    case ss::BlackRect: dc.FillSolidRect(c, RGB(0, 0, 0)); return;
    case ss::GrayRect: dc.FillSolidRect(c, GetSysColor(color::BtnShadow)); return;
    case ss::WhiteRect: dc.FillSolidRect(c, RGB(255, 255, 255)); return;
    case ss::BlackFrame: frame(dc, c, RGB(0, 0, 0)); return;
    case ss::GrayFrame: frame(dc, c, GetSysColor(color::BtnShadow)); return;
    case ss::WhiteFrame: frame(dc, c, RGB(255, 255, 255)); return;
    case ss::EtchedFrame: {
      Rect r = c;
      dc.DrawEdge(&r, edge::Etched, bf::Rect);
      return;
    }
    case ss::EtchedHorz: dc.FillSolidRect(c.left, c.top, c.Width(), 1, GetSysColor(color::BtnShadow)); return;
    case ss::EtchedVert: dc.FillSolidRect(c.left, c.top, 1, c.Height(), GetSysColor(color::BtnShadow)); return;
    case ss::Bitmap:
    case ss::Icon:
      if (!imagePath_.empty()) dc.DrawImage(c, imagePath_);
      return;
    case ss::OwnerDraw: {
      DrawItemStruct dis;
      dis.CtlType = odt::Static;
      dis.CtlID = unsigned(GetDlgCtrlID());
      dis.itemAction = oda::DrawEntire;
      dis.hwndItem = m_hWnd;
      dis.hDC = &dc;
      dis.rcItem = c;
      if (Wnd* p = GetParent()) p->SendMessage(wm::DrawItem, WParam(dis.CtlID), ToLParam(&dis));
      return;
    }
  }
  if (bg && dc.GetBkMode() == bkmode::Opaque) dc.FillRect(c, bg);
  unsigned fmt = dt::WordBreak | ((GetStyle() & ss::NoPrefix) ? dt::NoPrefix : 0);
  if (type == ss::Center) fmt |= dt::Center;
  if (type == ss::Right) fmt |= dt::Right;
  if (type == ss::Simple) fmt = dt::SingleLine;
  if (!IsWindowEnabled()) dc.SetTextColor(GetSysColor(color::GrayText));
  dc.DrawText(GetWindowText(), c, fmt);
}

LResult Static::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case wm::Paint: {
      PaintDC dc(this);
      paintStatic(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::NcHitTest:
      return (GetStyle() & ss::Notify) ? Wnd::WindowProc(msg, wp, lp) : LResult(ht::Transparent);
    case wm::LButtonDown:
      if (GetStyle() & ss::Notify) sendCommand(this, stn::Clicked);
      return 0;
    case wm::LButtonDblClk:
      if (GetStyle() & ss::Notify) sendCommand(this, stn::DblClk);
      return 0;
    case wm::GetDlgCode: return dlgc::Static;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Edit
// ---------------------------------------------------------------------------
bool Edit::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::Edit, L"", style, r, parent, id);
}

void Edit::notify(unsigned code) { sendCommand(this, code); }

void Edit::SetSel(int start, int end, bool) {
  int n = GetWindowTextLength();
  if (start == -1) {
    selStart_ = selEnd_ = n;  // no selection, caret at the end
    return;
  }
  if (end == -1 || end > n) end = n;
  start = std::clamp(start, 0, n);
  end = std::clamp(end, 0, n);
  selStart_ = std::min(start, end);
  selEnd_ = std::max(start, end);
}

void Edit::GetSel(int& start, int& end) const {
  start = selStart_;
  end = selEnd_;
}

std::uint32_t Edit::GetSel() const { return std::uint32_t(MakeLParam(selStart_, selEnd_)); }

void Edit::applyText(std::wstring text, bool notifyChange) {
  std::wstring old = GetWindowText();
  ui::DefWindowProc(m_hWnd, wm::SetText, 0, ToLParam(text.c_str()));
  if (old != text) {
    undo_ = old;
    modified_ = true;
  }
  if (notifyChange && old != text) {
    notify(en::Update);
    notify(en::Change);
  }
}

void Edit::ReplaceSel(std::wstring_view text, bool) {
  std::wstring t = GetWindowText();
  int s = std::clamp(selStart_, 0, int(t.size())), e = std::clamp(selEnd_, 0, int(t.size()));
  std::wstring ins(text);
  if (!(GetStyle() & es::Multiline)) {
    ins.erase(std::remove_if(ins.begin(), ins.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }), ins.end());
  }
  if (GetStyle() & es::Uppercase)
    for (auto& c : ins) c = wchar_t(std::towupper(c));
  if (GetStyle() & es::Lowercase)
    for (auto& c : ins) c = wchar_t(std::towlower(c));
  if (limit_ > 0) {
    int room = limit_ - (int(t.size()) - (e - s));
    if (room < int(ins.size())) {
      ins.resize(size_t(std::max(0, room)));
      notify(en::MaxText);
    }
  }
  t.replace(size_t(s), size_t(e - s), ins);
  applyText(t, true);
  selStart_ = selEnd_ = s + int(ins.size());
}

bool Edit::SetReadOnly(bool ro) {
  ModifyStyle(ro ? 0 : es::ReadOnly, ro ? es::ReadOnly : 0);
  Invalidate();
  return true;
}
bool Edit::isReadOnly() const { return GetStyle() & es::ReadOnly; }
void Edit::LimitText(int chars) { limit_ = std::max(0, chars); }

int Edit::GetLineCount() const {
  std::wstring t = GetWindowText();
  if (!(GetStyle() & es::Multiline)) return 1;
  return int(std::count(t.begin(), t.end(), L'\n')) + 1;
}

std::wstring Edit::GetLine(int index) const {
  std::wstring t = GetWindowText();
  int line = 0;
  std::wstring cur;
  for (wchar_t c : t) {
    if (c == L'\n') {
      if (line == index) break;
      ++line;
      cur.clear();
      continue;
    }
    if (c != L'\r') cur += c;
  }
  if (line != index) return {};
  return cur;
}

bool Edit::Undo() {
  if (!undo_) return false;
  std::wstring u = *undo_;
  applyText(u, true);
  SetSel(0, -1);
  return true;
}

void Edit::Clear() {
  if (isReadOnly() || selStart_ == selEnd_) return;
  ReplaceSel(L"");
}
void Edit::Copy() {
  if (selStart_ == selEnd_ || (GetStyle() & es::Password)) return;
  std::wstring t = GetWindowText();
  setClipboardText(t.substr(size_t(selStart_), size_t(selEnd_ - selStart_)));
}
void Edit::Cut() {
  if (isReadOnly()) return;
  Copy();
  Clear();
}
void Edit::Paste() {
  if (isReadOnly()) return;
  if (auto t = clipboardText()) ReplaceSel(*t);
}

bool Edit::userType(std::wstring_view text) {
  KeepAlive keep(this);
  if (!IsWindowEnabled() || isReadOnly()) return false;
  if (GetStyle() & es::Number)
    for (wchar_t c : text)
      if (c < L'0' || c > L'9') return false;
  ReplaceSel(text);
  return true;
}

bool Edit::userSetText(std::wstring_view text) {
  KeepAlive keep(this);
  if (!IsWindowEnabled() || isReadOnly()) return false;
  SetSel(0, -1);
  ReplaceSel(text);
  return true;
}

void Edit::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<Edit*>(&previous)) {
    selStart_ = p->selStart_;
    selEnd_ = p->selEnd_;
    limit_ = p->limit_;
    modified_ = p->modified_;
    undo_ = p->undo_;
  }
}

void Edit::paintEdit(DC& dc) {
  Rect c = clientRect();
  bool ro = isReadOnly() || !IsWindowEnabled();
  Brush* bg = ctlColor(this, dc, ro ? wm::CtlColorStatic : wm::CtlColorEdit);
  if (bg) dc.FillRect(c, bg);
  std::wstring t = GetWindowText();
  if (GetStyle() & es::Password) t.assign(t.size(), L'*');
  unsigned fmt = dt::NoPrefix | dt::EditControl;
  if (!(GetStyle() & es::Multiline)) fmt |= dt::SingleLine | dt::VCenter;
  else fmt |= dt::WordBreak;
  unsigned align = GetStyle() & (es::Center | es::Right);
  if (align == es::Center) fmt |= dt::Center;
  if (align == es::Right) fmt |= dt::Right;
  if (!IsWindowEnabled()) dc.SetTextColor(GetSysColor(color::GrayText));
  dc.SetBkMode(bkmode::Transparent);
  Rect tr = c;
  tr.DeflateRect(2, 1);
  dc.DrawText(t, tr, fmt);
}

LResult Edit::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case wm::SetText: {
      const wchar_t* t = reinterpret_cast<const wchar_t*>(lp);
      std::wstring old = GetWindowText();
      LResult r = ui::DefWindowProc(m_hWnd, msg, wp, lp);
      selStart_ = selEnd_ = 0;
      modified_ = false;
      undo_.reset();
      if (!(GetStyle() & es::Multiline) && old != (t ? t : L"")) {
        notify(en::Update);
        notify(en::Change);
      }
      return r;
    }
    case em::GetSel:
      if (wp) *reinterpret_cast<unsigned*>(wp) = unsigned(selStart_);
      if (lp) *reinterpret_cast<unsigned*>(lp) = unsigned(selEnd_);
      return LResult(GetSel());
    case em::SetSel: SetSel(int(std::intptr_t(wp)), int(lp)); return 0;
    case em::ReplaceSel: {
      const wchar_t* t = reinterpret_cast<const wchar_t*>(lp);
      ReplaceSel(t ? t : L"", wp != 0);
      return 0;
    }
    case em::LimitText: LimitText(int(wp)); return 0;
    case em::GetLimitText: return limit_ ? limit_ : 30000;
    case em::GetLineCount: return GetLineCount();
    case em::SetReadOnly: SetReadOnly(wp != 0); return 1;
    case em::GetModify: return modified_ ? 1 : 0;
    case em::SetModify: modified_ = wp != 0; return 0;
    case em::CanUndo: return CanUndo() ? 1 : 0;
    case em::Undo: return Undo() ? 1 : 0;
    case wm::Paint: {
      PaintDC dc(this);
      paintEdit(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: {
      unsigned code = dlgc::WantChars | dlgc::HasSetSel | dlgc::WantArrows;
      if ((GetStyle() & es::Multiline) && (GetStyle() & es::WantReturn)) code |= dlgc::WantAllKeys;
      return code;
    }
    case wm::SetFocus: Wnd::WindowProc(msg, wp, lp); notify(en::SetFocus); return 0;
    case wm::KillFocus: Wnd::WindowProc(msg, wp, lp); notify(en::KillFocus); return 0;
    case wm::LButtonDown: SetFocus(); return 0;
    case wm::Char: {
      wchar_t ch = wchar_t(wp);
      if (isReadOnly()) return 0;
      if (ch == 8) {  // backspace
        if (selStart_ == selEnd_ && selStart_ > 0) --selStart_;
        ReplaceSel(L"");
        return 0;
      }
      if (ch == 1) {  // Ctrl+A
        SetSel(0, -1);
        return 0;
      }
      if (ch == 3) { Copy(); return 0; }
      if (ch == 22) { Paste(); return 0; }
      if (ch == 24) { Cut(); return 0; }
      if (ch == L'\r' && !(GetStyle() & es::Multiline)) return 0;
      if (ch == L'\r') ch = L'\n';
      if (ch < 0x20 && ch != L'\n' && ch != L'\t') return 0;
      if ((GetStyle() & es::Number) && (ch < L'0' || ch > L'9')) return 0;
      ReplaceSel(std::wstring(1, ch));
      return 0;
    }
    case wm::KeyDown: {
      int n = GetWindowTextLength();
      switch (wp) {
        case vk::Delete:
          if (isReadOnly()) return 0;
          if (selStart_ == selEnd_ && selEnd_ < n) ++selEnd_;
          ReplaceSel(L"");
          return 0;
        case vk::Left: selStart_ = selEnd_ = std::max(0, selStart_ - (selStart_ == selEnd_ ? 1 : 0)); return 0;
        case vk::Right: selStart_ = selEnd_ = std::min(n, selEnd_ + (selStart_ == selEnd_ ? 1 : 0)); return 0;
        case vk::Home: selStart_ = selEnd_ = 0; return 0;
        case vk::End: selStart_ = selEnd_ = n; return 0;
      }
      break;
    }
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Button
// ---------------------------------------------------------------------------
bool Button::Create(const std::wstring& text, unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::Button, text, style, r, parent, id);
}

void Button::SetCheck(int check) {
  unsigned t = typeOf();
  if (t == bs::PushButton || t == bs::DefPushButton || t == bs::GroupBox || t == bs::OwnerDraw) {
    // Push buttons hold a check only with bs::PushLike; the value is kept anyway.
  }
  if (t != bs::ThreeState && t != bs::Auto3State && check == BST_INDETERMINATE) check = BST_CHECKED;
  check_ = check;
  Invalidate();
}

unsigned Button::GetState() const { return unsigned(check_) | (pushed_ ? BST_PUSHED : 0) | (GetFocus() == this ? BST_FOCUS : 0); }
void Button::SetState(bool pushed) {
  pushed_ = pushed;
  Invalidate();
}
unsigned Button::GetButtonStyle() const { return GetStyle() & 0xFFFF; }
void Button::SetButtonStyle(unsigned style, bool redraw) {
  ModifyStyle(0xFFFF, style & 0xFFFF);
  if (redraw) Invalidate();
}
Bitmap* Button::SetBitmap(Bitmap* bmp) {
  Bitmap* old = bitmap_;
  bitmap_ = bmp;
  Invalidate();
  return old;
}

bool Button::userClick() {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled()) return false;
  unsigned t = typeOf();
  if (t == bs::GroupBox) return false;
  if (IsWindowVisible() && (GetStyle() & ws::TabStop)) SetFocus();
  if (!m_hWnd) return false;
  if (t == bs::AutoCheckBox)
    SetCheck(check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  else if (t == bs::Auto3State)
    SetCheck((check_ + 1) % 3);
  else if (t == bs::AutoRadioButton) {
    SetCheck(BST_CHECKED);
    if (Wnd* parent = GetParent()) {
      // Clear the other radio buttons of the group.
      for (Wnd* w = parent->GetNextDlgGroupItem(this); w && w != this; w = parent->GetNextDlgGroupItem(w)) {
        auto* b = dynamic_cast<Button*>(w);
        if (b && (b->typeOf() == bs::AutoRadioButton || b->typeOf() == bs::RadioButton)) b->SetCheck(BST_UNCHECKED);
      }
    }
  }
  sendCommand(this, bn::Clicked);
  return true;
}

void Button::DrawItem(DrawItemStruct*) {}

bool Button::OnChildNotify(MsgId msg, WParam, LParam lp, LResult* result) {
  if (msg == wm::DrawItem && typeOf() == bs::OwnerDraw) {
    DrawItem(reinterpret_cast<DrawItemStruct*>(lp));
    if (result) *result = 1;
    return true;
  }
  return false;
}

void Button::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<Button*>(&previous)) {
    check_ = p->check_;
    pushed_ = p->pushed_;
    bitmap_ = p->bitmap_;
  }
}

void Button::paintButton(DC& dc) {
  Rect c = clientRect();
  unsigned t = typeOf();
  Brush* bg = ctlColor(this, dc, wm::CtlColorBtn);
  if (t == bs::OwnerDraw) {
    DrawItemStruct dis;
    dis.CtlType = odt::Button;
    dis.CtlID = unsigned(GetDlgCtrlID());
    dis.itemAction = oda::DrawEntire;
    dis.itemState = (pushed_ ? ods::Selected : 0) | (IsWindowEnabled() ? 0 : ods::Disabled) |
                    (GetFocus() == this ? ods::Focus : 0);
    dis.hwndItem = m_hWnd;
    dis.hDC = &dc;
    dis.rcItem = c;
    if (Wnd* p = GetParent()) p->SendMessage(wm::DrawItem, WParam(dis.CtlID), ToLParam(&dis));
    return;
  }
  if (!IsWindowEnabled()) dc.SetTextColor(GetSysColor(color::GrayText));
  dc.SetBkMode(bkmode::Transparent);
  std::wstring text = GetWindowText();
  if (t == bs::GroupBox) {
    Rect r = c;
    r.top += FontPixelHeight(dc.currentFont()) / 2;
    dc.DrawEdge(&r, edge::Etched, bf::Rect);
    Size ext = dc.GetTextExtent(text);
    Rect tr(c.left + 8, c.top, c.left + 8 + ext.cx + 4, c.top + ext.cy);
    dc.FillSolidRect(tr, GetSysColor(color::BtnFace));
    dc.DrawText(text, tr, dt::SingleLine | dt::Center);
    return;
  }
  if (t == bs::CheckBox || t == bs::AutoCheckBox || t == bs::ThreeState || t == bs::Auto3State ||
      t == bs::RadioButton || t == bs::AutoRadioButton) {
    if (bg) dc.FillRect(c, bg);
    int box = 13;
    Rect br(c.left, c.top + (c.Height() - box) / 2, c.left + box, c.top + (c.Height() - box) / 2 + box);
    bool radio = t == bs::RadioButton || t == bs::AutoRadioButton;
    if (radio) {
      dc.SelectStockObject(stock::WhiteBrush);
      dc.Ellipse(br);
      if (check_ == BST_CHECKED) {
        Rect dot = br;
        dot.DeflateRect(4, 4);
        Brush black(RGB(0, 0, 0));
        dc.SelectObject(&black);
        dc.Ellipse(dot);
      }
    } else {
      dc.FillSolidRect(br, RGB(255, 255, 255));
      frame(dc, br, GetSysColor(color::BtnShadow));
      if (check_ == BST_CHECKED) {
        Pen pen(ps::Solid, 2, RGB(0, 0, 0));
        dc.SelectObject(&pen);
        dc.MoveTo(br.left + 3, br.top + 6);
        dc.LineTo(br.left + 5, br.top + 9);
        dc.LineTo(br.left + 10, br.top + 3);
      } else if (check_ == BST_INDETERMINATE) {
        Rect in = br;
        in.DeflateRect(3, 3);
        dc.FillSolidRect(in, GetSysColor(color::BtnShadow));
      }
    }
    Rect tr(br.right + 4, c.top, c.right, c.bottom);
    dc.DrawText(text, tr, dt::SingleLine | dt::VCenter);
    return;
  }
  // Push buttons.
  dc.FillSolidRect(c, GetSysColor(color::BtnFace));
  Rect r = c;
  dc.DrawEdge(&r, pushed_ ? edge::Sunken : edge::Raised, bf::Rect);
  if (t == bs::DefPushButton) frame(dc, c, RGB(0, 0, 0));
  if (bitmap_ && !bitmap_->path().empty()) {
    Size s = bitmap_->GetSize();
    Rect ir(c.CenterPoint().x - s.cx / 2, c.CenterPoint().y - s.cy / 2, 0, 0);
    ir.right = ir.left + s.cx;
    ir.bottom = ir.top + s.cy;
    dc.DrawImage(ir, bitmap_->path());
  } else {
    dc.DrawText(text, c, dt::SingleLine | dt::VCenter | dt::Center);
  }
  if (GetFocus() == this) {
    Rect f = c;
    f.DeflateRect(3, 3);
    dc.DrawFocusRect(f);
  }
}

LResult Button::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case bm::GetCheck: return check_;
    case bm::SetCheck: SetCheck(int(wp)); return 0;
    case bm::GetState: return GetState();
    case bm::SetState: SetState(wp != 0); return 0;
    case bm::SetStyle: SetButtonStyle(unsigned(wp), lp != 0); return 0;
    case bm::Click: userClick(); return 0;
    case bm::SetImage: return reinterpret_cast<LResult>(SetBitmap(reinterpret_cast<Bitmap*>(lp)));
    case bm::GetImage: return reinterpret_cast<LResult>(bitmap_);
    case wm::Paint: {
      PaintDC dc(this);
      paintButton(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: {
      unsigned t = typeOf();
      if (t == bs::DefPushButton) return dlgc::Button | dlgc::DefPushButton;
      if (t == bs::PushButton) return dlgc::Button | dlgc::UndefPushButton;
      if (t == bs::RadioButton || t == bs::AutoRadioButton) return dlgc::Button | dlgc::RadioButton;
      if (t == bs::GroupBox) return dlgc::Static;
      return dlgc::Button;
    }
    case wm::LButtonDown:
    case wm::LButtonDblClk:
      if (!IsWindowEnabled()) return 0;
      SetCapture();
      SetState(true);
      return 0;
    case wm::LButtonUp: {
      bool wasPushed = pushed_;
      SetState(false);
      if (GetCapture() == this) ReleaseCapture();
      if (wasPushed && clientRect().PtInRect(PointFromLParam(lp))) userClick();
      return 0;
    }
    case wm::KeyUp:
      if (wp == vk::Space) userClick();
      return 0;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Combo box
// ---------------------------------------------------------------------------
int ItemListWnd::FindString(int after, std::wstring_view prefix) const { return findIn(items_, after, prefix, false); }
int ItemListWnd::FindStringExact(int after, std::wstring_view text) const { return findIn(items_, after, text, true); }
int ItemListWnd::SetItemData(int index, std::uintptr_t d) {
  if (!inRange(index)) return -1;
  items_[size_t(index)].data = d;
  return 0;
}
std::uintptr_t ItemListWnd::GetItemData(int index) const {
  if (!inRange(index)) return std::uintptr_t(-1);
  return items_[size_t(index)].data;
}
void ItemListWnd::DrawItem(DrawItemStruct*) {}
void ItemListWnd::MeasureItem(MeasureItemStruct*) {}

int ItemListWnd::addItem(std::wstring_view text, bool sorted) {
  int at = sorted ? sortedPlace(items_, text) : int(items_.size());
  items_.insert(items_.begin() + at, ListEntry{std::wstring(text)});
  if (cur_ >= at) ++cur_;
  Invalidate();
  return at;
}
int ItemListWnd::insertItem(int index, std::wstring_view text) {
  if (index < -1 || index > int(items_.size())) return -1;
  if (index == -1) index = int(items_.size());
  items_.insert(items_.begin() + index, ListEntry{std::wstring(text)});
  if (cur_ >= index) ++cur_;
  Invalidate();
  return index;
}
bool ItemListWnd::eraseItem(int index) {
  items_.erase(items_.begin() + index);
  if (cur_ == index) {
    cur_ = -1;
    return true;
  }
  if (cur_ > index) --cur_;
  return false;
}
int ItemListWnd::itemText(int index, std::wstring& out) const {
  if (!inRange(index)) return -1;
  out = items_[size_t(index)].text;
  return int(out.size());
}
int ItemListWnd::itemTextLen(int index) const {
  if (!inRange(index)) return -1;
  return int(items_[size_t(index)].text.size());
}
LResult ItemListWnd::copyItemText(int index, LParam lp) const {
  if (!inRange(index)) return -1;
  auto* buf = reinterpret_cast<wchar_t*>(lp);
  const auto& t = items_[size_t(index)].text;
  if (buf) {
    std::copy(t.begin(), t.end(), buf);
    buf[t.size()] = 0;
  }
  return LResult(t.size());
}
bool ItemListWnd::ownerDrawNotify(MsgId msg, LParam lp, LResult* result) {
  if (msg == wm::DrawItem) {
    DrawItem(reinterpret_cast<DrawItemStruct*>(lp));
    if (result) *result = 1;
    return true;
  }
  if (msg == wm::MeasureItem) {
    MeasureItem(reinterpret_cast<MeasureItemStruct*>(lp));
    if (result) *result = 1;
    return true;
  }
  return false;
}

bool ComboBox::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::ComboBox, L"", style, r, parent, id);
}

void ComboBox::notify(unsigned code) { sendCommand(this, code); }

bool ComboBox::PreCreateWindow(CreateStruct& cs) {
  if ((cs.style & cbs::TypeMask) != cbs::Simple) {
    droppedHeight_ = cs.cy;
    int field = FontPixelHeight(LogFont{}) + 8;
    if (fieldHeight_ > 0) field = fieldHeight_;
    cs.cy = std::min(cs.cy > 0 ? cs.cy : field, field);
    cs.style &= ~(ws::VScroll | ws::HScroll);  // those belong to the open list
  }
  return Wnd::PreCreateWindow(cs);
}

Edit* ComboBox::editField() const {
  if (typeOf() == cbs::DropDownList) return nullptr;
  return dynamic_cast<Edit*>(GetDlgItem(1001));
}

void ComboBox::syncEdit() {
  if (Edit* e = editField()) {
    syncing_ = true;
    e->SetWindowText(cur_ >= 0 ? items_[size_t(cur_)].text : std::wstring());
    e->SetSel(0, -1);
    syncing_ = false;
  }
  Invalidate();
}

std::wstring ComboBox::currentText() const {
  if (Edit* e = editField()) return e->GetWindowText();
  return cur_ >= 0 && cur_ < int(items_.size()) ? items_[size_t(cur_)].text : std::wstring();
}

int ComboBox::AddString(std::wstring_view text) { return addItem(text, GetStyle() & cbs::Sort); }

int ComboBox::InsertString(int index, std::wstring_view text) { return insertItem(index, text); }

int ComboBox::DeleteString(int index) {
  if (!inRange(index)) return cb::Err;
  if (eraseItem(index)) syncEdit();
  Invalidate();
  return int(items_.size());
}

void ComboBox::ResetContent() {
  items_.clear();
  cur_ = -1;
  syncEdit();
}

int ComboBox::SetCurSel(int index) {
  if (index < -1 || index >= int(items_.size())) {
    cur_ = -1;
    syncEdit();
    return cb::Err;
  }
  cur_ = index;
  syncEdit();
  return index;
}

int ComboBox::GetLBText(int index, std::wstring& out) const { return itemText(index, out); }
std::wstring ComboBox::GetLBText(int index) const {
  std::wstring s;
  GetLBText(index, s);
  return s;
}
int ComboBox::GetLBTextLen(int index) const { return itemTextLen(index); }
int ComboBox::SelectString(int after, std::wstring_view prefix) {
  int i = FindString(after, prefix);
  if (i < 0) return cb::Err;
  SetCurSel(i);
  return i;
}
int ComboBox::SetItemHeight(int index, unsigned h) {
  if (index == -1)
    fieldHeight_ = int(h);
  else
    itemHeight_ = int(h);
  Invalidate();
  return 0;
}
int ComboBox::GetItemHeight(int index) const {
  int def = FontPixelHeight(effectiveFont()) + 2;
  if (index == -1) return fieldHeight_ > 0 ? fieldHeight_ : def + 4;
  return itemHeight_ > 0 ? itemHeight_ : def;
}
int ComboBox::SetDroppedWidth(unsigned w) {
  droppedWidth_ = w;
  return int(std::max<unsigned>(w, unsigned(windowRect().Width())));
}
int ComboBox::GetDroppedWidth() const { return int(std::max<unsigned>(droppedWidth_, unsigned(windowRect().Width()))); }

void ComboBox::ShowDropDown(bool show) {
  if (show == dropped_) return;
  KeepAlive keep(this);
  const Hwnd h = m_hWnd;
  dropped_ = show;
  notify(show ? cbn::DropDown : cbn::CloseUp);
  // The handler may have bound another object to the combo.
  if (Wnd* serving = IsWindow(h) ? FromHandle(h) : nullptr) serving->Invalidate();
}

bool ComboBox::LimitText(int chars) {
  limit_ = chars;
  if (Edit* e = editField()) e->LimitText(chars);
  return true;
}
bool ComboBox::SetEditSel(int s, int e) {
  Edit* ed = editField();
  if (!ed) return false;
  ed->SetSel(s, e);
  return true;
}
std::uint32_t ComboBox::GetEditSel() const {
  Edit* ed = editField();
  return ed ? ed->GetSel() : 0;
}

int ComboBox::CompareItem(const std::wstring& a, const std::wstring& b) const {
  std::wstring la = detail::lowerW(a), lb = detail::lowerW(b);
  return la < lb ? -1 : la > lb ? 1 : 0;
}

bool ComboBox::userSelect(int index) {
  if (!m_hWnd || !IsWindowEnabled() || index < 0 || index >= int(items_.size())) return false;
  const Hwnd h = m_hWnd;
  KeepAlive keep(this);
  // A handler may destroy the combo, or bind an object of its own to it
  // (this one then stays alive until the selection is through): every step
  // goes to the object serving the combo at that moment.
  auto serving = [h]() -> ComboBox* { return IsWindow(h) ? dynamic_cast<ComboBox*>(FromHandle(h)) : nullptr; };
  ShowDropDown(true);
  ComboBox* c = serving();
  if (!c) return true;
  {
    KeepAlive keepServing(c);
    c->cur_ = index;
    c->syncEdit();
    c->notify(cbn::SelChange);
  }
  if (!(c = serving())) return true;
  c->notify(cbn::SelEndOk);
  if (!(c = serving())) return true;
  c->ShowDropDown(false);
  return true;
}

bool ComboBox::userSetText(std::wstring_view text) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled()) return false;
  Edit* e = editField();
  if (!e) {
    int i = FindStringExact(-1, text);
    if (i < 0) i = FindString(-1, text);
    if (i < 0) return false;
    return userSelect(i);
  }
  syncing_ = true;
  e->SetWindowText(text);
  syncing_ = false;
  cur_ = FindStringExact(-1, text);
  notify(cbn::EditUpdate);
  notify(cbn::EditChange);
  Invalidate();
  return true;
}

bool ComboBox::OnChildNotify(MsgId msg, WParam, LParam lp, LResult* result) {
  return ownerDraw() && ownerDrawNotify(msg, lp, result);
}

void ComboBox::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<ComboBox*>(&previous)) {
    items_ = p->items_;
    cur_ = p->cur_;
    itemHeight_ = p->itemHeight_;
    fieldHeight_ = p->fieldHeight_;
    droppedWidth_ = p->droppedWidth_;
    droppedHeight_ = p->droppedHeight_;
    hExtent_ = p->hExtent_;
    dropped_ = p->dropped_;
    limit_ = p->limit_;
  }
}

void ComboBox::paintCombo(DC& dc) {
  Rect c = clientRect();
  int fh = std::min(c.Height(), GetItemHeight(-1));
  Rect field(c.left, c.top, c.right, c.top + fh);
  Brush* bg = ctlColor(this, dc, wm::CtlColorEdit);
  if (bg) dc.FillRect(field, bg);
  frame(dc, field, GetSysColor(color::BtnShadow));
  int bw = GetSystemMetrics(sm::CxVScroll);
  Rect btn(field.right - bw, field.top + 1, field.right - 1, field.bottom - 1);
  dc.FillSolidRect(btn, GetSysColor(color::BtnFace));
  Point tri[3] = {{btn.left + 4, btn.top + fh / 2 - 2}, {btn.right - 4, btn.top + fh / 2 - 2}, {btn.CenterPoint().x, btn.top + fh / 2 + 2}};
  Brush black(RGB(0, 0, 0));
  dc.SelectObject(&black);
  dc.Polygon(tri, 3);
  Rect tr(field.left + 2, field.top + 1, btn.left - 1, field.bottom - 1);
  if (ownerDraw()) {
    DrawItemStruct dis;
    dis.CtlType = odt::ComboBox;
    dis.CtlID = unsigned(GetDlgCtrlID());
    dis.itemID = cur_;
    dis.itemAction = oda::DrawEntire;
    dis.itemState = ods::ComboBoxEdit | (GetFocus() == this ? ods::Focus | ods::Selected : 0) |
                    (IsWindowEnabled() ? 0 : ods::Disabled);
    dis.hwndItem = m_hWnd;
    dis.hDC = &dc;
    dis.rcItem = tr;
    dis.itemData = cur_ >= 0 ? items_[size_t(cur_)].data : 0;
    if (Wnd* p = GetParent()) p->SendMessage(wm::DrawItem, WParam(dis.CtlID), ToLParam(&dis));
  } else if (!editField()) {
    if (!IsWindowEnabled()) dc.SetTextColor(GetSysColor(color::GrayText));
    dc.SetBkMode(bkmode::Transparent);
    dc.DrawText(currentText(), tr, dt::SingleLine | dt::VCenter | dt::NoPrefix);
  }
  if (dropped_) {
    // The open list below the field, as far as the window reaches.
    int ih = GetItemHeight(0);
    Rect list(c.left, field.bottom, c.right, c.bottom);
    dc.FillSolidRect(list, GetSysColor(color::Window));
    frame(dc, list, RGB(0, 0, 0));
    for (int i = 0; i < int(items_.size()); ++i) {
      Rect ir(list.left + 1, list.top + 1 + i * ih, list.right - 1, list.top + 1 + (i + 1) * ih);
      if (ir.top >= list.bottom) break;
      if (i == cur_) {
        dc.FillSolidRect(ir, GetSysColor(color::Highlight));
        dc.SetTextColor(GetSysColor(color::HighlightText));
      } else {
        dc.SetTextColor(GetSysColor(color::WindowText));
      }
      dc.DrawText(items_[size_t(i)].text, ir, dt::SingleLine | dt::VCenter | dt::NoPrefix);
    }
  }
}

LResult ComboBox::WindowProc(MsgId msg, WParam wp, LParam lp) {
  auto text = [&]() { return lpText(lp); };
  switch (msg) {
    case wm::Create: {
      LResult r = Wnd::WindowProc(msg, wp, lp);
      if (typeOf() != cbs::DropDownList) {
        Rect c = clientRect();
        int fh = std::min(c.Height(), GetItemHeight(-1));
        Rect er(1, 1, std::max(1, c.right - GetSystemMetrics(sm::CxVScroll) - 1), std::max(1, fh - 1));
        CreateWindowEx(0, class_name::Edit, L"", ws::Child | ws::Visible | es::AutoHScroll, er, m_hWnd, 1001);
      }
      if (ownerDraw()) {
        for (int id : {-1, 0}) {
          MeasureItemStruct mis;
          mis.CtlType = odt::ComboBox;
          mis.CtlID = unsigned(GetDlgCtrlID());
          mis.itemID = id;
          mis.itemHeight = unsigned(GetItemHeight(id));
          if (Wnd* p = GetParent()) p->SendMessage(wm::MeasureItem, WParam(mis.CtlID), ToLParam(&mis));
          if (id == -1) fieldHeight_ = int(mis.itemHeight);
          else itemHeight_ = int(mis.itemHeight);
        }
      }
      return r;
    }
    case wm::Command:
      if (LoWord(wp) == 1001 && !syncing_) {
        if (HiWord(wp) == en::Change) notify(cbn::EditChange);
        if (HiWord(wp) == en::Update) notify(cbn::EditUpdate);
        if (HiWord(wp) == en::KillFocus) notify(cbn::KillFocus);
        if (HiWord(wp) == en::SetFocus) notify(cbn::SetFocus);
      }
      return 0;
    case wm::SetText: {
      if (Edit* e = editField()) {
        syncing_ = true;
        e->SetWindowText(text());
        syncing_ = false;
        return 1;
      }
      int i = FindStringExact(-1, text());
      if (i < 0) return cb::Err;
      SetCurSel(i);
      return 1;
    }
    case wm::GetText: {
      std::wstring t = currentText();
      auto* buf = reinterpret_cast<wchar_t*>(lp);
      if (!buf || wp == 0) return 0;
      size_t n = std::min<size_t>(t.size(), wp - 1);
      std::copy_n(t.data(), n, buf);
      buf[n] = 0;
      return LResult(n);
    }
    case wm::GetTextLength: return LResult(currentText().size());
    case cb::AddString: return AddString(text());
    case cb::InsertString: return InsertString(int(std::intptr_t(wp)), text());
    case cb::DeleteString: return DeleteString(int(wp));
    case cb::ResetContent: ResetContent(); return 0;
    case cb::GetCount: return GetCount();
    case cb::GetCurSel: return GetCurSel();
    case cb::SetCurSel: return SetCurSel(int(std::intptr_t(wp)));
    case cb::GetLBText: return copyItemText(int(wp), lp);
    case cb::GetLBTextLen: return GetLBTextLen(int(wp));
    case cb::FindString: return FindString(int(std::intptr_t(wp)), text());
    case cb::FindStringExact: return FindStringExact(int(std::intptr_t(wp)), text());
    case cb::SelectString: return SelectString(int(std::intptr_t(wp)), text());
    case cb::GetItemData: return LResult(GetItemData(int(wp)));
    case cb::SetItemData: return SetItemData(int(wp), std::uintptr_t(lp));
    case cb::SetItemHeight: return SetItemHeight(int(std::intptr_t(wp)), unsigned(lp));
    case cb::GetItemHeight: return GetItemHeight(int(std::intptr_t(wp)));
    case cb::SetDroppedWidth: return SetDroppedWidth(unsigned(wp));
    case cb::GetDroppedWidth: return GetDroppedWidth();
    case cb::SetHorizontalExtent: SetHorizontalExtent(unsigned(wp)); return 0;
    case cb::GetHorizontalExtent: return hExtent_;
    case cb::ShowDropDown: ShowDropDown(wp != 0); return 1;
    case cb::GetDroppedState: return dropped_ ? 1 : 0;
    case cb::LimitText: return LimitText(int(wp)) ? 1 : 0;
    case cb::SetEditSel: return SetEditSel(GetXLParam(lp), GetYLParam(lp)) ? 1 : cb::Err;
    case cb::GetEditSel: return LResult(GetEditSel());
    case wm::Paint: {
      PaintDC dc(this);
      paintCombo(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: return dlgc::WantChars | dlgc::WantArrows;
    case wm::SetFocus:
      Wnd::WindowProc(msg, wp, lp);
      if (Edit* e = editField()) e->SetFocus();
      else notify(cbn::SetFocus);
      return 0;
    case wm::KillFocus:
      Wnd::WindowProc(msg, wp, lp);
      if (dropped_) ShowDropDown(false);
      if (!editField()) notify(cbn::KillFocus);
      return 0;
    case wm::LButtonDown:
      if (IsWindowEnabled()) {
        SetFocus();
        ShowDropDown(!dropped_);
      }
      return 0;
    case wm::KeyDown:
      if (wp == vk::Down && cur_ + 1 < GetCount()) {
        cur_++;
        syncEdit();
        notify(cbn::SelChange);
        return 0;
      }
      if (wp == vk::Up && cur_ > 0) {
        cur_--;
        syncEdit();
        notify(cbn::SelChange);
        return 0;
      }
      if (wp == vk::Return && dropped_) {
        notify(cbn::SelEndOk);
        ShowDropDown(false);
        return 0;
      }
      if (wp == vk::Escape && dropped_) {
        notify(cbn::SelEndCancel);
        ShowDropDown(false);
        return 0;
      }
      break;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// List box
// ---------------------------------------------------------------------------
bool ListBox::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::ListBox, L"", style, r, parent, id);
}
void ListBox::notify(unsigned code) {
  if (GetStyle() & lbs::Notify) sendCommand(this, code);
}
int ListBox::AddString(std::wstring_view text) { return addItem(text, GetStyle() & lbs::Sort); }
int ListBox::InsertString(int index, std::wstring_view text) { return insertItem(index, text); }
int ListBox::DeleteString(int index) {
  if (!inRange(index)) return lb::Err;
  eraseItem(index);
  top_ = std::min(top_, std::max(0, int(items_.size()) - 1));
  Invalidate();
  return int(items_.size());
}
void ListBox::ResetContent() {
  items_.clear();
  cur_ = -1;
  top_ = 0;
  Invalidate();
}
int ListBox::SetCurSel(int index) {
  if (index < -1 || index >= int(items_.size())) {
    cur_ = -1;
    Invalidate();
    return lb::Err;
  }
  cur_ = index;
  if (!(GetStyle() & (lbs::MultipleSel | lbs::ExtendedSel)))
    for (int i = 0; i < int(items_.size()); ++i) items_[size_t(i)].selected = i == index;
  Invalidate();
  return index;
}
int ListBox::GetText(int index, std::wstring& out) const { return itemText(index, out); }
std::wstring ListBox::GetText(int index) const {
  std::wstring s;
  GetText(index, s);
  return s;
}
int ListBox::GetTextLen(int index) const { return itemTextLen(index); }
int ListBox::SelectString(int after, std::wstring_view p) {
  int i = FindString(after, p);
  if (i < 0) return lb::Err;
  SetCurSel(i);
  return i;
}
int ListBox::SetSel(int index, bool select) {
  if (!(GetStyle() & (lbs::MultipleSel | lbs::ExtendedSel))) return lb::Err;
  if (index == -1) {
    for (auto& i : items_) i.selected = select;
  } else {
    if (index < 0 || index >= int(items_.size())) return lb::Err;
    items_[size_t(index)].selected = select;
    cur_ = index;
  }
  Invalidate();
  return 0;
}
int ListBox::GetSel(int index) const {
  if (index < 0 || index >= int(items_.size())) return lb::Err;
  if (!(GetStyle() & (lbs::MultipleSel | lbs::ExtendedSel))) return index == cur_ ? 1 : 0;
  return items_[size_t(index)].selected ? 1 : 0;
}
int ListBox::GetSelCount() const {
  if (!(GetStyle() & (lbs::MultipleSel | lbs::ExtendedSel))) return lb::Err;
  return int(std::count_if(items_.begin(), items_.end(), [](const ListEntry& e) { return e.selected; }));
}
std::vector<int> ListBox::GetSelItems() const {
  std::vector<int> out;
  for (int i = 0; i < int(items_.size()); ++i)
    if (GetSel(i) > 0) out.push_back(i);
  return out;
}
int ListBox::SetTopIndex(int index) {
  if (index < 0 || index >= std::max(1, int(items_.size()))) return lb::Err;
  top_ = index;
  Invalidate();
  return 0;
}
int ListBox::GetItemHeight(int) const { return itemHeight_ > 0 ? itemHeight_ : FontPixelHeight(effectiveFont()) + 2; }
int ListBox::SetItemHeight(int, unsigned h) {
  itemHeight_ = int(h);
  Invalidate();
  return 0;
}
int ListBox::GetItemRect(int index, Rect* r) const {
  if (index < 0 || index >= int(items_.size()) || !r) return lb::Err;
  int h = GetItemHeight(index);
  Rect c = clientRect();
  *r = Rect(0, (index - top_) * h, c.right, (index - top_ + 1) * h);
  return 0;
}
int ListBox::ItemFromPoint(Point p) const {
  int h = GetItemHeight(0);
  if (p.y < 0 || h <= 0) return -1;
  int i = top_ + p.y / h;
  return i < int(items_.size()) ? i : -1;
}

bool ListBox::userSelect(int index) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled() || index < 0 || index >= int(items_.size())) return false;
  if (GetStyle() & (lbs::MultipleSel | lbs::ExtendedSel)) {
    items_[size_t(index)].selected = !items_[size_t(index)].selected;
    cur_ = index;
    Invalidate();
  } else {
    SetCurSel(index);
  }
  notify(lbn::SelChange);
  return true;
}
bool ListBox::userDoubleClick(int index) {
  KeepAlive keep(this);
  if (!userSelect(index)) return false;
  notify(lbn::DblClk);
  return true;
}

bool ListBox::OnChildNotify(MsgId msg, WParam, LParam lp, LResult* result) {
  return (GetStyle() & (lbs::OwnerDrawFixed | lbs::OwnerDrawVariable)) && ownerDrawNotify(msg, lp, result);
}

void ListBox::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<ListBox*>(&previous)) {
    items_ = p->items_;
    cur_ = p->cur_;
    top_ = p->top_;
    itemHeight_ = p->itemHeight_;
  }
}

void ListBox::paintList(DC& dc) {
  Rect c = clientRect();
  Brush* bg = ctlColor(this, dc, wm::CtlColorListBox);
  if (bg) dc.FillRect(c, bg);
  int h = GetItemHeight(0);
  bool owner = GetStyle() & (lbs::OwnerDrawFixed | lbs::OwnerDrawVariable);
  for (int i = top_; i < int(items_.size()); ++i) {
    Rect ir(0, (i - top_) * h, c.right, (i - top_ + 1) * h);
    if (ir.top >= c.bottom) break;
    bool sel = GetSel(i) > 0;
    if (owner) {
      DrawItemStruct dis;
      dis.CtlType = odt::ListBox;
      dis.CtlID = unsigned(GetDlgCtrlID());
      dis.itemID = i;
      dis.itemAction = oda::DrawEntire;
      dis.itemState = sel ? ods::Selected : 0;
      dis.hwndItem = m_hWnd;
      dis.hDC = &dc;
      dis.rcItem = ir;
      dis.itemData = items_[size_t(i)].data;
      if (Wnd* p = GetParent()) p->SendMessage(wm::DrawItem, WParam(dis.CtlID), ToLParam(&dis));
      continue;
    }
    if (sel) {
      dc.FillSolidRect(ir, GetSysColor(color::Highlight));
      dc.SetTextColor(GetSysColor(color::HighlightText));
    } else {
      dc.SetTextColor(GetSysColor(color::WindowText));
    }
    dc.SetBkMode(bkmode::Transparent);
    Rect tr = ir;
    tr.left += 2;
    dc.DrawText(items_[size_t(i)].text, tr, dt::SingleLine | dt::VCenter | dt::NoPrefix);
  }
}

LResult ListBox::WindowProc(MsgId msg, WParam wp, LParam lp) {
  auto text = [&]() { return lpText(lp); };
  switch (msg) {
    case lb::AddString: return AddString(text());
    case lb::InsertString: return InsertString(int(std::intptr_t(wp)), text());
    case lb::DeleteString: return DeleteString(int(wp));
    case lb::ResetContent: ResetContent(); return 0;
    case lb::GetCount: return GetCount();
    case lb::GetCurSel: return GetCurSel();
    case lb::SetCurSel: return SetCurSel(int(std::intptr_t(wp)));
    case lb::GetText: return copyItemText(int(wp), lp);
    case lb::GetTextLen: return GetTextLen(int(wp));
    case lb::FindString: return FindString(int(std::intptr_t(wp)), text());
    case lb::FindStringExact: return FindStringExact(int(std::intptr_t(wp)), text());
    case lb::SelectString: return SelectString(int(std::intptr_t(wp)), text());
    case lb::GetItemData: return LResult(GetItemData(int(wp)));
    case lb::SetItemData: return SetItemData(int(wp), std::uintptr_t(lp));
    case lb::SetSel: return SetSel(int(lp), wp != 0);
    case lb::GetSel: return GetSel(int(wp));
    case lb::GetSelCount: return GetSelCount();
    case lb::GetTopIndex: return top_;
    case lb::SetTopIndex: return SetTopIndex(int(wp));
    case lb::GetItemHeight: return GetItemHeight(int(wp));
    case lb::SetItemHeight: return SetItemHeight(int(wp), unsigned(lp));
    case lb::GetItemRect: return GetItemRect(int(wp), reinterpret_cast<Rect*>(lp));
    case wm::Paint: {
      PaintDC dc(this);
      paintList(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::GetDlgCode: return dlgc::WantArrows | dlgc::WantChars;
    case wm::SetFocus: Wnd::WindowProc(msg, wp, lp); notify(lbn::SetFocus); return 0;
    case wm::KillFocus: Wnd::WindowProc(msg, wp, lp); notify(lbn::KillFocus); return 0;
    case wm::LButtonDown: {
      SetFocus();
      int i = ItemFromPoint(PointFromLParam(lp));
      if (i >= 0) userSelect(i);
      return 0;
    }
    case wm::LButtonDblClk: {
      int i = ItemFromPoint(PointFromLParam(lp));
      if (i >= 0) notify(lbn::DblClk);
      return 0;
    }
    case wm::KeyDown:
      if (wp == vk::Down && cur_ + 1 < GetCount()) { userSelect(cur_ + 1); return 0; }
      if (wp == vk::Up && cur_ > 0) { userSelect(cur_ - 1); return 0; }
      break;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------
int HeaderCtrl::GetItemCount() const { return list_ ? list_->columnCount() : 0; }
LResult HeaderCtrl::WindowProc(MsgId msg, WParam wp, LParam lp) {
  if (msg == hdm::GetItemCount) return GetItemCount();
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Tabs
// ---------------------------------------------------------------------------
bool TabCtrl::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::TabControl, L"", style, r, parent, id);
}
int TabCtrl::InsertItem(int index, const std::wstring& text, std::intptr_t d) {
  if (index < 0) return -1;
  index = std::min(index, int(tabs_.size()));
  tabs_.insert(tabs_.begin() + index, Tab{text, d});
  if (cur_ < 0) cur_ = 0;
  else if (cur_ >= index && tabs_.size() > 1) ++cur_;
  Invalidate();
  return index;
}
bool TabCtrl::DeleteItem(int index) {
  if (index < 0 || index >= int(tabs_.size())) return false;
  tabs_.erase(tabs_.begin() + index);
  if (cur_ >= int(tabs_.size())) cur_ = int(tabs_.size()) - 1;
  Invalidate();
  return true;
}
bool TabCtrl::DeleteAllItems() {
  tabs_.clear();
  cur_ = -1;
  Invalidate();
  return true;
}
std::wstring TabCtrl::GetItemText(int index) const {
  return index >= 0 && index < int(tabs_.size()) ? tabs_[size_t(index)].text : std::wstring();
}
int TabCtrl::SetCurSel(int index) {
  if (index < 0 || index >= int(tabs_.size())) return -1;
  int old = cur_;
  cur_ = index;
  Invalidate();
  return old;
}
bool TabCtrl::GetItemRect(int index, Rect* r) const {
  if (index < 0 || index >= int(tabs_.size()) || !r) return false;
  LogFont f = effectiveFont();
  int x = 2, h = FontPixelHeight(f) + 8;
  for (int i = 0; i < index; ++i) x += TextExtent(f, tabs_[size_t(i)].text).cx + 12;
  *r = Rect(x, 2, x + TextExtent(f, tabs_[size_t(index)].text).cx + 12, 2 + h);
  return true;
}
void TabCtrl::AdjustRect(bool larger, Rect* r) const {
  if (!r) return;
  int h = FontPixelHeight(effectiveFont()) + 8 + 2;
  if (larger) {
    r->top -= h;
    r->InflateRect(4, 4);
  } else {
    r->top += h;
    r->DeflateRect(4, 4);
  }
}
int TabCtrl::HitTest(Point p) const {
  for (int i = 0; i < int(tabs_.size()); ++i) {
    Rect r;
    GetItemRect(i, &r);
    if (r.PtInRect(p)) return i;
  }
  return -1;
}
bool TabCtrl::userSelect(int index) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled() || index < 0 || index >= int(tabs_.size())) return false;
  Wnd* parent = GetParent();
  NotifyHeader h{m_hWnd, std::uintptr_t(GetDlgCtrlID()), tcn::SelChanging};
  if (parent && parent->SendMessage(wm::Notify, WParam(GetDlgCtrlID()), ToLParam(&h))) return false;
  cur_ = index;
  Invalidate();
  NotifyHeader h2{m_hWnd, std::uintptr_t(GetDlgCtrlID()), tcn::SelChange};
  if (parent) parent->SendMessage(wm::Notify, WParam(GetDlgCtrlID()), ToLParam(&h2));
  return true;
}
void TabCtrl::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<TabCtrl*>(&previous)) {
    tabs_ = p->tabs_;
    cur_ = p->cur_;
  }
}
void TabCtrl::paintTabs(DC& dc) {
  Rect c = clientRect();
  dc.FillSolidRect(c, GetSysColor(color::BtnFace));
  Rect body = c;
  AdjustRect(false, &body);
  body.InflateRect(4, 4);
  dc.DrawEdge(&body, edge::Raised, bf::Rect);
  dc.SetBkMode(bkmode::Transparent);
  for (int i = 0; i < int(tabs_.size()); ++i) {
    Rect r;
    GetItemRect(i, &r);
    if (i == cur_) r.InflateRect(2, 2);
    dc.FillSolidRect(r, GetSysColor(i == cur_ ? color::Window : color::BtnFace));
    dc.DrawEdge(&r, edge::Raised, bf::Left | bf::Top | bf::Right);
    dc.DrawText(tabs_[size_t(i)].text, r, dt::SingleLine | dt::Center | dt::VCenter);
  }
}
LResult TabCtrl::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case wm::Paint: {
      PaintDC dc(this);
      paintTabs(dc);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
    case wm::LButtonDown: {
      int i = HitTest(PointFromLParam(lp));
      if (i >= 0 && i != cur_) userSelect(i);
      return 0;
    }
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Progress
// ---------------------------------------------------------------------------
bool ProgressCtrl::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::Progress, L"", style, r, parent, id);
}
void ProgressCtrl::SetRange32(int lower, int upper) {
  lo_ = lower;
  hi_ = std::max(lower, upper);
  pos_ = std::clamp(pos_, lo_, hi_);
  Invalidate();
}
int ProgressCtrl::SetPos(int pos) {
  int old = pos_;
  pos_ = std::clamp(pos, lo_, hi_);
  Invalidate();
  return old;
}
int ProgressCtrl::OffsetPos(int d) { return SetPos(pos_ + d); }
int ProgressCtrl::SetStep(int s) { return std::exchange(step_, s); }
int ProgressCtrl::StepIt() {
  int old = pos_;
  int n = pos_ + step_;
  if (n > hi_) n = lo_ + (n - hi_);
  pos_ = std::clamp(n, lo_, hi_);
  Invalidate();
  return old;
}
void ProgressCtrl::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<ProgressCtrl*>(&previous)) {
    lo_ = p->lo_;
    hi_ = p->hi_;
    pos_ = p->pos_;
    step_ = p->step_;
  }
}
LResult ProgressCtrl::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case pbm::SetRange: {
      int old = MakeLParam(lo_, hi_);
      SetRange32(LoWord(std::uintptr_t(lp)), HiWord(std::uintptr_t(lp)));
      return old;
    }
    case pbm::SetRange32: SetRange32(int(wp), int(lp)); return 0;
    case pbm::SetPos: return SetPos(int(wp));
    case pbm::DeltaPos: return OffsetPos(int(wp));
    case pbm::SetStep: return SetStep(int(wp));
    case pbm::StepIt: return StepIt();
    case pbm::GetPos: return pos_;
    case pbm::GetRange: return wp ? lo_ : hi_;
    case wm::Paint: {
      PaintDC dc(this);
      Rect c = clientRect();
      dc.FillSolidRect(c, GetSysColor(color::BtnFace));
      Rect r = c;
      dc.DrawEdge(&r, bdr::SunkenOuter, bf::Rect);
      int span = hi_ - lo_;
      int w = span > 0 ? MulDiv(c.Width() - 2, pos_ - lo_, span) : 0;
      if (w > 0) dc.FillSolidRect(Rect(1, 1, 1 + w, c.bottom - 1), GetSysColor(color::Highlight));
      return 0;
    }
    case wm::EraseBkgnd: return 1;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

// ---------------------------------------------------------------------------
// Scroll bar
// ---------------------------------------------------------------------------
bool ScrollBar::Create(unsigned style, const Rect& r, Wnd* parent, unsigned id) {
  return CreateEx(0, class_name::ScrollBar, L"", style, r, parent, id);
}
bool ScrollBar::SetScrollInfo(const ScrollInfo* si, bool redraw) {
  if (!si) return false;
  if (si->fMask & sif::Range) {
    info_.nMin = si->nMin;
    info_.nMax = std::max(si->nMin, si->nMax);
  }
  if (si->fMask & sif::Page) info_.nPage = si->nPage;
  if (si->fMask & sif::Pos) info_.nPos = si->nPos;
  int maxPos = info_.nMax - std::max(int(info_.nPage) - 1, 0);
  info_.nPos = std::max(info_.nMin, std::min(info_.nPos, std::max(info_.nMin, maxPos)));
  if (redraw) Invalidate();
  return true;
}
bool ScrollBar::GetScrollInfo(ScrollInfo* si, unsigned mask) const {
  if (!si) return false;
  si->fMask = mask;
  if (mask & sif::Range) { si->nMin = info_.nMin; si->nMax = info_.nMax; }
  if (mask & sif::Page) si->nPage = info_.nPage;
  if (mask & sif::Pos) si->nPos = info_.nPos;
  if (mask & sif::TrackPos) si->nTrackPos = info_.nTrackPos;
  return true;
}
int ScrollBar::SetScrollPos(int pos, bool redraw) {
  int old = info_.nPos;
  ScrollInfo si;
  si.fMask = sif::Pos;
  si.nPos = pos;
  SetScrollInfo(&si, redraw);
  return old;
}
int ScrollBar::GetScrollPos() const { return info_.nPos; }
void ScrollBar::SetScrollRange(int minPos, int maxPos, bool redraw) {
  ScrollInfo si;
  si.fMask = sif::Range;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(&si, redraw);
}
void ScrollBar::GetScrollRange(int* minPos, int* maxPos) const {
  if (minPos) *minPos = info_.nMin;
  if (maxPos) *maxPos = info_.nMax;
}
void ScrollBar::userScroll(unsigned code, int pos) {
  KeepAlive keep(this);
  if (!m_hWnd || !IsWindowEnabled()) return;
  info_.nTrackPos = pos;
  MsgId m = (GetStyle() & sbs::Vert) ? wm::VScroll : wm::HScroll;
  if (Wnd* p = GetParent()) p->SendMessage(m, MakeWParam(code, unsigned(pos)), ToLParam(m_hWnd));
}
void ScrollBar::TakeOverFrom(Wnd& previous) {
  if (auto* p = dynamic_cast<ScrollBar*>(&previous)) info_ = p->info_;
}
LResult ScrollBar::WindowProc(MsgId msg, WParam wp, LParam lp) {
  switch (msg) {
    case sbm::SetPos: return SetScrollPos(int(wp), lp != 0);
    case sbm::GetPos: return GetScrollPos();
    case sbm::SetRange: SetScrollRange(int(wp), int(lp), false); return info_.nPos;
    case sbm::GetRange:
      if (wp) *reinterpret_cast<int*>(wp) = info_.nMin;
      if (lp) *reinterpret_cast<int*>(lp) = info_.nMax;
      return 0;
    case sbm::SetScrollInfo: SetScrollInfo(reinterpret_cast<const ScrollInfo*>(lp), wp != 0); return info_.nPos;
    case sbm::GetScrollInfo: {
      auto* si = reinterpret_cast<ScrollInfo*>(lp);
      return si && GetScrollInfo(si, si->fMask) ? 1 : 0;
    }
    case wm::Paint: {
      PaintDC dc(this);
      Rect c = clientRect();
      dc.FillSolidRect(c, GetSysColor(color::ScrollBar));
      bool vert = GetStyle() & sbs::Vert;
      int len = vert ? c.Height() : c.Width();
      int span = info_.nMax - info_.nMin + 1;
      int thumb = span > 0 && info_.nPage ? std::max(8, MulDiv(len, int(info_.nPage), span)) : 8;
      int at = span > 0 ? MulDiv(len - thumb, info_.nPos - info_.nMin, std::max(1, span - int(info_.nPage))) : 0;
      Rect t = vert ? Rect(0, at, c.right, at + thumb) : Rect(at, 0, at + thumb, c.bottom);
      dc.FillSolidRect(t, GetSysColor(color::BtnFace));
      dc.DrawEdge(&t, edge::Raised, bf::Rect);
      return 0;
    }
    case wm::EraseBkgnd: return 1;
  }
  return Wnd::WindowProc(msg, wp, lp);
}

}  // namespace ui
