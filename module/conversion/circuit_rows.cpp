// Step 2 of the circuit conversion: the rows of circuits, their information
// dialog and the monitor that shows the circuit under the cursor.
#include <algorithm>
#include <memory>
#include <unordered_set>

#include "module/conversion/circuit_conv.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/model/module_resources.h"
#include "module/model/project_tables.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/winmsg.h"

using namespace circuit_ids;

CLoopMonitor* g_loopMonitor = nullptr;

namespace {

bool contains(const cad::ObjectIdArray& ids, cad::ObjectId id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool isPrimaryDevice(cad::ObjectId id) {
  return !id.isNull() && std::find(g_devicePrimaryIds.begin(), g_devicePrimaryIds.end(), id) != g_devicePrimaryIds.end();
}

bool onBoxLayer(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return false;
  const std::wstring layer = ent->layer();
  return layer == L"配电箱" || layer == L"配电柜" || layer == L"动力设备";
}

bool opens(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return bool(ent);
}

// The ids with the device entities of the same numbers.
cad::ObjectIdArray withSameNumberDevices(const cad::ObjectIdArray& ids) {
  cad::ObjectIdArray same, out = ids;
  CollectSameNumberIds(ids, same);
  out.insert(out.end(), same.begin(), same.end());
  return out;
}

void setVisible(const cad::ObjectIdArray& ids, bool visible) {
  for (cad::ObjectId id : ids) SetEntityVisible(id, visible ? 1 : 0);
}

// Circuits of g_tracedCircuits join the row while one touches it.
void absorb(cad::ObjectIdArray& row) {
  std::unordered_set<cad::ObjectId> members(row.begin(), row.end());
  for (bool joined = true; joined;) {
    joined = false;
    for (std::size_t i = 0; i < g_tracedCircuits.size();) {
      const TracedCircuit& t = g_tracedCircuits[i];
      bool joins = false;
      if (t.size() >= 3) {
        const cad::ObjectId first = t.front(), last = t.back();
        if (!first.isNull() && !last.isNull())
          joins = members.count(first) || members.count(last);
        else if (!last.isNull())
          joins = members.count(last) > 0;
        else if (!first.isNull())
          joins = members.count(first) > 0;
      }
      if (!joins) {
        ++i;
        continue;
      }
      row.insert(row.end(), t.begin(), t.end());
      members.insert(t.begin(), t.end());
      g_tracedCircuits.erase(g_tracedCircuits.begin() + long(i));
      joined = true;
    }
  }
}

}  // namespace

int FindTracedCircuit(const cad::ObjectIdArray* ids) {
  if (!ids) return -1;
  for (std::size_t i = 0; i < g_tracedCircuits.size(); ++i)
    if (g_tracedCircuits[i] == *ids) return int(i);
  return -1;
}

std::vector<cad::ObjectIdArray> BuildCircuitRows() {
  std::vector<TracedCircuit> boxCircuits;
  for (int i = int(g_tracedCircuits.size()) - 1; i >= 0; --i) {
    const TracedCircuit& t = g_tracedCircuits[std::size_t(i)];
    if (t.size() < 3 || (t.front().isNull() && t.back().isNull())) {
      g_tracedCircuits.erase(g_tracedCircuits.begin() + i);
      continue;
    }
    if (!opens(t.front()) || !opens(t.back())) continue;
    if ((isPrimaryDevice(t.front()) || isPrimaryDevice(t.back())) && (onBoxLayer(t.front()) || onBoxLayer(t.back()))) {
      boxCircuits.push_back(t);
      g_tracedCircuits.erase(g_tracedCircuits.begin() + i);
    }
  }
  std::vector<cad::ObjectIdArray> rows;
  for (auto& box : boxCircuits) {
    cad::ObjectIdArray row = box;
    absorb(row);
    rows.push_back(std::move(row));
  }
  while (!g_tracedCircuits.empty()) {
    cad::ObjectIdArray row = g_tracedCircuits.front();
    g_tracedCircuits.erase(g_tracedCircuits.begin());
    absorb(row);
    rows.push_back(std::move(row));
  }
  return rows;
}

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

CPipeLineConv::CPipeLineConv() : CComponentConv(kConvTemplate) {
  onCommandCode(kView, ui::bn::Clicked, [this] { OnViewCircuit(); });
  onCommandCode(kSetInfo, ui::bn::Clicked, [this] { OnSetCircuitInfo(); });
  onCommandCode(kEditInfo, ui::bn::Clicked, [this] { OnEditCircuitInfo(); });
  onCommandCode(kClearInfo, ui::bn::Clicked, [this] { OnClearCircuitInfo(); });
  onCommandCode(kPrev, ui::bn::Clicked, [this] { OnPrevStep(); });
  onCommandCode(kConvert, ui::bn::Clicked, [this] { OnConvert(); });
  blockMainFrameWhileShown();
}

CPipeLineConv::~CPipeLineConv() {
  if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(true);
}

void CPipeLineConv::DoDataExchange(ui::DataExchange* dx) {
  CComponentConv::DoDataExchange(dx);
  ui::DDX_Control(dx, kList, rowList);
}

bool CPipeLineConv::OnInitDialog() {
  CComponentConv::OnInitDialog();
  setUpRowList({{L"序号", 40}, {L"导线信息", 150}, {L"导管信息", 130}, {L"标高", 64}, {L"灯具竖向管线", 180}}, -1);
  CheckDlgButton(kHideDescribed, 1);
  for (auto& row : BuildCircuitRows()) {
    const int n = rowList.GetItemCount();
    rowList.InsertItem(n, std::to_wstring(n + 1));
    rowList.SetItemData(n, reinterpret_cast<std::uintptr_t>(new cad::ObjectIdArray(std::move(row))));
  }
  UpdateConvertButton();
  return true;
}

void CPipeLineConv::UpdateConvertButton() { enableConvertWhileRows(); }

void CPipeLineConv::OnCancel() { ui::Dialog::OnCancel(); }

bool CPipeLineConv::PreTranslateMessage(ui::Msg* msg) {
  if (msg->message == ui::wm::KeyDown && ed::asyncKeyState(ed::kVkControl) != 0) {
    if (msg->wParam == 'C') {
      const int sel = rowList.GetNextItem(-1, ui::lvni::Selected);
      if (sel >= 0 && sel < rowList.GetItemCount()) {
        rowClipboard.clear();
        for (int c = kColWire; c <= kColVertical; ++c) rowClipboard.push_back(rowList.GetItemText(sel, c));
      }
    } else if (msg->wParam == 'V' && rowClipboard.size() > 3) {
      for (int r = rowList.GetNextItem(-1, ui::lvni::Selected); r >= 0; r = rowList.GetNextItem(r, ui::lvni::Selected))
        for (int c = kColWire; c <= kColVertical; ++c) rowList.SetItemText(r, c, rowClipboard[std::size_t(c - 1)]);
    }
  }
  return CComponentConv::PreTranslateMessage(msg);
}

void CPipeLineConv::OnViewCircuit() {
  if (rowList.GetItemCount() == 0) return;
  const int sel = rowList.GetNextItem(-1, ui::lvni::Selected);
  const cad::ObjectIdArray* held = rowList.rowIds(sel);
  if (!held) return;
  ShowWindow(ui::sw::Hide);
  const cad::ObjectIdArray ids = *held;
  bool any = false;
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    cad::Extents3d e;
    if (!ent || ent->getGeomExtents(e) != cad::Status::Ok || !e.isValid()) continue;
    if (!any) {
      minX = e.minPoint.x, minY = e.minPoint.y, maxX = e.maxPoint.x, maxY = e.maxPoint.y;
      any = true;
    }
    minX = std::min(minX, e.minPoint.x);
    minY = std::min(minY, e.minPoint.y);
    maxX = std::max(maxX, e.maxPoint.x);
    maxY = std::max(maxY, e.maxPoint.y);
  }
  if (any) {
    wchar_t buf[256];
    std::swprintf(buf, 256, L"zoom\nw\n%f,%f,%f\n%f,%f,%f\n", minX - 1000, minY - 1000, 0.0, maxX + 1000, maxY + 1000, 0.0);
    // Run at once, so that the view shows the circuit while the prompt waits.
    RunAcedCmd(buf);
  }
  const cad::ObjectIdArray shown = withSameNumberDevices(ids);
  HighlightEntities(shown, 1);
  std::wstring answer;
  ed::getString(true, L"\n正查看回路" + rowList.GetItemText(sel, kColNo) + L"(右键返回)", answer);
  HighlightEntities(shown, 0);
  ShowWindow(ui::sw::Show);
}

