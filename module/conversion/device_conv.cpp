#include "module/conversion/device_conv.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "module/conversion/conversion_dialogs.h"
#include "module/model/component_types.h"
#include "module/model/module_resources.h"
#include "module/model/picking.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/progress.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"

using namespace device_ids;

namespace {

// Which floor a drawing's rows were picked on, and the refusal to convert
// rows picked in another drawing than the current one (both below).
void RememberPickFloor(const cad::Database* db);
bool RowsBelongToWorkingDrawing(const CNewListCtrl& list);

void fillCombo(ui::ComboBox& combo, const StringArray& items) {
  combo.ResetContent();
  for (const auto& s : items) combo.AddString(s);
  if (combo.GetCount() > 0) combo.SetCurSel(0);
}

std::wstring selectedText(const ui::ComboBox& combo) {
  const int sel = combo.GetCurSel();
  return sel >= 0 ? combo.GetLBText(sel) : std::wstring();
}

int layerColourIndex(const std::wstring& layer) {
  cad::Color c;
  GetLayerColor(layer, c, nullptr);
  return c.colorIndex();
}

std::wstring withoutSourcePrefix(const std::wstring& layer) {
  return layer.rfind(L"ZEB_", 0) == 0 ? layer.substr(4) : layer;
}

cad::Database* workingDb() { return ed::docManager().curDocument()->database(); }

// The numbers of a name: the current floor's, then those of the rows of
// that name not yet listed.
void fillNumbers(ui::ComboBox& combo, const CNewListCtrl* rows, const std::wstring& name,
                 const std::wstring& emptyFallback) {
  StringArray numbers;
  if (!name.empty()) ReadFloorGjField(numbers, winlib::CmbGetName(L"楼层"), name, L"", L"编号");
  combo.ResetContent();
  for (const auto& n : numbers) combo.AddString(n);
  if (rows)
    for (int r = 0; r < rows->GetItemCount(); ++r)
      if (rows->GetItemText(r, kColName) == name) {
        const std::wstring n = rows->GetItemText(r, kColNumber);
        if (!n.empty() && combo.FindString(-1, n) < 0) combo.AddString(n);
      }
  if (combo.GetCount() == 0 && !name.empty()) combo.AddString(emptyFallback);
  if (combo.GetCount() > 0) combo.SetCurSel(0);
}

// The attribute key of a block reference: "@" and the text of every visible
// attribute, in order.
std::wstring attributeKey(const cad::BlockReference* ref) {
  std::wstring key;
  for (cad::ObjectId a : ref->attributeIds()) {
    cad::ObjectPtr<cad::Attribute> attr(a, cad::OpenMode::ForRead);
    if (attr && !attr->isInvisible()) key += L"@" + attr->textString();
  }
  return key;
}

}  // namespace

const StringArray& DeviceCategories(int discipline) {
  static const StringArray plumbing{L"管道附件", L"卫生器具", L"设备", L"排水零星"};
  static const StringArray electrical{L"照明器具", L"设备、箱柜", L"防雷接地", L"附件、零星"};
  static const StringArray hvac{L"风口设备", L"风管部件", L"风管配件", L"水暖附件", L"水暖设备", L"暖通零星"};
  switch (discipline) {
    case kPlumbing: return plumbing;
    case kHvac: return hvac;
    default: return electrical;
  }
}

int DisciplineOfCategory(const std::wstring& category) {
  for (int d : {kPlumbing, kElectrical, kHvac}) {
    const StringArray& cats = DeviceCategories(d);
    if (std::find(cats.begin(), cats.end(), category) != cats.end()) return d;
  }
  return kElectrical;
}

bool IsPolylineCircle(const cad::Entity* ent) {
  const auto* pl = cad::cast<cad::Polyline>(ent);
  if (!pl) return false;
  PointList pts;
  BulgeList bulges;
  GetEntityVerticesOpen(pl, pts, bulges);
  if (pts.size() != 3 || bulges.size() < 2) return false;
  return std::fabs(std::fabs(bulges[0]) - 1) < 0.01 && std::fabs(bulges[0] - bulges[1]) < 0.01;
}

