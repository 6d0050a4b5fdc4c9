#include "module/conversion/conv_base.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "module/conversion/conversion_dialogs.h"
#include "module/model/module_resources.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/command_strings.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/sysvars.h"

using namespace conv_ids;

int g_convPickWatchFlag = 0;

bool IsSourceLayer(const std::wstring& layer) { return layer == L"0" || layer.rfind(L"ZEB_", 0) == 0; }

std::wstring EntityClassName(const cad::DbObject* obj) {
  if (!obj) return L"";
  switch (obj->kind()) {
    case cad::Kind::Polyline2d: return L"AcDb2dPolyline";
    case cad::Kind::Polyline3d: return L"AcDb3dPolyline";
    case cad::Kind::BlockReference: return L"AcDbBlockReference";
    default: break;
  }
  std::string name = obj->className();
  return L"AcDb" + std::wstring(name.begin(), name.end());
}

// ---------------------------------------------------------------------------
// The conversion area
// ---------------------------------------------------------------------------

CConvArea::CConvArea() : ui::Dialog(kAreaTemplate, ui::mainFrame()) {
  onCommandCode(kPickSource, ui::bn::Clicked, [this] { OnPickPoint(false); });
  onCommandCode(kPickTarget, ui::bn::Clicked, [this] { OnPickPoint(true); });
  onCommandCode(kSelectArea, ui::bn::Clicked, [this] { OnSelectArea(); });
}

bool CConvArea::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  CenterWindow(parentWnd());
  return true;
}

void CConvArea::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Text(dx, kSourceX, sourceX);
  ui::DDX_Text(dx, kSourceY, sourceY);
  ui::DDX_Text(dx, kTargetX, targetX);
  ui::DDX_Text(dx, kTargetY, targetY);
  ui::DDX_Text(dx, kObjectCount, objectCount);
}

void CConvArea::OnCancel() {
  areaIds.clear();
  ui::Dialog::OnCancel();
}

void CConvArea::OnPickPoint(bool target) {
  BeginEditorCommand();
  geom::Point3d pt;
  int rc = ed::getPoint(nullptr, L"\n请选择点:", pt);
  CompleteEditorCommand();
  if (rc != ed::kNormal) return;
  (target ? targetX : sourceX) = pt.x;
  (target ? targetY : sourceY) = pt.y;
  UpdateData(false);
}

void CConvArea::OnSelectArea() {
  areaIds.clear();
  BeginEditorCommand();
  ed::SelSet ss = 0;
  int rc = ed::ssGet(L"", {}, {}, ss);
  CompleteEditorCommand();
  std::int32_t len = 0;
  if (rc == ed::kNormal && ed::ssLength(ss, len) == ed::kNormal) SSToIds(ss, areaIds);
  if (ss) ed::ssFree(ss);
  objectCount = int(areaIds.size());
  SetDlgItemInt(kObjectCount, objectCount, true);
  // 保存 only while the area holds something.
  if (ui::Wnd* save = GetDlgItem(ui::IDOK)) save->EnableWindow(objectCount > 0);
}

int EnsureConvArea() {
  UiResourceScope resources;
  ConvAreaObject();
  if (g_convArea->saved) return 1;
  if (g_convArea->DoModal() == ui::IDOK) {
    g_convArea->saved = 1;
    return 1;
  }
  return 2;
}

// ---------------------------------------------------------------------------
// Row list
// ---------------------------------------------------------------------------

cad::ObjectIdArray* CNewListCtrl::rowIds(int row) const {
  if (row < 0 || row >= GetItemCount()) return nullptr;
  return reinterpret_cast<cad::ObjectIdArray*>(GetItemData(row));
}

void CNewListCtrl::setRowIds(int row, cad::ObjectIdArray* ids) {
  delete rowIds(row);
  SetItemData(row, reinterpret_cast<std::uintptr_t>(ids));
}

