// Shared fixture of the grid tests: a dialog-like parent window that records
// what the grid tells it, and a grid inside it with a known geometry.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "module/grid/grid_ctrl.h"
#include "platform/editor/input.h"
#include "platform/ui/ui.h"

// The owner of a grid: records the grid's notifications, the drop-down
// closings and the click commands.
class RecordingParent : public ui::Wnd {
 public:
  struct Note {
    int code;
    int row;
    int col;
    bool operator==(const Note&) const = default;
  };
  std::vector<Note> notes;
  std::vector<std::pair<std::wstring, CCellID>> listClosed;
  int clickCommands = 0;

  bool OnNotify(ui::WParam, ui::LParam lp, ui::LResult* result) override {
    const auto* n = reinterpret_cast<const GridNotify*>(lp);
    notes.push_back({n->hdr.code, n->row, n->col});
    if (result) *result = 0;
    return true;
  }
  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override {
    if (msg == WM_GRID_LISTCLOSED) {
      const auto* text = reinterpret_cast<const std::wstring*>(wp);
      const auto* n = reinterpret_cast<const GridNotify*>(lp);
      listClosed.emplace_back(*text, CCellID(n->row, n->col));
      return 0;
    }
    if (msg == ui::wm::Command && ui::LoWord(wp) == GRID_CONTROL_ID && ui::HiWord(wp) == 0) {
      ++clickCommands;
      return 0;
    }
    return ui::Wnd::WindowProc(msg, wp, lp);
  }
  // Codes only, in order.
  std::vector<int> codes() const {
    std::vector<int> out;
    for (const auto& n : notes) out.push_back(n.code);
    return out;
  }
};

// A fresh window system with a parent window titled "材料表".
class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::init();
    ui::resetWindowSystem();
    ui::clearRegistry();
    ui::clearClipboard();
    ed::inputQueue().clear();
    ASSERT_TRUE(parent.CreateEx(0, L"Wnd", L"材料表", ui::ws::Overlapped | ui::ws::Visible,
                                ui::Rect(0, 0, 800, 600), nullptr, 0));
  }
  void TearDown() override {
    ui::resetKeyState();
    ed::inputQueue().clear();
  }

  // A grid whose client area is width x height pixels, with one fixed row and
  // one fixed column, cols columns and rows rows (fixed ones included), every
  // row height rowH and every column width colW, and cell (r, c) holding
  // texts "R<r>C<c>" ("R2C3"). The client area shrinks by the scroll bars
  // when the cells do not fit.
  void makeGrid(CGridCtrl& g, int rows, int cols, int width, int height, int rowH = 20, int colW = 50,
                int fixedRows = 1, int fixedCols = 1) {
    ASSERT_TRUE(g.Create(ui::Rect(0, 0, width + 6, height + 6), &parent));
    // Scroll bars are worked out once, for the final sizes.
    g.redrawEnabled = false;
    g.SetColumnCount(cols);
    g.SetRowCount(rows);
    g.SetFixedRowCount(fixedRows);
    g.SetFixedColumnCount(fixedCols);
    for (int r = 0; r < rows; ++r) g.SetRowHeight(r, rowH);
    for (int c = 0; c < cols; ++c) g.SetColumnWidth(c, colW);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        g.SetItemText(r, c, L"R" + std::to_wstring(r) + L"C" + std::to_wstring(c));
    g.redrawEnabled = true;
    g.UpdateScrollBars();
  }

  // The centre of a cell in the grid's client coordinates.
  static ui::Point centreOf(const CGridCtrl& g, int row, int col) {
    ui::Rect r;
    EXPECT_TRUE(g.CellRect(row, col, &r));
    return ui::Point((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }

  RecordingParent parent;
};
