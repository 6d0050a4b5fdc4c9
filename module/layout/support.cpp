#include "module/layout/support.h"

#include <cmath>
#include <map>

#include "module/layout/layout_commands.h"
#include "module/layout/list_edit.h"
#include "module/layout/support_places.h"
#include "module/model/component_types.h"
#include "module/model/module_resources.h"
#include "module/model/picking.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/suite/suite_abi.h"

namespace {

using namespace support_ids;

constexpr const wchar_t* kWholeDrawing = L"整个图形";
constexpr const wchar_t* kPickRuns = L"选择当前";
constexpr const wchar_t* kDefaultSpacing = L"2500";
constexpr double kMinSpacing = 1.0;
constexpr unsigned kCellFormat = 0x8024;     // left, vertically centred, single line, end ellipsis
constexpr int kRowHeight = 21;

const cad::ObjectIdArray kNoRuns;

double uprightAngle(double r) {
  if (r >= 1.570796325 && r < 4.7123889750000005) r += 3.14159265;
  return r;
}

}  // namespace

std::vector<double> SupportDistances(double length, double spacing) {
  std::vector<double> out;
  if (!(spacing >= kMinSpacing) || !(length > 0)) return out;
  for (long k = 1;; ++k) {
    const double d = double(k) * spacing;
    if (d > length) break;
    out.push_back(d);
  }
  return out;
}

std::vector<SupportPlace> OrientSupports(const std::vector<geom::Point3d>& points, const geom::Point3d& start,
                                         const geom::Point3d& end, double bulge, double zs, double ze) {
  std::vector<SupportPlace> out;
  const geom::Vector3d d(end.x - start.x, end.y - start.y, 0);
  const double chord2 = d.x * d.x + d.y * d.y;
  if (chord2 < 1e-12) return out;
  geom::Point3d centre;
  if (bulge != 0) GetSegmentArcCenter(start, end, bulge, centre);
  const double a = AngleFromXAxis(d, geom::Vector3d(0, 0, 1));
  for (const geom::Point3d& p : points) {
    double r = a;
    if (bulge != 0) r = AngleFromXAxis(geom::Vector3d(centre.x - p.x, centre.y - p.y, 0).perpVector(), geom::Vector3d(0, 0, 1));
    // Level across the run, rising along it from zs at the start to ze at
    // the end: the plane through both ends and the run's side direction.
    const double t = ((p.x - start.x) * d.x + (p.y - start.y) * d.y) / chord2;
    out.push_back({geom::Point3d(p.x, p.y, zs + (ze - zs) * t), uprightAngle(r)});
  }
  return out;
}

int PlaceSupportsOnRuns(const cad::ObjectIdArray& runs, double spacing, const std::wstring& supportType,
                        const std::wstring& supportNumber) {
  int placed = 0;
  PointGjPlaces places(supportType);
  PointFiguresDrawnOnce drawOnce;
  for (cad::ObjectId run : runs) {
    std::vector<geom::Point3d> points;
    geom::Point3d start, end;
    double bulge = 0;
    {
      cad::ObjectPtr<cad::Entity> ent(run, cad::OpenMode::ForRead);
      auto* curve = ent ? dynamic_cast<cad::Curve*>(ent.get()) : nullptr;
      if (!curve) continue;  // unreadable, or a riser block
      if (auto* pl = dynamic_cast<cad::Polyline*>(curve)) pl->getBulgeAt(0, bulge);
      curve->getStartPoint(start);
      curve->getEndPoint(end);
      double length = 0;
      if (curve->getDistAtPoint(end, length) != cad::Status::Ok) continue;
      for (double d : SupportDistances(length, spacing)) {
        geom::Point3d p;
        if (curve->getPointAtDist(d, p) != cad::Status::Ok) break;
        points.push_back(p);
      }
    }
    double zs = 0, ze = 0;
    GetGjSpecial(run, nullptr, &zs, &ze);
    for (const SupportPlace& place : OrientSupports(points, start, end, bulge, zs, ze)) {
      cad::ObjectId id;
      InsertPointGjBlock(id, supportType, supportNumber, place.position, place.rotation);
      if (id.isNull()) continue;
      const geom::Vector3d noTurn(0, 0, 0);
      if (!SetPointGjSpecial(&supportNumber, id, &place.position.z, &noTurn)) {
        EraseEntity(id);
        continue;
      }
      if (FinishPointGj(places, supportType, supportNumber, id, place.position)) ++placed;
    }
  }
  return placed;
}

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