void CNewListCtrl::showContextMenu(ui::Point screen) {
  ui::Menu menu;
  menu.CreatePopupMenu();
  const bool any = GetItemCount() > 0;
  const bool selected = GetNextItem(-1, ui::lvni::Selected) >= 0;
  menu.AppendMenu(ui::mf::String, kMenuAddRow, L"添加一行");
  menu.AppendMenu(ui::mf::String | (selected ? 0u : ui::mf::Grayed), kMenuDeleteSelected, L"删除选中行");
  menu.AppendMenu(ui::mf::String | (any ? 0u : ui::mf::Grayed), kMenuDeleteAll, L"全部删除");
  menu.TrackPopupMenu(0, screen.x, screen.y, this);
}

ui::LResult CNewListCtrl::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::ContextMenu:
      showContextMenu(ui::PointFromLParam(lp));
      return 0;
    case ui::wm::HScroll:
    case ui::wm::VScroll:
      // Taking the focus ends an open cell editor first.
      if (ui::Wnd::GetFocus() != this) SetFocus();
      break;
    case ui::wm::Command:
      if (!owner) break;
      switch (int(wp & 0xFFFF)) {
        case kMenuAddRow:
          owner->AddRow({}, L"", L"");
          return 0;
        case kMenuDeleteSelected:
          for (int r; (r = GetNextItem(-1, ui::lvni::Selected)) >= 0;) DeleteConvRow(this, r);
          owner->UpdateConvertButton();
          return 0;
        case kMenuDeleteAll:
          DeleteAllConvRows(this);
          owner->UpdateConvertButton();
          return 0;
        default: break;
      }
      break;
    default: break;
  }
  return ui::ListCtrl::WindowProc(msg, wp, lp);
}

bool CNewListCtrl::OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) {
  if (msg != ui::wm::Notify || !owner) return ui::ListCtrl::OnChildNotify(msg, wp, lp, result);
  auto* hdr = reinterpret_cast<ui::NotifyHeader*>(lp);
  if (hdr->code == ui::nm::Click) {
    auto* nm = reinterpret_cast<ui::NmItemActivate*>(lp);
    if (nm->iItem < 0) return true;
    if (GetItemState(nm->iItem, ui::lvis::Focused) & ui::lvis::Focused)
      owner->BeginCellEdit(nm->iItem, nm->iSubItem);
    else
      SetItemState(nm->iItem, ui::lvis::Selected | ui::lvis::Focused, ui::lvis::Selected | ui::lvis::Focused);
    return true;
  }
  if (hdr->code == ui::lvn::EndLabelEdit) {
    owner->EndCellEdit(hdr, result);
    return true;
  }
  return ui::ListCtrl::OnChildNotify(msg, wp, lp, result);
}

bool DeleteConvRow(CNewListCtrl* list, int row) {
  if (!list || row < 0 || row >= list->GetItemCount()) return false;
  if (cad::ObjectIdArray* ids = list->rowIds(row)) {
    HighlightEntities(*ids, 0);
    delete ids;
  }
  bool ok = list->DeleteItem(row);
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  for (int i = 0; i < list->GetItemCount(); ++i) list->SetItemText(i, 0, std::to_wstring(i + 1));
  list->SetFocus();
  return ok;
}

bool DeleteAllConvRows(CNewListCtrl* list) {
  if (!list || !list->m_hWnd) return false;
  for (int i = 0; i < list->GetItemCount(); ++i) {
    if (cad::ObjectIdArray* ids = list->rowIds(i)) {
      HighlightEntities(*ids, 0);
      delete ids;
      list->SetItemData(i, 0);
    }
  }
  bool ok = list->DeleteAllItems();
  if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
  return ok;
}

