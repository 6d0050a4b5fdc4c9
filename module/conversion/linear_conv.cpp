#include "module/conversion/linear_conv.h"

#include <algorithm>
#include <map>
#include <cmath>

#include "module/conversion/conv_openers.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/model/component_types.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/xdata.h"
#include "module/model/module_resources.h"
#include "module/model/project_tables.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/window_lib.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"

using namespace linear_ids;

bool ParseElevationCell(const std::wstring& cell, double& start, double& end) {
  StringArray parts;
  SplitString(cell, L";", parts);
  if (parts.size() < 2) return false;
  auto a = ui::parseDouble(parts[0]), b = ui::parseDouble(parts[1]);
  if (!a || !b) return false;
  start = *a;
  end = *b;
  return true;
}

void ReportMadeComponents(const std::unordered_set<cad::ObjectId>& made) {
  std::map<std::wstring, int> runs;
  int risers = 0;
  for (cad::ObjectId id : made) {
    if (id.isErased()) continue;
    std::wstring kind, number;
    StringArray attrs;
    GetGjSpecial(id, &kind, nullptr, nullptr);
    if (kind == L"立管") {
      ++risers;
      continue;
    }
    GetGjNumberAndAttrs(id, number, attrs);
    ++runs[number];
  }
  if (runs.empty() && risers == 0) return;
  std::wstring text = L"\n转换出的管段(按编号):";
  for (const auto& [number, count] : runs) text += L" " + number + L" " + std::to_wstring(count) + L"段";
  if (risers > 0) text += L"; 立管 " + std::to_wstring(risers) + L"根";
  ed::printText(text);
}

namespace {

// Colour index of an entity's layer (7 when it cannot be read).
int layerColourIndex(const std::wstring& layer) {
  cad::Color c;
  GetLayerColor(layer, c, nullptr);
  return c.colorIndex();
}

const wchar_t* categoryOf(LinearKind kind) {
  switch (kind) {
    case LinearKind::Duct: return L"风管";
    case LinearKind::Water: return L"水管";
    default: return L"";
  }
}

void fillCombo(ui::ComboBox& combo, const StringArray& items) {
  combo.ResetContent();
  for (const auto& s : items) combo.AddString(s);
}

}  // namespace

// ---------------------------------------------------------------------------
// The shared dialog
// ---------------------------------------------------------------------------

CLinearConv::CLinearConv(unsigned templateId, LinearKind kind) : CComponentConv(templateId), kind_(kind) {
  onCommandCode(kPick, ui::bn::Clicked, [this] { OnPick(); });
  onCommandCode(kConvert, ui::bn::Clicked, [this] { OnConvert(); });
  onCommandCode(kEditRow, ui::bn::Clicked, [this] { EditConvRow(); });
  onCommandCode(kName, ui::cbn::SelChange, [this] { OnNameSelChange(); });
  onCommandCode(kNumber, ui::cbn::DropDown, [this] { OnNumberDropDown(); });
}

void RowSettings::exchange(ui::DataExchange* dx) {
  ui::DDX_Control(dx, kName, nameCombo);
  ui::DDX_Control(dx, kNumber, numberCombo);
  ui::DDX_CBString(dx, kName, gjName);
  ui::DDX_CBString(dx, kNumber, gjNumber);
  ui::DDX_Text(dx, kStartElev, startElev);
  ui::DDX_Text(dx, kEndElev, endElev);
}

void FillNumberCombo(ui::ComboBox& combo, const CNewListCtrl& list, const std::wstring& name) {
  StringArray numbers;
  ReadFloorGjField(numbers, winlib::CmbGetName(L"楼层"), name, L"", L"编号");
  combo.ResetContent();
  combo.AddString(kAutoNumber);
  for (const auto& n : numbers) combo.AddString(n);
  for (int r = 0; r < list.GetItemCount(); ++r) {
    if (list.GetItemText(r, kColName) != name) continue;
    const std::wstring number = list.GetItemText(r, kColNumber);
    if (combo.FindString(-1, number) < 0) combo.AddString(number);
  }
}

void CLinearConv::DoDataExchange(ui::DataExchange* dx) {
  CComponentConv::DoDataExchange(dx);
  ui::DDX_Control(dx, kList, rowList);
  exchange(dx);
}

