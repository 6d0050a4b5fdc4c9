#include "module/layout/list_edit.h"

#include <cwchar>
#include <cwctype>

#include "module/layout/command_frame.h"
#include "module/model/project_tables.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/ui/types.h"

namespace {

constexpr const wchar_t* kElectricalRuns = L"照明导线,动力导线,消防导线,导管,软导管,导线·导管,其它导线,电缆,母线馈线";


}  // namespace

// ---------------------------------------------------------------------------
// Rules
// ---------------------------------------------------------------------------

bool EditListRules::editable(int row, int col) const {
  if (row < 0) return false;
  if (kind_ == EditListKind::MultiLine) return col == listcol::kFirstValue || col == listcol::kSecondValue;
  return col == listcol::kSecondValue || (row == 0 && col == listcol::kFirstValue);
}

ListClickAction EditListRules::click(int row, int col, bool editing) {
  if (row < 0) {
    if (!editing) selected_ = false;
    return ListClickAction::None;
  }
  if (kind_ == EditListKind::Through && row == 0 && col == listcol::kFirstValue) {
    row_ = 0;
    col_ = listcol::kFirstValue;
    selected_ = true;
    return ListClickAction::Edit;
  }
  if (selected_ && row == row_ && col == col_ && col >= listcol::kFirstValue && editable(row, col))
    return ListClickAction::Edit;
  row_ = row;
  col_ = col;
  selected_ = true;
  return ListClickAction::Select;
}

void EditListRules::reset() {
  row_ = col_ = -1;
  selected_ = false;
}

bool EditListRules::endEdit(std::vector<StringArray>& rows, const std::wstring* text, std::wstring& why) {
  why.clear();
  if (!text || row_ < 0 || row_ >= int(rows.size()) || !editable(row_, col_)) return false;
  double value = 0;
  if (!ParseDialogNumber(*text, value)) {
    why = L"\n请输入数值：" + *text;
    return false;
  }
  StringArray& row = rows[size_t(row_)];
  if (row.size() <= size_t(listcol::kSecondValue)) row.resize(size_t(listcol::kSecondValue) + 1);
  if (kind_ == EditListKind::Through) {
    // The chain must keep rising: a start below its end, an end above its
    // start and below the end of the row above the next one.
    double start = 0, end = 0;
    const bool isStart = col_ == listcol::kFirstValue;
    const bool hasOther = ParseDialogNumber(row[size_t(isStart ? listcol::kSecondValue : listcol::kFirstValue)],
                                            isStart ? end : start);
    if (isStart) start = value;
    else end = value;
    if (hasOther && !(start < end)) {
      why = L"\n起始标高必须低于终点标高";
      return false;
    }
    double nextEnd = 0;
    if (!isStart && row_ + 1 < int(rows.size()) &&
        ParseDialogNumber(rows[size_t(row_ + 1)][size_t(listcol::kSecondValue)], nextEnd) && !(end < nextEnd)) {
      why = L"\n终点标高必须低于上一段的终点标高";
      return false;
    }
  }
  row[size_t(col_)] = *text;
  if (kind_ == EditListKind::Through && col_ == listcol::kSecondValue && row_ + 1 < int(rows.size()))
    rows[size_t(row_ + 1)][size_t(listcol::kFirstValue)] = *text;
  return true;
}

bool ParseDialogNumber(const std::wstring& text, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && std::iswspace(text[b])) ++b;
  while (e > b && std::iswspace(text[e - 1])) --e;
  if (b == e) return false;
  const std::wstring core = text.substr(b, e - b);
  // Digits, sign, point and exponent only: no "inf", "nan" or hexadecimal.
  for (wchar_t c : core)
    if (!(std::iswdigit(c) || c == L'+' || c == L'-' || c == L'.' || c == L'e' || c == L'E')) return false;
  wchar_t* stop = nullptr;
  const double v = std::wcstod(core.c_str(), &stop);
  if (!stop || *stop != 0) return false;
  value = v;
  return true;
}

bool CheckDialogRows(const std::vector<StringArray>& rows, bool chained, std::wstring& why) {
  double previousEnd = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const StringArray& r = rows[i];
    const std::wstring at = L"\n第" + std::to_wstring(i + 1) + L"行";
    if (r.size() < 5) {
      why = at + L"不完整";
      return false;
    }
    for (int c = listcol::kName; c <= listcol::kSecondValue; ++c)
      if (r[size_t(c)].find(L',') != std::wstring::npos) {
        why = at + L"含有逗号：" + r[size_t(c)];
        return false;
      }
    double a = 0, b = 0;
    if (!ParseDialogNumber(r[listcol::kFirstValue], a) || !ParseDialogNumber(r[listcol::kSecondValue], b)) {
      why = at + L"的数值无效";
      return false;
    }
    if (!chained) continue;
    if (!(a < b)) {
      why = at + L"的起始标高必须低于终点标高";
      return false;
    }
    if (i > 0 && a != previousEnd) {
      why = at + L"的起始标高必须等于上一行的终点标高";
      return false;
    }
    previousEnd = b;
  }
  return true;
}

