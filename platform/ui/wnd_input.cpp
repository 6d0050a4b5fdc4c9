// Simulated mouse and keyboard input.
#include "platform/ui/wnd.h"

#include "platform/ui/wnd_internal.h"

namespace ui {

using namespace wndsys;

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