void DeviceSettings::exchange(ui::DataExchange* dx) {
  ui::DDX_Control(dx, kCategory, typeCombo);
  ui::DDX_Control(dx, kName, nameCombo);
  ui::DDX_Control(dx, kNumber, codeCombo);
  ui::DDX_CBString(dx, kCategory, typeText);
  ui::DDX_CBString(dx, kName, nameText);
  ui::DDX_CBString(dx, kNumber, codeText);
  ui::DDX_Text(dx, kElevation, elevation);
}

void DeviceSettings::disciplineChanged(ui::Wnd* dlg, const CNewListCtrl* rows, const std::wstring& suffix) {
  const int checked = dlg->GetCheckedRadioButton(kPlumbing, kHvac);
  if (checked == discipline || checked == 0) return;
  fillCombo(typeCombo, DeviceCategories(checked));
  discipline = checked;
  categoryChanged(rows, suffix);
}

void DeviceSettings::categoryChanged(const CNewListCtrl* rows, const std::wstring& suffix) {
  StringArray names;
  const std::wstring category = selectedText(typeCombo);
  if (!category.empty()) ExpandGjCategories(category, names);
  fillCombo(nameCombo, names);
  nameChanged(rows, suffix);
}

void DeviceSettings::nameChanged(const CNewListCtrl* rows, const std::wstring& suffix) {
  const std::wstring name = selectedText(nameCombo);
  fillNumbers(codeCombo, rows, name, name + suffix);
}

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

CDeviceConv::CDeviceConv() : CComponentConv(kTemplate) {
  for (int id : {kPlumbing, kElectrical, kHvac}) onCommandCode(id, ui::bn::Clicked, [this] { OnDiscipline(); });
  onCommandCode(kCategory, ui::cbn::SelChange, [this] { OnCategoryChange(); });
  onCommandCode(kName, ui::cbn::SelChange, [this] { OnNameChange(); });
  onCommandCode(kNumber, ui::cbn::DropDown, [this] { OnNumberDropDown(); });
  onCommandCode(kPickElevation, ui::bn::Clicked, [this] { OnPickElevation(); });
  onCommandCode(kPickNumber, ui::bn::Clicked, [this] { OnPickNumber(); });
  onCommandCode(kPick, ui::bn::Clicked, [this] { PickDeviceRows(); });
  onCommandCode(kConvert, ui::bn::Clicked, [this] { ConvertDeviceRows(this); });
  onCommandCode(kEditRow, ui::bn::Clicked, [this] { EditDeviceRow(); });
  onCommandCode(kAdvanced, ui::bn::Clicked, [this] { ToggleAdvanced(this); });
}

void CDeviceConv::DoDataExchange(ui::DataExchange* dx) {
  CComponentConv::DoDataExchange(dx);
  ui::DDX_Control(dx, kList, rowList);
  exchange(dx);
}

bool CDeviceConv::OnInitDialog() {
  CComponentConv::OnInitDialog();
  CollapseAdvanced(this);
  setUpRowList({{L"序号", 40}, {L"构件类型", 85}, {L"构件名称", 85}, {L"构件编号", 85}, {L"标高", 75}, {L"图层", 80},
                {L"颜色", 80}},
               kColColour);
  LoadCurFloorLevels();
  elevation = g_floorHeight;
  UpdateData(false);
  CheckRadioButton(kPlumbing, kHvac, kElectrical);
  discipline = kElectrical;
  fillCombo(typeCombo, DeviceCategories(kElectrical));
  StringArray names;
  ExpandGjCategories(L"照明器具", names);
  fillCombo(nameCombo, names);
  fillNumbers(codeCombo, nullptr, names.empty() ? L"" : names[0], (names.empty() ? L"" : names[0]) + L"1");
  CheckDlgButton(kByLayer, 1);
  CheckDlgButton(kByShape, 1);
  CheckDlgButton(kByAttributes, 1);
  CheckDlgButton(kByRotation, 0);
  UpdateData(true);
  return true;
}