std::wstring ColourCellText(const std::wstring& cell) {
  static const wchar_t* const names[] = {L"红色", L"黄色", L"绿色", L"青色", L"蓝色", L"紫色", L"白色"};
  if (cell.empty() || cell[0] < L'1' || cell[0] > L'7') return cell;
  if (cell.size() > 1 && iswdigit(cell[1])) return cell;  // 10 and above
  return names[cell[0] - L'1'] + cell.substr(1);
}

// ---------------------------------------------------------------------------
// In-place combo
// ---------------------------------------------------------------------------

CNewComboBox* ShowCellCombo(CNewListCtrl* list, int row, int column, const StringArray* choices,
                            int startIndex, int colourMode) {
  if (!list || !list->EnsureVisible(row, true)) return nullptr;
  ui::HeaderCtrl* header = list->GetHeaderCtrl();
  if (column >= (header ? header->GetItemCount() : list->columnCount())) return nullptr;
  if (list->GetColumnWidth(column) < 10) return nullptr;
  int offset = 0;
  for (int c = 0; c < column; ++c) offset += list->GetColumnWidth(c);
  ui::Rect rowRect, client;
  list->GetItemRect(row, &rowRect, ui::lvir::Bounds);
  list->GetClientRect(&client);
  if (rowRect.left + offset < 0 || rowRect.left + offset > client.right) {
    list->Scroll({rowRect.left + offset, 0});
    rowRect.left -= rowRect.left + offset;
  }
  const int rowHeight = rowRect.bottom - rowRect.top;
  ui::Rect r;
  r.left = rowRect.left + offset + 4;
  r.right = std::min(r.left + list->GetColumnWidth(column) - 3, client.right);
  r.top = rowRect.top;
  r.bottom = rowRect.bottom + 10 * rowHeight;
  auto* combo = new CNewComboBox;
  combo->row = row;
  combo->column = column;
  if (choices) combo->choices = *choices;
  combo->startIndex = startIndex;
  combo->colourMode = colourMode;
  const unsigned style = ui::ws::Child | ui::ws::Visible | ui::ws::Border | ui::ws::VScroll |
                         ui::cbs::DropDownList | ui::cbs::OwnerDrawFixed | ui::cbs::HasStrings |
                         ui::cbs::DisableNoScroll;
  if (!combo->Create(style, r, list, 1)) {
    delete combo;
    return nullptr;
  }
  combo->ResetContent();
  for (const auto& c : combo->choices) combo->AddString(c);
  combo->SetCurSel(startIndex);
  combo->SetItemHeight(-1, unsigned(rowHeight));
  combo->SetItemHeight(0, unsigned(rowHeight));
  combo->SetHorizontalExtent(unsigned(list->GetColumnWidth(column)));
  combo->SetFocus();
  return combo;
}

void CNewComboBox::commit() {
  if (committed_) return;
  committed_ = true;
  auto* list = dynamic_cast<CNewListCtrl*>(GetParent());
  std::wstring text = GetWindowText();
  if (text.empty() && GetCurSel() >= 0) text = GetLBText(GetCurSel());
  if (list && list->GetParent()) {
    ui::NmLvDispInfo info;
    info.hdr.hwndFrom = list->m_hWnd;
    info.hdr.idFrom = unsigned(GetDlgCtrlID());
    info.hdr.code = ui::lvn::EndLabelEdit;
    info.item.mask = ui::lvif::Text;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = text.data();
    info.item.cchTextMax = int(text.size());
    list->GetParent()->SendMessage(ui::wm::Notify, ui::WParam(list->GetDlgCtrlID()), ui::ToLParam(&info));
  }
  PostMessage(ui::wm::Close);
}

ui::LResult CNewComboBox::WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) {
  switch (msg) {
    case ui::wm::Char:
      commit();
      break;
    case ui::wm::KillFocus: {
      ui::LResult r = ui::ComboBox::WindowProc(msg, wp, lp);
      commit();
      return r;
    }
    default: break;
  }
  return ui::ComboBox::WindowProc(msg, wp, lp);
}