void CPipeLineConv::OnSetCircuitInfo() {
  if (g_pipeLineConvDlg != this || rowList.GetItemCount() == 0) return;
  selectedRows.clear();
  cad::ObjectIdArray hidden, picked;
  if (IsDlgButtonChecked(kHideDescribed)) {
    for (int r = 0; r < rowList.GetItemCount(); ++r) {
      const cad::ObjectIdArray* ids = rowList.rowIds(r);
      if (!ids || ids->empty() || rowList.GetItemText(r, kColWire).empty()) continue;
      const cad::ObjectIdArray all = withSameNumberDevices(*ids);
      hidden.insert(hidden.end(), all.begin(), all.end());
    }
    setVisible(hidden, false);
  }
  ShowWindow(ui::sw::Hide);
  std::unique_ptr<CLoopMonitor> monitor;
  if (!g_loopMonitor) monitor = std::make_unique<CLoopMonitor>(cad::ObjectIdArray{}, true);
  auto restore = [&] {
    monitor.reset();
    setVisible(hidden, true);
    setVisible(picked, true);
  };
  for (;;) {
    g_convPickWatchFlag = 0;
    ed::registerWatchWinMsg(&WatchConvPickMsg);
    cad::ObjectId p;
    geom::Point3d pt;
    const int rc = ed::entSel(L"\n选择回路", p, pt);
    ed::removeWatchWinMsg(&WatchConvPickMsg);
    if (rc == ed::kCancel) {
      restore();
      ShowWindow(ui::sw::Show);
      return;
    }
    if (g_convPickWatchFlag == 2) break;
    if (rc != ed::kNormal || p.isNull()) continue;
    if (IsDeviceEntity(p)) p = DevicePrimaryOf(p);
    // One pick either selects or deselects, decided once for every row that
    // holds the entity.
    const bool select = !contains(picked, p);
    for (int r = 0; r < rowList.GetItemCount(); ++r) {
      const cad::ObjectIdArray* ids = rowList.rowIds(r);
      if (!ids || ids->empty() || !contains(*ids, p)) continue;
      const cad::ObjectIdArray all = withSameNumberDevices(*ids);
      if (select) {
        if (std::find(selectedRows.begin(), selectedRows.end(), r) == selectedRows.end()) selectedRows.push_back(r);
        setVisible(all, false);
        picked.insert(picked.end(), all.begin(), all.end());
      } else {
        auto at = std::find(selectedRows.begin(), selectedRows.end(), r);
        if (at != selectedRows.end()) selectedRows.erase(at);
        for (cad::ObjectId id : all) {
          auto it = std::find(picked.begin(), picked.end(), id);
          if (it != picked.end()) picked.erase(it);
        }
        setVisible(all, true);
      }
    }
  }
  restore();
  if (picked.empty()) {
    ShowWindow(ui::sw::Show);
    return;
  }
  {
    UiResourceScope resources;
    CPipeLineEdit editor;
    editor.DoModal();
  }
  ShowWindow(ui::sw::Show);
}