CSupportWnd::CSupportWnd() : ui::Dialog(kTemplate, nullptr) {
  onMessage(WM_GRID_LISTCLOSED, [this](ui::WParam wp, ui::LParam lp) -> ui::LResult {
    auto* chosen = reinterpret_cast<const std::wstring*>(wp);
    auto* n = reinterpret_cast<const GridNotify*>(lp);
    if (chosen && n) OnGridListChosen(*chosen, n->row, n->col);
    return 0;
  });
  onCommand(kDefineTypes, [this] { OnDefineGjType(); });
  onCommand(ui::IDOK, [this] { PlaceSupports(); });
}

CSupportWnd::~CSupportWnd() = default;

void CSupportWnd::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kGrid, grid_);
}

bool CSupportWnd::LoadPipeTypes() {
  if (pipeCategory_.empty()) return false;
  ExpandGjCategories(pipeCategory_, pipeTypes_);
  return !pipeTypes_.empty();
}

bool CSupportWnd::LoadSupportNumbers() {
  StringArray items;
  ReadFloorGjField(items, winlib::CmbGetName(L"楼层"), supportType_, L"", L"参数");
  StringArray numbers;
  for (const std::wstring& item : items) {
    std::wstring head, tail;
    SplitHeadTail(item, L"=", head, tail);
    if (!head.empty()) numbers.push_back(head);  // a template row has no number
  }
  if (numbers.empty()) {
    ui::AfxMessageBox(L"没有定义构件!");
    return false;
  }
  supportNumbers_ = numbers;
  return true;
}

void CSupportWnd::collectRuns(const std::wstring& number, cad::ObjectIdArray& out) const {
  std::wstring layers;
  JoinArray(pipeTypes_, L",", layers);
  cad::ObjectIdArray all;
  CollectIdsByLayerAndNumber(layers, number, all, nullptr);
  FilterPrimaryGjIds(out, all);
}

void CSupportWnd::sizeGrid() {
  ui::Rect r;
  grid_.GetWindowRect(&r);
  const int w = r.Width();
  grid_.AutoSize();
  for (int i = 0; i < grid_.GetRowCount(); ++i) grid_.SetRowHeight(i, kRowHeight);
  grid_.SetColumnWidth(0, (w - 20) / 3);
  for (int c = 1; c < 4; ++c) grid_.SetColumnWidth(c, 2 * (w - 20) / 9);
}

bool CSupportWnd::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  if (!GetDlgItem(kGrid)) return false;
  CenterWindow();
  grid_.SetFixedRowCount(1);
  grid_.rowResizeEnabled = false;
  grid_.SetColumnCount(4);
  grid_.dropListStyle = 3;
  SetGridHeadings(grid_, {L"管道", L"间距（mm）", L"支架类型", L"范围"});
  sizeGrid();
  // The primary runs grouped by number, numbers in order of appearance.
  cad::ObjectIdArray primaries;
  collectRuns(L"", primaries);
  std::vector<std::wstring> order;
  std::map<std::wstring, cad::ObjectIdArray> groups;
  for (cad::ObjectId id : primaries) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.empty()) continue;
    if (!groups.count(number)) order.push_back(number);
    groups[number].push_back(id);
  }
  runs_.assign(1, {});
  for (const std::wstring& number : order) {
    const int row = grid_.AppendRow();
    grid_.SetItemComboList(row, 0, {number, L""});
    grid_.SetItemComboList(row, 2, supportNumbers_);
    grid_.SetItemComboList(row, 3, {kWholeDrawing, kPickRuns});
    const std::wstring texts[4] = {number, kDefaultSpacing, supportNumbers_.empty() ? L"" : supportNumbers_[0],
                                   kWholeDrawing};
    for (int c = 0; c < 4; ++c) {
      GridItem item;
      item.row = row;
      item.col = c;
      item.mask = ITEM_TEXT | ITEM_FORMAT;
      item.format = kCellFormat;
      item.text = texts[c];
      grid_.SetItem(&item);
    }
    setRowRuns(row, groups[number]);
  }
  sizeGrid();
  return true;
}

