// Shared set-up of the window-layer tests: a clean window system, an empty
// input queue and the printed lines captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/editor/input.h"
#include "platform/ui/ui.h"

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::init();
    ui::resetWindowSystem();
    ed::inputQueue().clear();
    lines.clear();
    ui::setPrintHook([this](const std::wstring& l) { lines.push_back(l); });
  }
  void TearDown() override {
    ui::resetWindowSystem();
    ed::inputQueue().clear();
    ui::setPrintHook(nullptr);
  }
  // Queues script input: a directive ".name a b" or plain text.
  static void queue(const std::wstring& directive, std::vector<std::wstring> args = {}) {
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = directive;
    t.args = std::move(args);
    ed::inputQueue().push(t);
  }
  static void queueKind(ed::TokenKind k) {
    ed::InputToken t;
    t.kind = k;
    ed::inputQueue().push(t);
  }
  bool printed(const std::wstring& part) const {
    for (auto& l : lines)
      if (l.find(part) != std::wstring::npos) return true;
    return false;
  }
  std::vector<std::wstring> lines;
};

// A window that logs the messages it sees, for order checks.
class LogWnd : public ui::Wnd {
 public:
  std::vector<ui::MsgId> seen;
  std::vector<std::uintptr_t> timers;
  ui::LResult WindowProc(ui::MsgId m, ui::WParam wp, ui::LParam lp) override {
    seen.push_back(m);
    if (m == ui::wm::Timer) timers.push_back(wp);
    return Wnd::WindowProc(m, wp, lp);
  }
  size_t count(ui::MsgId m) const { return size_t(std::count(seen.begin(), seen.end(), m)); }
};