void CPipeLineConv::OnEditCircuitInfo() {
  UiResourceScope resources;
  selectedRows.clear();
  for (int r = rowList.GetNextItem(-1, ui::lvni::Selected); r >= 0; r = rowList.GetNextItem(r, ui::lvni::Selected))
    selectedRows.push_back(r);
  // The information dialog edits the selected circuits: without one there
  // is nothing it could write to.
  if (selectedRows.empty()) {
    ed::printText(L"\n请先在列表中选择要编辑管线信息的回路\n");
    return;
  }
  {
    CPipeLineEdit editor;
    editor.DoModal();
  }
  if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(false);
  EnableWindow(true);
}

void CPipeLineConv::OnClearCircuitInfo() {
  for (int r = rowList.GetNextItem(-1, ui::lvni::Selected); r >= 0; r = rowList.GetNextItem(r, ui::lvni::Selected))
    for (int c = kColWire; c <= kColVertical; ++c) rowList.SetItemText(r, c, L"");
}

void CPipeLineConv::OnPrevStep() {
  ShowWindow(ui::sw::Hide);
  UiResourceScope resources;
  if (g_pipeLineSelDlg && g_pipeLineSelDlg->m_hWnd) g_pipeLineSelDlg->ShowWindow(ui::sw::Show);
}