void CSupportWnd::setRowRuns(int row, const cad::ObjectIdArray& ids) {
  if (row < 0) return;
  if (int(runs_.size()) <= row) runs_.resize(size_t(row) + 1);
  runs_[size_t(row)] = ids;
  grid_.SetItemData(row, 3, ui::LParam(row));
}

const cad::ObjectIdArray& CSupportWnd::rowRuns(int row) const {
  return row >= 0 && row < int(runs_.size()) ? runs_[size_t(row)] : kNoRuns;
}

void CSupportWnd::OnGridListChosen(const std::wstring& chosen, int row, int col) {
  if (col != 3) return;
  const std::wstring number = grid_.GetItemText(row, 0);
  if (number.empty()) return;
  if (chosen == kPickRuns) {
    std::wstring layers;
    JoinArray(pipeTypes_, L",", layers);
    cad::ObjectIdArray picked;
    BeginEditorCommand();
    const bool ok = SelectGjObjects(layers, number, L"\n选择管道：", false, false, 0, picked);
    CompleteEditorCommand();
    if (!ok) return;
    for (cad::ObjectId id : picked) HighlightEntity(id, 0);
    cad::ObjectIdArray primaries;
    FilterPrimaryGjIds(primaries, picked);
    if (!primaries.empty()) setRowRuns(row, primaries);
  } else if (chosen == kWholeDrawing) {
    cad::ObjectIdArray ids;
    collectRuns(number, ids);
    setRowRuns(row, ids);
  }
}

void CSupportWnd::OnDefineGjType() {
  const std::wstring floor = winlib::CmbGetName(L"楼层"), category = winlib::CmbGetName(L"分类"), name = winlib::CmbGetName(L"构件"),
                     number = winlib::CmbGetName(L"编号");
  SuiteCall<int(int, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*)>::call(
      SuiteModule::Window, "WinDll_GjType_W", 0, 1, floor.c_str(), category.c_str(), name.c_str(), number.c_str());
  if (!LoadSupportNumbers()) return;
  for (int row = 1; row < grid_.GetRowCount(); ++row) {
    grid_.SetItemComboList(row, 2, supportNumbers_);
    const std::wstring current = grid_.GetItemText(row, 2);
    bool known = false;
    for (const std::wstring& n : supportNumbers_) known = known || n == current;
    if (!known) grid_.SetItemText(row, 2, supportNumbers_.front());
  }
}

void CSupportWnd::PlaceSupports() {
  for (int row = 1; row < grid_.GetRowCount(); ++row) {
    const std::wstring number = grid_.GetItemText(row, 0);
    const std::wstring supportNumber = grid_.GetItemText(row, 2);
    const cad::ObjectIdArray& runs = rowRuns(row);
    if (number.empty() || supportNumber.empty() || runs.empty()) continue;
    double spacing = 0;
    if (!ParseDialogNumber(grid_.GetItemText(row, 1), spacing) || spacing < kMinSpacing) {
      ed::printText(L"\n" + number + L"的间距无效：" + grid_.GetItemText(row, 1));
      continue;
    }
    PlaceSupportsOnRuns(runs, spacing, supportType_, supportNumber);
  }
  EndDialog(ui::IDOK);
}

void RunSupportCommand(const std::wstring& supportType, const std::wstring& pipeCategory) {
  PrepareGjCombos(supportType, supportType);
  UiResourceScope resources;
  CSupportWnd dlg;
  dlg.SetPipeCategory(pipeCategory);
  dlg.SetSupportCategory(supportType);
  if (dlg.LoadPipeTypes() && dlg.LoadSupportNumbers()) dlg.DoModal();
}

void CmdPipeSupport_Auto() { RunSupportCommand(L"管道支架", L"管道"); }
void CmdDuctRack_Auto() { RunSupportCommand(L"风管支架", L"风管"); }
void CmdPipeRack_Auto() { RunSupportCommand(L"水管支架", L"水管"); }