std::wstring LayoutDialogTypeGroup(const std::wstring& currentName) {
  for (const wchar_t* group : {layout_types::kPlumbingPipes, layout_types::kWaterPipes, kElectricalRuns})
    if (std::wstring(group).find(currentName) != std::wstring::npos) return group;
  return currentName;
}

// ---------------------------------------------------------------------------
// The control
// ---------------------------------------------------------------------------

std::vector<StringArray> CEditListCtrl::rowTexts() const {
  std::vector<StringArray> rows;
  for (int i = 0; i < GetItemCount(); ++i) {
    StringArray r;
    for (int c = 0; c <= listcol::kSecondValue; ++c) r.push_back(GetItemText(i, c));
    rows.push_back(std::move(r));
  }
  return rows;
}

void CEditListCtrl::PreSubclassWindow() {
  ui::ListCtrl::PreSubclassWindow();
  ModifyStyle(0, ui::lvs::EditLabels);
}

void CEditListCtrl::startEdit() {
  const int row = rules_.currentRow(), col = rules_.currentColumn();
  ui::Edit* editor = EditLabel(row);
  if (!editor) return;
  // The list's own editor, moved over the current cell and holding its text.
  ui::Rect cell;
  if (GetSubItemRect(row, col, ui::lvir::Bounds, cell)) {
    ui::Rect r;
    editor->GetWindowRect(&r);
    editor->MoveWindow(cell.left + 4, cell.top, cell.Width() - 4, cell.Height());
  }
  editor->SetWindowText(GetItemText(row, col));
  editor->SetSel(0, -1);
}

bool CEditListCtrl::OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) {
  if (msg != ui::wm::Notify) return ui::ListCtrl::OnChildNotify(msg, wp, lp, result);
  auto* hdr = reinterpret_cast<ui::NotifyHeader*>(lp);
  if (!hdr || hdr->hwndFrom != m_hWnd) return ui::ListCtrl::OnChildNotify(msg, wp, lp, result);
  switch (hdr->code) {
    case ui::nm::Click: {
      auto* nm = reinterpret_cast<ui::NmItemActivate*>(lp);
      const int row = nm->iItem >= 0 && nm->iItem < GetItemCount() ? nm->iItem : -1;
      const ListClickAction a = rules_.click(row, nm->iSubItem, GetEditControl() != nullptr);
      if (a == ListClickAction::Edit) startEdit();
      Invalidate();
      return false;  // the dialog may still see the click
    }
    case ui::lvn::BeginLabelEdit:
      if (result) *result = 0;
      return true;
    case ui::lvn::EndLabelEdit: {
      auto* di = reinterpret_cast<ui::NmLvDispInfo*>(lp);
      if (rules_.currentColumn() >= listcol::kFirstValue && di->item.iItem == rules_.currentRow()) {
        std::vector<StringArray> rows = rowTexts();
        std::wstring text = di->item.pszText ? std::wstring(di->item.pszText) : std::wstring();
        std::wstring why;
        if (rules_.endEdit(rows, di->item.pszText ? &text : nullptr, why)) {
          const int row = rules_.currentRow(), col = rules_.currentColumn();
          SetItemText(row, col, rows[size_t(row)][size_t(col)]);
          if (row + 1 < int(rows.size()))
            SetItemText(row + 1, listcol::kFirstValue, rows[size_t(row + 1)][size_t(listcol::kFirstValue)]);
        } else if (!why.empty()) {
          ed::printText(why);
        }
      }
      if (result) *result = 0;  // the first column never changes
      return true;
    }
    default: break;
  }
  return ui::ListCtrl::OnChildNotify(msg, wp, lp, result);
}

// ---------------------------------------------------------------------------
// Shared by the dialogs
// ---------------------------------------------------------------------------

std::wstring FillGjTypeTree(ui::TreeCtrl& tree) {
  const std::wstring name = winlib::CmbGetName(L"构件");
  const std::wstring category = winlib::CmbGetName(L"分类");
  StringArray types;
  SplitString(LayoutDialogTypeGroup(name), L",", types);
  for (const std::wstring& type : types) {
    StringArray numbers;
    ReadFloorGjField(numbers, winlib::CmbGetName(L"楼层"), type, L"", L"编号");
    ui::HTreeItem root = tree.InsertItem(type, ui::TVI_ROOT, ui::TVI_LAST);
    for (const std::wstring& n : numbers) tree.InsertItem(n, root, ui::TVI_LAST);
  }
  return category;
}

void InsertDialogColumns(ui::ListCtrl& list, const wchar_t* const headings[5]) {
  static const int widths[5] = {50, 70, 80, 80, 80};
  list.SetExtendedStyle(ui::lvs_ex::GridLines);
  for (int c = 0; c < 5; ++c) list.InsertColumn(c, headings[c], ui::lvcfmt::Left, widths[c]);
}

void AppendDialogRow(ui::ListCtrl& list, const StringArray& texts) {
  const int row = list.InsertItem(list.GetItemCount(), texts.empty() ? std::wstring() : texts[0]);
  for (size_t c = 1; c < texts.size() && c <= size_t(listcol::kSecondValue); ++c) list.SetItemText(row, int(c), texts[c]);
}
