#include "module/takeoff/region_takeoff.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/takeoff/calc_items.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/result_set.h"
#include "module/takeoff/result_tables.h"
#include "module/takeoff/run_floors.h"
#include "module/takeoff/takeoff_commands.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"

namespace {

const wchar_t* const kRunCaption = L"工程量计算";
const wchar_t* const kCaption = L"区域工程量计算";
const wchar_t* const kRegionLayer = L"区域";
const wchar_t* const kRegionTable = L"区域构件算量";
const wchar_t* const kRegionNormTable = L"区域001";
// The work folder of a region run inside the project folder.
const wchar_t* const kWorkFolder = L"~region";

bool progress(const wchar_t* caption, const std::wstring& message, int a, int b, int c, int op) {
  return SuiteCall<unsigned char(const wchar_t*, const wchar_t*, int, int, int, int)>::call(
             SuiteModule::Base, "Dll_ProgressWin_W", static_cast<unsigned char>(1), caption, message.c_str(), a, b,
             c, op) != 0;
}

void say(const std::wstring& text) { ed::printText(text); }

struct Region {
  std::wstring label;
  PointList vertices;
  BulgeList bulges;
};

// The regions of the floor in model-space order: polylines on 区域 with a
// number and attribute lines.
void readRegions(cad::Database* db, std::vector<Region>& regions) {
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(kRegionLayer, L"", ids, db);
  std::wstring number;
  StringArray attrs;
  for (cad::ObjectId id : ids) {
    GetGjNumberAndAttrs(id, number, attrs);
    if (number.empty() || attrs.empty()) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || !cad::cast<cad::Polyline>(ent.get())) continue;
    Region r{number, {}, {}};
    GetEntityVerticesOpen(ent.get(), r.vertices, r.bulges);
    for (geom::Point3d& p : r.vertices) p.z = 0;
    regions.push_back(std::move(r));
  }
}

void appendRegionHeaderRow(const std::wstring& label) {
  tablelib::Append(g_quantityTable);
  tablelib::WriteAsString(g_quantityTable, L"构件名称", label);
  tablelib::WriteAsString(g_quantityTable, L"标志", L"区域");
  tablelib::Post(g_quantityTable);
}

// Processes floor i; false when the user cancelled or the floor failed.
bool runFloor(size_t i, const std::wstring& currentFloor, const StringArray& libNames) {
  // The parts of runs that cross a region's outline; they outlive the lists.
  cad::Database pieces(true);
  RunFloorScope scope;
  std::wstring floor;
  const FloorOpen opened = OpenRunFloor(i, currentFloor, scope, floor);
  if (opened != FloorOpen::Opened) return opened == FloorOpen::Skipped;

  std::vector<Region> regions;
  {
    cad::ObjectIdArray any;
    CollectIdsByLayerAndNumber(kRegionLayer, L"", any, scope.sideDb.get());
    if (any.empty()) {
      say(L"\n[" + floor + L"]还没有划分区域，请先在此楼层布置区域构件\n");
      return true;
    }
    readRegions(scope.sideDb.get(), regions);
  }

  RegionGjList entities;
  ReadRegionGjList(scope.sideDb.get(), entities);

  const int libCount = static_cast<int>(libNames.size());
  for (const Region& region : regions) {
    if (!progress(kCaption, L"正在初始化[" + floor + L"][" + region.label + L"]的构件....", 1, 1, 0, 2))
      return false;
    StringArray doneKinds;
    appendRegionHeaderRow(region.label);
    SortRegionGjIntoBuckets(scope.buckets, entities, region.vertices, region.bulges, &pieces);
    for (int k = 0; k < libCount; ++k) {
      const std::wstring& name = libNames[k];
      if (!progress(kCaption, L"[" + floor + L"] " + name, 1, 1, libCount * static_cast<int>(i) + k + 1, 2))
        return false;
      if (std::find(doneKinds.begin(), doneKinds.end(), name) != doneKinds.end()) continue;
      DispatchKindCalculator(name, doneKinds, scope.sideDb.get());
    }
    ClearGjBuckets(scope.buckets);
  }
  AppendSeparatorRow();
  return true;
}

