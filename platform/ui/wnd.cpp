// The window tree, message dispatch, the queue, timers and the simulated
// input devices.
#include "platform/ui/wnd.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <deque>
#include <map>
#include <unordered_map>

#include "platform/os/os.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail.h"

namespace ui {

namespace {

struct WindowData {
  Hwnd h = nullptr;
  Wnd* obj = nullptr;
  WindowClass wc;
  Hwnd parent = nullptr, owner = nullptr;
  std::vector<Hwnd> children;  // z-order, top first
  unsigned style = 0, exStyle = 0;
  int id = 0;
  std::wstring text;
  Rect rect;  // parent client coordinates (screen for top-level)
  Font* font = nullptr;
  std::optional<LogFont> fontLf;
  std::optional<Rect> update;
  bool erase = false;
  std::shared_ptr<Recording> paint = std::make_shared<Recording>();
  ScrollInfo scroll[2];
  bool scrollEnabled[2] = {true, true};
  std::map<int, std::intptr_t> longs;
  bool destroying = false;
};

struct Timer {
  Hwnd h;
  std::uintptr_t id;
  unsigned elapse;
  unsigned due;
  std::uint64_t seq;
};

struct System {
  std::unordered_map<std::uintptr_t, std::unique_ptr<WindowData>> windows;
  std::vector<Hwnd> topLevel;  // z-order, top first
  std::uintptr_t nextId = 0x10000;
  std::map<std::wstring, WindowClass> classes;
  Hwnd focus = nullptr, capture = nullptr, active = nullptr;
  std::deque<Msg> queue;
  std::vector<const Msg*> msgStack;
  std::vector<Timer> timers;
  std::uint64_t timerSeq = 0;
  unsigned clock = 0;
  std::map<unsigned, short> keys;
  Point cursor{100, 100};
  unsigned cursorId = idc::Arrow;
  std::optional<Rect> cursorClip;
  std::map<int, Color> sysColors;
  PrintHook printHook;
  Hwnd mainFrame = nullptr, view = nullptr;
  Point lastMessagePos;
};

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

LResult callWindow(Hwnd h, MsgId msg, WParam wp, LParam lp);

}  // namespace

// Gives wnd.cpp access to Wnd's private members.
struct WindowSystem {
  static void setCurrent(Wnd* w, const Msg* m) { w->current_ = m; }
  static const Msg* current(Wnd* w) { return w->current_; }
  static void setLayerOwned(Wnd* w, bool v) { w->layerOwned_ = v; }
  static bool layerOwned(Wnd* w) { return w->layerOwned_; }
  static Hwnd create(Wnd* obj, bool layerOwned, CreateStruct& cs, const WindowClass& wc);
  static void destroy(Hwnd h);
};

namespace {

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

}  // namespace

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
    if (old->layerOwned_) delete old;
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
  if (layerOwned_) delete this;
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
// Painting
// ---------------------------------------------------------------------------
void Wnd::Invalidate(bool erase) { InvalidateRect(nullptr, erase); }
void Wnd::InvalidateRect(const Rect* r, bool erase) {
  if (WindowData* d = data(m_hWnd)) invalidate(d, r, erase);
}
void Wnd::ValidateRect(const Rect* r) {
  WindowData* d = data(m_hWnd);
  if (!d || !d->update) return;
  if (!r) {
    d->update.reset();
    d->erase = false;
    return;
  }
  // A rectangle covering the whole update validates it; partial validation
  // keeps the (rectangular) update region.
  Rect inter;
  inter.IntersectRect(*d->update, *r);
  if (inter == *d->update) {
    d->update.reset();
    d->erase = false;
  }
}
bool Wnd::GetUpdateRect(Rect* r, bool) const {
  WindowData* d = data(m_hWnd);
  if (!d || !d->update) {
    if (r) *r = Rect{};
    return false;
  }
  if (r) *r = *d->update;
  return true;
}
void Wnd::UpdateWindow() { paintWindow(m_hWnd); }
bool Wnd::RedrawWindow(const Rect* r, unsigned) {
  InvalidateRect(r, true);
  UpdateWindow();
  return true;
}
void Wnd::ScrollWindow(int dx, int dy, const Rect* scrollRect, const Rect*) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  if (!scrollRect)
    for (Hwnd c : d->children)
      if (WindowData* cd = data(c)) cd->rect.OffsetRect(dx, dy);
  invalidate(d, scrollRect, true);
}