bool CLinearConv::OnInitDialog() {
  CComponentConv::OnInitDialog();
  setUpRowList({{L"序号", 40}, {L"构件名称", 85}, {L"构件编号", 85}, {L"标高", 85}, {L"立管", 60}, {L"图层", 80},
                {L"颜色", 60}},
               kColColour);
  LoadCurFloorLevels();
  startElev = endElev = g_floorHeight;
  UpdateData(false);
  CheckRadioButton(kRun, kRun, kRun);
  StringArray names;
  if (*categoryOf(kind_)) ExpandGjCategories(categoryOf(kind_), names);
  if (!names.empty()) fillCombo(nameCombo, names);
  if (nameCombo.GetCount() > 0) {
    nameCombo.SetCurSel(0);
    FillNumberCombo(numberCombo, rowList, nameCombo.GetLBText(0));
    numberCombo.SetCurSel(0);
  }
  UpdateData(true);
  return true;
}

std::wstring CLinearConv::riserText() const { return IsDlgButtonChecked(kRiser) ? L"是" : L"否"; }

void CLinearConv::OnNameSelChange() {
  const int sel = nameCombo.GetCurSel();
  if (sel < 0) return;
  FillNumberCombo(numberCombo, rowList, nameCombo.GetLBText(sel));
  numberCombo.SetCurSel(0);
  UpdateData(true);
}

void CLinearConv::OnNumberDropDown() {
  const int sel = numberCombo.GetCurSel();
  const std::wstring remembered = sel >= 0 ? numberCombo.GetLBText(sel) : L"";
  const int nameSel = nameCombo.GetCurSel();
  FillNumberCombo(numberCombo, rowList, nameSel >= 0 ? nameCombo.GetLBText(nameSel) : gjName);
  const int found = remembered.empty() ? -1 : numberCombo.FindString(0, remembered);
  numberCombo.SetCurSel(found >= 0 ? found : -1);
  UpdateData(true);
}

void CLinearConv::AddRow(cad::ObjectIdArray ids, const std::wstring& layer, const std::wstring& colour) {
  UpdateData(true);
  auto* owned = new cad::ObjectIdArray(std::move(ids));
  const int n = rowList.GetItemCount();
  std::wstring colourText = colour;
  if (colour == L"256") colourText = std::to_wstring(layerColourIndex(layer)) + L"(随层)";
  std::wstring layerText = layer.rfind(L"ZEB_", 0) == 0 ? layer.substr(4) : layer;
  rowList.InsertItem(n, std::to_wstring(n + 1));
  rowList.SetItemText(n, kColName, gjName);
  rowList.SetItemText(n, kColNumber, gjNumber);
  rowList.SetItemText(n, kColElev, FormatNumber(startElev, 0) + L";" + FormatNumber(endElev, 0));
  rowList.SetItemText(n, kColRiser, riserText());
  rowList.SetItemText(n, kColLayer, layerText);
  rowList.SetItemText(n, kColColour, colourText);
  rowList.SetItemData(n, reinterpret_cast<std::uintptr_t>(owned));
  UpdateConvertButton();
}

bool CLinearConv::MatchRow(int row, cad::ObjectId picked, const cad::ObjectIdArray* rowIds) {
  std::wstring layer;
  int colour = 0;
  {
    cad::ObjectPtr<cad::Entity> ent(picked, cad::OpenMode::ForRead);
    if (!ent) return false;
    layer = ent->layer();
    colour = ent->colorIndex();
  }
  if (rowIds) {
    for (cad::ObjectId id : *rowIds) {
      cad::ObjectPtr<cad::Entity> other(id, cad::OpenMode::ForRead);
      if (!other) continue;
      if (other->layer() != layer || other->colorIndex() != colour) return false;
      if (colour == 256 && layerColourIndex(other->layer()) != layerColourIndex(layer)) return false;
      break;
    }
  }
  if (!UpdateData(true)) return false;
  double s = 0, e = 0;
  if (!ParseElevationCell(rowList.GetItemText(row, kColElev), s, e)) return false;
  if (s != startElev || e != endElev) return false;
  return rowList.GetItemText(row, kColName) == gjName && rowList.GetItemText(row, kColNumber) == gjNumber &&
         rowList.GetItemText(row, kColRiser) == riserText();
}