bool CNewComboBox::OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) {
  if (msg == ui::wm::Command && ((wp >> 16) & 0xFFFF) == ui::cbn::CloseUp) {
    if (ui::Wnd* p = GetParent()) p->SetFocus();
    return true;
  }
  return ui::ComboBox::OnChildNotify(msg, wp, lp, result);
}

bool CNewComboBox::PreTranslateMessage(ui::Msg* msg) {
  if (msg->message == ui::wm::KeyDown && (msg->wParam == 13 || msg->wParam == 27)) {
    SendMessage(ui::wm::Char, msg->wParam, 0);
    return true;
  }
  return ui::ComboBox::PreTranslateMessage(msg);
}

void CNewComboBox::PostNcDestroy() {
  ui::ComboBox::PostNcDestroy();
  delete this;
}

// ---------------------------------------------------------------------------
// Dialog base
// ---------------------------------------------------------------------------

CComponentConv::CComponentConv(unsigned templateId) : ui::Dialog(templateId, ui::mainFrame()) {
  rowList.owner = this;
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
  onCommandCode(kCancel, ui::bn::Clicked, [this] { OnCancel(); });
  onCommandCode(kViewArea, ui::bn::Clicked, [this] { ViewConvArea(this); });
  onCommandCode(kModifyArea, ui::bn::Clicked, [this] { ModifyConvArea(this); });
  onMessage(ui::wm::Close, [this](ui::WParam, ui::LParam) -> ui::LResult {
    OnCancel();
    return 0;
  });
}

CComponentConv::~CComponentConv() {
  if (rowList.m_hWnd) DeleteAllConvRows(&rowList);
  // A list whose window has gone still holds its rows: free their arrays.
  for (int r = 0; r < rowList.GetItemCount(); ++r) rowList.setRowIds(r, nullptr);
}

bool CComponentConv::OnInitDialog() { return ui::Dialog::OnInitDialog(); }

void CComponentConv::commitCellEdit(ui::NotifyHeader* info, ui::LResult* result) {
  auto* disp = reinterpret_cast<ui::NmLvDispInfo*>(info);
  if (disp->item.pszText) {
    const std::wstring text(disp->item.pszText, std::size_t(std::max(0, disp->item.cchTextMax)));
    if (rowList.GetItemText(disp->item.iItem, disp->item.iSubItem) != text)
      rowList.SetItemText(disp->item.iItem, disp->item.iSubItem, text);
  }
  if (result) *result = 0;
}

void CComponentConv::setUpRowList(std::initializer_list<std::pair<const wchar_t*, int>> columns, int colourColumn) {
  rowList.SetExtendedStyle(rowList.GetExtendedStyle() | ui::lvs_ex::GridLines | ui::lvs_ex::FullRowSelect);
  rowList.InsertColumn(0, L"序号", ui::lvcfmt::Center, 40);
  int c = 1;
  for (const auto& [title, width] : columns) rowList.InsertColumn(c++, title, ui::lvcfmt::Center, width);
  rowList.DeleteColumn(0);
  rowList.colourColumn = colourColumn;
  DeleteAllConvRows(&rowList);
}

void CComponentConv::blockMainFrameWhileShown(std::function<void(bool)> extra) {
  onMessage(ui::wm::ShowWindow, [this, extra](ui::WParam wp, ui::LParam) -> ui::LResult {
    const bool shown = wp != 0;
    if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(!shown);
    if (shown) EnableWindow(true);
    if (extra) extra(shown);
    return 0;
  });
}

void CComponentConv::enableConvertWhileRows() {
  constexpr int kConvertButton = 366;
  if (ui::Wnd* b = GetDlgItem(kConvertButton)) b->EnableWindow(rowList.GetItemCount() > 0);
}

void CComponentConv::OnCancel() {
  DeleteAllConvRows(&rowList);
  ui::Dialog::OnCancel();
}

