// An off-screen device context over a real one: drawing goes into a bitmap
// of the real context's clip box and is copied out in one piece when the
// object goes, so painting does not flicker. Over a printer it draws on the
// printer directly.
#pragma once

#include "platform/ui/gdi.h"

class CMemDC : public ui::DC {
 public:
  explicit CMemDC(ui::DC* real);
  ~CMemDC() override;

  // The context to draw on: this one, or the printer's.
  ui::DC* target() { return isMemory_ ? this : real_; }
  bool isMemory() const { return isMemory_; }
  const ui::Rect& rect() const { return rect_; }

 private:
  ui::Bitmap bitmap_;
  ui::Bitmap* oldBitmap_ = nullptr;
  ui::DC* real_;
  ui::Rect rect_;
  bool isMemory_ = false;
};