void CDeviceConv::OnDiscipline() {
  disciplineChanged(this, &rowList, L"");
  UpdateData(true);
}

void CDeviceConv::OnCategoryChange() {
  categoryChanged(&rowList, L"");
  UpdateData(true);
}

void CDeviceConv::OnNameChange() {
  nameChanged(&rowList, L"");
  UpdateData(true);
}

void CDeviceConv::OnNumberDropDown() {
  const std::wstring name = selectedText(nameCombo);
  for (int r = 0; r < rowList.GetItemCount(); ++r)
    if (rowList.GetItemText(r, kColName) == name) {
      const std::wstring n = rowList.GetItemText(r, kColNumber);
      if (codeCombo.FindString(-1, n) < 0) codeCombo.AddString(n);
    }
}

void CDeviceConv::OnPickElevation() {
  ShowWindow(ui::sw::Hide);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  double elev = 0;
  if (PickGjElevation(elev)) SetDlgItemText(kElevation, FormatNumber(elev, 1));
  ShowWindow(ui::sw::Show);
}

void CDeviceConv::OnPickNumber() {
  ShowWindow(ui::sw::Hide);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  std::wstring text;
  for (;;) {
    g_pickWatchFlag = 0;
    ed::registerWatchWinMsg(&WatchPickKeys);
    cad::ObjectId id;
    geom::Point3d pt;
    const int rc = ed::entSel(L"\n请选择文本", id, pt);
    ed::removeWatchWinMsg(&WatchPickKeys);
    if (rc == ed::kCancel) break;
    if (rc != ed::kNormal) {
      if (g_pickWatchFlag == 1) break;
      continue;
    }
    cad::ObjectPtr<cad::Text> t(id, cad::OpenMode::ForRead);
    if (!t || cad::isKindOf<cad::Attribute>(t.get())) {
      ed::printText(L"\n不是文本实体");
      continue;
    }
    text = t->textString();
    break;
  }
  if (!text.empty()) codeCombo.SetWindowText(text);
  ShowWindow(ui::sw::Show);
}

void FindSimilarDevices(CDeviceConv* dlg, int colourIndex, cad::ObjectIdArray* out, cad::ObjectId picked,
                        const std::wstring& layer, bool byLayer, bool byShape, bool byRotation,
                        bool byAttributes) {
  out->clear();
  if (!IsSourceLayer(layer)) return;
  enum class Kind { Block, Circle, PolyCircle, Other } kind = Kind::Other;
  cad::ObjectId blockDef;
  double rotation = 0, radius = 0;
  std::wstring key;
  {
    cad::ObjectPtr<cad::Entity> ent(picked, cad::OpenMode::ForRead);
    if (!ent) return;
    if (auto* ref = cad::cast<cad::BlockReference>(ent.get())) {
      kind = Kind::Block;
      blockDef = ref->blockTableRecord();
      rotation = ref->rotation();
      if (byAttributes) key = attributeKey(ref);
    } else if (auto* c = cad::cast<cad::Circle>(ent.get())) {
      kind = Kind::Circle;
      radius = c->radius();
    } else if (IsPolylineCircle(ent.get())) {
      kind = Kind::PolyCircle;
    }
  }
  if (kind == Kind::Other) return;
  const std::unordered_set<cad::ObjectId> area(dlg->areaIds.begin(), dlg->areaIds.end());
  for (cad::ObjectId id : workingDb()->modelSpaceEntities()) {
    if (!area.count(id)) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || !ent->visible() || ent->colorIndex() != colourIndex) continue;
    if (byLayer && ent->layer() != layer) continue;
    bool match = false;
    switch (kind) {
      case Kind::Block:
        if (auto* ref = cad::cast<cad::BlockReference>(ent.get()))
          match = (!byShape || ref->blockTableRecord() == blockDef) && (!byRotation || ref->rotation() == rotation) &&
                  (!byAttributes || attributeKey(ref) == key);
        break;
      case Kind::Circle:
        if (auto* c = cad::cast<cad::Circle>(ent.get())) match = !byShape || std::fabs(c->radius() - radius) <= 3.0;
        break;
      case Kind::PolyCircle: match = IsPolylineCircle(ent.get()); break;
      default: break;
    }
    if (match) out->push_back(id);
  }
}

