// Windows: the tree, geometry, state and the dialog-item helpers.
#include "platform/ui/wnd.h"

#include <algorithm>

#include "platform/ui/controls.h"
#include "platform/ui/detail.h"
#include "platform/ui/wnd_internal.h"

namespace ui {

using namespace wndsys;

// ---------------------------------------------------------------------------
// Tree
// ---------------------------------------------------------------------------
Wnd* Wnd::GetParent() const {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  return FromHandle(isTopLevel(d) ? d->owner : d->parent);
}

Wnd* Wnd::SetParent(Wnd* parent) {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  Wnd* old = GetParent();
  WindowData* np = data(SafeHwnd(parent));
  auto& sib = siblingList(d);
  sib.erase(std::remove(sib.begin(), sib.end(), m_hWnd), sib.end());
  if (np && (d->style & ws::Child)) {
    d->parent = np->h;
    np->children.insert(np->children.begin(), m_hWnd);
  } else {
    d->parent = nullptr;
    d->style &= ~ws::Child;
    d->owner = np ? np->h : nullptr;
    sys().topLevel.insert(sys().topLevel.begin(), m_hWnd);
  }
  return old;
}

Wnd* Wnd::GetOwner() const {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  return FromHandle(d->owner ? d->owner : (isTopLevel(d) ? nullptr : d->parent));
}

void Wnd::SetOwner(Wnd* owner) {
  if (WindowData* d = data(m_hWnd)) d->owner = SafeHwnd(owner);
}

Wnd* Wnd::GetTopLevelParent() const {
  WindowData* d = data(m_hWnd);
  while (d && !isTopLevel(d)) d = data(d->parent);
  return d ? d->obj : nullptr;
}

Wnd* Wnd::GetWindow(unsigned cmd) const {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  if (cmd == gw::Child) return d->children.empty() ? nullptr : FromHandle(d->children.front());
  if (cmd == gw::Owner) return FromHandle(d->owner);
  auto& sib = siblingList(d);
  auto it = std::find(sib.begin(), sib.end(), m_hWnd);
  switch (cmd) {
    case gw::HwndFirst: return sib.empty() ? nullptr : FromHandle(sib.front());
    case gw::HwndLast: return sib.empty() ? nullptr : FromHandle(sib.back());
    case gw::HwndNext: return (it == sib.end() || it + 1 == sib.end()) ? nullptr : FromHandle(*(it + 1));
    case gw::HwndPrev: return (it == sib.end() || it == sib.begin()) ? nullptr : FromHandle(*(it - 1));
  }
  return nullptr;
}

Wnd* Wnd::GetDlgItem(int id) const {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  for (Hwnd c : d->children)
    if (WindowData* cd = data(c); cd && cd->id == id) return cd->obj;
  return nullptr;
}

int Wnd::GetDlgCtrlID() const {
  WindowData* d = data(m_hWnd);
  return d ? d->id : 0;
}

int Wnd::SetDlgCtrlID(int id) {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  int old = d->id;
  d->id = id;
  return old;
}

bool Wnd::IsChild(const Wnd* w) const {
  WindowData* d = data(SafeHwnd(w));
  while (d && !isTopLevel(d)) {
    if (d->parent == m_hWnd) return true;
    d = data(d->parent);
  }
  return false;
}

std::vector<Wnd*> Wnd::children() const {
  std::vector<Wnd*> out;
  if (WindowData* d = data(m_hWnd))
    for (Hwnd c : d->children)
      if (Wnd* w = FromHandle(c)) out.push_back(w);
  return out;
}

Wnd* Wnd::ChildWindowFromPoint(Point p) const {
  WindowData* d = data(m_hWnd);
  if (!d) return nullptr;
  for (Hwnd c : d->children) {
    WindowData* cd = data(c);
    if (cd && (cd->style & ws::Visible) && cd->rect.PtInRect(p)) return cd->obj;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------
void Wnd::GetWindowRect(Rect* r) const {
  if (r) *r = windowRect();
}
void Wnd::GetClientRect(Rect* r) const {
  if (r) *r = clientRect();
}
Rect Wnd::windowRect() const {
  WindowData* d = data(m_hWnd);
  if (!d) return {};
  return Rect(windowOrigin(d), d->rect.GetSize());
}
Rect Wnd::clientRect() const {
  WindowData* d = data(m_hWnd);
  if (!d) return {};
  Size s = clientSize(d);
  return Rect(0, 0, s.cx, s.cy);
}
void Wnd::ClientToScreen(Point* p) const {
  WindowData* d = data(m_hWnd);
  if (!d || !p) return;
  Point o = clientOrigin(d);
  p->x += o.x;
  p->y += o.y;
}
void Wnd::ClientToScreen(Rect* r) const {
  WindowData* d = data(m_hWnd);
  if (!d || !r) return;
  r->OffsetRect(clientOrigin(d));
}
void Wnd::ScreenToClient(Point* p) const {
  WindowData* d = data(m_hWnd);
  if (!d || !p) return;
  Point o = clientOrigin(d);
  p->x -= o.x;
  p->y -= o.y;
}
void Wnd::ScreenToClient(Rect* r) const {
  WindowData* d = data(m_hWnd);
  if (!d || !r) return;
  Point o = clientOrigin(d);
  r->OffsetRect(-o.x, -o.y);
}
void Wnd::MapWindowPoints(Wnd* to, Point* pts, int count) const {
  for (int i = 0; i < count; ++i) {
    ClientToScreen(&pts[i]);
    if (to) to->ScreenToClient(&pts[i]);
  }
}
void Wnd::MapWindowPoints(Wnd* to, Rect* r) const {
  ClientToScreen(r);
  if (to) to->ScreenToClient(r);
}

void Wnd::MoveWindow(int x, int y, int w, int h, bool repaint) {
  SetWindowPos(HWND_TOP, x, y, w, h, swp::NoZOrder | swp::NoActivate | (repaint ? 0 : swp::NoRedraw));
}

bool Wnd::SetWindowPos(const Wnd* insertAfter, int x, int y, int cx, int cy, unsigned flags) {
  return SetWindowPos(SafeHwnd(insertAfter), x, y, cx, cy, flags);
}

bool Wnd::SetWindowPos(Hwnd after, int x, int y, int cx, int cy, unsigned flags) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  Hwnd h = m_hWnd;
  WindowPos pos{h, after, x, y, cx, cy, flags};
  if (flags & swp::NoMove) { pos.x = d->rect.left; pos.y = d->rect.top; }
  if (flags & swp::NoSize) { pos.cx = d->rect.Width(); pos.cy = d->rect.Height(); }
  callWindow(h, wm::WindowPosChanging, 0, ToLParam(&pos));
  if (!(d = data(h))) return false;
  Rect old = d->rect;
  Size oldClient = clientSize(d);
  if (!(pos.flags & swp::NoMove)) d->rect.OffsetRect(pos.x - d->rect.left, pos.y - d->rect.top);
  if (!(pos.flags & swp::NoSize)) {
    d->rect.right = d->rect.left + std::max(0, pos.cx);
    d->rect.bottom = d->rect.top + std::max(0, pos.cy);
  }
  if (!(pos.flags & swp::NoZOrder)) {
    auto& sib = siblingList(d);
    sib.erase(std::remove(sib.begin(), sib.end(), h), sib.end());
    if (pos.hwndInsertAfter == HWND_TOPMOST) d->exStyle |= ws_ex::Topmost;
    if (pos.hwndInsertAfter == HWND_NOTOPMOST) d->exStyle &= ~ws_ex::Topmost;
    if (pos.hwndInsertAfter == HWND_BOTTOM)
      sib.push_back(h);
    else if (pos.hwndInsertAfter == HWND_TOP || pos.hwndInsertAfter == HWND_TOPMOST ||
             pos.hwndInsertAfter == HWND_NOTOPMOST)
      sib.insert(sib.begin(), h);
    else {
      auto it = std::find(sib.begin(), sib.end(), pos.hwndInsertAfter);
      sib.insert(it == sib.end() ? sib.begin() : it + 1, h);
    }
  }
  if (pos.flags & swp::ShowWindow) ShowWindow(sw::ShowNA);
  if (pos.flags & swp::HideWindow) ShowWindow(sw::Hide);
  if (!(d = data(h))) return true;
  WindowPos done = pos;
  if (old.TopLeft() == d->rect.TopLeft()) done.flags |= swp::NoMove;
  if (old.GetSize() == d->rect.GetSize() && !(pos.flags & swp::FrameChanged)) done.flags |= swp::NoSize;
  if (!(done.flags & swp::NoSize) || (pos.flags & swp::FrameChanged)) {
    if (clientSize(d) == oldClient && (pos.flags & swp::FrameChanged)) done.flags |= swp::NoSize;
  }
  if (!(pos.flags & swp::NoRedraw) && (old != d->rect || (pos.flags & swp::FrameChanged))) invalidateTree(d);
  callWindow(h, wm::WindowPosChanged, 0, ToLParam(&done));
  return true;
}

void Wnd::CenterWindow(Wnd* alternate) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  Wnd* ref = alternate ? alternate : GetOwner();
  if (!ref && !isTopLevel(d)) ref = GetParent();
  Rect area = ref ? ref->windowRect()
                  : Rect(0, 0, GetSystemMetrics(sm::CxFullScreen), GetSystemMetrics(sm::CyFullScreen));
  Point c = area.CenterPoint();
  int x = c.x - d->rect.Width() / 2, y = c.y - d->rect.Height() / 2;
  if (!isTopLevel(d)) {
    Point p{x, y};
    if (WindowData* pd = data(d->parent)) {
      Point o = clientOrigin(pd);
      p = p - o;
    }
    x = p.x;
    y = p.y;
  }
  SetWindowPos(HWND_TOP, x, y, 0, 0, swp::NoSize | swp::NoZOrder | swp::NoActivate);
}

void Wnd::BringWindowToTop() { SetWindowPos(HWND_TOP, 0, 0, 0, 0, swp::NoMove | swp::NoSize); }

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
bool Wnd::ShowWindow(int cmd) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  bool was = (d->style & ws::Visible) != 0;
  bool show = cmd != sw::Hide;
  if (was == show) return was;
  Hwnd h = m_hWnd;
  callWindow(h, wm::ShowWindow, show ? 1 : 0, 0);
  if (!(d = data(h))) return was;
  if (show) {
    d->style |= ws::Visible;
    invalidateTree(d);
    if (isTopLevel(d) && cmd != sw::ShowNA && cmd != sw::ShowNoActivate) sys().active = h;
  } else {
    d->style &= ~ws::Visible;
    if (Hwnd f = descendantFocus(d)) {
      sys().focus = nullptr;
      callWindow(f, wm::KillFocus, 0, 0);
    }
    if (!isTopLevel(d))
      if (WindowData* pd = data(d->parent)) {
        Rect r = d->rect;
        invalidate(pd, &r, true);
      }
  }
  return was;
}

