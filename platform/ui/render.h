// Turns recorded painting into PNG files (cairo), so a person can see what a
// window drew. Fonts come from the system's font configuration ("WenQuanYi
// Micro Hei" covers the Chinese texts); layouts use the layer's own metrics,
// so the picture may differ from real fonts by a pixel or two.
#pragma once

#include <filesystem>
#include <string>

#include "platform/ui/gdi.h"
#include "platform/ui/wnd.h"

namespace ui {

// Renders one recording (size from rec.size unless given) to a PNG file.
bool renderRecordingToPng(const Recording& rec, const std::filesystem::path& file, Size size = {},
                          std::wstring* error = nullptr);
// Repaints the window and its visible descendants (each paints its own
// client area) and renders them, with a frame and caption for top-level
// windows, into a PNG file.
bool renderWindowToPng(Wnd* wnd, const std::filesystem::path& file, std::wstring* error = nullptr);
// Text rendering loads the font configuration once; call this before drawing
// text to hand its caches back at exit, so leak checkers see a clean process.
void releaseFontCachesAtExit();

}  // namespace ui