void ListLayerColours(StringArray& out, const std::wstring& layer) {
  out.clear();
  const int layerColour = layerColourIndex(layer);
  bool any = false;
  for (cad::ObjectId id : workingDb()->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || ent->layer() != layer) continue;
    any = true;
    const int c = ent->colorIndex();
    std::wstring text = c == 256 ? std::to_wstring(layerColour) + L"(随层)"
                        : c == 0 ? std::to_wstring(layerColour) + L"(随块)"
                                 : std::to_wstring(c);
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
  }
  if (!any) out.push_back(std::to_wstring(layerColour));
}

void CDeviceConv::PickDeviceRows() {
  if (!UpdateData(true)) return;
  ShowWindow(ui::sw::Hide);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  const bool byLayer = IsDlgButtonChecked(kByLayer) != 0, byShape = IsDlgButtonChecked(kByShape) != 0;
  const bool byRotation = IsDlgButtonChecked(kByRotation) != 0, byAttrs = IsDlgButtonChecked(kByAttributes) != 0;
  const std::unordered_set<cad::ObjectId> area(areaIds.begin(), areaIds.end());
  for (cad::ObjectId picked; PickConvEntity(L"\n请选择对象:", picked) == ed::kNormal;) {
    if (!area.count(picked)) {
      ed::printText(L"\n实体不在转换区域内，请重新选择！\n");
      continue;
    }
    std::wstring layer;
    int colour = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(picked, cad::OpenMode::ForRead);
      if (!ent) continue;
      if (!cad::isKindOf<cad::BlockReference>(ent.get()) && !cad::isKindOf<cad::Circle>(ent.get()) &&
          !IsPolylineCircle(ent.get())) {
        ed::printText(L"\n不是块状实体或圆，请重新选择！\n");
        continue;
      }
      layer = ent->layer();
      colour = ent->colorIndex();
    }
    // Components already made (on their own layers) are never sources, also
    // when only the one entity is taken.
    if (!IsSourceLayer(layer)) {
      ed::printText(L"\n目前选择的是算量构件，不能转换！");
      continue;
    }
    cad::ObjectIdArray group;
    if (ed::asyncKeyState(ed::kVkShift) != 0)
      group.push_back(picked);
    else
      FindSimilarDevices(this, colour, &group, picked, layer, byLayer, byShape, byRotation, byAttrs);
    if (group.empty()) continue;
    std::unordered_map<cad::ObjectId, int> rowOf;
    for (int r = 0; r < rowList.GetItemCount(); ++r)
      if (cad::ObjectIdArray* ids = rowList.rowIds(r))
        for (cad::ObjectId id : *ids) rowOf.emplace(id, r);
    const bool listedBefore = rowOf.count(picked) > 0;
    const std::unordered_set<cad::ObjectId> inGroup(group.begin(), group.end());
    for (int r = rowList.GetItemCount() - 1; r >= 0; --r) {
      cad::ObjectIdArray* ids = rowList.rowIds(r);
      if (!ids) continue;
      auto* rest = new cad::ObjectIdArray;
      for (cad::ObjectId id : *ids) {
        if (inGroup.count(id))
          HighlightEntity(id, 0);
        else
          rest->push_back(id);
      }
      if (rest->size() == ids->size()) {
        delete rest;
      } else if (rest->empty()) {
        delete rest;
        DeleteConvRow(&rowList, r);
      } else {
        rowList.setRowIds(r, rest);
      }
    }
    if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
    if (listedBefore) {
      HighlightEntities(group, 0);
      UpdateConvertButton();
      continue;
    }
    HighlightEntities(group, 1);
    AddRow(group, layer, std::to_wstring(colour));
  }
  ed::removeWatchWinMsg(&WatchConvPickMsg);
  ShowWindow(ui::sw::Show);
}

