// Window-message watches and filters around the editor's input: every
// keyboard and mouse token a prompt reads is turned into the window messages
// the platform would send, passed to the registered filters (which may
// rewrite or swallow them) and then to the watches, before the prompt acts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/geom/geom.h"

namespace ed {

// Message numbers and key codes as the windowing platform numbers them.
constexpr unsigned kWmKeyDown = 0x0100;
constexpr unsigned kWmKeyUp = 0x0101;
constexpr unsigned kWmChar = 0x0102;
constexpr unsigned kWmMouseMove = 0x0200;
constexpr unsigned kWmLButtonDown = 0x0201;
constexpr unsigned kWmLButtonUp = 0x0202;
constexpr unsigned kWmRButtonDown = 0x0204;
constexpr unsigned kWmRButtonUp = 0x0205;
constexpr unsigned kWmMButtonDown = 0x0207;

constexpr int kVkLButton = 0x01;
constexpr int kVkRButton = 0x02;
constexpr int kVkCancel = 0x03;
constexpr int kVkBack = 0x08;
constexpr int kVkTab = 0x09;
constexpr int kVkReturn = 0x0D;
constexpr int kVkShift = 0x10;
constexpr int kVkControl = 0x11;
constexpr int kVkMenu = 0x12;
constexpr int kVkEscape = 0x1B;
constexpr int kVkSpace = 0x20;
constexpr int kVkDelete = 0x2E;
constexpr int kVkF1 = 0x70;

struct MsgPoint {
  long x = 0, y = 0;
};

// A window message as the hooks see it. hwnd is the drawing view's handle.
struct Msg {
  void* hwnd = nullptr;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  unsigned long time = 0;
  MsgPoint pt;            // cursor position in view pixels
  geom::Point3d world;    // the same position in drawing coordinates
};

using WatchFn = void (*)(const Msg*);
using FilterFn = bool (*)(Msg*);  // true: the message is swallowed

// Registering the same function twice has no effect; removing an unknown one
// returns false.
bool registerWatchWinMsg(WatchFn fn);
bool removeWatchWinMsg(WatchFn fn);
bool registerFilterWinMsg(FilterFn fn);
bool removeFilterWinMsg(FilterFn fn);

// Passes one message through the filters (in order of registration; the
// first that returns true swallows it) and then, unless swallowed, to every
// watch. Returns false when a filter swallowed it. The message may come
// back rewritten.
bool dispatchInputMessage(Msg& msg);

// Key state as GetAsyncKeyState answers it: bit 0x8000 set while the key is
// down. Shift follows the .shift-down/.shift-up tokens; tests may set any key.
short asyncKeyState(int vk);
void setKeyDown(int vk, bool down);
void resetKeyState();

// Key codes by name for ".key NAME" ("ESC", "ENTER", "SPACE", "SHIFT",
// "CTRL", "DEL", "F1".."F24", a single letter or digit); 0 when unknown.
int virtualKeyFromName(const std::wstring& name);
// The number in a function key's name after its "F" ("8" of "F8"): -1 when
// the text is empty or not all digits; a number too large for an int gives
// INT_MAX, so "F4294967297" is out of range rather than wrapped onto F1.
int functionKeyNumber(const std::wstring& digits);

// The drawing view's handle as hooks see it in Msg::hwnd.
void* drawingViewHandle();

}  // namespace ed
