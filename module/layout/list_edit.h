// The editable row lists of the multi-line and through-pipe dialogs and what
// both dialogs share: the tree of component types with their numbers on the
// current floor, and the four-field rows they hand back.
//
// Both lists are report lists whose columns are fixed by the dialog: 0 the
// running number, 1 the component name, 2 the number, 3 and 4 the two
// editable values. A first click on a cell makes it current; a second click
// on the current cell of an editable column opens the in-place editor. The
// through list also opens row 0, column 3 (the first start elevation) on one
// click, and an edited end elevation is carried into the start elevation of
// the row below, so the chain of elevations stays closed.
//
// The rules live in EditListRules, a plain state class, so that they can be
// tested without windows; the controls only feed it.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/ui/controls.h"

// Column indices of both lists.
namespace listcol {
constexpr int kNumber = 0, kName = 1, kGjNumber = 2, kFirstValue = 3, kSecondValue = 4;
}

enum class EditListKind {
  MultiLine,  // offsets: columns 3 and 4 of every row by a second click
  Through     // elevations: column 3 of row 0 by one click, column 4 by a second click
};

// What a click asks of the control.
enum class ListClickAction { None, Select, Edit };

class EditListRules {
 public:
  explicit EditListRules(EditListKind kind) : kind_(kind) {}

  EditListKind kind() const { return kind_; }
  int currentRow() const { return row_; }
  int currentColumn() const { return col_; }
  bool cellSelected() const { return selected_; }

  // A left click on (row, col); row -1 means outside every row. editing: an
  // edit is open. Select: the cell became current; Edit: open the editor on
  // the current cell.
  ListClickAction click(int row, int col, bool editing);
  // Whether the cell may be edited at all.
  bool editable(int row, int col) const;
  // The end of an edit of the current cell with the text (null: cancelled).
  // A text that is no plain number, or that breaks the chain of elevations,
  // is refused with a message in why and changes nothing. On success the
  // cell (and in the through list the next row's start) is written.
  bool endEdit(std::vector<StringArray>& rows, const std::wstring* text, std::wstring& why);
  // Forgets the current cell (the pointer left the control).
  void reset();

 private:
  EditListKind kind_;
  int row_ = -1, col_ = -1;
  bool selected_ = false;
};

// A number typed into a list or dialog: optional blanks, a decimal number
// (sign, digits, one point, exponent), optional blanks, nothing else.
bool ParseDialogNumber(const std::wstring& text, double& value);

// Checks the rows of a dialog before they are handed on: every value a
// number, no field holding a comma; with chained, every start below its end
// and each start equal to the end above. False with a message naming the
// row (1-based) otherwise.
bool CheckDialogRows(const std::vector<StringArray>& rows, bool chained, std::wstring& why);

// The type group of the dialogs' trees: the plumbing pipes when their list
// contains the name (plain text search), else the HVAC water pipes, else the
// electrical runs, else the name alone.
std::wstring LayoutDialogTypeGroup(const std::wstring& currentName);

// The list control of both dialogs.
class CEditListCtrl : public ui::ListCtrl {
 public:
  explicit CEditListCtrl(EditListKind kind = EditListKind::MultiLine) : rules_(kind) {}
  EditListRules& rules() { return rules_; }
  // The rows as texts of columns 0 to 4.
  std::vector<StringArray> rowTexts() const;
  void PreSubclassWindow() override;
  bool OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) override;

 private:
  void startEdit();
  EditListRules rules_;
};

class CThroughListCtrl : public CEditListCtrl {
 public:
  CThroughListCtrl() : CEditListCtrl(EditListKind::Through) {}
};

// Fills a tree with the type group of the combo "构件": each type a root
// item, its numbers on the floor of the combo "楼层" as children. Answers
// the combo "分类".
std::wstring FillGjTypeTree(ui::TreeCtrl& tree);
// The list's five columns with their headings and widths.
void InsertDialogColumns(ui::ListCtrl& list, const wchar_t* const headings[5]);
// Appends a row of the five texts.
void AppendDialogRow(ui::ListCtrl& list, const StringArray& texts);