void CLinearConv::BeginCellEdit(int row, int column) {
  if (column != kColRiser) return;
  const StringArray choices{L"是", L"否"};
  const std::wstring cell = rowList.GetItemText(row, column);
  const int start = cell == L"是" ? 0 : cell == L"否" ? 1 : -1;
  ShowCellCombo(&rowList, row, column, &choices, start, 0);
}

void CLinearConv::EndCellEdit(ui::NotifyHeader* info, ui::LResult* result) { commitCellEdit(info, result); }

void CLinearConv::UpdateConvertButton() { enableConvertWhileRows(); }

void CLinearConv::OnPick() {
  if (!UpdateData(true)) return;
  ShowWindow(ui::sw::Hide);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  PickConvRows(this, kLinearConvClasses, 1);
  ShowWindow(ui::sw::Show);
}

void CLinearConv::EditConvRow() {
  UiResourceScope resources;
  CLinearConvEdit editor(this);
  editor.DoModal();
}

std::vector<int> CLinearConv::rowsToConvert() {
  std::vector<int> rows;
  for (int r = rowList.GetItemCount() - 1; r >= 0; --r) {
    cad::ObjectIdArray* ids = rowList.rowIds(r);
    if (!ids || ids->empty()) continue;
    double s = 0, e = 0;
    const std::wstring cell = rowList.GetItemText(r, kColElev);
    if (!ParseElevationCell(cell, s, e)) {
      ed::print(L"\n第%d行的标高\"%ls\"不是两个数，该行未转换", r + 1, cell.c_str());
      continue;
    }
    if (rowList.GetItemText(r, kColName).empty() || rowList.GetItemText(r, kColNumber).empty()) {
      ed::print(L"\n第%d行没有构件名称或构件编号，该行未转换", r + 1);
      continue;
    }
    if (rowList.GetItemText(r, kColRiser) == L"是" && std::fabs(e - s) < 1) {
      ed::print(L"\n第%d行是立管，但起点标高与终点标高相同，该行未转换", r + 1);
      continue;
    }
    rows.push_back(r);
  }
  return rows;
}

void CLinearConv::finish(const std::vector<int>& converted, int made, int skipped) {
  if (skipped > 0) ed::print(L"\n%d个实体不是可转换的类型，未转换", skipped);
  if (made == 0) {
    // Nothing was made: the rows stay, so the user can correct them.
    for (int r : converted)
      if (cad::ObjectIdArray* ids = rowList.rowIds(r)) HighlightEntities(*ids, 1);
    ed::printText(L"\n没有转换出任何构件\n");
    ShowWindow(ui::sw::Show);
    return;
  }
  std::vector<int> rows = converted;
  std::sort(rows.rbegin(), rows.rend());
  for (int r : rows) DeleteConvRow(&rowList, r);
  UpdateConvertButton();
  ed::printText(L"\n转换结束\n");
  if (rowList.GetItemCount() == 0)
    OnOK();
  else
    ShowWindow(ui::sw::Show);
}

// ---------------------------------------------------------------------------
// Air ducts
// ---------------------------------------------------------------------------

CAirDuctConv::CAirDuctConv() : CLinearConv(kDuctTemplate, LinearKind::Duct) {}

