#include "module/conversion/material_table.h"

namespace {
constexpr unsigned kTemplate = 234;
constexpr int kPlaceholder = 310;
}  // namespace

CDeviceTableConv::CDeviceTableConv() : ui::Dialog(kTemplate, nullptr) {
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
}

bool CDeviceTableConv::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  ui::Rect r;
  if (ui::Wnd* placeholder = GetDlgItem(kPlaceholder)) {
    placeholder->GetWindowRect(&r);
    ScreenToClient(&r);
  }
  grid.Create(r, this);
  grid.SetFixedRowCount(1);
  grid.SetFixedColumnCount(1);
  grid.SetColumnCount(4);
  SetGridHeadings(grid, {L"序号", L"构件名称", L"构件类型", L"标高"});
  grid.AutoSize();
  for (int row = 0; row < grid.GetRowCount(); ++row) grid.SetRowHeight(row, 20);
  const int w = r.right - r.left;
  const int first = (w - 20) / 3, other = (2 * w - 40) / 9;
  if (first >= 0) grid.SetColumnWidth(0, first);
  for (int c = 1; c < 4; ++c)
    if (other >= 0) grid.SetColumnWidth(c, other);
  return true;
}
