#include "module/conversion/circuit_conv.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_set>

#include "module/conversion/conv_openers.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/model/module_resources.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/winmsg.h"

using namespace circuit_ids;
using geom::Point3d;

namespace {

bool contains(const cad::ObjectIdArray& ids, cad::ObjectId id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::wstring shownLayer(const std::wstring& layer) {
  return layer.rfind(L"ZEB_", 0) == 0 ? layer.substr(4) : layer;
}

void focusDrawing() {
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
}

}  // namespace

// ---------------------------------------------------------------------------
// Step 1: the wiring and annotation layers
// ---------------------------------------------------------------------------

CPipeLineSel::CPipeLineSel() : CComponentConv(kSelTemplate) {
  onCommandCode(kPickPipes, ui::bn::Clicked, [this] { OnPickPipes(); });
  onCommandCode(kPickCounts, ui::bn::Clicked, [this] { OnPickCounts(); });
  onCommandCode(kDeletePipe, ui::bn::Clicked, [this] { OnDeleteItem(true); });
  onCommandCode(kDeleteCount, ui::bn::Clicked, [this] { OnDeleteItem(false); });
  onCommandCode(kMeasureMerge, ui::bn::Clicked, [this] { OnMeasure(true); });
  onCommandCode(kMeasureConnect, ui::bn::Clicked, [this] { OnMeasure(false); });
  onCommandCode(kModifyArea, ui::bn::Clicked, [this] { OnModifyArea(); });
  onCommandCode(kNext, ui::bn::Clicked, [this] { OnNextStep(); });
  onCommandCode(kAdvanced, ui::bn::Clicked, [this] { ToggleAdvanced(this); });
  blockMainFrameWhileShown([this](bool shown) {
    if (shown) highlightItems(1);
  });
}

CPipeLineSel::~CPipeLineSel() {
  if (m_hWnd) emptyLists();
  if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(true);
}

void CPipeLineSel::DoDataExchange(ui::DataExchange* dx) {
  CComponentConv::DoDataExchange(dx);
  ui::DDX_Control(dx, kPipeList, pipeList);
  ui::DDX_Control(dx, kCountList, countList);
  ui::DDX_Text(dx, kMerge, mergeDistance);
  ui::DDX_Text(dx, kConnect, connectDistance);
}

bool CPipeLineSel::OnInitDialog() {
  CComponentConv::OnInitDialog();
  CollapseAdvanced(this);
  CheckDlgButton(kByWidth, 1);
  CheckDlgButton(kByColour, 1);
  CheckDlgButton(kByLinetype, 0);
  pipeList.ResetContent();
  countList.ResetContent();
  return true;
}

cad::ObjectIdArray* CPipeLineSel::item(const ui::ListBox& list, int i) const {
  return static_cast<cad::ObjectIdArray*>(list.GetItemDataPtr(i));
}

void CPipeLineSel::deleteItem(ui::ListBox& list, int i) {
  if (cad::ObjectIdArray* ids = item(list, i)) {
    HighlightEntities(*ids, 0);
    owned_.erase(std::remove_if(owned_.begin(), owned_.end(), [&](const auto& p) { return p.get() == ids; }),
                 owned_.end());
  }
  list.DeleteString(i);
}

int CPipeLineSel::addItem(bool pipes, const std::wstring& label, cad::ObjectIdArray ids) {
  ui::ListBox& list = pipes ? pipeList : countList;
  owned_.push_back(std::make_unique<cad::ObjectIdArray>(std::move(ids)));
  const int at = list.AddString(label);
  list.SetItemDataPtr(at, owned_.back().get());
  return at;
}

void CPipeLineSel::emptyLists() {
  for (int i = pipeList.GetCount() - 1; i >= 0; --i) deleteItem(pipeList, i);
  for (int i = countList.GetCount() - 1; i >= 0; --i) deleteItem(countList, i);
}

bool CPipeLineSel::listed(const ui::ListBox& list, cad::ObjectId id) const {
  for (int i = 0; i < list.GetCount(); ++i)
    if (const cad::ObjectIdArray* ids = item(list, i); ids && contains(*ids, id)) return true;
  return false;
}

std::vector<cad::ObjectIdArray> CPipeLineSel::itemIds(bool pipes) const {
  const ui::ListBox& list = pipes ? pipeList : countList;
  std::vector<cad::ObjectIdArray> out;
  for (int i = 0; i < list.GetCount(); ++i)
    if (const cad::ObjectIdArray* ids = item(list, i); ids && !ids->empty()) out.push_back(*ids);
  return out;
}

bool CPipeLineSel::acceptPick(const ui::ListBox& list, cad::ObjectId picked, const std::wstring& layer,
                              const std::unordered_set<cad::ObjectId>& area) const {
  if (!IsSourceLayer(layer)) {
    ed::printText(L"\n构件图层无需或不能转换，请重新选择！\n");
    return false;
  }
  if (listed(list, picked)) {
    ed::printText(L"\n图层已经选择！");
    return false;
  }
  if (!area.count(picked)) {
    ed::printText(L"\n实体不在转换区域内，请重新选择！\n");
    return false;
  }
  return true;
}

cad::ObjectIdArray CPipeLineSel::groupOf(const std::wstring& layer, const std::wstring& cls,
                                          const std::function<bool(const cad::Entity*)>& alike) const {
  cad::ObjectIdArray group;
  for (auto it = areaIds.rbegin(); it != areaIds.rend(); ++it) {
    cad::ObjectPtr<cad::Entity> ent(*it, cad::OpenMode::ForRead);
    if (ent && ent->layer() == layer && EntityClassName(ent.get()) == cls && alike(ent.get())) group.push_back(*it);
  }
  if (!group.empty()) HighlightEntities(group, 1);
  return group;
}

void CPipeLineSel::highlightItems(int flag) const {
  for (bool pipes : {true, false})
    for (const auto& ids : itemIds(pipes)) HighlightEntities(ids, flag);
}

void CPipeLineSel::OnCancel() {
  emptyLists();
  ui::Dialog::OnCancel();
}

void CPipeLineSel::OnPickPipes() {
  UpdateData(true);
  ShowWindow(ui::sw::Hide);
  focusDrawing();
  const bool byWidth = IsDlgButtonChecked(kByWidth) != 0, byColour = IsDlgButtonChecked(kByColour) != 0;
  const bool byLinetype = IsDlgButtonChecked(kByLinetype) != 0;
  const std::unordered_set<cad::ObjectId> area(areaIds.begin(), areaIds.end());
  for (cad::ObjectId picked; PickConvEntity(L"\n请选择：", picked) == ed::kNormal;) {
    std::wstring cls, layer, linetype;
    int colour = 0;
    double sw = 0, ew = 0;
    {
      cad::ObjectPtr<cad::Curve> c(picked, cad::OpenMode::ForRead);
      if (!c) {
        ed::printText(L"\n实体类型不符合，请重新选择！\n");
        continue;
      }
      if (auto* pl = cad::cast<cad::Polyline>(c.get())) {
        if (pl->getWidthsAt(0, sw, ew) != cad::Status::Ok) sw = ew = -1.0;
      } else if (auto* p2 = cad::cast<cad::Polyline2d>(c.get())) {
        sw = p2->defaultStartWidth();
        ew = p2->defaultEndWidth();
      }
      cls = EntityClassName(c.get());
      layer = c->layer();
      colour = c->colorIndex();
      linetype = c->linetype();
    }
    if (!acceptPick(pipeList, picked, layer, area)) continue;
    cad::ObjectIdArray group = groupOf(layer, cls, [&](const cad::Entity* ent) {
      if (byColour && ent->colorIndex() != colour) return false;
      if (byLinetype && ent->linetype() != linetype) return false;
      if (!byWidth) return true;
      if (auto* pl = cad::cast<cad::Polyline>(ent)) {
        double s = 0, e = 0;
        return pl->getWidthsAt(0, s, e) == cad::Status::Ok && s == sw && e == ew;
      }
      if (auto* p2 = cad::cast<cad::Polyline2d>(ent)) return p2->defaultStartWidth() == sw && p2->defaultEndWidth() == ew;
      return true;
    });
    if (group.empty()) continue;
    wchar_t label[512];
    std::swprintf(label, 512, L"%ls+线宽(%.0f,%.0f)+颜色(%d)+线型(%ls)", shownLayer(layer).c_str(), sw, ew, colour,
                  linetype.c_str());
    addItem(true, label, std::move(group));
  }
  ShowWindow(ui::sw::Show);
}

void CPipeLineSel::OnPickCounts() {
  UpdateData(true);
  ShowWindow(ui::sw::Hide);
  focusDrawing();
  const std::unordered_set<cad::ObjectId> area(areaIds.begin(), areaIds.end());
  for (cad::ObjectId picked; PickConvEntity(L"\n请选择：", picked) == ed::kNormal;) {
    std::wstring cls, layer;
    int colour = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(picked, cad::OpenMode::ForRead);
      if (!ent || !(cad::isKindOf<cad::Text>(ent.get()) || cad::isKindOf<cad::BlockReference>(ent.get()))) {
        ed::printText(L"\n实体类型不符合，请重新选择！\n");
        continue;
      }
      cls = EntityClassName(ent.get());
      layer = ent->layer();
      colour = ent->colorIndex();
    }
    if (!acceptPick(countList, picked, layer, area)) continue;
    cad::ObjectIdArray group = groupOf(layer, cls, [&](const cad::Entity* ent) { return ent->colorIndex() == colour; });
    if (group.empty()) continue;
    addItem(false, shownLayer(layer), std::move(group));
  }
  ShowWindow(ui::sw::Show);
}

