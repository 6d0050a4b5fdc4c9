// Turning lines and lightweight polylines picked in the drawing into linear
// components of the current component definition: one component segment per
// line segment, every segment from the first to the second elevation of the
// suite's two-elevation window. The picked entities stay in the drawing.
#pragma once

#include <string>

// The texts of the pick loop.
inline constexpr const wchar_t* kLineToGjSelectPrompt = L"\n选择对象：";
inline constexpr const wchar_t* kLineToGjPickedFormat = L"\n选中%d个，总计%d个";

// The pick loop: a pick toggles a line or lightweight polyline in the picked
// list (highlighted while in it); Enter or the right button converts the
// list with the callback pair of the draw engine (g_createGjCb,
// g_decorateGjCb) and starts a new list, or ends the routine when the list is
// empty; Escape ends it. Nothing happens without a current component number.
void LineToGj();

// The elevation the window opens with: the value of "底标高" in the
// parameter lines of the current number of g_curLineGj; "层高" means the
// floor height g_floorHeight.
double LineToGjDefaultElevation();
