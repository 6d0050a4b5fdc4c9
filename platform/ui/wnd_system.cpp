// The window system's free functions: the queue and pump, the clock, the
// cursor and keys, system colours and metrics, the host's windows, the reset;
// and the internals the other files of the layer use.
#include "platform/ui/wnd.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "platform/os/os.h"
#include "platform/ui/controls.h"
#include "platform/ui/detail.h"
#include "platform/ui/wnd_internal.h"

namespace ui {

using namespace wndsys;

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

}  // namespace ui
