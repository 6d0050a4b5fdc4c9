// The window system's state, window classes, creation and destruction, and
// message dispatch. The tree, geometry and state of windows are in
// wnd_tree.cpp; painting, timers and scroll bars in wnd_paint.cpp; the queue
// and the system-wide functions in wnd_system.cpp; simulated input in
// wnd_input.cpp.
#include "platform/ui/wnd.h"

#include <algorithm>
#include <unordered_map>

#include "platform/ui/controls.h"
#include "platform/ui/keep_alive.h"
#include "platform/ui/detail.h"
#include "platform/ui/wnd_internal.h"

namespace ui {

namespace {

// The objects held by keepers: how many keepers, and whether the layer let
// go of the object meanwhile.
struct Kept {
  int keepers = 0;
  bool deleteWhenFree = false;
};
std::unordered_map<const Wnd*, Kept>& kept() {
  static std::unordered_map<const Wnd*, Kept> map;
  return map;
}

}  // namespace

KeepAlive::KeepAlive(Wnd* w) : w_(w) {
  if (w_) ++kept()[w_].keepers;
}

KeepAlive::~KeepAlive() {
  if (!w_) return;
  auto it = kept().find(w_);
  if (it == kept().end() || --it->second.keepers > 0) return;
  const bool free = it->second.deleteWhenFree;
  kept().erase(it);
  if (free) delete w_;
}

void deleteWhenFree(Wnd* w) {
  auto it = kept().find(w);
  if (it != kept().end() && it->second.keepers > 0)
    it->second.deleteWhenFree = true;
  else
    delete w;
}

namespace wndsys {

System& sys() {
  static System s;
  return s;
}

WindowData* data(Hwnd h) {
  if (!h) return nullptr;
  auto& w = sys().windows;
  auto it = w.find(reinterpret_cast<std::uintptr_t>(h));
  return it == w.end() ? nullptr : it->second.get();
}

bool isTopLevel(const WindowData* d) { return !(d->style & ws::Child) || !d->parent; }

// Non-client insets: left, top, right, bottom.
Rect insets(const WindowData* d) {
  int frame = 0;
  bool caption = (d->style & ws::Caption) == ws::Caption;
  if (caption || (d->style & ws::DlgFrame) || (d->exStyle & ws_ex::DlgModalFrame))
    frame = GetSystemMetrics(sm::CxDlgFrame);
  else if (d->style & ws::ThickFrame)
    frame = GetSystemMetrics(sm::CxFrame);
  else if (d->style & ws::Border)
    frame = 1;
  if (d->exStyle & ws_ex::ClientEdge) frame += 2;
  if (d->exStyle & ws_ex::StaticEdge) frame += 1;
  Rect r{frame, frame, frame, frame};
  if (caption) r.top += GetSystemMetrics(sm::CyCaption);
  if (d->style & ws::VScroll) r.right += GetSystemMetrics(sm::CxVScroll);
  if (d->style & ws::HScroll) r.bottom += GetSystemMetrics(sm::CyHScroll);
  return r;
}

Size clientSize(const WindowData* d) {
  Rect in = insets(d);
  return {std::max(0, d->rect.Width() - in.left - in.right), std::max(0, d->rect.Height() - in.top - in.bottom)};
}

// Screen position of the window's top-left corner.
Point windowOrigin(const WindowData* d);
Point clientOrigin(const WindowData* d) {
  Rect in = insets(d);
  Point o = windowOrigin(d);
  return {o.x + in.left, o.y + in.top};
}
Point windowOrigin(const WindowData* d) {
  if (isTopLevel(d)) return d->rect.TopLeft();
  WindowData* p = data(d->parent);
  if (!p) return d->rect.TopLeft();
  Point po = clientOrigin(p);
  return {po.x + d->rect.left, po.y + d->rect.top};
}

bool visibleChain(const WindowData* d) {
  while (d) {
    if (!(d->style & ws::Visible)) return false;
    if (isTopLevel(d)) return true;
    d = data(d->parent);
  }
  return false;
}

std::vector<Hwnd>& siblingList(WindowData* d) {
  if (!isTopLevel(d)) {
    if (WindowData* p = data(d->parent)) return p->children;
  }
  return sys().topLevel;
}



LResult callWindow(Hwnd h, MsgId msg, WParam wp, LParam lp) {
  WindowData* d = data(h);
  if (!d) return 0;
  Msg m{h, msg, wp, lp, sys().clock, sys().cursor};
  sys().msgStack.push_back(&m);
  LResult r = 0;
  Wnd* obj = d->obj;
  if (obj) {
    const Msg* prev = WindowSystem::current(obj);
    WindowSystem::setCurrent(obj, &m);
    r = obj->WindowProc(msg, wp, lp);
    // The object may be gone when the window was destroyed meanwhile.
    WindowData* after = data(h);
    if (after && after->obj == obj) WindowSystem::setCurrent(obj, prev);
  } else if (d->wc.proc) {
    r = d->wc.proc(h, msg, wp, lp);
  } else {
    r = DefWindowProc(h, msg, wp, lp);
  }
  sys().msgStack.pop_back();
  return r;
}

void invalidate(WindowData* d, const Rect* r, bool erase) {
  Size cs = clientSize(d);
  Rect area = r ? *r : Rect(0, 0, cs.cx, cs.cy);
  Rect clientR(0, 0, cs.cx, cs.cy);
  Rect clipped;
  if (!clipped.IntersectRect(area, clientR)) {
    if (!r) {  // a zero-sized window still counts as needing paint
      d->update = d->update ? *d->update : Rect{};
      d->erase = d->erase || erase;
    }
    return;
  }
  Rect u = d->update ? *d->update : Rect{};
  u.UnionRect(u, clipped);
  d->update = u;
  d->erase = d->erase || erase;
}

void invalidateTree(WindowData* d) {
  invalidate(d, nullptr, true);
  for (Hwnd c : d->children)
    if (WindowData* cd = data(c)) invalidateTree(cd);
}

Hwnd descendantFocus(WindowData* d) {
  Hwnd f = sys().focus;
  for (WindowData* x = data(f); x; x = isTopLevel(x) ? nullptr : data(x->parent))
    if (x == d) return f;
  return nullptr;
}

void paintWindow(Hwnd h) {
  WindowData* d = data(h);
  if (!d || !d->update || !visibleChain(d)) return;
  callWindow(h, wm::Paint, 0, 0);
  if (WindowData* after = data(h)) {  // a handler that did not validate must not loop
    after->update.reset();
    after->erase = false;
  }
}

void collectPaint(Hwnd h, std::vector<Hwnd>& out) {
  WindowData* d = data(h);
  if (!d || !(d->style & ws::Visible)) return;
  if (d->update) out.push_back(h);
  // Children are painted after their parent, bottom of the z-order first.
  for (auto it = d->children.rbegin(); it != d->children.rend(); ++it) collectPaint(*it, out);
}

bool paintAll() {
  std::vector<Hwnd> list;
  auto tops = sys().topLevel;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) collectPaint(*it, list);
  for (Hwnd h : list) paintWindow(h);
  return !list.empty();
}

bool fireDueTimers() {
  auto& s = sys();
  std::vector<Timer> due;
  for (auto& t : s.timers)
    if (t.due <= s.clock) due.push_back(t);
  std::sort(due.begin(), due.end(), [](const Timer& a, const Timer& b) {
    return a.due != b.due ? a.due < b.due : a.seq < b.seq;
  });
  for (auto& t : due) {
    // Still set (an earlier timer's handler may have killed it)?
    auto it = std::find_if(s.timers.begin(), s.timers.end(),
                           [&](const Timer& x) { return x.h == t.h && x.id == t.id && x.seq == t.seq; });
    if (it == s.timers.end()) continue;
    it->due = s.clock + it->elapse;
    Msg m{t.h, wm::Timer, t.id, 0, s.clock, s.cursor};
    dispatchInput(m);
  }
  return !due.empty();
}

void registerBaseClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WindowClass w;
  w.name = class_name::Window;
  w.style = cs::DblClks;
  RegisterWindowClass(w);
  registerControlClasses();
}

