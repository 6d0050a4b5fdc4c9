#include "module/layout/multi_line_dialog.h"

#include <algorithm>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/layout/through_pipe_dialog.h"
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/module_resources.h"
#include "module/model/project_tables.h"
#include "module/toolkit/layers.h"
#include "platform/editor/cmdline.h"

std::wstring g_multiDlgCategory;
StringArray g_multiRowsPipe, g_multiRowsPipeline, g_multiRowsWater;

namespace {

using namespace multi_ids;

const wchar_t* const kHeadings[5] = {L"序号", L"构件名", L"编号", L"垂直偏移量", L"水平偏移量"};
constexpr int kOffsetStep = 100;

StringArray* rememberedRows(const std::wstring& category) {
  if (category == L"管道") return &g_multiRowsPipe;
  if (category == L"管线") return &g_multiRowsPipeline;
  if (category == L"水管") return &g_multiRowsWater;
  return nullptr;
}

// The 底标高 of the loaded number, 0 when there is none to read.
double loadedBaseElevation() {
  const std::wstring value = GetAttrValue(GetGjParamLines(g_curLineGj, g_curLineGj.number), L"底标高");
  double elevation = 0;
  return ParseBaseElevation(value, g_floorHeight, elevation) ? elevation : 0;
}

void layRows(const std::wstring& caption, GjPairKind pair, double elevation) {
  StringArray rows;
  if (!RunMultiPipeDlg(rows, caption) || rows.empty()) return;
  const GjPair p = LayoutPairOf(pair);
  RunMultiLinearGj(rows, p.create, p.decorate, elevation);
}

}  // namespace

CMultiPipe::CMultiPipe(const std::wstring& caption) : ui::Dialog(kTemplate, nullptr), caption_(caption) {
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
  onCommand(kAdd, [this] { AddRow(); });
  onCommand(kDelete, [this] { DeleteRow(); });
  onNotify(kList, ui::nm::DblClk, [](ui::NotifyHeader*, ui::LResult* r) {
    if (r) *r = 0;
  });
  onNotify(kTree, ui::nm::DblClk, [this](ui::NotifyHeader*, ui::LResult* r) {
    AddRow();
    if (r) *r = 0;
  });
}

void CMultiPipe::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kList, list_);
  ui::DDX_Control(dx, kTree, tree_);
}

bool CMultiPipe::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  g_multiDlgCategory = FillGjTypeTree(tree_);
  InsertDialogColumns(list_, kHeadings);
  if (const StringArray* remembered = rememberedRows(g_multiDlgCategory))
    for (const std::wstring& row : *remembered) {
      StringArray fields;
      SplitString(row, L",", fields);
      fields.insert(fields.begin(), std::to_wstring(list_.GetItemCount() + 1));
      AppendDialogRow(list_, fields);
    }
  SetWindowText(caption_);
  return true;
}

int CMultiPipe::nextOffset() const {
  // Beyond every offset listed, so no two rows share one.
  double largest = 0;
  for (const StringArray& r : list_.rowTexts()) {
    double v = 0;
    if (ParseDialogNumber(r[listcol::kSecondValue], v)) largest = std::max(largest, v);
  }
  return int(largest) + kOffsetStep;
}

void CMultiPipe::AddRow() {
  ui::HTreeItem item = tree_.GetSelectedItem();
  ui::HTreeItem parent = item ? tree_.GetParentItem(item) : nullptr;
  const std::wstring type = parent ? tree_.GetItemText(parent) : std::wstring();
  if (type.empty()) return;
  const int n = list_.GetItemCount();
  AppendDialogRow(list_, {std::to_wstring(n + 1), type, tree_.GetItemText(item), L"0", std::to_wstring(nextOffset())});
}

void CMultiPipe::DeleteRow() {
  const int s = list_.GetSelectionMark();
  if (s < 0 || s >= list_.GetItemCount()) return;
  list_.DeleteItem(s);
  for (int i = s; i < list_.GetItemCount(); ++i) list_.SetItemText(i, listcol::kNumber, std::to_wstring(i + 1));
}

void CMultiPipe::OnOK() {
  const std::vector<StringArray> rows = list_.rowTexts();
  std::wstring why;
  if (!CheckDialogRows(rows, false, why)) {
    ed::printText(why);
    return;  // the dialog stays open
  }
  StringArray local;
  for (const StringArray& r : rows) local.push_back(r[1] + L"," + r[2] + L"," + r[3] + L"," + r[4]);
  g_layoutDlgRows = local;
  if (StringArray* remembered = rememberedRows(g_multiDlgCategory)) *remembered = local;
  ui::Dialog::OnOK();
}

bool RunMultiPipeDlg(StringArray& rows, const std::wstring& caption) {
  UiResourceScope resources;
  CMultiPipe dlg(caption);
  const std::intptr_t result = dlg.DoModal();
  if (result == ui::IDOK) {
    rows = g_layoutDlgRows;
    return true;
  }
  return result != ui::IDCANCEL;
}

void CmdMultiPipe() {
  PrepareGjCombos(layout_types::kPlumbingPipes, L"给水管");
  layRows(L"多管布置", GjPairKind::Pipe, 0.0);
}

void CmdMultiWaterP() {
  PrepareGjCombos(layout_types::kWaterPipes, L"热供水管");
  ShowAllEntities(1, nullptr);
  layRows(L"多管线布置", GjPairKind::Pipe, loadedBaseElevation());
}

void CmdMultiPipeLine() { layRows(L"多线布置", GjPairKind::Run, loadedBaseElevation()); }