void runCommand(int mode) {
  if (g_projectName.empty()) return;
  g_totalMode = mode;
  RunRegionTakeoff();
}

// Appends the piece to db as a copy of the run: its layer and extended data,
// the elevations taken at the fractions t0 and t1 of the run's length.
cad::ObjectId appendRunPiece(cad::ObjectId runId, std::unique_ptr<cad::Polyline> piece, double t0, double t1,
                             cad::Database* db) {
  std::wstring layer;
  cad::ValueChain data;
  {
    cad::ObjectPtr<cad::Entity> run(runId, cad::OpenMode::ForRead);
    if (!run) return {};
    layer = run->layer();
    data = run->xData();
    for (const std::wstring& app : run->xDataApps()) RegisterAppInDb(db, app);
  }
  double zs = 0, ze = 0;
  GetGjSpecial(runId, nullptr, &zs, &ze);
  GetOrCreateLayer(layer, db);
  piece->setLayer(layer);
  piece->setXData(data);
  cad::ObjectId id;
  if (db->appendToModelSpace(std::move(piece), &id) != cad::Status::Ok) return {};
  const double z0 = zs + (ze - zs) * t0, z1 = zs + (ze - zs) * t1;
  SetGjSpecial(nullptr, nullptr, id, &z0, &z1);
  return id;
}

}  // namespace

void ReadRegionGjList(cad::Database* db, RegionGjList& list) {
  list.clear();
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(GjKindLayerList(), L"", ids, db);
  list.reserve(ids.size());
  std::wstring layer;
  for (cad::ObjectId id : ids) {
    RegionGjEntity e;
    e.id = id;
    GetEntityLayer(id, layer);
    e.slot = GjKindSlot(layer);
    if (GetGjEndPoints3d(id, e.start, e.end)) {
      e.shape = RegionGjEntity::Shape::Run;
      PointList pts;
      BulgeList bulges;
      if (GetEntityVertices(id, pts, bulges) == cad::Status::Ok && !bulges.empty()) e.bulge = bulges[0];
    } else if (IsPointGj(id, e.start)) {
      e.shape = RegionGjEntity::Shape::Point;
      e.end = e.start;
    }
    e.start.z = e.end.z = 0;
    list.push_back(e);
  }
}