bool Wnd::IsWindowVisible() const {
  WindowData* d = data(m_hWnd);
  return d && visibleChain(d);
}

bool Wnd::EnableWindow(bool enable) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  bool wasDisabled = (d->style & ws::Disabled) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable)
    d->style &= ~ws::Disabled;
  else
    d->style |= ws::Disabled;
  Hwnd h = m_hWnd;
  if (!enable)
    if (Hwnd f = descendantFocus(d); f == h) {
      sys().focus = nullptr;
      callWindow(f, wm::KillFocus, 0, 0);
    }
  callWindow(h, wm::Enable, enable ? 1 : 0, 0);
  if ((d = data(h))) invalidate(d, nullptr, true);
  return wasDisabled;
}

bool Wnd::IsWindowEnabled() const {
  WindowData* d = data(m_hWnd);
  return d && !(d->style & ws::Disabled);
}

Wnd* Wnd::SetFocus() {
  auto& s = sys();
  WindowData* d = data(m_hWnd);
  Hwnd old = s.focus;
  if (!d) return FromHandle(old);
  if (old == m_hWnd) return this;
  Wnd* oldWnd = FromHandle(old);
  s.focus = m_hWnd;
  Hwnd h = m_hWnd;
  if (data(old)) callWindow(old, wm::KillFocus, ToWParam(h), 0);
  if (s.focus == h) {
    WindowData* top = data(h);
    while (top && !isTopLevel(top)) top = data(top->parent);
    if (top) s.active = top->h;
    callWindow(h, wm::SetFocus, ToWParam(old), 0);
  }
  return oldWnd;
}