// The creation parameters of a window of class `wc`.
CreateStruct makeCreateStruct(unsigned exStyle, const WindowClass& wc, const std::wstring& windowName, unsigned style,
                              const Rect& rect, Hwnd parent, unsigned id, void* createParam) {
  CreateStruct cs;
  cs.lpCreateParams = createParam;
  cs.hwndParent = parent;
  cs.id = id;
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.Width();
  cs.cy = rect.Height();
  cs.style = style;
  cs.dwExStyle = exStyle;
  cs.lpszName = windowName;
  cs.lpszClass = wc.name;
  return cs;
}

}  // namespace wndsys

using namespace wndsys;

// ---------------------------------------------------------------------------
// Classes
// ---------------------------------------------------------------------------
bool RegisterWindowClass(const WindowClass& wc) {
  if (wc.name.empty()) return false;
  auto& c = sys().classes;
  for (auto& [k, v] : c)
    if (detail::iequalsW(k, wc.name)) return false;
  c[wc.name] = wc;
  return true;
}

bool GetClassInfo(const std::wstring& name, WindowClass* out) {
  registerBaseClasses();
  for (auto& [k, v] : sys().classes)
    if (detail::iequalsW(k, name)) {
      if (out) *out = v;
      return true;
    }
  return false;
}

bool UnregisterWindowClass(const std::wstring& name) {
  auto& c = sys().classes;
  for (auto it = c.begin(); it != c.end(); ++it)
    if (detail::iequalsW(it->first, name)) {
      c.erase(it);
      return true;
    }
  return false;
}

