// Keeping a window object of the layer alive while one of its own member
// functions runs. A handler called from inside it (a control's notification
// to its dialog) may bind another object to the same window, as a dialog's
// DDX_Control does, or destroy the window; the object the layer made for the
// window would then be deleted under the running function. While a keeper
// holds it, that deletion waits until the last keeper is gone.
#pragma once

namespace ui {

class Wnd;

class KeepAlive {
 public:
  explicit KeepAlive(Wnd* w);
  ~KeepAlive();
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;

 private:
  Wnd* w_;
};

// Deletes an object the layer no longer needs, or, while a keeper holds it,
// when the last keeper goes.
void deleteWhenFree(Wnd* w);

}  // namespace ui