Wnd* Wnd::GetFocus() { return FromHandle(sys().focus); }

Wnd* Wnd::SetCapture() {
  auto& s = sys();
  Hwnd old = s.capture;
  if (!data(m_hWnd)) return FromHandle(old);
  s.capture = m_hWnd;
  if (old && old != m_hWnd && data(old)) callWindow(old, wm::CaptureChanged, 0, ToLParam(m_hWnd));
  return FromHandle(old);
}

Wnd* Wnd::GetCapture() { return FromHandle(sys().capture); }

Wnd* Wnd::SetActiveWindow() {
  Wnd* old = FromHandle(sys().active);
  if (data(m_hWnd)) sys().active = m_hWnd;
  return old;
}
Wnd* Wnd::GetActiveWindow() { return FromHandle(sys().active); }
bool Wnd::SetForegroundWindow() {
  if (!data(m_hWnd)) return false;
  if (Wnd* top = GetTopLevelParent()) sys().active = top->m_hWnd;
  return true;
}
Wnd* Wnd::GetForegroundWindow() { return FromHandle(sys().active); }

void Wnd::SetWindowText(std::wstring_view text) {
  std::wstring t(text);
  SendMessage(wm::SetText, 0, ToLParam(t.c_str()));
}

void Wnd::GetWindowText(std::wstring& out) const { out = GetWindowText(); }