// ---------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------
Hwnd WindowSystem::create(Wnd* obj, bool layerOwned, CreateStruct& cs, const WindowClass& wc) {
  auto& s = sys();
  auto d = std::make_unique<WindowData>();
  Hwnd h = reinterpret_cast<Hwnd>(s.nextId);
  s.nextId += 16;
  d->h = h;
  d->obj = obj;
  d->wc = wc;
  d->style = cs.style;
  d->exStyle = cs.dwExStyle;
  if (d->style & ds::ModalFrame && !(d->style & ws::Child)) d->exStyle |= ws_ex::DlgModalFrame;
  d->id = int(cs.id);
  d->text = cs.lpszName;
  d->rect = Rect(cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy);
  for (auto& si : d->scroll) si = ScrollInfo{};
  WindowData* pd = data(cs.hwndParent);
  if ((cs.style & ws::Child) && !pd) {  // a child needs a parent
    if (obj && layerOwned) delete obj;
    return nullptr;
  }
  WindowData* raw = d.get();
  s.windows[reinterpret_cast<std::uintptr_t>(h)] = std::move(d);
  if (cs.style & ws::Child) {
    raw->parent = cs.hwndParent;
    pd->children.push_back(h);  // new children go to the bottom: template order is tab order
  } else {
    raw->owner = cs.hwndParent;
    if (raw->exStyle & ws_ex::Topmost)
      s.topLevel.insert(s.topLevel.begin(), h);
    else {
      auto it = s.topLevel.begin();
      while (it != s.topLevel.end() && data(*it) && (data(*it)->exStyle & ws_ex::Topmost)) ++it;
      s.topLevel.insert(it, h);
    }
  }
  if (obj) {
    obj->m_hWnd = h;
    setLayerOwned(obj, layerOwned);
  }
  if (!callWindow(h, wm::NcCreate, 0, ToLParam(&cs)) || callWindow(h, wm::Create, 0, ToLParam(&cs)) == -1) {
    destroy(h);
    return nullptr;
  }
  if (!data(h)) return nullptr;
  Size c = clientSize(raw);
  callWindow(h, wm::Size, size_type::Restored, MakeLParam(c.cx, c.cy));
  if (!data(h)) return nullptr;
  callWindow(h, wm::Move, 0, MakeLParam(raw->rect.left, raw->rect.top));
  if (data(h) && (raw->style & ws::Visible)) invalidateTree(raw);
  return data(h) ? h : nullptr;
}

