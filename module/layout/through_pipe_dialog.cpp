#include "module/layout/through_pipe_dialog.h"

#include <cmath>

#include "module/model/module_resources.h"
#include "platform/editor/cmdline.h"

StringArray g_layoutDlgRows;
std::wstring g_throughDlgCategory;
StringArray g_throughRowsPipe, g_throughRowsWater;

namespace {

using namespace through_ids;

const wchar_t* const kHeadings[5] = {L"序\t\n号", L"构件名", L"编号", L"起始标高", L"终点标高"};
constexpr int kStoreyStep = 3000;

StringArray* rememberedRows(const std::wstring& category) {
  if (category == L"管道") return &g_throughRowsPipe;
  if (category == L"水管") return &g_throughRowsWater;
  return nullptr;
}

}  // namespace

CThroughPipeWnd::CThroughPipeWnd() : ui::Dialog(kTemplate, nullptr) {
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
  onCommand(kAdd, [this] { AddRow(); });
  onCommand(kDelete, [this] { DeleteRow(); });
  onNotify(kTree, ui::nm::DblClk, [this](ui::NotifyHeader*, ui::LResult*) { AddRow(); });
}

void CThroughPipeWnd::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kTree, tree_);
  ui::DDX_Control(dx, kList, list_);
}

bool CThroughPipeWnd::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  g_throughDlgCategory = FillGjTypeTree(tree_);
  initRowList();
  return true;
}

void CThroughPipeWnd::initRowList() {
  InsertDialogColumns(list_, kHeadings);
  const StringArray* remembered = rememberedRows(g_throughDlgCategory);
  if (!remembered) return;
  for (const std::wstring& row : *remembered) {
    StringArray fields;
    SplitString(row, L",", fields);
    fields.insert(fields.begin(), std::to_wstring(rowCount_ + 1));
    AppendDialogRow(list_, fields);
    ++rowCount_;
  }
}

void CThroughPipeWnd::AddRow() {
  ui::HTreeItem item = tree_.GetSelectedItem();
  ui::HTreeItem parent = item ? tree_.GetParentItem(item) : nullptr;
  const std::wstring type = parent ? tree_.GetItemText(parent) : std::wstring();
  if (type.empty()) return;
  std::wstring start, end;
  if (rowCount_ == 0) {
    start = L"0";
    lastEnd_ = kStoreyStep;
  } else {
    start = list_.GetItemText(rowCount_ - 1, listcol::kSecondValue);
    double below = 0;
    ParseDialogNumber(start, below);
    lastEnd_ = int(std::trunc(below)) + kStoreyStep;
  }
  end = std::to_wstring(lastEnd_);
  AppendDialogRow(list_, {std::to_wstring(rowCount_ + 1), type, tree_.GetItemText(item), start, end});
  ++rowCount_;
}

void CThroughPipeWnd::DeleteRow() {
  const int s = list_.GetSelectionMark();
  const int n = list_.GetItemCount();
  if (s < 0 || s >= n) return;
  // The row that moves into the gap starts where the deleted one started, so
  // the chain stays closed (also when the first row goes).
  if (s + 1 < n) list_.SetItemText(s + 1, listcol::kFirstValue, list_.GetItemText(s, listcol::kFirstValue));
  for (int i = s + 1; i < n; ++i) list_.SetItemText(i, listcol::kNumber, std::to_wstring(i));
  list_.DeleteItem(s);
  --rowCount_;
}

void CThroughPipeWnd::OnOK() {
  const std::vector<StringArray> rows = list_.rowTexts();
  std::wstring why;
  if (!CheckDialogRows(rows, true, why)) {
    ed::printText(why);
    return;  // the dialog stays open
  }
  g_layoutDlgRows.clear();
  StringArray local;
  for (const StringArray& r : rows) local.push_back(r[1] + L"," + r[2] + L"," + r[3] + L"," + r[4]);
  g_layoutDlgRows = local;
  if (StringArray* remembered = rememberedRows(g_throughDlgCategory)) *remembered = local;
  ui::Dialog::OnOK();
}

bool RunThroughPipeDlg(StringArray& rows) {
  UiResourceScope resources;
  CThroughPipeWnd dlg;
  const std::intptr_t result = dlg.DoModal();
  if (result == ui::IDOK) {
    rows = g_layoutDlgRows;
    return true;
  }
  return result != ui::IDCANCEL;
}