std::wstring Wnd::GetWindowText() const {
  WindowData* d = data(m_hWnd);
  if (!d) return {};
  Wnd* self = const_cast<Wnd*>(this);
  LResult n = self->SendMessage(wm::GetTextLength);
  if (n <= 0) return {};
  std::wstring buf(size_t(n) + 1, L'\0');
  LResult got = self->SendMessage(wm::GetText, WParam(buf.size()), ToLParam(buf.data()));
  buf.resize(size_t(std::max<LResult>(0, got)));
  return buf;
}

int Wnd::GetWindowTextLength() const { return int(const_cast<Wnd*>(this)->SendMessage(wm::GetTextLength)); }

unsigned Wnd::GetStyle() const {
  WindowData* d = data(m_hWnd);
  return d ? d->style : 0;
}
unsigned Wnd::GetExStyle() const {
  WindowData* d = data(m_hWnd);
  return d ? d->exStyle : 0;
}

bool Wnd::ModifyStyle(unsigned remove, unsigned add, unsigned swpFlags) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  unsigned n = (d->style & ~remove) | add;
  if (n == d->style) return false;
  d->style = n;
  if (swpFlags) SetWindowPos(HWND_TOP, 0, 0, 0, 0, swp::NoSize | swp::NoMove | swp::NoZOrder | swp::NoActivate | swpFlags);
  return true;
}

bool Wnd::ModifyStyleEx(unsigned remove, unsigned add, unsigned swpFlags) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  unsigned n = (d->exStyle & ~remove) | add;
  if (n == d->exStyle) return false;
  d->exStyle = n;
  if (swpFlags) SetWindowPos(HWND_TOP, 0, 0, 0, 0, swp::NoSize | swp::NoMove | swp::NoZOrder | swp::NoActivate | swpFlags);
  return true;
}

void Wnd::SetFont(Font* font, bool redraw) { SendMessage(wm::SetFont, ToWParam(font), redraw ? 1 : 0); }
Font* Wnd::GetFont() const { return reinterpret_cast<Font*>(const_cast<Wnd*>(this)->SendMessage(wm::GetFont)); }

LogFont Wnd::effectiveFont() const {
  WindowData* d = data(m_hWnd);
  if (d && d->fontLf) return *d->fontLf;
  if (d && d->font && d->font->IsValid()) return d->font->logFont();
  return LogFont{};
}