void CDeviceConv::AddRow(cad::ObjectIdArray ids, const std::wstring& layer, const std::wstring& colour) {
  UpdateData(true);
  const int n = rowList.GetItemCount();
  std::wstring colourText = colour;
  if (colour == L"256") colourText = std::to_wstring(layerColourIndex(layer)) + L"(随层)";
  rowList.InsertItem(n, std::to_wstring(n + 1));
  rowList.SetItemText(n, kColCategory, typeText);
  rowList.SetItemText(n, kColName, nameText);
  rowList.SetItemText(n, kColNumber, codeText);
  rowList.SetItemText(n, kColElev, FormatNumber(elevation, 2));
  rowList.SetItemText(n, kColLayer, withoutSourcePrefix(layer));
  rowList.SetItemText(n, kColColour, colourText);
  if (!ids.empty()) RememberPickFloor(ids.front().database());
  rowList.SetItemData(n, reinterpret_cast<std::uintptr_t>(new cad::ObjectIdArray(std::move(ids))));
  UpdateConvertButton();
}

bool CDeviceConv::MatchRow(int row, cad::ObjectId picked, const cad::ObjectIdArray* rowIds) {
  cad::ObjectId def;
  std::wstring layer;
  int colour = 0;
  {
    cad::ObjectPtr<cad::BlockReference> ref(picked, cad::OpenMode::ForRead);
    if (!ref) return false;
    def = ref->blockTableRecord();
    layer = ref->layer();
    colour = ref->colorIndex();
  }
  auto colourOf = [](int c, const std::wstring& l) { return c == 256 ? layerColourIndex(l) : c; };
  if (rowIds)
    for (cad::ObjectId id : *rowIds) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref || ref->blockTableRecord() != def || ref->layer() != layer) return false;
      if (colourOf(ref->colorIndex(), ref->layer()) != colourOf(colour, layer)) return false;
    }
  UpdateData(true);
  // The row's cells compared one by one (the elevation as the row shows it).
  return rowList.GetItemText(row, kColCategory) == typeText && rowList.GetItemText(row, kColName) == nameText &&
         rowList.GetItemText(row, kColNumber) == codeText &&
         rowList.GetItemText(row, kColElev) == FormatNumber(elevation, 2);
}

void CDeviceConv::BeginCellEdit(int row, int column) {
  StringArray choices;
  int colourMode = 0;
  if (column == kColLayer) {
    StringArray layers;
    GetLayerNames(layers, nullptr);
    for (const auto& l : layers)
      if (l.rfind(L"ZEB_", 0) == 0) choices.push_back(l.substr(4));
  } else if (column == kColColour) {
    std::wstring layer = rowList.GetItemText(row, kColLayer);
    if (layer != L"0") layer = L"ZEB_" + layer;
    ListLayerColours(choices, layer);
    colourMode = 1;
  } else {
    return;
  }
  const std::wstring cell = rowList.GetItemText(row, column);
  auto it = std::find(choices.begin(), choices.end(), cell);
  ShowCellCombo(&rowList, row, column, &choices, it == choices.end() ? -1 : int(it - choices.begin()), colourMode);
}

void CDeviceConv::EndCellEdit(ui::NotifyHeader* info, ui::LResult* result) { commitCellEdit(info, result); }

void CDeviceConv::UpdateConvertButton() { enableConvertWhileRows(); }

void CDeviceConv::EditDeviceRow() {
  UiResourceScope resources;
  CDeviceEdit editor;
  editor.DoModal();
}

// ---------------------------------------------------------------------------
// Row editor
// ---------------------------------------------------------------------------