void CAirDuctConv::OnConvert() {
  SetDefaultTextStyle();
  SendCommandToAcad(L"zoom\ne\n");
  const std::vector<int> rows = rowsToConvert();
  std::vector<bool> taken(std::size_t(rowList.GetItemCount()), false);
  int made = 0, skipped = 0;
  std::vector<int> converted;
  const cad::ObjectIdArray before = ed::docManager().curDocument()->database()->modelSpaceEntities();
  auto cells = [&](int r) {
    return StringArray{rowList.GetItemText(r, kColName), rowList.GetItemText(r, kColNumber),
                       rowList.GetItemText(r, kColElev), rowList.GetItemText(r, kColRiser)};
  };
  for (int r : rows) {
    if (taken[std::size_t(r)]) continue;
    taken[std::size_t(r)] = true;
    converted.push_back(r);
    cad::ObjectIdArray group = *rowList.rowIds(r);
    // Rows above with the same four cells (compared one by one) join.
    const StringArray key = cells(r);
    for (int above : rows) {
      if (above >= r || taken[std::size_t(above)] || cells(above) != key) continue;
      taken[std::size_t(above)] = true;
      converted.push_back(above);
      const cad::ObjectIdArray* more = rowList.rowIds(above);
      group.insert(group.end(), more->begin(), more->end());
    }
    double s = 0, e = 0;
    ParseElevationCell(key[2], s, e);
    made += BuildDuctGroup(this, &group, key[0], key[1], key[3] == L"是" ? 1 : 0, s, e, skipped);
    StringArray layers;
    ReadGjLibraryField(layers, key[0], L"图层");
    for (const auto& l : layers) SetLayerOff(l, false, nullptr);
  }
  {
    std::unordered_set<cad::ObjectId> existed(before.begin(), before.end()), ducts;
    for (cad::ObjectId id : ed::docManager().curDocument()->database()->modelSpaceEntities())
      if (!existed.count(id)) ducts.insert(id);
    ReportMadeComponents(ducts);
  }
  // The view goes back to the extents as a queued command string: a
  // modeless handler runs outside any command.
  SendCommandToAcad(L"zoom\ne\n");
  finish(converted, made, skipped);
}

// ---------------------------------------------------------------------------
// Pipes and water pipes
// ---------------------------------------------------------------------------

CPipeNetworkConv::CPipeNetworkConv(unsigned templateId, LinearKind kind) : CLinearConv(templateId, kind) {
  network.variant = kind == LinearKind::Water ? NetworkVariant::Water : NetworkVariant::Pipe;
}

void CPipeNetworkConv::OnConvert() {
  SetDefaultTextStyle();
  SendCommandToAcad(L"zoom\ne\n");
  network.clear();
  network.sourceX = sourceX;
  network.sourceY = sourceY;
  network.targetX = targetX;
  network.targetY = targetY;
  const std::vector<int> rows = rowsToConvert();
  StringArray names;
  for (int r : rows) {
    const std::wstring name = rowList.GetItemText(r, kColName);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  CollectLinearComponents(network, names);
  for (int r : rows) {
    const cad::ObjectIdArray group = *rowList.rowIds(r);
    double s = 0, e = 0;
    ParseElevationCell(rowList.GetItemText(r, kColElev), s, e);
    const std::wstring name = rowList.GetItemText(r, kColName);
    RecognisePipeRuns(network, &group, name, rowList.GetItemText(r, kColNumber),
                      rowList.GetItemText(r, kColRiser) == L"是", s, e);
    StringArray layers;
    ReadGjLibraryField(layers, name, L"图层");
    for (const auto& l : layers) SetLayerOff(l, false, nullptr);
  }
  const int made = int(network.made.size());
  network.allSegments.insert(network.allSegments.end(), network.newSegments.begin(), network.newSegments.end());
  if (made > 0) {
    AutoConnectPipes(network);
    GenerateRisersAtFixtures(network);
    BreakPipesAtIntersections(network);
    ApplyDiameterAnnotations(network);
    if (network.unlabelledRuns > 0)
      ed::print(L"\n%d段管道旁没有可读的管径标注，编号取构件名称", network.unlabelledRuns);
  }
  const int skipped = network.skippedEntities;
  ReportMadeComponents(network.made);
  network.clear();
  SendCommandToAcad(L"zoom\np\n");
  finish(rows, made, skipped);
}

CPipeConv::CPipeConv() : CPipeNetworkConv(kPipeTemplate, LinearKind::Pipe) {
  onCommandCode(kRiser, ui::bn::Clicked, [this] { SetRiserElevations(); });
  onCommandCode(kPickStart, ui::bn::Clicked, [this] { PickElevationFromGj(true); });
  onCommandCode(kPickEnd, ui::bn::Clicked, [this] { PickElevationFromGj(false); });
}

void CPipeConv::SetRiserElevations() {
  startElev = 0;
  endElev = g_floorHeight;
  UpdateData(false);
}

void CPipeConv::PickElevationFromGj(bool start) {
  ShowWindow(ui::sw::Hide);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  double elev = 0;
  if (PickGjElevation(elev)) SetDlgItemText(start ? kStartElev : kEndElev, FormatNumber(elev, 1));
  ShowWindow(ui::sw::Show);
}

CWaterPipeConv::CWaterPipeConv() : CPipeNetworkConv(kWaterTemplate, LinearKind::Water) {}

// ---------------------------------------------------------------------------
// Row editor
// ---------------------------------------------------------------------------

CLinearConvEdit::CLinearConvEdit(CLinearConv* owner) : ui::Dialog(kEditTemplate, owner), owner_(owner) {
  onCommandCode(kName, ui::cbn::SelChange, [this] { OnEditNameSelChange(); });
  onCommandCode(kEditOk, ui::bn::Clicked, [this] { OnEditConfirm(); });
  onCommandCode(conv_ids::kCancel, ui::bn::Clicked, [this] { OnCancel(); });
  if (owner_ && owner_->kind() == LinearKind::Pipe)
    onCommandCode(kRiser, ui::bn::Clicked, [this] {
      startElev = 0;
      endElev = g_floorHeight;
      UpdateData(false);
    });
}

void CLinearConvEdit::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  exchange(dx);
}