void WatchConvPickMsg(const ed::Msg* msg) {
  if (!msg) return;
  if (msg->message == ed::kWmLButtonDown) g_convPickWatchFlag = 1;
  if (msg->message == ed::kWmRButtonDown || (msg->message == ed::kWmKeyDown && msg->wParam == ed::kVkReturn))
    g_convPickWatchFlag = 2;
}

int PickConvEntity(const std::wstring& prompt, cad::ObjectId& picked) {
  for (;;) {
    g_convPickWatchFlag = 0;
    ed::registerWatchWinMsg(&WatchConvPickMsg);
    geom::Point3d pt;
    const int rc = ed::entSel(prompt, picked, pt);
    ed::removeWatchWinMsg(&WatchConvPickMsg);
    if (rc == ed::kCancel) return ed::kCancel;
    if (g_convPickWatchFlag == 2) {
      if (ui::Wnd* view = ui::drawingView()) view->PostMessage(ui::wm::KeyDown, 3, 0);
      return ed::kCancel;
    }
    if (rc == ed::kNormal && !picked.isNull()) return ed::kNormal;
  }
}

void FindSimilarEntities(CComponentConv* dlg, cad::ObjectIdArray* out, const std::wstring& className,
                         const std::wstring& layer, int colourIndex, double startWidth, double endWidth) {
  out->clear();
  for (auto it = dlg->areaIds.rbegin(); it != dlg->areaIds.rend(); ++it) {
    cad::ObjectPtr<cad::Entity> ent(*it, cad::OpenMode::ForRead);
    if (!ent) continue;
    if (ent->layer() != layer || EntityClassName(ent.get()) != className || ent->colorIndex() != colourIndex)
      continue;
    if (auto* pl = cad::cast<cad::Polyline>(ent.get())) {
      double s = 0, e = 0;
      if (pl->getWidthsAt(0, s, e) != cad::Status::Ok || s != startWidth || e != endWidth) continue;
    } else if (auto* p2 = cad::cast<cad::Polyline2d>(ent.get())) {
      if (p2->defaultStartWidth() != startWidth || p2->defaultEndWidth() != endWidth) continue;
    }
    out->push_back(*it);
  }
  if (out->empty()) ed::printText(L"\n实体集合为空(所有实体都不是待转换的类型或不在转换区域内)！\n");
}