// ---------------------------------------------------------------------------
// The circuit information dialog
// ---------------------------------------------------------------------------

CPipeLineEdit::CPipeLineEdit() : ui::Dialog(kEditTemplate, g_pipeLineConvDlg) {
  const std::pair<int, int> groups[] = {{kWireName, kWireNumber},
                                        {kConduitName, kConduitNumber},
                                        {kVertWireName, kVertWireNumber},
                                        {kVertConduitName, kVertConduitNumber}};
  for (auto [name, number] : groups)
    onCommandCode(name, ui::cbn::CloseUp, [this, name = name, number = number] {
      fillNumbers(name, number);
      UpdateData(true);
    });
  onCommandCode(kSameAsHorizontal, ui::bn::Clicked, [this] { OnSameAsHorizontal(); });
  onCommandCode(kEditOk, ui::bn::Clicked, [this] { OnConfirm(); });
  onCommandCode(conv_ids::kCancel, ui::bn::Clicked, [this] { OnCancel(); });
}

void CPipeLineEdit::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kWireName, wireNameCombo);
  ui::DDX_Control(dx, kWireNumber, wireNumberCombo);
  ui::DDX_Control(dx, kConduitName, conduitNameCombo);
  ui::DDX_Control(dx, kConduitNumber, conduitNumberCombo);
  ui::DDX_Control(dx, kVertWireName, vertWireNameCombo);
  ui::DDX_Control(dx, kVertWireNumber, vertWireNumberCombo);
  ui::DDX_Control(dx, kVertConduitName, vertConduitNameCombo);
  ui::DDX_Control(dx, kVertConduitNumber, vertConduitNumberCombo);
  ui::DDX_CBString(dx, kWireName, wireName);
  ui::DDX_CBString(dx, kWireNumber, wireNumber);
  ui::DDX_Text(dx, kWireCount, wireCount);
  ui::DDX_CBString(dx, kConduitName, conduitName);
  ui::DDX_CBString(dx, kConduitNumber, conduitNumber);
  ui::DDX_Text(dx, kElevation, elevation);
  ui::DDX_CBString(dx, kVertWireName, vertWireName);
  ui::DDX_CBString(dx, kVertWireNumber, vertWireNumber);
  ui::DDX_Text(dx, kVertWireCount, vertWireCount);
  ui::DDX_CBString(dx, kVertConduitName, vertConduitName);
  ui::DDX_CBString(dx, kVertConduitNumber, vertConduitNumber);
  ui::DDX_Check(dx, kSameAsHorizontal, sameAsHorizontal);
}