void WindowSystem::destroy(Hwnd h) {
  WindowData* d = data(h);
  if (!d || d->destroying) return;
  auto& s = sys();
  d->destroying = true;
  if (descendantFocus(d)) {
    Hwnd f = s.focus;
    s.focus = nullptr;
    callWindow(f, wm::KillFocus, 0, 0);
  }
  if (s.capture) {
    for (WindowData* x = data(s.capture); x; x = isTopLevel(x) ? nullptr : data(x->parent))
      if (x == d) {
        Hwnd c = s.capture;
        s.capture = nullptr;
        callWindow(c, wm::CaptureChanged, 0, 0);
        break;
      }
  }
  if (s.active == h) s.active = nullptr;
  callWindow(h, wm::Destroy, 0, 0);
  // Children go first from the bottom of their list.
  if ((d = data(h))) {
    auto kids = d->children;
    for (Hwnd c : kids) destroy(c);
  }
  // Owned top-level windows go with their owner.
  std::vector<Hwnd> owned;
  for (auto& [k, w] : s.windows)
    if (w->owner == h && isTopLevel(w.get())) owned.push_back(w->h);
  for (Hwnd o : owned) destroy(o);
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.h == h; }),
                 s.timers.end());
  s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(), [&](const Msg& m) { return m.hwnd == h; }),
                s.queue.end());
  callWindow(h, wm::NcDestroy, 0, 0);
  d = data(h);
  if (!d) return;
  auto& sib = siblingList(d);
  sib.erase(std::remove(sib.begin(), sib.end(), h), sib.end());
  if (s.focus == h) s.focus = nullptr;
  if (s.mainFrame == h) s.mainFrame = nullptr;
  if (s.view == h) s.view = nullptr;
  Wnd* obj = d->obj;
  auto holder = std::move(s.windows[reinterpret_cast<std::uintptr_t>(h)]);
  s.windows.erase(reinterpret_cast<std::uintptr_t>(h));
  if (obj) {
    obj->m_hWnd = nullptr;
    WindowSystem::setCurrent(obj, nullptr);
    obj->PostNcDestroy();
  }
}

Wnd::Wnd() = default;

Wnd::~Wnd() {
  if (WindowData* d = data(m_hWnd)) {
    if (d->obj == this) {
      d->obj = nullptr;  // the rest of the destruction sees no object
      layerOwned_ = false;
      Hwnd h = m_hWnd;
      m_hWnd = nullptr;
      WindowSystem::destroy(h);
    }
  }
}

Wnd* Wnd::FromHandle(Hwnd h) {
  WindowData* d = data(h);
  return d ? d->obj : nullptr;
}

std::wstring Wnd::GetClassName() const {
  WindowData* d = data(m_hWnd);
  return d ? d->wc.name : std::wstring();
}

bool Wnd::CreateEx(unsigned exStyle, const std::wstring& className, const std::wstring& windowName,
                   unsigned style, const Rect& rect, Wnd* parent, unsigned id, void* createParam) {
  if (data(m_hWnd)) return false;
  WindowClass wc;
  if (!GetClassInfo(className, &wc)) return false;
  CreateStruct cs = makeCreateStruct(exStyle, wc, windowName, style, rect, SafeHwnd(parent), id, createParam);
  if (!PreCreateWindow(cs)) return false;
  return WindowSystem::create(this, false, cs, wc) != nullptr;
}

bool Wnd::Create(const std::wstring& className, const std::wstring& windowName, unsigned style, const Rect& rect,
                 Wnd* parent, unsigned id, void* createParam) {
  return CreateEx(0, className, windowName, style, rect, parent, id, createParam);
}

bool Wnd::DestroyWindow() {
  if (!data(m_hWnd)) return false;
  WindowSystem::destroy(m_hWnd);
  return true;
}

bool Wnd::SubclassWindow(Hwnd h) {
  WindowData* d = data(h);
  if (!d || data(m_hWnd)) return d && d->obj == this;
  Wnd* old = d->obj;
  if (old == this) return true;
  if (old) {
    TakeOverFrom(*old);
    old->m_hWnd = nullptr;
    if (old->layerOwned_) {
      old->layerOwned_ = false;
      deleteWhenFree(old);
    }
  }
  d->obj = this;
  m_hWnd = h;
  layerOwned_ = false;
  PreSubclassWindow();
  return true;
}

bool Wnd::SubclassDlgItem(unsigned id, Wnd* parent) {
  if (!parent) return false;
  Wnd* item = parent->GetDlgItem(int(id));
  Hwnd h = item ? item->m_hWnd : nullptr;
  if (!h) {
    // A child with no object (a class procedure window).
    if (WindowData* pd = data(parent->m_hWnd))
      for (Hwnd c : pd->children)
        if (data(c) && data(c)->id == int(id)) h = c;
  }
  return h && SubclassWindow(h);
}