namespace {

bool contains(const cad::ObjectIdArray& ids, cad::ObjectId id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

void PickConvRows(CComponentConv* dlg, const std::wstring& classList, int checkClasses) {
  CNewListCtrl& list = dlg->rowList;
  StringArray classes;
  SplitString(classList, L",", classes);
  for (cad::ObjectId picked; PickConvEntity(L"\n请选择线:", picked) == ed::kNormal;) {
    if (!contains(dlg->areaIds, picked)) {
      ed::printText(L"\n目前选择的实体不在转换区域内！");
      continue;
    }
    std::wstring layer, cls;
    int colour = 0;
    double sw = 0, ew = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(picked, cad::OpenMode::ForRead);
      if (!ent) continue;
      layer = ent->layer();
      cls = EntityClassName(ent.get());
      colour = ent->colorIndex();
      if (auto* pl = cad::cast<cad::Polyline>(ent.get())) pl->getWidthsAt(0, sw, ew);
      if (auto* p2 = cad::cast<cad::Polyline2d>(ent.get())) {
        sw = p2->defaultStartWidth();
        ew = p2->defaultEndWidth();
      }
    }
    if (!IsSourceLayer(layer)) {
      ed::printText(L"\n目前选择的是算量构件，不能转换！");
      continue;
    }
    if (checkClasses == 1 && !classes.empty() && std::find(classes.begin(), classes.end(), cls) == classes.end()) {
      ed::print(L"\n%ls类型的实体不转换", cls.c_str());
      continue;
    }
    cad::ObjectIdArray group;
    if (ed::asyncKeyState(ed::kVkShift) != 0)
      group.push_back(picked);
    else
      FindSimilarEntities(dlg, &group, cls, layer, colour, sw, ew);
    if (group.empty()) continue;

    // Which row lists the picked entity, and which row holds each entity.
    std::unordered_map<cad::ObjectId, int> rowOf;
    for (int r = 0; r < list.GetItemCount(); ++r)
      if (cad::ObjectIdArray* ids = list.rowIds(r))
        for (cad::ObjectId id : *ids) rowOf.emplace(id, r);
    const bool listedBefore = rowOf.count(picked) > 0;

    // Every entity of the group leaves the first row that holds it (an
    // entity twice in the group, the first two rows). The rows that hold
    // each entity are looked up once, the rows losing entities are rewritten
    // once each, and emptied rows go last to first so that the indexes of
    // the others stay.
    std::unordered_map<cad::ObjectId, std::vector<int>> rowsOf;
    for (int r = list.GetItemCount(); r-- > 0;)
      if (cad::ObjectIdArray* ids = list.rowIds(r))
        for (cad::ObjectId id : *ids) {
          std::vector<int>& rows = rowsOf[id];
          if (rows.empty() || rows.back() != r) rows.push_back(r);  // highest row first
        }
    std::map<int, std::unordered_set<cad::ObjectId>> leaving;
    for (auto it = group.rbegin(); it != group.rend(); ++it) {
      auto found = rowsOf.find(*it);
      if (found == rowsOf.end() || found->second.empty()) continue;
      HighlightEntity(*it, 0);
      leaving[found->second.back()].insert(*it);
      found->second.pop_back();
    }
    for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) {
      const int r = it->first;
      auto* rest = new cad::ObjectIdArray;
      for (cad::ObjectId id : *list.rowIds(r))
        if (!it->second.count(id)) rest->push_back(id);
      if (rest->empty()) {
        delete rest;
        DeleteConvRow(&list, r);
      } else {
        list.setRowIds(r, rest);
      }
    }
    if (ui::Wnd* view = ui::drawingView()) view->SetFocus();
    if (listedBefore) {
      HighlightEntities(group, 0);
      dlg->UpdateConvertButton();
      continue;
    }
    bool joined = false;
    for (int r = 0; r < list.GetItemCount() && !joined; ++r) {
      cad::ObjectIdArray* ids = list.rowIds(r);
      if (!ids || ids->empty()) continue;
      const cad::ObjectIdArray copy = *ids;
      if (!dlg->MatchRow(r, picked, &copy)) continue;
      HighlightEntities(group, 1);
      auto* grown = new cad::ObjectIdArray(copy);
      grown->insert(grown->end(), group.begin(), group.end());
      list.setRowIds(r, grown);
      joined = true;
    }
    if (joined) continue;
    HighlightEntities(group, 1);
    dlg->AddRow(group, layer, std::to_wstring(colour));
  }
  ed::removeWatchWinMsg(&WatchConvPickMsg);
}

namespace {

// The base points and entities of one side copied to the other.
template <class From, class To>
void copyArea(const From& from, To& to) {
  to.sourceX = from.sourceX;
  to.sourceY = from.sourceY;
  to.targetX = from.targetX;
  to.targetY = from.targetY;
  to.areaIds = from.areaIds;
}

}  // namespace

void ModifyConvArea(CComponentConv* dlg) {
  UiResourceScope resources;
  CConvArea* area = ConvAreaObject();
  copyArea(*dlg, *area);
  dlg->ShowWindow(ui::sw::Hide);
  if (area->DoModal() == ui::IDOK) {
    area->saved = 1;
    copyArea(*area, *dlg);
  } else {
    copyArea(*dlg, *area);  // quitting emptied the area's entities
  }
  dlg->ShowWindow(ui::sw::Show);
}