void SortRegionGjIntoBuckets(GjBuckets& buckets, const RegionGjList& list, const PointList& vertices,
                             const BulgeList& bulges, cad::Database* pieces) {
  if (vertices.empty()) return;
  ClearGjBuckets(buckets);
  buckets.axes.reset();
  cad::ObjectIdArray& inside = buckets.slots[0];
  inside.clear();

  // The outline to cross (open: a closed region already ends on its first
  // vertex), the area to lie in, and the exact extents of the vertices.
  auto outline = MakePolyline(vertices, bulges, false, kDefaultWidth);
  auto area = MakePolyline(vertices, bulges, true, kDefaultWidth);
  double minX = vertices[0].x, maxX = minX, minY = vertices[0].y, maxY = minY;
  for (const geom::Point3d& p : vertices) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  auto in = [&](const geom::Point3d& p) { return area && IsPointInPolyline(area.get(), p); };
  auto take = [&](cad::ObjectId id, int slot) {
    inside.push_back(id);
    if (slot > 0) buckets.slots[slot].push_back(id);
  };

  for (const RegionGjEntity& e : list) {
    if (e.shape == RegionGjEntity::Shape::Point) {
      if (in(e.start)) take(e.id, e.slot);
      continue;
    }
    if (e.shape != RegionGjEntity::Shape::Run) continue;
    // Runs beside the extents are out (an arc may bulge past its ends' box).
    if ((e.bulge == 0 || !pieces) &&
        (std::min(e.start.x, e.end.x) > maxX || std::max(e.start.x, e.end.x) < minX ||
         std::min(e.start.y, e.end.y) > maxY || std::max(e.start.y, e.end.y) < minY))
      continue;
    std::vector<geom::Point3d> cuts;
    std::unique_ptr<cad::Polyline> run;
    if (!e.start.isEqualTo(e.end)) {
      run = MakeSegmentPolyline(e.start, e.end, pieces ? e.bulge : 0, 0);
      if (run && outline) outline->intersectWith(*run, cad::Intersect::OnBothOperands, cuts);
    }
    if (cuts.empty()) {
      if (in(e.start) || in(e.end)) take(e.id, e.slot);
      continue;
    }
    if (!pieces) {
      take(e.id, e.slot);
      continue;
    }
    // A run across the outline: its parts inside, each a copy of the run cut
    // to that part, with the elevations of its ends.
    double length = 0;
    run->getLength(length);
    std::vector<std::unique_ptr<cad::Entity>> parts;
    if (run->getSplitCurves(cuts, parts) != cad::Status::Ok || parts.size() < 2) {
      // The outline meets the run only at its ends: the run lies on one side.
      geom::Point3d mid;
      if (run->getPointAtDist(length / 2, mid) == cad::Status::Ok && in(mid)) take(e.id, e.slot);
      continue;
    }
    std::vector<bool> inner(parts.size(), false);
    for (size_t k = 0; k < parts.size(); ++k) {
      auto* piece = cad::cast<cad::Polyline>(parts[k].get());
      double len = 0;
      geom::Point3d mid;
      inner[k] = piece && piece->getLength(len) == cad::Status::Ok &&
                 piece->getPointAtDist(len / 2, mid) == cad::Status::Ok && in(mid);
    }
    // A run that only touches the outline from inside stays whole.
    if (std::all_of(inner.begin(), inner.end(), [](bool b) { return b; })) {
      take(e.id, e.slot);
      continue;
    }
    for (size_t k = 0; k < parts.size(); ++k) {
      if (!inner[k]) continue;
      auto* piece = static_cast<cad::Polyline*>(parts[k].release());
      double from = 0, len = 0;
      piece->getLength(len);
      run->getDistAtPoint(piece->startPoint(), from);
      cad::ObjectId copy = appendRunPiece(e.id, std::unique_ptr<cad::Polyline>(piece), from / length,
                                          (from + len) / length, pieces);
      if (!copy.isNull()) take(copy, e.slot);
    }
  }
}

void RunRegionTakeoff() {
  if (g_projectName.empty()) return;
  const std::wstring currentFloor = winlib::CmbGetName(winlib::kComboFloor);
  BeginRunChecks();
  // Both region tables are built in a work folder and replace the project's
  // together, only when the run ends without a cancel or a failure.
  RunResultSet set(kWorkFolder);
  StringArray libNames;
  std::wstring failure;
  if (!set.ready(failure)) {
    NoteRunFailure(failure);
  } else if (LoadRunRules(RunRuleSet(), libNames) && LoadRunFloorList(currentFloor)) {
    for (const wchar_t* table : {kRegionNormTable, kRegionTable})
      if (!RunFailed() && !UnzipTemplate(table, set.folder())) NoteRunFailure(TemplateMissingText(table));
  }
  if (RunFailed()) {
    EndRun(L"区域工程量计算");
    return;
  }
  BindQuantityTable(tablelib::OpenDb(set.folder() + L"\\" + kRegionTable + L".DB"));

  progress(kRunCaption, L"", 1, static_cast<int>(libNames.size() * g_runFloorList.size()), 1, 0);
  bool stopped = false;
  {
    RunDrawingReader reader;
    for (size_t i = 0; i < g_runFloorList.size() && !stopped; ++i) stopped = !runFloor(i, currentFloor, libNames);
  }
  if (stopped && !RunFailed()) NoteRunCancel();
  if (!RunCancelled() && !RunFailed()) WriteRegionNormQtyTable();
  tablelib::Close(g_quantityTable);
  g_quantityTable = 0;
  CheckRunWrites();
  if (!RunCancelled() && !RunFailed() && !set.commit(failure)) NoteRunFailure(failure);
  EndRun(L"区域工程量计算");
  progress(kCaption, L"", 1, 1, 1, 4);
}

void CmdZebTotalArea() { runCommand(kTotalCurFloor); }
void CmdZebAllArea() { runCommand(kTotalAll); }