Hwnd Wnd::UnsubclassWindow() {
  WindowData* d = data(m_hWnd);
  if (!d || d->obj != this) return nullptr;
  Hwnd h = m_hWnd;
  Wnd* repl = d->wc.factory ? d->wc.factory() : nullptr;
  d->obj = repl;
  if (repl) {
    repl->m_hWnd = h;
    repl->layerOwned_ = true;
    repl->TakeOverFrom(*this);
  }
  m_hWnd = nullptr;
  return h;
}

bool Wnd::PreCreateWindow(CreateStruct&) { return true; }
void Wnd::PreSubclassWindow() {}
void Wnd::PostNcDestroy() {
  if (!layerOwned_) return;
  layerOwned_ = false;
  deleteWhenFree(this);
}


void Wnd::TakeOverFrom(Wnd&) {}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------
LResult Wnd::WindowProc(MsgId msg, WParam wp, LParam lp) {
  bool handled = false;
  LResult r = dispatchStandard(msg, wp, lp, &handled);
  return handled ? r : DefWindowProc(msg, wp, lp);
}

LResult Wnd::DefWindowProc(MsgId msg, WParam wp, LParam lp) {
  WindowData* d = data(m_hWnd);
  if (d && d->wc.proc) return d->wc.proc(m_hWnd, msg, wp, lp);
  return ui::DefWindowProc(m_hWnd, msg, wp, lp);
}

LResult Wnd::Default() {
  if (!current_) return 0;
  return DefWindowProc(current_->message, current_->wParam, current_->lParam);
}

LResult Wnd::SendMessage(MsgId msg, WParam wp, LParam lp) { return callWindow(m_hWnd, msg, wp, lp); }
bool Wnd::PostMessage(MsgId msg, WParam wp, LParam lp) { return ui::PostMessage(m_hWnd, msg, wp, lp); }

LResult Wnd::SendDlgItemMessage(int id, MsgId msg, WParam wp, LParam lp) {
  Wnd* c = GetDlgItem(id);
  return c ? c->SendMessage(msg, wp, lp) : 0;
}

void Wnd::SendMessageToDescendants(MsgId msg, WParam wp, LParam lp, bool deep) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  auto kids = d->children;
  for (Hwnd c : kids) {
    callWindow(c, msg, wp, lp);
    if (deep)
      if (Wnd* w = FromHandle(c)) w->SendMessageToDescendants(msg, wp, lp, true);
  }
}

bool Wnd::PreTranslateMessage(Msg*) { return false; }

bool Wnd::OnCommand(WParam wp, LParam lp) {
  if (lp) {
    if (Wnd* child = FromHandle(HwndFromParam(lp))) {
      LResult r = 0;
      if (child != this && child->OnChildNotify(wm::Command, wp, lp, &r)) return true;
    }
  }
  return false;
}

bool Wnd::OnNotify(WParam wp, LParam lp, LResult* result) {
  auto* hdr = reinterpret_cast<NotifyHeader*>(lp);
  if (!hdr) return false;
  if (Wnd* child = FromHandle(hdr->hwndFrom))
    if (child != this && child->OnChildNotify(wm::Notify, wp, lp, result)) return true;
  return false;
}

bool Wnd::OnChildNotify(MsgId, WParam, LParam, LResult*) { return false; }