DC* Wnd::GetDC() { return data(m_hWnd) ? new ClientDC(this) : nullptr; }
DC* Wnd::GetWindowDC() { return data(m_hWnd) ? new WindowDC(this) : nullptr; }
int Wnd::ReleaseDC(DC* dc) {
  delete dc;
  return 1;
}
DC* Wnd::BeginPaint(PaintStruct* ps) {
  auto* dc = new PaintDC(this);
  if (ps) *ps = dc->m_ps;
  return dc;
}
void Wnd::EndPaint(PaintStruct* ps) {
  if (ps && ps->hdc) delete ps->hdc;
}

const Recording& Wnd::paintRecording() const {
  static const Recording empty;
  WindowData* d = data(m_hWnd);
  return d ? *d->paint : empty;
}
Recording& Wnd::paintRecording() {
  static Recording scratch;
  WindowData* d = data(m_hWnd);
  if (!d) {
    scratch.clear();
    return scratch;
  }
  return *d->paint;
}

// ---------------------------------------------------------------------------
// Timers
// ---------------------------------------------------------------------------
std::uintptr_t Wnd::SetTimer(std::uintptr_t id, unsigned elapse) {
  if (!data(m_hWnd)) return 0;
  auto& s = sys();
  KillTimer(id);
  unsigned e = std::max(1u, elapse);
  s.timers.push_back(Timer{m_hWnd, id, e, s.clock + e, ++s.timerSeq});
  return id ? id : 1;
}

bool Wnd::KillTimer(std::uintptr_t id) {
  auto& t = sys().timers;
  auto it = std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.h == m_hWnd && x.id == id; });
  bool found = it != t.end();
  t.erase(it, t.end());
  return found;
}

// ---------------------------------------------------------------------------
// Scroll bars
// ---------------------------------------------------------------------------
namespace {
int clampPos(const ScrollInfo& si, int pos) {
  int maxPos = si.nMax - std::max(int(si.nPage) - 1, 0);
  return std::max(si.nMin, std::min(pos, std::max(si.nMin, maxPos)));
}
unsigned barStyle(int bar) { return bar == sb::Horz ? ws::HScroll : ws::VScroll; }
}  // namespace

int Wnd::SetScrollInfo(int bar, const ScrollInfo* si, bool redraw) {
  WindowData* d = data(m_hWnd);
  if (!d || !si) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<ScrollBar*>(this)) {
      sbc->SetScrollInfo(si, redraw);
      return sbc->GetScrollPos();
    }
    return 0;
  }
  if (bar != sb::Horz && bar != sb::Vert) return 0;
  ScrollInfo& s = d->scroll[bar];
  if (si->fMask & sif::Range) {
    s.nMin = si->nMin;
    s.nMax = std::max(si->nMin, si->nMax);
  }
  if (si->fMask & sif::Page) s.nPage = std::min<unsigned>(si->nPage, unsigned(s.nMax - s.nMin + 1));
  if (si->fMask & sif::Pos) s.nPos = si->nPos;
  s.nPos = clampPos(s, s.nPos);
  if (si->fMask & (sif::Range | sif::Page)) {
    bool needed = s.nMax > s.nMin && int(s.nPage) <= s.nMax - s.nMin;
    bool shown = (d->style & barStyle(bar)) != 0;
    if (needed != shown && !(si->fMask & sif::DisableNoScroll)) ShowScrollBar(bar, needed);
    else if (!needed && (si->fMask & sif::DisableNoScroll) && !shown) ShowScrollBar(bar, true);
  }
  if ((d = data(m_hWnd)) && redraw) invalidate(d, nullptr, false);
  return d ? d->scroll[bar].nPos : 0;
}

bool Wnd::GetScrollInfo(int bar, ScrollInfo* si, unsigned mask) const {
  WindowData* d = data(m_hWnd);
  if (!d || !si) return false;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<const ScrollBar*>(this)) return sbc->GetScrollInfo(si, mask);
    return false;
  }
  if (bar != sb::Horz && bar != sb::Vert) return false;
  const ScrollInfo& s = d->scroll[bar];
  si->fMask = mask;
  if (mask & sif::Range) { si->nMin = s.nMin; si->nMax = s.nMax; }
  if (mask & sif::Page) si->nPage = s.nPage;
  if (mask & sif::Pos) si->nPos = s.nPos;
  if (mask & sif::TrackPos) si->nTrackPos = s.nTrackPos;
  return true;
}

