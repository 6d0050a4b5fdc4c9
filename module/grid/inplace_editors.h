// The editors the grid lays over a cell while it is edited: a single-line
// edit box that grows with its text, and, for cells with an item list, a
// combo box (whose edit part, in an editable drop-down, is a CComboEdit).
// Either reports the final text to the grid with a GridEditEnd notification
// when it loses the focus, then closes and deletes itself.
#pragma once

#include <string>
#include <vector>

#include "module/grid/grid_types.h"
#include "platform/ui/controls.h"

// Single-line edit over a normal cell.
class CInPlaceEdit : public ui::Edit {
 public:
  // Creates the edit over rect (grid client coordinates), gives it the text
  // and the focus; key is the character or virtual key that started the edit
  // (ui::vk::LButton for the mouse).
  CInPlaceEdit(ui::Wnd* parent, const ui::Rect& rect, unsigned style, unsigned id, int row, int col,
               const std::wstring& text, unsigned key);
  ~CInPlaceEdit() override;

  // Reports the final text to the grid and closes.
  void EndEdit();

  int row() const { return row_; }
  int col() const { return col_; }
  unsigned lastKey() const { return lastKey_; }
  const ui::Rect& rect() const { return rect_; }

  bool PreTranslateMessage(ui::Msg* msg) override;
  void PostNcDestroy() override;
  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;

 private:
  void onKeyDown(unsigned key);
  void onChar(unsigned ch, ui::WParam wp, ui::LParam lp);

  int row_;
  int col_;
  std::wstring initialText_;
  unsigned lastKey_ = 0;
  bool exitOnArrows_;
  ui::Rect rect_;
  bool ending_ = false;
};

class CInPlaceList;

// The edit part of an editable in-place drop-down.
class CComboEdit : public ui::Edit {
 public:
  CComboEdit() = default;
  ~CComboEdit() override = default;
  bool PreTranslateMessage(ui::Msg* msg) override;
  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;
  void PostNcDestroy() override;

 private:
  CInPlaceList* combo() const;
};

// Combo box over a cell with an item list.
class CInPlaceList : public ui::ComboBox {
 public:
  CInPlaceList(ui::Wnd* parent, ui::Rect rect, unsigned style, unsigned id, int row, int col,
               const std::vector<std::wstring>& items, const std::wstring& text, unsigned key);
  ~CInPlaceList() override;

  void EndEdit();

  int row() const { return row_; }
  int col() const { return col_; }
  unsigned lastKey() const { return lastKey_; }
  // Sets the key that ends the edit and hands the focus back to the grid.
  void endWithKey(unsigned key);
  const std::wstring& initialText() const { return initialText_; }

  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;
  void PostNcDestroy() override;

 private:
  CComboEdit edit_;
  int dropDownItems_ = 4;
  std::wstring initialText_;
  int row_;
  int col_;
  unsigned lastKey_ = 0;
  bool ending_ = false;
};