void CPipeLineSel::OnDeleteItem(bool pipes) {
  ui::ListBox& list = pipes ? pipeList : countList;
  const int sel = list.GetCurSel();
  if (sel >= 0) deleteItem(list, sel);
}

void CPipeLineSel::OnMeasure(bool merge) {
  ShowWindow(ui::sw::Hide);
  Point3d p1, p2;
  if (ed::getPoint(nullptr, L"\n选择第一个点", p1) == ed::kNormal &&
      ed::getPoint(&p1, L"\n选择第二个点", p2) == ed::kNormal) {
    UpdateData(true);
    (merge ? mergeDistance : connectDistance) = RoundTo(p1.distanceTo(p2), 1);
    UpdateData(false);
  }
  ShowWindow(ui::sw::Show);
}

void CPipeLineSel::OnModifyArea() {
  emptyLists();
  UiResourceScope resources;
  ModifyConvArea(this);
}

void CPipeLineSel::OnNextStep() {
  ui::Wnd* frame = ui::mainFrame();
  if (frame) frame->EnableWindow(true);
  SendCommandToAcad(L"zoom\ne\n");
  if (!UpdateData(true)) {
    if (frame) frame->EnableWindow(false);
    return;
  }
  if (!(mergeDistance > 0) || !(connectDistance > 0)) {
    ed::printText(L"\n最大合并距离和最大连接距离须大于0！\n");
    if (frame) frame->EnableWindow(false);
    return;
  }
  cad::ObjectIdArray wiring;
  for (const auto& ids : itemIds(true)) wiring.insert(wiring.end(), ids.begin(), ids.end());
  highlightItems(0);
  CircuitTraceOptions options;
  options.merge = mergeDistance;
  options.connect = connectDistance;
  options.shift = geom::Vector3d(targetX - sourceX, targetY - sourceY, 0);
  CircuitTraceResult traced = TraceCircuits(wiring, options);
  if (!traced.ok) {
    // Nothing was changed: the message says why and the picks stay listed.
    ed::printText(traced.message);
    highlightItems(1);
    if (frame) frame->EnableWindow(false);
    EnableWindow(true);
    return;
  }
  // Cut wiring is replaced by its pieces in the lists and in the area, so a
  // later 下一步 finds the same wiring.
  for (const auto& [origin, parts] : traced.replaced) {
    for (int i = 0; i < pipeList.GetCount(); ++i) {
      cad::ObjectIdArray* ids = item(pipeList, i);
      if (!ids) continue;
      auto at = std::find(ids->begin(), ids->end(), origin);
      if (at == ids->end()) continue;
      at = ids->erase(at);
      ids->insert(at, parts.begin(), parts.end());
    }
    auto at = std::find(areaIds.begin(), areaIds.end(), origin);
    if (at != areaIds.end()) areaIds.erase(at);
    areaIds.insert(areaIds.end(), parts.begin(), parts.end());
  }
  SendCommandToAcad(L"zoom\ne\n");
  ShowWindow(ui::sw::Hide);
  DestroyConvDialog(g_pipeLineConvDlg);
  UiResourceScope resources;
  auto* step2 = new CPipeLineConv;
  if (!step2->Create(kConvTemplate, ui::mainFrame())) {
    delete step2;
    ed::printText(L"\n转换对话框无法打开。\n");
    ShowWindow(ui::sw::Show);
    return;
  }
  g_pipeLineConvDlg = step2;
  step2->CenterWindow(ui::mainFrame());
  step2->sourceX = sourceX;
  step2->sourceY = sourceY;
  step2->targetX = targetX;
  step2->targetY = targetY;
  step2->SetAreaIds(areaIds);
  ed::print(L"\n找到%d个回路", step2->rowList.GetItemCount());
  step2->ShowWindow(ui::sw::Show);
}