int Wnd::SetScrollPos(int bar, int pos, bool redraw) {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<ScrollBar*>(this)) return sbc->SetScrollPos(pos, redraw);
    return 0;
  }
  if (bar != sb::Horz && bar != sb::Vert) return 0;
  int old = d->scroll[bar].nPos;
  d->scroll[bar].nPos = clampPos(d->scroll[bar], pos);
  d->scroll[bar].nTrackPos = d->scroll[bar].nPos;
  return old;
}

int Wnd::GetScrollPos(int bar) const {
  WindowData* d = data(m_hWnd);
  if (!d) return 0;
  if (bar == sb::Ctl) {
    if (auto* sbc = dynamic_cast<const ScrollBar*>(this)) return sbc->GetScrollPos();
    return 0;
  }
  return (bar == sb::Horz || bar == sb::Vert) ? d->scroll[bar].nPos : 0;
}

void Wnd::SetScrollRange(int bar, int minPos, int maxPos, bool redraw) {
  ScrollInfo si;
  si.fMask = sif::Range;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(bar, &si, redraw);
}

void Wnd::GetScrollRange(int bar, int* minPos, int* maxPos) const {
  ScrollInfo si;
  GetScrollInfo(bar, &si, sif::Range);
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
}

int Wnd::GetScrollLimit(int bar) const {
  ScrollInfo si;
  if (!GetScrollInfo(bar, &si, sif::All)) return 0;
  return std::max(si.nMin, si.nMax - std::max(int(si.nPage) - 1, 0));
}

void Wnd::ShowScrollBar(int bar, bool show) {
  WindowData* d = data(m_hWnd);
  if (!d) return;
  unsigned bits = bar == sb::Both ? (ws::HScroll | ws::VScroll) : bar == sb::Horz ? ws::HScroll
                                                              : bar == sb::Vert   ? ws::VScroll
                                                                                  : 0;
  if (!bits) return;
  unsigned n = show ? (d->style | bits) : (d->style & ~bits);
  if (n == d->style) return;
  Size before = clientSize(d);
  d->style = n;
  if (clientSize(d) != before) {
    Hwnd h = m_hWnd;
    invalidate(d, nullptr, true);
    Size c = clientSize(d);
    callWindow(h, wm::Size, size_type::Restored, MakeLParam(c.cx, c.cy));
  }
}

void Wnd::EnableScrollBarCtrl(int bar, bool enable) {
  // Window scroll bars: enabling shows them, disabling hides them.
  ShowScrollBar(bar, enable);
}

bool Wnd::EnableScrollBar(int bar, unsigned arrows) {
  WindowData* d = data(m_hWnd);
  if (!d) return false;
  auto set = [&](int b) { d->scrollEnabled[b] = arrows == 0; };
  if (bar == sb::Both) { set(0); set(1); }
  else if (bar == sb::Horz || bar == sb::Vert) set(bar);
  return true;
}