bool CLinearConvEdit::OnInitDialog() {
  if (!owner_) return false;
  ui::Dialog::OnInitDialog();
  CNewListCtrl& list = owner_->rowList;
  const int r = list.GetNextItem(-1, ui::lvni::Selected);
  if (r < 0 || r >= list.GetItemCount()) return false;
  for (int i = 0; i < owner_->nameCombo.GetCount(); ++i) nameCombo.AddString(owner_->nameCombo.GetLBText(i));
  for (int i = 0; i < owner_->numberCombo.GetCount(); ++i) numberCombo.AddString(owner_->numberCombo.GetLBText(i));
  const std::wstring name = list.GetItemText(r, kColName), number = list.GetItemText(r, kColNumber);
  nameCombo.SetCurSel(nameCombo.FindString(-1, name));
  for (int i = 0; i < list.GetItemCount(); ++i)
    if (list.GetItemText(i, kColName) == name) {
      const std::wstring n = list.GetItemText(i, kColNumber);
      if (numberCombo.FindString(-1, n) < 0) numberCombo.AddString(n);
    }
  numberCombo.SetCurSel(numberCombo.FindString(-1, number));
  StringArray parts;
  SplitString(list.GetItemText(r, kColElev), L";", parts);
  if (parts.size() > 0) SetDlgItemText(kStartElev, parts[0]);
  if (parts.size() > 1) SetDlgItemText(kEndElev, parts[1]);
  const bool riser = list.GetItemText(r, kColRiser) == L"是";
  CheckRadioButton(kRiser, kRun, riser ? kRiser : kRun);
  return true;
}

void CLinearConvEdit::OnEditNameSelChange() {
  const int sel = nameCombo.GetCurSel();
  if (sel < 0 || !owner_) return;
  FillNumberCombo(numberCombo, owner_->rowList, nameCombo.GetLBText(sel));
  numberCombo.SetCurSel(0);
  UpdateData(true);
}

void CLinearConvEdit::OnEditConfirm() {
  if (!owner_) return;
  if (!UpdateData(true)) return;
  CNewListCtrl& list = owner_->rowList;
  const int r = list.GetNextItem(-1, ui::lvni::Selected);
  if (r >= 0 && r < list.GetItemCount()) {
    list.SetItemText(r, kColName, gjName);
    list.SetItemText(r, kColNumber, gjNumber);
    std::wstring elev;
    if (owner_->kind() == LinearKind::Pipe) {
      elev = FormatNumber(startElev, 1) + L";" + FormatNumber(endElev, 1);
    } else {
      wchar_t buf[128];
      std::swprintf(buf, 128, L"%f;%f", startElev, endElev);
      elev = buf;
    }
    list.SetItemText(r, kColElev, elev);
    list.SetItemText(r, kColRiser, IsDlgButtonChecked(kRiser) ? L"是" : L"否");
  }
  EndDialog(ui::IDOK);
}

// ---------------------------------------------------------------------------
// Openers
// ---------------------------------------------------------------------------

void ShowAirDuctConv() { OpenConvDialog(g_airDuctConvDlg); }
void ShowPipeConv() { OpenConvDialog(g_pipeConvDlg); }
void ShowWaterPipeConv() { OpenConvDialog(g_waterPipeConvDlg); }