std::intptr_t Wnd::SetWindowLongPtr(int index, std::intptr_t value) {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  std::intptr_t old = d->longs[index];
  d->longs[index] = value;
  return old;
}
std::intptr_t Wnd::GetWindowLongPtr(int index) const {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  auto it = d->longs.find(index);
  return it == d->longs.end() ? 0 : it->second;
}

// ---------------------------------------------------------------------------
// Dialog helpers
// ---------------------------------------------------------------------------
void Wnd::SetDlgItemText(int id, std::wstring_view text) {
  if (Wnd* c = GetDlgItem(id)) c->SetWindowText(text);
}
std::wstring Wnd::GetDlgItemText(int id) const {
  Wnd* c = GetDlgItem(id);
  return c ? c->GetWindowText() : std::wstring();
}
int Wnd::GetDlgItemText(int id, std::wstring& out) const {
  out = GetDlgItemText(id);
  return int(out.size());
}
void Wnd::SetDlgItemInt(int id, int value, bool isSigned) {
  std::wstring t = isSigned ? std::to_wstring(value) : std::to_wstring(unsigned(value));
  SetDlgItemText(id, t);
}
int Wnd::GetDlgItemInt(int id, bool* ok, bool isSigned) const {
  std::wstring t = detail::trim(GetDlgItemText(id));
  if (ok) *ok = false;
  if (t.empty()) return 0;
  size_t i = 0;
  bool neg = false;
  if (t[0] == L'-' || t[0] == L'+') {
    if (t[0] == L'-' && !isSigned) return 0;
    neg = t[0] == L'-';
    i = 1;
  }
  if (i >= t.size()) return 0;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < L'0' || t[i] > L'9') return 0;
    v = v * 10 + (t[i] - L'0');
    if (v > 0xFFFFFFFFLL) return 0;
  }
  if (neg) v = -v;
  if (isSigned && (v > 0x7FFFFFFF || v < -0x80000000LL)) return 0;
  if (ok) *ok = true;
  return int(v);
}
void Wnd::CheckDlgButton(int id, int check) {
  if (Wnd* c = GetDlgItem(id)) c->SendMessage(bm::SetCheck, WParam(check));
}
unsigned Wnd::IsDlgButtonChecked(int id) const {
  Wnd* c = GetDlgItem(id);
  return c ? unsigned(c->SendMessage(bm::GetCheck)) : 0;
}
void Wnd::CheckRadioButton(int first, int last, int check) {
  if (first > last) std::swap(first, last);
  for (int id = first; id <= last; ++id) CheckDlgButton(id, id == check ? BST_CHECKED : BST_UNCHECKED);
}
int Wnd::GetCheckedRadioButton(int first, int last) const {
  if (first > last) std::swap(first, last);
  for (int id = first; id <= last; ++id)
    if (IsDlgButtonChecked(id) == BST_CHECKED) return id;
  return 0;
}

Wnd* Wnd::GetNextDlgTabItem(Wnd* ctl, bool previous) const {
  std::vector<Wnd*> tabs;
  for (Wnd* c : children())
    if ((c->GetStyle() & ws::TabStop) && c->IsWindowVisible() && c->IsWindowEnabled()) tabs.push_back(c);
  if (tabs.empty()) return nullptr;
  auto it = std::find(tabs.begin(), tabs.end(), ctl);
  if (it == tabs.end()) return previous ? tabs.back() : tabs.front();
  size_t i = size_t(it - tabs.begin());
  size_t n = tabs.size();
  return tabs[previous ? (i + n - 1) % n : (i + 1) % n];
}

Wnd* Wnd::GetNextDlgGroupItem(Wnd* ctl, bool previous) const {
  auto kids = children();
  auto it = std::find(kids.begin(), kids.end(), ctl);
  if (it == kids.end()) return nullptr;
  // The group: from the last ws::Group at or before ctl up to the next one.
  size_t i = size_t(it - kids.begin());
  size_t start = i;
  while (start > 0 && !(kids[start]->GetStyle() & ws::Group)) --start;
  size_t end = i + 1;
  while (end < kids.size() && !(kids[end]->GetStyle() & ws::Group)) ++end;
  size_t n = end - start;
  size_t j = previous ? start + (i - start + n - 1) % n : start + (i - start + 1) % n;
  return kids[j];
}

}  // namespace ui