void CPipeLineEdit::fillNumbers(int nameId, int numberId) {
  auto* name = dynamic_cast<ui::ComboBox*>(GetDlgItem(nameId));
  auto* number = dynamic_cast<ui::ComboBox*>(GetDlgItem(numberId));
  if (!name || !number) return;
  const int sel = name->GetCurSel();
  const std::wstring text = sel >= 0 ? name->GetLBText(sel) : L"";
  StringArray numbers;
  if (!text.empty()) ReadFloorGjField(numbers, winlib::CmbGetName(L"楼层"), text, L"", L"编号");
  number->ResetContent();
  for (const auto& n : numbers) number->AddString(n);
  if (number->GetCount() > 0) number->SetCurSel(0);
}

namespace {

// Selects a name combo's entry for a cell part and fills its numbers; the
// part's number is added when missing, then selected.
void showCellPart(CPipeLineEdit* dlg, int nameId, int numberId, const std::wstring& name, const std::wstring& number) {
  auto* nameCombo = dynamic_cast<ui::ComboBox*>(dlg->GetDlgItem(nameId));
  auto* numberCombo = dynamic_cast<ui::ComboBox*>(dlg->GetDlgItem(numberId));
  if (!nameCombo || !numberCombo) return;
  nameCombo->SetCurSel(0);
  if (!name.empty()) {
    const int at = nameCombo->FindString(-1, name);
    if (at >= 0) nameCombo->SetCurSel(at);
  }
  dlg->fillNumbers(nameId, numberId);
  if (!number.empty()) {
    if (numberCombo->FindString(-1, number) < 0) numberCombo->AddString(number);
    numberCombo->SetCurSel(numberCombo->FindString(-1, number));
  }
}

std::wstring part(const StringArray& parts, std::size_t i) { return i < parts.size() ? parts[i] : L""; }

}  // namespace

bool CPipeLineEdit::OnInitDialog() {
  if (!g_pipeLineConvDlg || g_pipeLineConvDlg->selectedRows.empty()) return false;
  ui::Dialog::OnInitDialog();
  CNewListCtrl& list = g_pipeLineConvDlg->rowList;
  const int r = g_pipeLineConvDlg->selectedRows.front();
  if (r < 0 || r >= list.GetItemCount()) return false;
  StringArray wire, conduit, vertical, vertWire, vertConduit;
  SplitString(list.GetItemText(r, kColWire), L",", wire);
  SplitString(list.GetItemText(r, kColConduit), L",", conduit);
  SplitString(list.GetItemText(r, kColVertical), L";", vertical);
  SplitString(part(vertical, 0), L",", vertWire);
  SplitString(part(vertical, 1), L",", vertConduit);
  showCellPart(this, kWireName, kWireNumber, part(wire, 0), part(wire, 1));
  SetDlgItemText(kWireCount, wire.size() >= 3 ? wire[2] : L"2");
  showCellPart(this, kConduitName, kConduitNumber, part(conduit, 0), part(conduit, 1));
  const std::wstring elev = list.GetItemText(r, kColElev);
  if (elev.empty()) {
    LoadCurFloorLevels();
    SetDlgItemText(kElevation, FormatNumber(g_floorHeight, 2));
  } else {
    SetDlgItemText(kElevation, elev);
  }
  showCellPart(this, kVertWireName, kVertWireNumber, part(vertWire, 0), part(vertWire, 1));
  SetDlgItemText(kVertWireCount, vertWire.size() >= 3 ? vertWire[2] : L"2");
  showCellPart(this, kVertConduitName, kVertConduitNumber, part(vertConduit, 0), part(vertConduit, 1));
  UpdateData(true);
  return true;
}

void CPipeLineEdit::OnSameAsHorizontal() {
  UpdateData(true);
  for (int id : {kVertWireName, kVertWireNumber, kVertConduitName, kVertConduitNumber, kVertWireCount})
    if (ui::Wnd* w = GetDlgItem(id)) w->EnableWindow(sameAsHorizontal != 1);
}