LResult Wnd::dispatchStandard(MsgId msg, WParam wp, LParam lp, bool* handled) {
  *handled = true;
  Point p = PointFromLParam(lp);
  switch (msg) {
    case wm::Create: return OnCreate(reinterpret_cast<CreateStruct*>(lp));
    case wm::Destroy: OnDestroy(); return 0;
    case wm::NcDestroy: OnNcDestroy(); return 0;
    case wm::Paint: OnPaint(); return 0;
    case wm::EraseBkgnd: return OnEraseBkgnd(reinterpret_cast<DC*>(wp)) ? 1 : 0;
    case wm::Size: OnSize(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::Move: OnMove(GetXLParam(lp), GetYLParam(lp)); return 0;
    case wm::ShowWindow: OnShowWindow(wp != 0, unsigned(lp)); return 0;
    case wm::Close: OnClose(); return 0;
    case wm::SetFocus: OnSetFocus(FromHandle(HwndFromParam(std::intptr_t(wp)))); return 0;
    case wm::KillFocus: OnKillFocus(FromHandle(HwndFromParam(std::intptr_t(wp)))); return 0;
    case wm::Enable: OnEnable(wp != 0); return 0;
    case wm::LButtonDown: OnLButtonDown(unsigned(wp), p); return 0;
    case wm::LButtonUp: OnLButtonUp(unsigned(wp), p); return 0;
    case wm::LButtonDblClk: OnLButtonDblClk(unsigned(wp), p); return 0;
    case wm::RButtonDown: OnRButtonDown(unsigned(wp), p); return 0;
    case wm::RButtonUp: OnRButtonUp(unsigned(wp), p); return 0;
    case wm::MButtonDown: OnMButtonDown(unsigned(wp), p); return 0;
    case wm::MButtonUp: OnMButtonUp(unsigned(wp), p); return 0;
    case wm::MouseMove: OnMouseMove(unsigned(wp), p); return 0;
    case wm::MouseWheel: return OnMouseWheel(LoWord(wp), GetWheelDelta(wp), p) ? 1 : 0;
    case wm::KeyDown: OnKeyDown(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::KeyUp: OnKeyUp(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::Char: OnChar(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::SysChar: OnSysChar(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::SysKeyDown: OnSysKeyDown(unsigned(wp), LoWord(lp), HiWord(lp)); return 0;
    case wm::Timer: OnTimer(wp); return 0;
    case wm::HScroll:
    case wm::VScroll: {
      auto* bar = dynamic_cast<ScrollBar*>(FromHandle(HwndFromParam(lp)));
      if (bar && bar != static_cast<Wnd*>(this)) {
        LResult r = 0;
        if (bar->OnChildNotify(msg, wp, lp, &r)) return r;
      }
      if (msg == wm::HScroll)
        OnHScroll(LoWord(wp), HiWord(wp), bar);
      else
        OnVScroll(LoWord(wp), HiWord(wp), bar);
      return 0;
    }
    case wm::ContextMenu: OnContextMenu(FromHandle(HwndFromParam(std::intptr_t(wp))), p); return 0;
    case wm::SetCursor: return OnSetCursor(FromHandle(HwndFromParam(std::intptr_t(wp))), LoWord(lp), HiWord(lp)) ? 1 : 0;
    case wm::CaptureChanged: OnCaptureChanged(FromHandle(HwndFromParam(lp))); return 0;
    case wm::GetDlgCode: return OnGetDlgCode();
    case wm::NcHitTest: return OnNcHitTest(p);
    case wm::SysColorChange: OnSysColorChange(); return 0;
    case wm::CopyData:
      return OnCopyData(FromHandle(HwndFromParam(std::intptr_t(wp))), reinterpret_cast<CopyDataStruct*>(lp)) ? 1 : 0;
    case wm::WindowPosChanging: OnWindowPosChanging(reinterpret_cast<WindowPos*>(lp)); return 0;
    case wm::WindowPosChanged: OnWindowPosChanged(reinterpret_cast<WindowPos*>(lp)); return 0;
    case wm::DrawItem: OnDrawItem(int(wp), reinterpret_cast<DrawItemStruct*>(lp)); return 1;
    case wm::MeasureItem: OnMeasureItem(int(wp), reinterpret_cast<MeasureItemStruct*>(lp)); return 1;
    case wm::Command: {
      if (OnCommand(wp, lp)) return 0;
      break;
    }
    case wm::Notify: {
      LResult r = 0;
      if (OnNotify(wp, lp, &r)) return r;
      break;
    }
    default:
      if (msg >= wm::CtlColorMsgBox && msg <= wm::CtlColorStatic) {
        Wnd* child = FromHandle(HwndFromParam(lp));
        LResult r = 0;
        if (child && child != this && child->OnChildNotify(msg, wp, lp, &r)) return r;
        return reinterpret_cast<LResult>(OnCtlColor(reinterpret_cast<DC*>(wp), child, msg - wm::CtlColorMsgBox));
      }
      break;
  }
  *handled = false;
  return 0;
}

int Wnd::OnCreate(CreateStruct*) { return int(Default()); }
void Wnd::OnDestroy() { Default(); }
void Wnd::OnNcDestroy() { Default(); }
void Wnd::OnPaint() { Default(); }
bool Wnd::OnEraseBkgnd(DC*) { return Default() != 0; }
void Wnd::OnSize(unsigned, int, int) { Default(); }
void Wnd::OnMove(int, int) { Default(); }
void Wnd::OnShowWindow(bool, unsigned) { Default(); }
void Wnd::OnClose() { Default(); }
void Wnd::OnSetFocus(Wnd*) { Default(); }
void Wnd::OnKillFocus(Wnd*) { Default(); }
void Wnd::OnEnable(bool) { Default(); }
void Wnd::OnLButtonDown(unsigned, Point) { Default(); }
void Wnd::OnLButtonUp(unsigned, Point) { Default(); }
void Wnd::OnLButtonDblClk(unsigned, Point) { Default(); }
void Wnd::OnRButtonDown(unsigned, Point) { Default(); }
void Wnd::OnRButtonUp(unsigned, Point) { Default(); }
void Wnd::OnMButtonDown(unsigned, Point) { Default(); }
void Wnd::OnMButtonUp(unsigned, Point) { Default(); }
void Wnd::OnMouseMove(unsigned, Point) { Default(); }
bool Wnd::OnMouseWheel(unsigned, int, Point) { return Default() != 0; }
void Wnd::OnKeyDown(unsigned, unsigned, unsigned) { Default(); }
void Wnd::OnKeyUp(unsigned, unsigned, unsigned) { Default(); }
void Wnd::OnChar(unsigned, unsigned, unsigned) { Default(); }
void Wnd::OnSysChar(unsigned, unsigned, unsigned) { Default(); }
void Wnd::OnSysKeyDown(unsigned, unsigned, unsigned) { Default(); }
void Wnd::OnTimer(std::uintptr_t) { Default(); }
void Wnd::OnHScroll(unsigned, unsigned, ScrollBar*) { Default(); }
void Wnd::OnVScroll(unsigned, unsigned, ScrollBar*) { Default(); }
void Wnd::OnContextMenu(Wnd*, Point) { Default(); }
bool Wnd::OnSetCursor(Wnd*, unsigned, unsigned) { return Default() != 0; }
void Wnd::OnCaptureChanged(Wnd*) { Default(); }
unsigned Wnd::OnGetDlgCode() { return unsigned(Default()); }
int Wnd::OnNcHitTest(Point) { return int(Default()); }
void Wnd::OnSysColorChange() { Default(); }
bool Wnd::OnCopyData(Wnd*, CopyDataStruct*) { return Default() != 0; }
void Wnd::OnWindowPosChanging(WindowPos*) { Default(); }
void Wnd::OnWindowPosChanged(WindowPos*) { Default(); }
void Wnd::OnDrawItem(int, DrawItemStruct* dis) {
  Wnd* child = dis ? FromHandle(dis->hwndItem) : nullptr;
  LResult r = 0;
  if (child && child != this && child->OnChildNotify(wm::DrawItem, current_ ? current_->wParam : 0,
                                                     ToLParam(dis), &r))
    return;
  Default();
}
void Wnd::OnMeasureItem(int id, MeasureItemStruct* mis) {
  Wnd* child = GetDlgItem(mis ? int(mis->CtlID) : id);
  LResult r = 0;
  if (child && child->OnChildNotify(wm::MeasureItem, WParam(id), ToLParam(mis), &r)) return;
  Default();
}
Brush* Wnd::OnCtlColor(DC*, Wnd*, unsigned) { return reinterpret_cast<Brush*>(Default()); }

// The system default window procedure.
LResult DefWindowProc(Hwnd h, MsgId msg, WParam wp, LParam lp) {
  WindowData* d = data(h);
  if (!d) return 0;
  switch (msg) {
    case wm::NcCreate: return 1;
    case wm::SetText: {
      const wchar_t* t = reinterpret_cast<const wchar_t*>(lp);
      d->text = t ? t : L"";
      invalidate(d, nullptr, true);
      return 1;
    }
    case wm::GetText: {
      auto* buf = reinterpret_cast<wchar_t*>(lp);
      if (!buf || wp == 0) return 0;
      size_t n = std::min<size_t>(d->text.size(), wp - 1);
      std::copy_n(d->text.data(), n, buf);
      buf[n] = 0;
      return LResult(n);
    }
    case wm::GetTextLength: return LResult(d->text.size());
    case wm::SetFont: {
      d->font = reinterpret_cast<Font*>(wp);
      if (d->font && d->font->IsValid())
        d->fontLf = d->font->logFont();
      else
        d->fontLf.reset();
      if (LoWord(std::uintptr_t(lp))) invalidate(d, nullptr, true);
      return 0;
    }
    case wm::GetFont: return reinterpret_cast<LResult>(d->font);
    case wm::Close: WindowSystem::destroy(h); return 0;
    case wm::EraseBkgnd: {
      DC* dc = reinterpret_cast<DC*>(wp);
      Color bg = d->wc.backgroundColor;
      if (bg == kNoColor && d->wc.background > 0) bg = GetSysColor(d->wc.background - 1);
      if (!dc || bg == kNoColor) return 0;
      Size cs = clientSize(d);
      dc->FillSolidRect(Rect(0, 0, cs.cx, cs.cy), bg);
      return 1;
    }
    case wm::Paint: {
      bool erase = false;
      detail::beginPaint(h, &erase);
      return 0;
    }
    case wm::NcHitTest: {
      Point p = PointFromLParam(lp);
      Point o = windowOrigin(d);
      Rect wr(o, d->rect.GetSize());
      if (!wr.PtInRect(p)) return ht::Nowhere;
      Point co = clientOrigin(d);
      Size cs = clientSize(d);
      if (Rect(co, cs).PtInRect(p)) return ht::Client;
      Rect in = insets(d);
      if ((d->style & ws::Caption) == ws::Caption && p.y < o.y + in.top && p.y >= co.y - GetSystemMetrics(sm::CyCaption))
        return ht::Caption;
      if ((d->style & ws::VScroll) && p.x >= co.x + cs.cx) return ht::VScroll;
      if ((d->style & ws::HScroll) && p.y >= co.y + cs.cy) return ht::HScroll;
      return ht::Border;
    }
    case wm::SetCursor: {
      // A child's parent decides first, as the platform does.
      if (!isTopLevel(d) && d->parent && callWindow(d->parent, msg, wp, lp)) return 1;
      if (LoWord(std::uintptr_t(lp)) == unsigned(ht::Client)) {
        SetCursor(d->wc.cursor ? d->wc.cursor : idc::Arrow);
        return 1;
      }
      return 0;
    }
    case wm::MouseWheel:
      if (!isTopLevel(d) && d->parent) return callWindow(d->parent, msg, wp, lp);
      return 0;
    case wm::ContextMenu:
      if (!isTopLevel(d) && d->parent) return callWindow(d->parent, msg, wp, lp);
      return 0;
    case wm::RButtonUp: {
      Point p = PointFromLParam(lp);
      Point sp = clientOrigin(d) + p;
      callWindow(h, wm::ContextMenu, ToWParam(h), LParamFromPoint(sp));
      return 0;
    }
    case wm::WindowPosChanged: {
      auto* pos = reinterpret_cast<WindowPos*>(lp);
      if (pos && !(pos->flags & swp::NoMove)) callWindow(h, wm::Move, 0, MakeLParam(d->rect.left, d->rect.top));
      if ((d = data(h)) && pos && !(pos->flags & swp::NoSize)) {
        Size c = clientSize(d);
        callWindow(h, wm::Size, size_type::Restored, MakeLParam(c.cx, c.cy));
      }
      return 0;
    }
    case wm::CtlColorBtn:
    case wm::CtlColorDlg:
    case wm::CtlColorStatic:
    case wm::CtlColorMsgBox:
    case wm::CtlColorScrollBar: {
      if (DC* dc = reinterpret_cast<DC*>(wp)) {
        dc->SetTextColor(GetSysColor(color::WindowText));
        dc->SetBkColor(GetSysColor(color::BtnFace));
      }
      return reinterpret_cast<LResult>(GetSysColorBrush(color::BtnFace));
    }
    case wm::CtlColorEdit:
    case wm::CtlColorListBox: {
      if (DC* dc = reinterpret_cast<DC*>(wp)) {
        dc->SetTextColor(GetSysColor(color::WindowText));
        dc->SetBkColor(GetSysColor(color::Window));
      }
      return reinterpret_cast<LResult>(GetSysColorBrush(color::Window));
    }
    default: return 0;
  }
}

}  // namespace ui
