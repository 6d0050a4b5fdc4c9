// Private to the window layer: the window system's state and the helpers
// that its source files (wnd*.cpp) share. Not part of the API.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/wnd.h"

namespace ui {

namespace wndsys {

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
System& sys();
// The window behind a handle; null for an invalid one.
WindowData* data(Hwnd h);
bool isTopLevel(const WindowData* d);
// Non-client insets: left, top, right, bottom.
Rect insets(const WindowData* d);
Size clientSize(const WindowData* d);
// Screen positions of the window's top-left corner and of its client area.
Point windowOrigin(const WindowData* d);
Point clientOrigin(const WindowData* d);
// The window and all its parents up to a top-level window are visible.
bool visibleChain(const WindowData* d);
// The z-ordered list the window belongs to (its parent's children, or the top-level list).
std::vector<Hwnd>& siblingList(WindowData* d);
// Calls the window's procedure with the message as the current one.
LResult callWindow(Hwnd h, MsgId msg, WParam wp, LParam lp);
// Adds r (the whole client area when null) to the update region.
void invalidate(WindowData* d, const Rect* r, bool erase);
void invalidateTree(WindowData* d);
// The focus window when it is d or lies inside d; else null.
Hwnd descendantFocus(WindowData* d);
// Paints the window when it has an update region and is shown.
void paintWindow(Hwnd h);
// Paints every window with an update region; false when none had one.
bool paintAll();
// Fires the timers that are due; false when none was.
bool fireDueTimers();
void registerBaseClasses();
// The creation parameters of a window of class `wc`.
CreateStruct makeCreateStruct(unsigned exStyle, const WindowClass& wc, const std::wstring& windowName, unsigned style,
                              const Rect& rect, Hwnd parent, unsigned id, void* createParam);

}  // namespace wndsys

// Gives the window system access to Wnd's private members.
struct WindowSystem {
  static void setCurrent(Wnd* w, const Msg* m) { w->current_ = m; }
  static const Msg* current(Wnd* w) { return w->current_; }
  static void setLayerOwned(Wnd* w, bool v) { w->layerOwned_ = v; }
  static bool layerOwned(Wnd* w) { return w->layerOwned_; }
  static Hwnd create(Wnd* obj, bool layerOwned, CreateStruct& cs, const WindowClass& wc);
  static void destroy(Hwnd h);
};

}  // namespace ui