CDeviceEdit::CDeviceEdit() : ui::Dialog(kEditTemplate, g_deviceConvDlg) {
  auto rows = [] { return g_deviceConvDlg ? &g_deviceConvDlg->rowList : nullptr; };
  for (int id : {kPlumbing, kElectrical, kHvac})
    onCommandCode(id, ui::bn::Clicked, [this, rows] {
      disciplineChanged(this, rows(), L"1");
      UpdateData(true);
    });
  onCommandCode(kCategory, ui::cbn::SelChange, [this, rows] {
    categoryChanged(rows(), L"1");
    UpdateData(true);
  });
  onCommandCode(kName, ui::cbn::SelChange, [this, rows] {
    nameChanged(rows(), L"1");
    UpdateData(true);
  });
  onCommandCode(kEditOk, ui::bn::Clicked, [this] { OnConfirm(); });
  onCommandCode(conv_ids::kCancel, ui::bn::Clicked, [this] { OnCancel(); });
}

void CDeviceEdit::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  exchange(dx);
}

bool CDeviceEdit::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  if (!g_deviceConvDlg) return true;
  CNewListCtrl& list = g_deviceConvDlg->rowList;
  const int r = list.GetNextItem(-1, ui::lvni::Selected);
  if (r < 0) return true;
  const std::wstring category = list.GetItemText(r, kColCategory), name = list.GetItemText(r, kColName);
  const std::wstring number = list.GetItemText(r, kColNumber);
  discipline = DisciplineOfCategory(category);
  CheckRadioButton(kPlumbing, kHvac, discipline);
  fillCombo(typeCombo, DeviceCategories(discipline));
  typeCombo.SetCurSel(std::max(0, typeCombo.FindStringExact(-1, category)));
  StringArray names;
  ExpandGjCategories(selectedText(typeCombo), names);
  fillCombo(nameCombo, names);
  const int nameAt = nameCombo.FindStringExact(-1, name);
  if (nameAt >= 0) nameCombo.SetCurSel(nameAt);
  fillNumbers(codeCombo, &list, name, name + L"1");
  if (!number.empty() && codeCombo.FindStringExact(-1, number) < 0) codeCombo.AddString(number);
  codeCombo.SetCurSel(codeCombo.FindStringExact(-1, number));
  SetDlgItemText(kElevation, FormatNumber(ui::parseDouble(list.GetItemText(r, kColElev)).value_or(0), 2));
  UpdateData(true);
  return true;
}

void CDeviceEdit::OnConfirm() {
  if (g_deviceConvDlg && UpdateData(true)) {
    CNewListCtrl& list = g_deviceConvDlg->rowList;
    const int r = list.GetNextItem(-1, ui::lvni::Selected);
    if (r >= 0) {
      list.SetItemText(r, kColCategory, typeText);
      list.SetItemText(r, kColName, nameText);
      list.SetItemText(r, kColNumber, codeText);
      list.SetItemText(r, kColElev, FormatNumber(elevation, 2));
    }
  }
  EndDialog(ui::IDOK);
}

// ---------------------------------------------------------------------------
// Conversion
// ---------------------------------------------------------------------------

cad::ObjectId DeepCloneToLayer(const cad::ObjectIdArray& ids, const std::wstring& layer, cad::Database* db) {
  cad::Database* target = db ? db : workingDb();
  if (!target || ids.empty()) return {};
  GetOrCreateLayer(layer, target);
  cad::IdMapping mapping;
  if (target->deepCloneObjects(ids, target->modelSpaceId(), mapping) != cad::Status::Ok) return {};
  cad::ObjectId first;
  for (const auto& pair : mapping.pairs()) {
    if (!pair.isCloned) continue;
    cad::ObjectPtr<cad::Entity> ent(pair.value, cad::OpenMode::ForWrite);
    if (!ent) continue;
    ent->setLayer(layer, true);
    if (first.isNull() && pair.isPrimary && pair.key == ids.front()) first = pair.value;
  }
  return first;
}

namespace {

// The placed point components of a name, by plan cell of 200, so that the
// duplicate test looks only at the few points near a position.
class PlacedPoints {
 public:
  void add(const std::wstring& name, const geom::Point3d& p) { cells_[key(name, p.x, p.y)].push_back(p); }
  // True when no placed point of the name lies within 200 in plan.
  bool isFar(const std::wstring& name, const geom::Point3d& p) const {
    const long cx = cell(p.x), cy = cell(p.y);
    for (long dx = -1; dx <= 1; ++dx)
      for (long dy = -1; dy <= 1; ++dy) {
        auto it = cells_.find(name + L"|" + std::to_wstring(cx + dx) + L"," + std::to_wstring(cy + dy));
        if (it == cells_.end()) continue;
        for (const auto& q : it->second)
          if (std::hypot(q.x - p.x, q.y - p.y) < 200) return false;
      }
    return true;
  }

