// The window layer in one include, and its start-up.
#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/gdi.h"
#include "platform/ui/ole.h"
#include "platform/ui/render.h"
#include "platform/ui/resources.h"
#include "platform/ui/types.h"
#include "platform/ui/wnd.h"

namespace ui {

// Registers the built-in window classes and the host directives of the layer
// with the input queue: the dialog answers `.set`, `.click`, `.dblclick`,
// `.select`, `.check`, `.menu`, `.msgbox`, `.file`, `.dragto`, `.drop`, and the
// immediate `.png ID PATH`. Safe to call more than once.
void init();

}  // namespace ui