void CPipeLineEdit::OnConfirm() {
  if (g_pipeLineConvDlg && !g_pipeLineConvDlg->selectedRows.empty()) {
    if (!UpdateData(true)) return;
    if (wireCount <= 0 || (sameAsHorizontal != 1 && vertWireCount <= 0)) {
      ed::printText(L"\n导线根数须为正整数！");
      return;
    }
    CNewListCtrl& list = g_pipeLineConvDlg->rowList;
    const std::wstring wire = wireName + L"," + wireNumber + L"," + std::to_wstring(wireCount);
    const std::wstring conduit = conduitName + L"," + conduitNumber;
    const std::wstring vertical =
        sameAsHorizontal == 1 ? wire + L";" + conduit
                              : vertWireName + L"," + vertWireNumber + L"," + std::to_wstring(vertWireCount) + L";" +
                                    vertConduitName + L"," + vertConduitNumber;
    for (int f : g_pipeLineConvDlg->selectedRows) {
      if (f < 0 || f >= list.GetItemCount()) continue;
      list.SetItemText(f, kColWire, wire);
      list.SetItemText(f, kColConduit, conduit);
      list.SetItemText(f, kColElev, FormatNumber(elevation, 2));
      list.SetItemText(f, kColVertical, vertical);
    }
  }
  EndDialog(ui::IDOK);
}

// ---------------------------------------------------------------------------
// The circuit monitor
// ---------------------------------------------------------------------------

CLoopMonitor::CLoopMonitor(const cad::ObjectIdArray& ids, bool attach) : ids_(ids) {
  if (!attach) return;
  ed::docManager().curDocument()->inputPointManager().addPointMonitor(this);
  g_loopMonitor = this;
  attached_ = true;
}

CLoopMonitor::~CLoopMonitor() {
  if (!attached_ || g_loopMonitor != this) return;
  ed::docManager().curDocument()->inputPointManager().removePointMonitor(this);
  g_loopMonitor = nullptr;
  HighlightEntities(ids_, 0);
  ids_.clear();
}

int CLoopMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw&, bool& appendToTooltip,
                                    std::wstring& additionalTooltip) {
  if (!g_pipeLineConvDlg || g_pipeLineConvDlg->rowList.GetItemCount() == 0) return 0;
  CNewListCtrl& list = g_pipeLineConvDlg->rowList;
  tooltip_.clear();
  if (ctx.pointComputed && !ctx.apertureEntities.empty()) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(ctx.apertureEntities.front(), number, attrs);
    if (attrs.empty()) return 0;
    cad::ObjectId device;
    for (std::size_t i = 0; i < g_devicePrimaryHandles.size() && device.isNull(); ++i)
      if (g_devicePrimaryHandles[i] == attrs[0]) device = ed::idFromHandle(attrs[0]);
    if (!device.isNull()) {
      for (int r = 0; r < list.GetItemCount(); ++r) {
        const cad::ObjectIdArray* ids = list.rowIds(r);
        if (!ids || !contains(*ids, device)) continue;
        tooltip_ = L"序号:" + list.GetItemText(r, kColNo) + L"\n水平导线:" + list.GetItemText(r, kColWire) +
                   L"\n水平导管:" + list.GetItemText(r, kColConduit) + L"\n标高:" + list.GetItemText(r, kColElev) +
                   L"\n灯具竖向管线:" + list.GetItemText(r, kColVertical);
        if (!contains(ids_, device)) {
          HighlightEntities(ids_, 0);
          cad::ObjectIdArray same;
          CollectSameNumberIds(*ids, same);
          ids_ = *ids;
          ids_.insert(ids_.end(), same.begin(), same.end());
          HighlightEntities(ids_, 1);
        }
        break;
      }
    }
  }
  appendToTooltip = true;
  additionalTooltip = tooltip_;
  return 0;
}