bool Wnd::IsScrollBarShown(int bar) const {
  WindowData* d = data(m_hWnd);
  return d && (bar == sb::Horz || bar == sb::Vert) && (d->style & barStyle(bar));
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

// ---------------------------------------------------------------------------
// Free functions
// ---------------------------------------------------------------------------
bool IsWindow(Hwnd h) { return data(h) != nullptr; }
bool DestroyWindow(Hwnd h) {
  if (!data(h)) return false;
  WindowSystem::destroy(h);
  return true;
}
LResult SendMessage(Hwnd h, MsgId msg, WParam wp, LParam lp) { return callWindow(h, msg, wp, lp); }
bool PostMessage(Hwnd h, MsgId msg, WParam wp, LParam lp) {
  if (h && !data(h)) return false;
  sys().queue.push_back(Msg{h, msg, wp, lp, sys().clock, sys().cursor});
  return true;
}

Hwnd CreateWindowEx(unsigned exStyle, const std::wstring& className, const std::wstring& windowName, unsigned style,
                    const Rect& rect, Hwnd parent, unsigned id, void* createParam) {
  WindowClass wc;
  if (!GetClassInfo(className, &wc)) return nullptr;
  Wnd* obj = wc.factory ? wc.factory() : (wc.proc ? nullptr : new Wnd);
  CreateStruct cs = makeCreateStruct(exStyle, wc, windowName, style, rect, parent, id, createParam);
  if (obj && !obj->PreCreateWindow(cs)) {
    delete obj;
    return nullptr;
  }
  return WindowSystem::create(obj, true, cs, wc);
}

Hwnd WindowFromPoint(Point p) {
  std::function<Hwnd(Hwnd)> descend = [&](Hwnd h) -> Hwnd {
    WindowData* d = data(h);
    for (Hwnd c : d->children) {
      WindowData* cd = data(c);
      if (!cd || !(cd->style & ws::Visible)) continue;
      if (Rect(windowOrigin(cd), cd->rect.GetSize()).PtInRect(p)) {
        if (callWindow(c, wm::NcHitTest, 0, LParamFromPoint(p)) == ht::Transparent) continue;
        return descend(c);
      }
    }
    return h;
  };
  auto tops = sys().topLevel;
  for (Hwnd t : tops) {
    WindowData* d = data(t);
    if (!d || !(d->style & ws::Visible)) continue;
    if (!Rect(d->rect.TopLeft(), d->rect.GetSize()).PtInRect(p)) continue;
    if (callWindow(t, wm::NcHitTest, 0, LParamFromPoint(p)) == ht::Transparent) continue;
    return descend(t);
  }
  return nullptr;
}

Hwnd GetFocusHwnd() { return sys().focus; }
bool ReleaseCapture() {
  Hwnd old = sys().capture;
  sys().capture = nullptr;
  if (old && data(old)) callWindow(old, wm::CaptureChanged, 0, 0);
  return true;
}
std::vector<Hwnd> topLevelWindows() { return sys().topLevel; }
const Msg* GetCurrentMessage() { return sys().msgStack.empty() ? nullptr : sys().msgStack.back(); }
Point GetMessagePos() { return sys().lastMessagePos; }

bool dispatchInput(const Msg& in) {
  Msg m = in;
  if (m.hwnd && !data(m.hwnd)) return false;
  sys().lastMessagePos = m.pt;
  if (m.hwnd) {
    for (WindowData* d = data(m.hwnd); d;) {
      Hwnd h = d->h;
      Wnd* obj = d->obj;
      if (obj && obj->PreTranslateMessage(&m)) return false;
      d = data(h);
      if (!d || isTopLevel(d)) break;
      d = data(d->parent);
    }
  }
  if (!m.hwnd || !data(m.hwnd)) return false;
  callWindow(m.hwnd, m.message, m.wParam, m.lParam);
  return true;
}

int pumpMessages() {
  auto& s = sys();
  int handled = 0;
  for (int round = 0; round < 1000; ++round) {
    bool progress = false;
    // Only what is queued now; messages posted meanwhile wait for the next round.
    size_t n = s.queue.size();
    for (size_t i = 0; i < n && !s.queue.empty(); ++i) {
      Msg m = s.queue.front();
      s.queue.pop_front();
      if (m.hwnd && !data(m.hwnd)) continue;
      dispatchInput(m);
      ++handled;
      progress = true;
    }
    if (paintAll()) progress = true;
    if (fireDueTimers()) {
      progress = true;
      ++handled;
    }
    if (!progress || s.queue.empty()) {
      if (!progress) break;
      if (s.queue.empty()) {
        // Paint what the last messages and timers invalidated, then stop.
        paintAll();
        break;
      }
    }
  }
  return handled;
}

size_t queuedMessageCount() { return sys().queue.size(); }
void clearMessageQueue() { sys().queue.clear(); }

unsigned tickCount() { return sys().clock; }

void advanceClock(unsigned ms) {
  auto& s = sys();
  unsigned target = s.clock + ms;
  for (int guard = 0; guard < 1000000; ++guard) {
    unsigned next = target;
    bool any = false;
    for (auto& t : s.timers)
      if (t.due <= target && (!any || t.due < next)) {
        next = std::max(t.due, s.clock);
        any = true;
      }
    if (!any) break;
    s.clock = next;
    pumpMessages();
  }
  s.clock = target;
  pumpMessages();
}

Point GetCursorPos() { return sys().cursor; }
void SetCursorPos(Point p) {
  auto& s = sys();
  if (s.cursorClip) {
    p.x = std::clamp(p.x, s.cursorClip->left, s.cursorClip->right - 1);
    p.y = std::clamp(p.y, s.cursorClip->top, s.cursorClip->bottom - 1);
  }
  s.cursor = p;
}
unsigned SetCursor(unsigned id) {
  unsigned old = sys().cursorId;
  sys().cursorId = id;
  return old;
}
unsigned GetCursor() { return sys().cursorId; }
unsigned LoadCursor(unsigned id) { return id; }
void ClipCursor(const Rect* r) {
  if (r)
    sys().cursorClip = *r;
  else
    sys().cursorClip.reset();
}
std::optional<Rect> cursorClip() { return sys().cursorClip; }

short GetKeyState(unsigned vkCode) {
  auto& k = sys().keys;
  auto it = k.find(vkCode);
  short v = it == k.end() ? 0 : it->second;
  if (vkCode == vk::Shift || vkCode == vk::Control) {
    unsigned l = vkCode == vk::Shift ? vk::LShift : vk::LControl;
    if (k.count(l) && (k[l] & 0x8000)) v = short(v | 0x8000);
    if (k.count(l + 1) && (k[l + 1] & 0x8000)) v = short(v | 0x8000);
  }
  return v;
}
short GetAsyncKeyState(unsigned vkCode) { return GetKeyState(vkCode) & short(0x8000); }
void setKeyDown(unsigned vkCode, bool down) {
  short& v = sys().keys[vkCode];
  if (down) {
    if (!(v & 0x8000)) v = short(v ^ 1);  // toggled on each press
    v = short(v | 0x8000);
  } else {
    v = short(v & 1);
  }
}
void resetKeyState() { sys().keys.clear(); }

Color GetSysColor(int index) {
  auto& s = sys();
  if (auto it = s.sysColors.find(index); it != s.sysColors.end()) return it->second;
  static const Color table[] = {
      RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
      RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
      RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
      RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
      RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
      RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(51, 153, 255),
      RGB(240, 240, 240)};
  if (index < 0 || index >= int(std::size(table))) return 0;
  return table[index];
}
void setSysColor(int index, Color c) { sys().sysColors[index] = c; }

int GetSystemMetrics(int index) {
  switch (index) {
    case sm::CxScreen: return 1920;
    case sm::CyScreen: return 1080;
    case sm::CxVScroll:
    case sm::CyHScroll:
    case sm::CyVThumb:
    case sm::CxHThumb:
    case sm::CyVScroll:
    case sm::CxHScroll: return 17;
    case sm::CyCaption: return 20;
    case sm::CxBorder:
    case sm::CyBorder: return 1;
    case sm::CxDlgFrame:
    case sm::CyDlgFrame: return 3;
    case sm::CxIcon:
    case sm::CyIcon:
    case sm::CxCursor:
    case sm::CyCursor: return 32;
    case sm::CyMenu: return 20;
    case sm::CxFullScreen: return 1920;
    case sm::CyFullScreen: return 1040;
    case sm::CxMin: return 136;
    case sm::CyMin: return 39;
    case sm::CxFrame:
    case sm::CyFrame: return 4;
    case sm::CxDoubleClk:
    case sm::CyDoubleClk:
    case sm::CxDrag:
    case sm::CyDrag: return 4;
    case sm::CxEdge:
    case sm::CyEdge: return 2;
    case sm::CxSmIcon:
    case sm::CySmIcon: return 16;
    case sm::CMouseButtons: return 3;
  }
  return 0;
}

unsigned GetDoubleClickTime() { return 500; }

void setPrintHook(PrintHook hook) { sys().printHook = std::move(hook); }
void print(const std::wstring& line) {
  if (sys().printHook) {
    sys().printHook(line);
    return;
  }
  std::string s = os::toUtf8(line);
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

namespace {
// The host's own windows live as long as the process; held here so that they
// stay reachable until exit.
Wnd* keepHostWindow(Wnd* w) {
  static auto* held = new std::vector<Wnd*>;  // never destroyed
  if (w && std::find(held->begin(), held->end(), w) == held->end()) held->push_back(w);
  return w;
}
}  // namespace

Wnd* mainFrame() {
  auto& s = sys();
  if (!data(s.mainFrame)) {
    s.mainFrame = CreateWindowEx(0, class_name::Window, L"KivZeb", ws::OverlappedWindow | ws::Visible,
                                 Rect(0, 0, 1280, 800), nullptr, 0);
  }
  return keepHostWindow(Wnd::FromHandle(s.mainFrame));
}

Wnd* drawingView() {
  auto& s = sys();
  if (!data(s.view)) {
    Wnd* f = mainFrame();
    Rect c = f->clientRect();
    s.view = CreateWindowEx(0, class_name::Window, L"", ws::Child | ws::Visible, c, f->m_hWnd, 0xE900);
  }
  return keepHostWindow(Wnd::FromHandle(s.view));
}

void resetWindowSystem() {
  auto& s = sys();
  for (int guard = 0; guard < 1000 && !s.topLevel.empty(); ++guard) {
    Hwnd h = s.topLevel.front();
    if (!data(h)) {
      s.topLevel.erase(s.topLevel.begin());
      continue;
    }
    WindowSystem::destroy(h);
  }
  s.queue.clear();
  s.timers.clear();
  s.focus = s.capture = s.active = nullptr;
  s.clock = 0;
  s.keys.clear();
  s.cursor = {100, 100};
  s.cursorId = idc::Arrow;
  s.cursorClip.reset();
  s.sysColors.clear();
  s.lastMessagePos = {};
  detail::resetClipboard();
  detail::resetMessageBoxes();
  detail::resetDialogs();
}

// ---------------------------------------------------------------------------
// Internals for the other files
// ---------------------------------------------------------------------------
namespace detail {

Recording* paintRecordingOf(Hwnd h) {
  WindowData* d = data(h);
  return d ? d->paint.get() : nullptr;
}

void setMessagePos(Point p) { sys().lastMessagePos = p; }

Point clientOffset(Hwnd h) {
  WindowData* d = data(h);
  if (!d) return {};
  Rect in = insets(d);
  return {in.left, in.top};
}

Rect beginPaint(Hwnd h, bool* erase) {
  WindowData* d = data(h);
  if (!d) return {};
  Size cs = clientSize(d);
  Rect r = d->update ? *d->update : Rect(0, 0, cs.cx, cs.cy);
  if (erase) *erase = d->erase;
  d->update.reset();
  d->erase = false;
  d->paint->clear();
  d->paint->size = cs;
  return r;
}

std::wstring trim(std::wstring_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::iswspace(s[b])) ++b;
  while (e > b && std::iswspace(s[e - 1])) --e;
  return std::wstring(s.substr(b, e - b));
}
std::wstring lowerW(std::wstring_view s) {
  std::wstring r(s);
  for (auto& c : r) c = wchar_t(std::towlower(c));
  return r;
}
bool iequalsW(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}
bool istartsWith(std::wstring_view s, std::wstring_view prefix) {
  return s.size() >= prefix.size() && iequalsW(s.substr(0, prefix.size()), prefix);
}

}  // namespace detail

// ---------------------------------------------------------------------------
// Simulated input
// ---------------------------------------------------------------------------
namespace sim {
namespace {

unsigned modifierKeys(unsigned keys) {
  if (GetKeyState(vk::Shift) & 0x8000) keys |= mk::Shift;
  if (GetKeyState(vk::Control) & 0x8000) keys |= mk::Control;
  return keys;
}

void mouse(Wnd* w, MsgId msg, Point client, unsigned keys) {
  if (!w || !data(w->m_hWnd)) return;
  Point screen = client;
  w->ClientToScreen(&screen);
  SetCursorPos(screen);
  Hwnd target = w->m_hWnd;
  Point p = client;
  if (Wnd* cap = Wnd::GetCapture()) {
    target = cap->m_hWnd;
    p = screen;
    cap->ScreenToClient(&p);
  } else if (msg != wm::MouseWheel) {
    LResult hit = callWindow(target, wm::NcHitTest, 0, LParamFromPoint(screen));
    callWindow(target, wm::SetCursor, ToWParam(target), MakeLParam(int(hit), int(msg)));
  }
  if (!data(target)) return;
  Msg m{target, msg, modifierKeys(keys), LParamFromPoint(p), sys().clock, screen};
  dispatchInput(m);
  pumpMessages();
}

wchar_t charOfKey(unsigned v) {
  bool shift = GetKeyState(vk::Shift) & 0x8000;
  bool ctrl = GetKeyState(vk::Control) & 0x8000;
  if (v >= 'A' && v <= 'Z') {
    if (ctrl) return wchar_t(v - 'A' + 1);
    return shift ? wchar_t(v) : wchar_t(v - 'A' + 'a');
  }
  if (v >= '0' && v <= '9') return wchar_t(v);
  switch (v) {
    case vk::Return: return L'\r';
    case vk::Escape: return 27;
    case vk::Tab: return L'\t';
    case vk::Back: return 8;
    case vk::Space: return L' ';
  }
  return 0;
}

}  // namespace

void mouseMove(Wnd* w, Point p, unsigned keys) { mouse(w, wm::MouseMove, p, keys); }
void lButtonDown(Wnd* w, Point p, unsigned keys) {
  setKeyDown(vk::LButton, true);
  mouse(w, wm::LButtonDown, p, keys | mk::LButton);
}
void lButtonUp(Wnd* w, Point p, unsigned keys) {
  setKeyDown(vk::LButton, false);
  mouse(w, wm::LButtonUp, p, keys);
}
void click(Wnd* w, Point p, unsigned keys) {
  lButtonDown(w, p, keys);
  lButtonUp(w, p, keys);
}
void doubleClick(Wnd* w, Point p, unsigned keys) {
  lButtonDown(w, p, keys);
  lButtonUp(w, p, keys);
  WindowData* d = w ? data(w->m_hWnd) : nullptr;
  setKeyDown(vk::LButton, true);
  mouse(w, (d && (d->wc.style & cs::DblClks)) ? wm::LButtonDblClk : wm::LButtonDown, p, keys | mk::LButton);
  lButtonUp(w, p, keys);
}
void rButtonDown(Wnd* w, Point p, unsigned keys) {
  setKeyDown(vk::RButton, true);
  mouse(w, wm::RButtonDown, p, keys | mk::RButton);
}
void rButtonUp(Wnd* w, Point p, unsigned keys) {
  setKeyDown(vk::RButton, false);
  mouse(w, wm::RButtonUp, p, keys);
}
void rightClick(Wnd* w, Point p, unsigned keys) {
  rButtonDown(w, p, keys);
  rButtonUp(w, p, keys);
}
void wheel(Wnd* w, int delta, Point client, unsigned keys) {
  if (!w || !data(w->m_hWnd)) return;
  Point screen = client;
  w->ClientToScreen(&screen);
  SetCursorPos(screen);
  Hwnd target = Wnd::GetFocus() && (w->IsChild(Wnd::GetFocus()) || Wnd::GetFocus() == w) ? Wnd::GetFocus()->m_hWnd
                                                                                          : w->m_hWnd;
  Msg m{target, wm::MouseWheel, MakeWParam(modifierKeys(keys), unsigned(delta & 0xFFFF)), LParamFromPoint(screen),
        sys().clock, screen};
  dispatchInput(m);
  pumpMessages();
}

// Key messages go to a handle, so a target destroyed by an earlier message
// of the same key press is simply skipped.
bool sendKeyMsg(Hwnd target, MsgId msg, WParam wp, LParam lp) {
  if (!data(target)) return false;
  Msg m{target, msg, wp, lp, sys().clock, sys().cursor};
  bool dispatched = dispatchInput(m);
  pumpMessages();
  return dispatched;
}

void keyDown(unsigned v, Wnd* w) {
  setKeyDown(v, true);
  sendKeyMsg(w ? w->m_hWnd : sys().focus, wm::KeyDown, v, 1);
}
void keyUp(unsigned v, Wnd* w) {
  setKeyDown(v, false);
  sendKeyMsg(w ? w->m_hWnd : sys().focus, wm::KeyUp, v, LParam(0xC0000001));
}
void key(unsigned v, Wnd* w) {
  Hwnd target = w ? w->m_hWnd : sys().focus;
  setKeyDown(v, true);
  // A key consumed before dispatch (a dialog's Enter, Escape, Tab) makes no character.
  bool dispatched = sendKeyMsg(target, wm::KeyDown, v, 1);
  if (wchar_t c = dispatched ? charOfKey(v) : 0) sendKeyMsg(w ? target : sys().focus, wm::Char, WParam(c), 1);
  setKeyDown(v, false);
  sendKeyMsg(w ? target : sys().focus, wm::KeyUp, v, LParam(0xC0000001));
}
void typeChar(wchar_t ch, Wnd* w) {
  Hwnd target = w ? w->m_hWnd : sys().focus;
  if (!data(target)) return;
  Msg m{target, wm::Char, WParam(ch), 1, sys().clock, sys().cursor};
  dispatchInput(m);
  pumpMessages();
}
void typeText(std::wstring_view text, Wnd* w) {
  for (wchar_t c : text) typeChar(c, w);
}

}  // namespace sim

}  // namespace ui