 private:
  static long cell(double v) { return long(std::floor(v / 200.0)); }
  static std::wstring key(const std::wstring& name, double x, double y) {
    return name + L"|" + std::to_wstring(cell(x)) + L"," + std::to_wstring(cell(y));
  }
  std::unordered_map<std::wstring, std::vector<geom::Point3d>> cells_;
};

// The floor each drawing's rows were picked on: a row's picks belong to the
// drawing they were picked in, and the dialog stays open across a floor
// switch.
std::unordered_map<const cad::Database*, std::wstring>& pickFloors() {
  static std::unordered_map<const cad::Database*, std::wstring> floors;
  return floors;
}

enum class Made { Ok, Skipped, Duplicate };

Made convertSource(cad::ObjectId src, const geom::Vector3d& shift, const std::wstring& name,
                   const std::wstring& number, double elevation, PlacedPoints& placed) {
  geom::Point3d pos;
  double rotation = 0;
  cad::ObjectId def;
  cad::Scale3d scale;
  {
    cad::ObjectPtr<cad::Entity> ent(src, cad::OpenMode::ForRead);
    if (!ent) return Made::Skipped;
    if (auto* ref = cad::cast<cad::BlockReference>(ent.get())) {
      pos = ref->position();
      rotation = ref->rotation();
      def = ref->blockTableRecord();
      scale = ref->scaleFactors();
    } else if (auto* c = cad::cast<cad::Circle>(ent.get())) {
      pos = c->center();
    } else if (IsPolylineCircle(ent.get())) {
      PointList pts;
      BulgeList bulges;
      GetEntityVerticesOpen(ent.get(), pts, bulges);
      pos = GetSegmentMidPoint(pts[0], pts[1], 0);
    } else {
      return Made::Skipped;
    }
  }
  pos = pos + shift;
  if (!placed.isFar(name, pos)) return Made::Duplicate;
  const geom::Point3d at(pos.x, pos.y, 0);
  const geom::Vector3d noRotation(0, 0, 0);
  cad::Database* db = workingDb();
  if (!def.isNull()) {
    // The component's layer is made first: a reference on a missing layer
    // would stay on the current one.
    GetOrCreateLayer(name, db);
    auto ref = std::make_unique<cad::BlockReference>(at, def);
    ref->setRotation(rotation);
    ref->setScaleFactors(scale);
    ref->setNormal(geom::Vector3d(0, 0, 1));
    cad::BlockReference* raw = ref.release();
    const cad::ObjectId id = AppendToModelSpace(raw, name, db);
    if (id.isNull()) return Made::Skipped;
    raw->close();
    if (!SetPointGjSpecial(&number, id, &elevation, &noRotation)) {
      EraseEntity(id);
      return Made::Skipped;
    }
  } else {
    const std::wstring block = L"user$" + name + L"$" + number;
    EnsureGjBlockDef(name, block, 0);
    cad::ObjectId id = InsertBlockRef(block, at, 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), name, db);
    if (id.isNull()) return Made::Skipped;
    if (!SetPointGjSpecial(&number, id, &elevation, &noRotation)) {
      EraseEntity(id);
      return Made::Skipped;
    }
    const cad::ObjectId clone = DeepCloneToLayer({src}, name + L"边线", db);
    if (clone.isNull()) {
      EraseEntity(id);
      return Made::Skipped;
    }
    {
      cad::ObjectPtr<cad::Entity> moved(clone, cad::OpenMode::ForWrite);
      if (moved) moved->transformBy(geom::Matrix3d::translation(shift));
    }
    ClearXdata(clone, L"");
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    SetGjXdata(clone, n, attrs.empty() ? L"" : attrs[0], nullptr);
  }
  placed.add(name, pos);
  return Made::Ok;
}

}  // namespace

