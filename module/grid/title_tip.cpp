#include "module/grid/title_tip.h"


namespace {

void registerTipClass() {
  if (ui::GetClassInfo(CTitleTip::kClassName)) return;
  ui::WindowClass wc;
  wc.name = CTitleTip::kClassName;
  wc.style = ui::cs::SaveBits;
  wc.cursor = ui::idc::Arrow;
  wc.background = ui::color::InfoBk + 1;
  ui::RegisterWindowClass(wc);
}

// The window under a screen point; the tip itself stands for its parent.
ui::Wnd* windowBelow(ui::Wnd* tip, ui::Wnd* parent, ui::Point screen) {
  ui::Wnd* w = ui::Wnd::FromHandle(ui::WindowFromPoint(screen));
  if (!w || w == tip) w = parent;
  return w;
}

}  // namespace

CTitleTip::CTitleTip() { registerTipClass(); }

CTitleTip::~CTitleTip() {
  if (GetSafeHwnd() && ui::IsWindow(GetSafeHwnd())) DestroyWindow();
}

bool CTitleTip::Create(ui::Wnd* parent) {
  parent_ = parent;
  return CreateEx(ui::ws_ex::ToolWindow | ui::ws_ex::Topmost, kClassName, L"", ui::ws::Popup | ui::ws::Border,
                  ui::Rect(0, 0, 0, 0), nullptr, 0);
}

void CTitleTip::Show(ui::Rect titleRect, const std::wstring& text, const ui::LogFont* font,
                     const ui::Rect* hoverRect) {
  if (titleRect.IsRectEmpty()) return;
  ui::Rect hover = hoverRect ? *hoverRect : titleRect;
  if (!parent_ || !GetSafeHwnd()) return;
  if (IsWindowVisible() || !ui::Wnd::GetFocus()) return;

  titleRect_ = ui::Rect(-1, -1, titleRect.Width(), titleRect.Height() + 1);
  parent_->ClientToScreen(&titleRect);

  font_ = font ? *font : parent_->effectiveFont();
  text_ = L" " + text + L" ";
  ui::Size extent = ui::TextExtent(font_, text_);
  extent.cx += ui::MetricsOf(font_).tmOverhang;

  // Shown only when the text does not fit its cell.
  if (titleRect.left + extent.cx <= titleRect.right) return;
  SetWindowPos(ui::HWND_TOP, titleRect.left, titleRect.top, extent.cx, titleRect.Height(),
               ui::swp::ShowWindow | ui::swp::NoActivate);
  // The hover area is kept in the tip's own client coordinates, as placed now.
  parent_->ClientToScreen(&hover);
  ScreenToClient(&hover);
  hoverRect_ = hover;
  if (ui::DC* dc = GetDC()) {
    ui::Font f;
    f.CreateFontIndirect(&font_);
    ui::Font* old = dc->SelectObject(&f);
    dc->SetBkMode(ui::bkmode::Transparent);
    dc->TextOut(0, 0, text_);
    dc->SelectObject(old);
    ReleaseDC(dc);
  }
  SetCapture();
}

void CTitleTip::Hide() {
  if (!GetSafeHwnd() || !ui::IsWindow(GetSafeHwnd())) return;
  if (ui::Wnd::GetCapture() == this) ui::ReleaseCapture();
  ShowWindow(ui::sw::Hide);
}

void CTitleTip::OnPaint() {
  ui::PaintDC dc(this);
  ui::Rect r = clientRect();
  dc.FillSolidRect(r, ui::GetSysColor(ui::color::InfoBk));
  ui::Font f;
  f.CreateFontIndirect(&font_);
  ui::Font* old = dc.SelectObject(&f);
  dc.SetBkMode(ui::bkmode::Transparent);
  dc.SetTextColor(ui::GetSysColor(ui::color::InfoText));
  dc.TextOut(0, 0, text_);
  dc.SelectObject(old);
}

void CTitleTip::forwardMouse(ui::MsgId clientMsg, ui::MsgId ncMsg, ui::WParam keys, ui::Point screen) {
  ui::Wnd* target = windowBelow(this, parent_, screen);
  if (!target) return;
  const int hit = int(target->SendMessage(ui::wm::NcHitTest, 0, ui::LParamFromPoint(screen)));
  if (hit == ui::ht::Client) {
    ui::Point p = screen;
    target->ScreenToClient(&p);
    target->PostMessage(clientMsg, keys, ui::LParamFromPoint(p));
  } else {
    target->PostMessage(ncMsg, ui::WParam(hit), ui::LParamFromPoint(screen));
  }
}

void CTitleTip::OnMouseMove(unsigned flags, ui::Point p) {
  if (hoverRect_.PtInRect(p)) return;
  Hide();
  ui::Point screen = p;
  ClientToScreen(&screen);
  forwardMouse(ui::wm::MouseMove, ui::wm::NcMouseMove, flags, screen);
}

bool CTitleTip::PreTranslateMessage(ui::Msg* msg) {
  switch (msg->message) {
    case ui::wm::KeyDown:
    case ui::wm::SysKeyDown:
      Hide();
      if (parent_) parent_->PostMessage(msg->message, msg->wParam, msg->lParam);
      return true;
    case ui::wm::LButtonDown:
    case ui::wm::RButtonDown:
    case ui::wm::MButtonDown: {
      ui::Point screen = ui::PointFromLParam(msg->lParam);
      if (ui::Wnd* from = ui::Wnd::FromHandle(msg->hwnd)) from->ClientToScreen(&screen);
      const ui::MsgId nc = msg->message == ui::wm::LButtonDown   ? ui::wm::NcLButtonDown
                           : msg->message == ui::wm::RButtonDown ? ui::wm::NcRButtonDown
                                                                 : ui::wm::NcMButtonDown;
      ui::Wnd* target = windowBelow(this, parent_, screen);
      Hide();
      if (target) {
        const int hit = int(target->SendMessage(ui::wm::NcHitTest, 0, ui::LParamFromPoint(screen)));
        if (hit == ui::ht::Client) {
          ui::Point p = screen;
          target->ScreenToClient(&p);
          target->PostMessage(msg->message, msg->wParam, ui::LParamFromPoint(p));
        } else {
          target->PostMessage(nc, ui::WParam(hit), ui::LParamFromPoint(screen));
        }
      }
      return true;
    }
    default:
      if (ui::Wnd::GetFocus()) return ui::Wnd::PreTranslateMessage(msg);
      Hide();
      return true;
  }
}