void ViewConvArea(CComponentConv* dlg) {
  dlg->ShowWindow(ui::sw::Hide);
  if (!dlg->areaIds.empty()) {
    cad::Extents3d box;
    bool first = true;
    double minZ = 0, maxZ = 0;
    for (cad::ObjectId id : dlg->areaIds) {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      cad::Extents3d e;
      if (!ent || ent->getGeomExtents(e) != cad::Status::Ok || !e.isValid()) continue;
      if (first) {
        minZ = e.minPoint.z;
        maxZ = e.maxPoint.z;
        first = false;
      }
      box.minPoint.x = std::min(box.minPoint.x, e.minPoint.x);
      box.minPoint.y = std::min(box.minPoint.y, e.minPoint.y);
      box.maxPoint.x = std::max(box.maxPoint.x, e.maxPoint.x);
      box.maxPoint.y = std::max(box.maxPoint.y, e.maxPoint.y);
    }
    if (!first) {
      wchar_t buf[256];
      std::swprintf(buf, 256, L"zoom\nw\n%f,%f,%f\n%f,%f,%f\n", box.minPoint.x - 300, box.minPoint.y - 300, minZ,
                    box.maxPoint.x + 300, box.maxPoint.y + 300, maxZ);
      // The zoom runs at once, so the view shows the area before the
      // prompt below waits (a queued expression would answer that prompt).
      RunAcedCmd(buf);
    }
  }
  HighlightEntities(dlg->areaIds, 1);
  std::wstring answer;
  ed::getString(true, dlg->viewAreaPrompt(), answer);
  HighlightEntities(dlg->areaIds, 0);
  for (int r = 0; r < dlg->rowList.GetItemCount(); ++r)
    if (cad::ObjectIdArray* ids = dlg->rowList.rowIds(r)) HighlightEntities(*ids, 1);
  dlg->ShowWindow(ui::sw::Show);
}

namespace {
constexpr int kAdvancedButton = 286, kAdvancedHeight = 65;

void growBy(ui::Dialog* dlg, int dy) {
  ui::Rect r;
  dlg->GetWindowRect(&r);
  dlg->SetWindowPos(static_cast<const ui::Wnd*>(nullptr), 0, 0, r.right - r.left, r.bottom - r.top + dy,
                    ui::swp::NoMove | ui::swp::NoZOrder);
}
}  // namespace

void CollapseAdvanced(ui::Dialog* dlg) {
  growBy(dlg, -kAdvancedHeight);
  dlg->SetDlgItemText(kAdvancedButton, L"高级<<");
}

void ToggleAdvanced(ui::Dialog* dlg) {
  if (dlg->GetDlgItemText(kAdvancedButton) == L"高级<<") {
    dlg->SetDlgItemText(kAdvancedButton, L"高级>>");
    growBy(dlg, kAdvancedHeight);
  } else {
    dlg->SetDlgItemText(kAdvancedButton, L"高级<<");
    growBy(dlg, -kAdvancedHeight);
  }
}

bool PickGjElevation(double& elev) {
  for (;;) {
    cad::ObjectIdArray gj, same, layerIds;
    geom::Point3d pt;
    if (PickGj(L"", gj, same, layerIds, pt, L"\n选择构件：", false) != ed::kNormal) return false;
    HighlightEntities(gj, 0);
    cad::ObjectIdArray primary;
    FilterPrimaryGjIds(primary, gj);
    if (primary.empty()) continue;
    StringArray special;
    GetXdataLines(primary[0], kXdataSpecial, special);
    const std::wstring type = GetAttrValue(special, L"类型");
    if (type == L"斜管" || type == L"立管") {
      double s = 0, e = 0;
      GetGjSpecial(primary[0], nullptr, &s, &e);
      if (s != e) continue;
      elev = s;
      return true;
    }
    if (type == L"点构件") {
      GetPointGjSpecial(primary[0], nullptr, &elev, nullptr);
      return true;
    }
  }
}