namespace {

void RememberPickFloor(const cad::Database* db) {
  if (db) pickFloors()[db] = winlib::CmbGetName(winlib::kComboFloor);
}

bool RowsBelongToWorkingDrawing(const CNewListCtrl& list) {
  const cad::Database* current = workingDb();
  for (int r = 0; r < list.GetItemCount(); ++r) {
    const cad::ObjectIdArray* ids = list.rowIds(r);
    if (!ids || ids->empty()) continue;
    const cad::Database* db = ids->front().database();
    if (db == current) continue;
    // Their blocks and figures live in that drawing: converted here, the new
    // components would refer to definitions this drawing does not have.
    const auto it = db ? pickFloors().find(db) : pickFloors().end();
    const std::wstring floor = it != pickFloors().end() ? it->second : std::wstring();
    if (floor.empty())
      ed::print(L"\n第%d行的对象不在当前图中(其图已关闭)，未转换；请在当前楼层重新拾取\n", r + 1);
    else
      ed::print(L"\n第%d行的对象是在楼层“%s”拾取的，不能转换到当前楼层“%s”；请切换回%s转换，或在当前楼层重新拾取\n",
                r + 1, floor.c_str(), winlib::CmbGetName(winlib::kComboFloor).c_str(), floor.c_str());
    return false;
  }
  return true;
}

}  // namespace

void ConvertDeviceRows(CDeviceConv* dlg) {
  CNewListCtrl& list = dlg->rowList;
  if (!RowsBelongToWorkingDrawing(list)) return;
  const geom::Vector3d shift(dlg->targetX - dlg->sourceX, dlg->targetY - dlg->sourceY, 0);
  SetDefaultTextStyle();
  SendCommandToAcad(L"zoom\ne\n");
  PlacedPoints placed;
  for (cad::ObjectId id : workingDb()->modelSpaceEntities()) {
    geom::Point3d p;
    if (!IsPointGj(id, p)) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (ent) placed.add(ent->layer(), p);
  }
  int made = 0, duplicates = 0, skipped = 0;
  for (int r = list.GetItemCount() - 1; r >= 0; --r) {
    std::unique_ptr<cad::ObjectIdArray> ids(list.rowIds(r));
    if (!ids) continue;
    list.SetItemData(r, 0);
    if (ids->empty()) continue;
    const std::wstring name = list.GetItemText(r, kColName);
    std::wstring number = list.GetItemText(r, kColNumber);
    const double elevation = ui::parseDouble(list.GetItemText(r, kColElev)).value_or(0);
    if (number.empty()) number = name;
    if (name.empty()) {
      ed::print(L"\n第%d行没有构件名称，该行未转换", r + 1);
      HighlightEntities(*ids, 0);
      continue;
    }
    ed::setStatusBarProgressMeter(L"转换", 0, int(ids->size()));
    for (std::size_t i = 0; i < ids->size(); ++i) {
      ed::setStatusBarProgressMeterPos(int(i));
      switch (convertSource((*ids)[i], shift, name, number, elevation, placed)) {
        case Made::Ok: ++made; break;
        case Made::Duplicate: ++duplicates; break;
        default: ++skipped; break;
      }
    }
    ed::restoreStatusBar();
    HighlightEntities(*ids, 0);
    StringArray layers;
    ReadGjLibraryField(layers, name, L"图层");
    for (const auto& l : layers) SetLayerOff(l, false, nullptr);
  }
  DeleteAllConvRows(&list);
  SendCommandToAcad(L"zoom\np\n");
  ed::print(L"\n转换了%d个设备", made);
  if (duplicates > 0) ed::print(L"\n%d个设备处已有同名构件(200以内)，未重复转换", duplicates);
  if (skipped > 0) ed::print(L"\n%d个实体不能转换为设备", skipped);
  ed::printText(L"\n转换结束\n");
  dlg->UpdateConvertButton();
  dlg->OnOK();
}
