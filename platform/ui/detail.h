// Internals shared by the layer's source files (not part of the API).
#pragma once

#include <memory>
#include <string>

#include "platform/ui/wnd.h"

namespace ui::detail {

// The window's paint recording (null for an invalid handle).
Recording* paintRecordingOf(Hwnd h);
// Client origin of the window inside its own window rectangle.
Point clientOffset(Hwnd h);
// Starts painting: answers the update rectangle and erase flag, clears them,
// and starts a fresh recording sized to the client area.
Rect beginPaint(Hwnd h, bool* erase);
// The position GetMessagePos answers (a notification made by a simulated click).
void setMessagePos(Point screen);
// Resets kept by other files (clipboard, message-box log, drag state, menus).
void resetClipboard();
void resetMessageBoxes();
void resetDialogs();
// Modal dialogs running, innermost last.
void pushModal(class Dialog* d);
void popModal(class Dialog* d);
// Text helpers.
std::wstring trim(std::wstring_view s);
bool iequalsW(std::wstring_view a, std::wstring_view b);
bool istartsWith(std::wstring_view s, std::wstring_view prefix);
std::wstring lowerW(std::wstring_view s);

}  // namespace ui::detail
