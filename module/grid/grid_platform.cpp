#include "module/grid/grid_platform.h"

namespace grid_platform {

void releaseCapture() {
  if (!ui::Wnd::GetCapture()) return;
  // The layer drops the capture when the window holding it goes: hand the
  // capture to a short-lived hidden window and destroy that.
  ui::Hwnd h = ui::CreateWindowEx(0, L"Wnd", L"", ui::ws::Popup, ui::Rect(0, 0, 0, 0), nullptr, 0);
  if (!h) return;
  if (ui::Wnd* w = ui::Wnd::FromHandle(h)) w->SetCapture();
  ui::DestroyWindow(h);
}

}  // namespace grid_platform
