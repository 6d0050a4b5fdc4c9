// The title tip: a small popup laid exactly over a cell whose text is wider
// than the cell, showing the whole text. It hides itself as soon as the
// pointer leaves the cell or a key or button is pressed, and hands that input
// on to the window below, so it never gets in the way.
#pragma once

#include <string>

#include "platform/ui/wnd.h"

class CTitleTip : public ui::Wnd {
 public:
  static constexpr const wchar_t* kClassName = L"ZTitleTip";

  CTitleTip();  // registers the window class
  ~CTitleTip() override;

  // Creates the popup window for a parent (the grid).
  virtual bool Create(ui::Wnd* parent);
  using ui::Wnd::Create;

  // Offers the tip: titleRect is the text area and hoverRect the area in
  // which the pointer may move (both in the parent's client coordinates;
  // hoverRect null means titleRect). Shown only when the text does not fit.
  void Show(ui::Rect titleRect, const std::wstring& text, const ui::LogFont* font = nullptr,
            const ui::Rect* hoverRect = nullptr);
  void Hide();

  // The text shown last (with its padding spaces) and the areas in use.
  const std::wstring& shownText() const { return text_; }
  const ui::Rect& titleRect() const { return titleRect_; }
  const ui::Rect& hoverRect() const { return hoverRect_; }

  bool PreTranslateMessage(ui::Msg* msg) override;
  void OnMouseMove(unsigned flags, ui::Point p) override;
  void OnPaint() override;

 private:
  // Posts a mouse message to the window under a screen point (the parent
  // when that is the tip itself), as a client or a non-client message.
  void forwardMouse(ui::MsgId clientMsg, ui::MsgId ncMsg, ui::WParam keys, ui::Point screen);

  ui::Wnd* parent_ = nullptr;
  ui::Rect titleRect_{};
  ui::Rect hoverRect_{};
  std::wstring text_;
  ui::LogFont font_;
};
